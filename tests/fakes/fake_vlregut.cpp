// The component's C interface over the fake registry.
#include <cstring>

#include "platform/crt.h"
#include "tests/fakes/fake_platform.h"
#include "vlregut/vlregut.h"

namespace {

CString Lower(CString text) {
    platform::_strlwr(text.data());
    return text;
}

}  // namespace

int VlRegInitializeProduct(const char* productId, int flags) {
    FakeRegistry& registry = Registry();
    registry.calls.push_back("init " + CString(productId));
    registry.selected.clear();
    if (flags != 0 || registry.docsDirs.count(Lower(productId)) == 0) {
        return 0;
    }
    registry.selected = Lower(productId);
    return 1;
}

int VlRegGetInstallDir(const char* entry, char* buffer, int capacity) {
    FakeRegistry& registry = Registry();
    registry.calls.push_back("get " + CString(entry));
    const CString& value = registry.docsDirs[registry.selected];
    if (value.size() >= static_cast<std::size_t>(capacity)) {
        return 0;
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    return 1;
}

int VlRegSetInstallDir(const char* entry, const char* folder) {
    FakeRegistry& registry = Registry();
    registry.calls.push_back("set " + CString(entry) + " " + folder);
    if (registry.refuseSet) {
        return 0;
    }
    registry.docsDirs[registry.selected] = folder;
    return 1;
}
