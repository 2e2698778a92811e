// The one case rule for names and paths: only A-Z are lowered, and never the second byte of a
// double-byte character, which may lie in A-Z (katakana KI is 83 4C in code page 932, and NE,
// 83 6C, is another character). Header-only, so that the install registry folds its names by the
// same rule as the help module its paths.
#pragma once

#include <cstddef>
#include <span>

namespace platform {

// Lowers the text in place; `startsDoubleByte(byte)`, asked only of bytes >= 0x80, says whether a
// byte begins a double-byte character in the text's code page.
template <typename StartsDoubleByte>
void FoldAsciiLetters(std::span<char> text, StartsDoubleByte startsDoubleByte) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        char& c = text[i];
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        } else if (static_cast<unsigned char>(c) >= 0x80 &&
                   startsDoubleByte(static_cast<unsigned char>(c))) {
            ++i;  // its second byte stays as it is
        }
    }
}

}  // namespace platform
