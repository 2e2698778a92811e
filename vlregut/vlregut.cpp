#include "vlregut/vlregut.h"

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

std::mutex g_selectionMutex;
std::optional<std::string> g_selection;

std::optional<std::string> Selected() {
    const std::lock_guard lock(g_selectionMutex);
    return g_selection;
}

void SetSelection(std::optional<std::string> product) {
    const std::lock_guard lock(g_selectionMutex);
    g_selection = std::move(product);
}

// Missing products and entries are ordinary answers; only a store that fails is worth a line.
int Report(const Result& result) {
    if (result.status == Status::Failed) {
        vlregut::Diagnose("vlregut: " + result.message);
    }
    return result.status == Status::Ok ? 1 : 0;
}

// No exception may cross into C callers.
template <typename Call>
int Guarded(Call call) noexcept {
    try {
        return call();
    } catch (...) {
        return 0;
    }
}

}  // namespace

int VlRegInitializeProduct(const char* productId, int flags) {
    return Guarded([&] {
        SetSelection(std::nullopt);
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
        const auto store = vlregut::OpenDefaultStore();
        if (Report(Registry(*store).FindProduct(vlregut::View::Merged, product)) == 0) {
            return 0;
        }
        SetSelection(product);
        return 1;
    });
}

int VlRegGetInstallDir(const char* entry, char* buffer, int capacity) {
    return Guarded([&] {
        const auto product = Selected();
        if (entry == nullptr || buffer == nullptr || capacity <= 0 || !product) {
            return 0;
        }
        const auto store = vlregut::OpenDefaultStore();
        std::string value;
        if (Report(Registry(*store).Get(vlregut::View::Merged, *product, entry, value)) == 0 ||
            value.size() >= static_cast<std::size_t>(capacity)) {
            return 0;
        }
        std::memcpy(buffer, value.c_str(), value.size() + 1);
        return 1;
    });
}

int VlRegSetInstallDir(const char* entry, const char* folder) {
    return Guarded([&] {
        const auto product = Selected();
        if (entry == nullptr || folder == nullptr || !product) {
            return 0;
        }
        const auto store = vlregut::OpenDefaultStore();
        return Report(Registry(*store).Set(vlregut::Layer::User, *product, entry, folder));
    });
}
