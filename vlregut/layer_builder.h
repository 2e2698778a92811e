// A layer read from keys and values, as the Windows registry holds it, made into the store's
// document. Plain portable code, so that it is built and tested on every platform.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "vlregut/ini.h"

namespace vlregut {

// A product's key: its name and its values' names and data, in the ANSI code page.
struct ProductKey {
    std::string id;
    ini::Entries values;
};

// Names and values as the store's files allow them, else false with a one-line message naming
// the key (under `place`, the layer's key) and the value. The layer's text is built once and
// parsed once, so that reading costs in proportion to the layer's size.
bool BuildLayer(std::string_view place, const std::vector<ProductKey>& keys, ini::Document& doc,
                std::string& error);

}  // namespace vlregut
