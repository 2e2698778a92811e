#include "vlregut/registry.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <utility>

#include "vlregut/names.h"

namespace vlregut {
namespace {

Result InvalidProduct() {
    return {Status::Invalid,
            "invalid product id: 1 to 259 bytes, no control characters, no ']', "
            "no leading or trailing space"};
}

Result InvalidEntry() {
    return {Status::Invalid,
            "invalid entry name: 1 to 259 bytes, no control characters, no '=', no leading '[', "
            "';' or '#', no leading or trailing space"};
}

Result InvalidValue() {
    return {Status::Invalid, "invalid value: at most 255 bytes, no line breaks"};
}

Result NoProduct(std::string_view product) {
    return {Status::NotFound, "no product " + std::string(product)};
}

Result NoEntry(std::string_view product, std::string_view entry) {
    return {Status::NotFound,
            "product " + std::string(product) + " has no entry " + std::string(entry)};
}

}  // namespace

Result Registry::Load(View view, std::vector<Store::Snapshot>& docs, std::vector<Layer>& layers) {
    layers =
        view == View::System ? std::vector{Layer::System} : std::vector{Layer::System, Layer::User};
    docs.assign(layers.size(), {});
    for (std::size_t i = 0; i < layers.size(); ++i) {
        if (Result read = m_store.Read(layers[i], docs[i]); read.status != Status::Ok) {
            return read;
        }
    }
    return {};
}

Result Registry::Update(Layer layer, const Store::Edit& edit) {
    // A request that changes nothing needs no lock, and so no write access either.
    Store::Snapshot now;
    if (Result read = m_store.Read(layer, now); read.status != Status::Ok) {
        return read;
    }
    if (ini::Document copy = *now; !edit(copy)) {
        return {};
    }
    return m_store.Update(layer, edit);
}

// A remove from the user's layer that found nothing there may leave the product or entry showing
// through from the machine-wide layer; that is worth saying. `entry` is empty for a product.
Result Registry::NothingRemoved(Layer layer, std::string_view product, std::string_view entry,
                                bool known) {
    Store::Snapshot system = std::make_shared<ini::Document>();
    if (layer == Layer::User) {
        if (Result read = m_store.Read(Layer::System, system); read.status != Status::Ok) {
            return read;
        }
    }
    const std::string what = entry.empty()
                                 ? "product " + std::string(product)
                                 : "entry " + std::string(entry) + " of " + std::string(product);
    if (entry.empty() ? ini::FindSection(*system, product).has_value()
                      : ini::FindValue(*system, product, entry).has_value()) {
        return {Status::NotFound, what + " is machine-wide only; --system removes it from there"};
    }
    known = known || ini::FindSection(*system, product).has_value();
    return entry.empty() || !known ? NoProduct(product) : NoEntry(product, entry);
}

Result Registry::FindProduct(View view, std::string_view product) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    std::vector<Store::Snapshot> docs;
    std::vector<Layer> layers;
    if (Result loaded = Load(view, docs, layers); loaded.status != Status::Ok) {
        return loaded;
    }
    const bool found = std::any_of(docs.begin(), docs.end(), [&](const Store::Snapshot& doc) {
        return ini::FindSection(*doc, product).has_value();
    });
    return found ? Result{} : NoProduct(product);
}

Result Registry::Get(View view, std::string_view product, std::string_view entry,
                     std::string& value, Origin* origin) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    if (!IsValidEntryName(entry)) {
        return InvalidEntry();
    }
    std::vector<Store::Snapshot> docs;
    std::vector<Layer> layers;
    if (Result loaded = Load(view, docs, layers); loaded.status != Status::Ok) {
        return loaded;
    }
    bool known = false;
    for (std::size_t i = docs.size(); i-- > 0;) {
        const auto spelling = ini::FindSection(*docs[i], product);
        known = known || spelling.has_value();
        if (auto found = ini::FindValue(*docs[i], product, entry)) {
            value = std::move(*found);
            if (origin != nullptr) {
                *origin = {layers[i], *spelling};
            }
            return {};
        }
    }
    return known ? NoEntry(product, entry) : NoProduct(product);
}

