#include "vlregut/vlregut.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "vlregut/names.h"
#include "vlregut/registry.h"
#include "vlregut/store.h"

namespace {

using vlregut::Registry;
using vlregut::Result;
using vlregut::Status;

std::mutex selectionMutex;
std::optional<std::string> selection;

std::optional<std::string> selected() {
    const std::lock_guard lock(selectionMutex);
    return selection;
}

void setSelection(std::optional<std::string> product) {
    const std::lock_guard lock(selectionMutex);
    selection = std::move(product);
}

// Missing products and entries are ordinary answers; only a store that fails is worth a line.
int report(const Result& result) {
    if (result.status == Status::Failed) {
        std::fprintf(stderr, "vlregut: %s\n", result.message.c_str());
    }
    return result.status == Status::Ok ? 1 : 0;
}

// No exception may cross into C callers.
template <typename Call>
int guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return 0;
    }
}

}  // namespace

int VlRegInitializeProduct(char* productId, int flags) {
    return guarded([&] {
        setSelection(std::nullopt);
        if (productId == nullptr || flags != 0) {
            return 0;
        }
        // Never reads past the longest id plus one, whatever the caller's buffer holds.
        std::size_t length = 0;
        while (length <= vlregut::kMaxNameLength && productId[length] != '\0') {
            ++length;
        }
        if (length > vlregut::kMaxNameLength) {
            return 0;
        }
        const std::string product(productId, length);
        const auto store = vlregut::openDefaultStore();
        if (report(Registry(*store).findProduct(vlregut::View::Merged, product)) == 0) {
            return 0;
        }
        setSelection(product);
        return 1;
    });
}

int VlRegGetInstallDir(const char* entry, char* buffer, int capacity) {
    return guarded([&] {
        const auto product = selected();
        if (entry == nullptr || buffer == nullptr || capacity <= 0 || !product) {
            return 0;
        }
        const auto store = vlregut::openDefaultStore();
        std::string value;
        if (report(Registry(*store).get(vlregut::View::Merged, *product, entry, value)) == 0 ||
            value.size() >= static_cast<std::size_t>(capacity)) {
            return 0;
        }
        std::memcpy(buffer, value.c_str(), value.size() + 1);
        return 1;
    });
}

int VlRegSetInstallDir(const char* entry, const char* folder) {
    return guarded([&] {
        const auto product = selected();
        if (entry == nullptr || folder == nullptr || !product) {
            return 0;
        }
        const auto store = vlregut::openDefaultStore();
        return report(Registry(*store).set(vlregut::Layer::User, *product, entry, folder));
    });
}
