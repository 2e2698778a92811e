#include "vlregut/names.h"

#include <algorithm>
#include <cstdint>

namespace vlregut {
namespace {

char Fold(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// Control bytes and edge blanks are refused rather than stripped: a name is never mangled.
bool IsPlainName(std::string_view name) {
    if (name.empty() || name.size() > kMaxNameLength || name.front() == ' ' || name.back() == ' ') {
        return false;
    }
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x20 || byte == 0x7f;
    });
}

}  // namespace

bool IsValidProductId(std::string_view id) {
    return IsPlainName(id) && id.find(']') == std::string_view::npos;
}

// A leading '[', ';' or '#' would read back as a section header or a comment.
bool IsValidEntryName(std::string_view name) {
    return IsPlainName(name) && name.find('=') == std::string_view::npos && name.front() != '[' &&
           name.front() != ';' && name.front() != '#';
}

bool IsValidValue(std::string_view value) {
    using namespace std::string_view_literals;
    return value.size() <= kMaxValueLength &&
           value.find_first_of("\r\n\0"sv) == std::string_view::npos;
}

std::string FoldCase(std::string_view name) {
    std::string folded(name);
    std::transform(folded.begin(), folded.end(), folded.begin(), Fold);
    return folded;
}

bool SameName(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](char x, char y) { return Fold(x) == Fold(y); });
}

// FNV-1a. Setting bit 5 of every byte folds A-Z like Fold() does, and more, which only makes a
// few unequal names share a hash.
std::size_t FoldedHash(std::string_view name) {
    std::uint64_t hash = 14695981039346656037u;
    for (const char c : name) {
        hash = (hash ^ (static_cast<unsigned char>(c) | 0x20u)) * 1099511628211u;
    }
    return static_cast<std::size_t>(hash);
}

}  // namespace vlregut