Result Registry::Products(View view, std::vector<std::string>& names,
                          std::vector<Origin>* origins) {
    std::vector<Store::Snapshot> docs;
    std::vector<Layer> layers;
    if (Result loaded = Load(view, docs, layers); loaded.status != Status::Ok) {
        return loaded;
    }
    names.clear();
    std::set<std::string> listed;
    for (std::size_t i = 0; i < docs.size(); ++i) {
        for (std::string& name : ini::Sections(*docs[i])) {
            if (listed.insert(FoldCase(name)).second) {
                if (origins != nullptr) {
                    origins->push_back({layers[i], name});
                }
                names.push_back(std::move(name));
            }
        }
    }
    return {};
}

Result Registry::EntriesOf(View view, std::string_view product, ini::Entries& found,
                           std::vector<Origin>* origins) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    std::vector<Store::Snapshot> docs;
    std::vector<Layer> layers;
    if (Result loaded = Load(view, docs, layers); loaded.status != Status::Ok) {
        return loaded;
    }
    bool known = false;
    found.clear();
    std::vector<Origin> from;
    std::map<std::string, std::size_t> positions;  // folded name -> index in found
    for (std::size_t i = 0; i < docs.size(); ++i) {
        const auto spelling = ini::FindSection(*docs[i], product);
        known = known || spelling.has_value();
        for (auto& [name, value] : ini::EntriesOf(*docs[i], product)) {
            const auto [position, fresh] = positions.emplace(FoldCase(name), found.size());
            if (fresh) {
                found.emplace_back(std::move(name), std::move(value));
                from.push_back({layers[i], *spelling});
            } else {
                found[position->second].second = std::move(value);
                from[position->second] = {layers[i], *spelling};
            }
        }
    }
    if (origins != nullptr) {
        *origins = std::move(from);
    }
    return known ? Result{} : NoProduct(product);
}

Result Registry::Add(Layer layer, std::string_view product) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    return Update(layer, [&](ini::Document& doc) { return ini::AddSection(doc, product); });
}

Result Registry::Set(Layer layer, std::string_view product, std::string_view entry,
                     std::string_view value) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    if (!IsValidEntryName(entry)) {
        return InvalidEntry();
    }
    if (!IsValidValue(value)) {
        return InvalidValue();
    }
    // A user's section created for a machine-wide product takes the machine-wide spelling.
    std::optional<std::string> systemSpelling;
    if (layer == Layer::User) {
        Store::Snapshot system;
        if (Result read = m_store.Read(Layer::System, system); read.status != Status::Ok) {
            return read;
        }
        systemSpelling = ini::FindSection(*system, product);
    }
    bool known = false;
    Result stored = Update(layer, [&](ini::Document& doc) {
        auto spelling = ini::FindSection(doc, product);
        if (!spelling) {
            spelling = systemSpelling;
        }
        known = spelling.has_value();
        return known && ini::SetValue(doc, *spelling, entry, value);
    });
    if (stored.status == Status::Ok && !known) {
        return NoProduct(product);
    }
    return stored;
}

Result Registry::Remove(Layer layer, std::string_view product) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    bool removed = false;
    Result stored = Update(layer, [&](ini::Document& doc) {
        removed = ini::RemoveSection(doc, product);
        return removed;
    });
    if (stored.status == Status::Ok && !removed) {
        return NothingRemoved(layer, product, {}, false);
    }
    return stored;
}

Result Registry::Remove(Layer layer, std::string_view product, std::string_view entry) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    if (!IsValidEntryName(entry)) {
        return InvalidEntry();
    }
    bool known = false;
    bool removed = false;
    Result stored = Update(layer, [&](ini::Document& doc) {
        known = ini::FindSection(doc, product).has_value();
        removed = ini::RemoveEntry(doc, product, entry);
        return removed;
    });
    if (stored.status == Status::Ok && !removed) {
        return NothingRemoved(layer, product, entry, known);
    }
    return stored;
}

}  // namespace vlregut
