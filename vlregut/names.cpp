#include "vlregut/names.h"

#include <algorithm>
#include <array>

#include "platform/ascii_fold.h"

namespace vlregut {
namespace {

// Control bytes and edge blanks are refused rather than stripped: a name is never mangled.
bool IsPlainName(std::string_view name, char refused) {
    static constexpr auto kControl = [] {
        std::array<bool, 256> control{};
        std::fill_n(control.begin(), 0x20, true);
        control[0x7f] = true;
        return control;
    }();
    return !name.empty() && name.size() <= kMaxNameLength && name.front() != ' ' &&
           name.back() != ' ' && std::none_of(name.begin(), name.end(), [&](char c) {
               return kControl[static_cast<unsigned char>(c)] || c == refused;
           });
}

}  // namespace

bool IsValidProductId(std::string_view id) {
    return IsPlainName(id, ']');
}

// A leading '[', ';' or '#' would read back as a section header or a comment.
bool IsValidEntryName(std::string_view name) {
    return IsPlainName(name, '=') && name.front() != '[' && name.front() != ';' &&
           name.front() != '#';
}

bool IsValidValue(std::string_view value) {
    using namespace std::string_view_literals;
    return value.size() <= kMaxValueLength &&
           value.find_first_of("\r\n\0"sv) == std::string_view::npos;
}

std::string FoldCase(std::string_view name) {
    std::string folded(name);
    platform::FoldAsciiLetters(folded, StartsDoubleByte);
    return folded;
}

}  // namespace vlregut
