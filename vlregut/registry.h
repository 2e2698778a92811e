#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vlregut/ini.h"
#include "vlregut/store.h"

namespace vlregut {

enum class Status { Ok, NotFound, Invalid, Failed };

struct Result {
    Status status = Status::Ok;
    std::string message;  // one line unless Ok
};

// Reads see the user's layer over the machine-wide one, or the machine-wide layer alone.
enum class View { Merged, System };

// The operations of the library and the admin tool, validating names and values for both alike.
class Registry {
  public:
    explicit Registry(Store& store) : store_(store) {}

    Result findProduct(View view, std::string_view product);
    Result get(View view, std::string_view product, std::string_view entry, std::string& value);
    Result products(View view, std::vector<std::string>& names);
    Result entries(View view, std::string_view product, ini::Entries& found);

    // Writes to the user's layer need the product in either layer, writes to the machine-wide
    // layer need it there; add never fails for an existing product.
    Result add(Layer layer, std::string_view product);
    Result set(Layer layer, std::string_view product, std::string_view entry,
               std::string_view value);
    Result remove(Layer layer, std::string_view product);
    Result remove(Layer layer, std::string_view product, std::string_view entry);

  private:
    Result load(View view, std::vector<Store::Snapshot>& docs);
    Result update(Layer layer, const Store::Edit& edit);
    Result nothingRemoved(Layer layer, std::string_view product, std::string_view entry,
                          bool known);

    Store& store_;
};

}  // namespace vlregut
