#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vlregut/ini.h"
#include "vlregut/store.h"

namespace vlregut {

// Reads see the user's layer over the machine-wide one, or the machine-wide layer alone.
enum class View { Merged, System };

// Where a value or a listed name comes from: its layer, and the product as that layer spells it.
struct Origin {
    Layer layer = Layer::System;
    std::string product;
};

// The operations of the library and the admin tool, validating names and values for both alike.
class Registry {
  public:
    explicit Registry(Store& store) : m_store(store) {}

    Result FindProduct(View view, std::string_view product);
    // Each fills `origins`, when given, in step with what it finds.
    Result Get(View view, std::string_view product, std::string_view entry, std::string& value,
               Origin* origin = nullptr);
    Result Products(View view, std::vector<std::string>& names,
                    std::vector<Origin>* origins = nullptr);
    Result EntriesOf(View view, std::string_view product, ini::Entries& found,
                     std::vector<Origin>* origins = nullptr);

    // Writes to the user's layer need the product in either layer, writes to the machine-wide
    // layer need it there; add never fails for an existing product.
    Result Add(Layer layer, std::string_view product);
    Result Set(Layer layer, std::string_view product, std::string_view entry,
               std::string_view value);
    Result Remove(Layer layer, std::string_view product);
    Result Remove(Layer layer, std::string_view product, std::string_view entry);

  private:
    // The layers of the view, lowest precedence first: each with its document, or with none and
    // the failure to read it, which only a lookup that needs that layer reports.
    struct Layers {
        std::vector<Layer> layers;
        std::vector<Store::Snapshot> docs;
        std::vector<Result> reads;
    };
    Layers Load(View view);
    Result Update(Layer layer, const Store::Edit& edit);
    Result NothingRemoved(Layer layer, std::string_view product, std::string_view entry,
                          bool known);

    Store& m_store;
};

}  // namespace vlregut
