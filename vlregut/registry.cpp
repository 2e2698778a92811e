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

// The view's layers, the highest precedence first. A lookup reads them in this order and stops
// at the first that answers: that layer decides whatever those below hold, and one that cannot be
// read fails the lookup only when it is reached.
std::vector<Layer> Precedence(View view) {
    return view == View::System ? std::vector{Layer::System}
                                : std::vector{Layer::User, Layer::System};
}

}  // namespace

Registry::Layers Registry::Load(View view) {
    Layers loaded;
    loaded.layers = Precedence(view);
    std::reverse(loaded.layers.begin(), loaded.layers.end());  // lowest first, as lists merge
    for (const Layer layer : loaded.layers) {
        Store::Snapshot doc;
        loaded.reads.push_back(m_store.Read(layer, doc));
        loaded.docs.push_back(loaded.reads.back().status == Status::Ok ? doc : nullptr);
    }
    return loaded;
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
    for (const Layer layer : Precedence(view)) {
        Store::Snapshot doc;
        if (Result read = m_store.Read(layer, doc); read.status != Status::Ok) {
            return read;
        }
        if (ini::FindSection(*doc, product)) {
            return {};
        }
    }
    return NoProduct(product);
}

Result Registry::Get(View view, std::string_view product, std::string_view entry,
                     std::string& value, Origin* origin) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    if (!IsValidEntryName(entry)) {
        return InvalidEntry();
    }
    bool known = false;
    for (const Layer layer : Precedence(view)) {
        Store::Snapshot doc;
        if (Result read = m_store.Read(layer, doc); read.status != Status::Ok) {
            return read;
        }
        const auto spelling = ini::FindSection(*doc, product);
        known = known || spelling.has_value();
        if (auto found = ini::FindValue(*doc, product, entry)) {
            value = std::move(*found);
            if (origin != nullptr) {
                *origin = {layer, *spelling};
            }
            return {};
        }
    }
    return known ? NoEntry(product, entry) : NoProduct(product);
}

Result Registry::Products(View view, std::vector<std::string>& names,
                          std::vector<Origin>* origins) {
    // Lists show what can be read and fail naming what cannot.
    const Layers loaded = Load(view);
    Result result;
    names.clear();
    std::set<std::string> listed;
    for (std::size_t i = 0; i < loaded.docs.size(); ++i) {
        if (loaded.docs[i] == nullptr) {
            result = loaded.reads[i];
            continue;
        }
        for (std::string& name : ini::Sections(*loaded.docs[i])) {
            if (listed.insert(FoldCase(name)).second) {
                if (origins != nullptr) {
                    origins->push_back({loaded.layers[i], name});
                }
                names.push_back(std::move(name));
            }
        }
    }
    return result;
}

Result Registry::EntriesOf(View view, std::string_view product, ini::Entries& found,
                           std::vector<Origin>* origins) {
    if (!IsValidProductId(product)) {
        return InvalidProduct();
    }
    const Layers loaded = Load(view);
    Result result;
    bool known = false;
    found.clear();
    std::vector<Origin> from;
    std::map<std::string, std::size_t> positions;  // folded name -> index in found
    for (std::size_t i = 0; i < loaded.docs.size(); ++i) {
        if (loaded.docs[i] == nullptr) {
            result = loaded.reads[i];
            continue;
        }
        const auto spelling = ini::FindSection(*loaded.docs[i], product);
        known = known || spelling.has_value();
        for (auto& [name, value] : ini::EntriesOf(*loaded.docs[i], product)) {
            const auto [position, fresh] = positions.emplace(FoldCase(name), found.size());
            if (fresh) {
                found.emplace_back(std::move(name), std::move(value));
                from.push_back({loaded.layers[i], *spelling});
            } else {
                found[position->second].second = std::move(value);
                from[position->second] = {loaded.layers[i], *spelling};
            }
        }
    }
    if (origins != nullptr) {
        *origins = std::move(from);
    }
    return known || result.status != Status::Ok ? result : NoProduct(product);
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
    // A user's section created for a machine-wide product takes the machine-wide spelling; only
    // a product that the user's layer lacks needs the machine-wide layer.
    std::optional<std::string> systemSpelling;
    Result system;
    if (layer == Layer::User) {
        Store::Snapshot doc;
        system = m_store.Read(Layer::System, doc);
        if (system.status == Status::Ok) {
            systemSpelling = ini::FindSection(*doc, product);
        }
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
        return system.status != Status::Ok ? system : NoProduct(product);
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
