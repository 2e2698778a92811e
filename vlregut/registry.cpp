#include "vlregut/registry.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "vlregut/names.h"

namespace vlregut {
namespace {

Result invalidProduct() {
    return {Status::Invalid,
            "invalid product id: 1 to 259 bytes, no control characters, no ']', "
            "no leading or trailing space"};
}

Result invalidEntry() {
    return {Status::Invalid,
            "invalid entry name: 1 to 259 bytes, no control characters, no '=', no leading '[', "
            "';' or '#', no leading or trailing space"};
}

Result invalidValue() {
    return {Status::Invalid, "invalid value: at most 255 bytes, no line breaks"};
}

Result noProduct(std::string_view product) {
    return {Status::NotFound, "no product " + std::string(product)};
}

Result noEntry(std::string_view product, std::string_view entry) {
    return {Status::NotFound,
            "product " + std::string(product) + " has no entry " + std::string(entry)};
}

}  // namespace

Result Registry::load(View view, std::vector<Store::Snapshot>& docs) {
    // Lowest precedence first.
    const std::vector<Layer> layers =
        view == View::System ? std::vector{Layer::System} : std::vector{Layer::System, Layer::User};
    docs.assign(layers.size(), {});
    for (std::size_t i = 0; i < layers.size(); ++i) {
        std::string error;
        if (!store_.read(layers[i], docs[i], error)) {
            return {Status::Failed, error};
        }
    }
    return {};
}

Result Registry::update(Layer layer, const Store::Edit& edit) {
    // A request that changes nothing needs no lock, and so no write access either.
    Store::Snapshot now;
    std::string error;
    if (!store_.read(layer, now, error)) {
        return {Status::Failed, error};
    }
    if (ini::Document copy = *now; !edit(copy)) {
        return {};
    }
    if (!store_.update(layer, edit, error)) {
        return {Status::Failed, error};
    }
    return {};
}

// A remove from the user's layer that found nothing there may leave the product or entry showing
// through from the machine-wide layer; that is worth saying. `entry` is empty for a product.
Result Registry::nothingRemoved(Layer layer, std::string_view product, std::string_view entry,
                                bool known) {
    Store::Snapshot system = std::make_shared<ini::Document>();
    std::string error;
    if (layer == Layer::User && !store_.read(Layer::System, system, error)) {
        return {Status::Failed, error};
    }
    const std::string what = entry.empty()
                                 ? "product " + std::string(product)
                                 : "entry " + std::string(entry) + " of " + std::string(product);
    if (entry.empty() ? ini::findSection(*system, product).has_value()
                      : ini::findValue(*system, product, entry).has_value()) {
        return {Status::NotFound, what + " is machine-wide only; --system removes it from there"};
    }
    known = known || ini::findSection(*system, product).has_value();
    return entry.empty() || !known ? noProduct(product) : noEntry(product, entry);
}

Result Registry::findProduct(View view, std::string_view product) {
    if (!isValidProductId(product)) {
        return invalidProduct();
    }
    std::vector<Store::Snapshot> docs;
    if (Result loaded = load(view, docs); loaded.status != Status::Ok) {
        return loaded;
    }
    const bool found = std::any_of(docs.begin(), docs.end(), [&](const Store::Snapshot& doc) {
        return ini::findSection(*doc, product).has_value();
    });
    return found ? Result{} : noProduct(product);
}

Result Registry::get(View view, std::string_view product, std::string_view entry,
                     std::string& value) {
    if (!isValidProductId(product)) {
        return invalidProduct();
    }
    if (!isValidEntryName(entry)) {
        return invalidEntry();
    }
    std::vector<Store::Snapshot> docs;
    if (Result loaded = load(view, docs); loaded.status != Status::Ok) {
        return loaded;
    }
    bool known = false;
    for (auto doc = docs.rbegin(); doc != docs.rend(); ++doc) {
        known = known || ini::findSection(**doc, product).has_value();
        if (auto found = ini::findValue(**doc, product, entry)) {
            value = std::move(*found);
            return {};
        }
    }
    return known ? noEntry(product, entry) : noProduct(product);
}

Result Registry::products(View view, std::vector<std::string>& names) {
    std::vector<Store::Snapshot> docs;
    if (Result loaded = load(view, docs); loaded.status != Status::Ok) {
        return loaded;
    }
    names.clear();
    std::set<std::string> listed;
    for (const Store::Snapshot& doc : docs) {
        for (std::string& name : ini::sections(*doc)) {
            if (listed.insert(foldCase(name)).second) {
                names.push_back(std::move(name));
            }
        }
    }
    return {};
}

Result Registry::entries(View view, std::string_view product, ini::Entries& found) {
    if (!isValidProductId(product)) {
        return invalidProduct();
    }
    std::vector<Store::Snapshot> docs;
    if (Result loaded = load(view, docs); loaded.status != Status::Ok) {
        return loaded;
    }
    bool known = false;
    found.clear();
    std::map<std::string, std::size_t> positions;  // folded name -> index in found
    for (const Store::Snapshot& doc : docs) {
        known = known || ini::findSection(*doc, product).has_value();
        for (auto& [name, value] : ini::entries(*doc, product)) {
            const auto [position, fresh] = positions.emplace(foldCase(name), found.size());
            if (fresh) {
                found.emplace_back(std::move(name), std::move(value));
            } else {
                found[position->second].second = std::move(value);
            }
        }
    }
    return known ? Result{} : noProduct(product);
}

Result Registry::add(Layer layer, std::string_view product) {
    if (!isValidProductId(product)) {
        return invalidProduct();
    }
    return update(layer, [&](ini::Document& doc) { return ini::addSection(doc, product); });
}

Result Registry::set(Layer layer, std::string_view product, std::string_view entry,
                     std::string_view value) {
    if (!isValidProductId(product)) {
        return invalidProduct();
    }
    if (!isValidEntryName(entry)) {
        return invalidEntry();
    }
    if (!isValidValue(value)) {
        return invalidValue();
    }
    // A user's section created for a machine-wide product takes the machine-wide spelling.
    std::optional<std::string> systemSpelling;
    if (layer == Layer::User) {
        Store::Snapshot system;
        std::string error;
        if (!store_.read(Layer::System, system, error)) {
            return {Status::Failed, error};
        }
        systemSpelling = ini::findSection(*system, product);
    }
    bool known = false;
    Result stored = update(layer, [&](ini::Document& doc) {
        auto spelling = ini::findSection(doc, product);
        if (!spelling) {
            spelling = systemSpelling;
        }
        known = spelling.has_value();
        return known && ini::setValue(doc, *spelling, entry, value);
    });
    if (stored.status == Status::Ok && !known) {
        return noProduct(product);
    }
    return stored;
}

Result Registry::remove(Layer layer, std::string_view product) {
    if (!isValidProductId(product)) {
        return invalidProduct();
    }
    bool removed = false;
    Result stored = update(layer, [&](ini::Document& doc) {
        removed = ini::removeSection(doc, product);
        return removed;
    });
    if (stored.status == Status::Ok && !removed) {
        return nothingRemoved(layer, product, {}, false);
    }
    return stored;
}

Result Registry::remove(Layer layer, std::string_view product, std::string_view entry) {
    if (!isValidProductId(product)) {
        return invalidProduct();
    }
    if (!isValidEntryName(entry)) {
        return invalidEntry();
    }
    bool known = false;
    bool removed = false;
    Result stored = update(layer, [&](ini::Document& doc) {
        known = ini::findSection(doc, product).has_value();
        removed = ini::removeEntry(doc, product, entry);
        return removed;
    });
    if (stored.status == Status::Ok && !removed) {
        return nothingRemoved(layer, product, entry, known);
    }
    return stored;
}

}  // namespace vlregut
