#include "vlregut/layer_builder.h"

#include "vlregut/names.h"

namespace vlregut {
namespace {

// What the INI parser refuses is refused here too, so both platforms store the same things.
const char* ValueFault(std::string_view name, std::string_view data) {
    if (!IsValidEntryName(name)) {
        return "invalid entry name";
    }
    if (data.size() > kMaxValueLength) {
        return "longer than 255 bytes";
    }
    if (!IsValidValue(data)) {
        return "line break or NUL byte";
    }
    return nullptr;
}

// The key, and the value where there is one, of the text's line `number` (from 1).
std::string PlaceOfLine(std::string_view place, std::string_view text, int number) {
    std::string_view product;
    std::string_view line;
    for (int at = 0; at < number && !text.empty(); ++at) {
        const std::size_t end = text.find('\n');
        line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.starts_with('[')) {
            product = line.substr(1, line.size() - 2);
        }
    }
    const std::string key = std::string(place).append("\\").append(product);
    return line.starts_with('[') ? key
                                 : key + ": value " + std::string(line.substr(0, line.find('=')));
}

}  // namespace

bool BuildLayer(std::string_view place, const std::vector<ProductKey>& keys, ini::Document& doc,
                std::string& error) {
    std::string text;
    for (const ProductKey& key : keys) {
        const std::string where = std::string(place) + "\\" + key.id;
        if (!IsValidProductId(key.id)) {
            error = where + ": invalid product id";
            return false;
        }
        text.append("[").append(key.id).append("]\n");
        for (const auto& [name, data] : key.values) {
            if (const char* fault = ValueFault(name, data)) {
                error = where + ": value " + name + ": " + fault;
                return false;
            }
            text.append(name).append("=").append(data).append("\n");
        }
    }
    // Two keys whose names the store's matching takes for one are a fault, as in a file.
    ini::Document read;
    if (const auto fault = ini::Parse(text, read)) {
        error = PlaceOfLine(place, text, fault->line) + ": " + fault->message;
        return false;
    }
    doc = std::move(read);
    return true;
}

}  // namespace vlregut
