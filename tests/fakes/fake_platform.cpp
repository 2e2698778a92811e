#include "tests/fakes/fake_platform.h"

#include <cstring>

#include "vlregut/vlregut.h"

namespace {

CString Lower(CString text) {
    platform::_strlwr(text.data());
    return text;
}

// Like the runtime's splitting, a part that does not fit its buffer fails the whole split.
bool Copy(char* destination, std::size_t capacity, const CString& part) {
    return part.size() < capacity && std::memcpy(destination, part.c_str(), part.size() + 1);
}

}  // namespace

int WindowsFileSystem::Access(const char* path) const {
    return m_entries.count(Lower(path)) != 0 ? 0 : -1;
}

void WindowsFileSystem::AddFile(const CString& path) {
    const CString lower = Lower(path);
    m_entries.insert(lower);
    for (std::size_t i = 0; i < lower.size(); ++i) {
        if ((lower[i] == '\\' || lower[i] == '/') && i > 0) {
            m_entries.insert(lower.substr(0, i));
        }
    }
}

bool WindowsFileSystem::SplitPath(const char* path, char* drive, char* dir, char* fname,
                                  char* ext) const {
    CString rest = path;
    CString drivePart;
    if (rest.size() >= 2 && rest[1] == ':') {
        drivePart = rest.substr(0, 2);
        rest.erase(0, 2);
    }
    const std::size_t lastSeparator = rest.find_last_of("\\/");
    const std::size_t nameBegin = lastSeparator == CString::npos ? 0 : lastSeparator + 1;
    const CString name = rest.substr(nameBegin);
    const std::size_t dot = name.rfind('.');
    return Copy(drive, platform::kMaxDrive, drivePart) &&
           Copy(dir, platform::kMaxDir, rest.substr(0, nameBegin)) &&
           Copy(fname, platform::kMaxFname, name.substr(0, dot)) &&
           Copy(ext, platform::kMaxExt, dot == CString::npos ? "" : name.substr(dot));
}

FakeRegistry& Registry() {
    static FakeRegistry registry;
    return registry;
}

FakePlatform::FakePlatform() {
    registry = FakeRegistry{};
    platform::Install({&ui, &shell, &files});
}

FakePlatform::~FakePlatform() {
    platform::Install({});
}

// The component's C interface over the fake registry.
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
