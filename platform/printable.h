// Text from files, the store or the command line on its way to a terminal. A control byte in it
// could move the cursor, rewrite what was shown or retitle the window, so each is shown as \xHH.
// Header-only, so that the install registry's diagnostics follow the same rule.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// The C0 controls and DEL, and the C1 controls as UTF-8 encodes them (C2 80 to C2 9F), as \xHH;
// every other byte as it is. Line feeds stay when the text is meant to have lines.
inline std::string Printable(std::string_view text, bool keepLineFeeds = false) {
    std::string shown;
    shown.reserve(text.size());
    const auto hex = [&shown](unsigned char byte) {
        shown += "\\x";
        shown += "0123456789abcdef"[byte / 16];
        shown += "0123456789abcdef"[byte % 16];
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0;
        if (byte == 0xc2 && next >= 0x80 && next <= 0x9f) {
            hex(byte);
            hex(next);
            ++i;
        } else if ((byte < 0x20 && !(keepLineFeeds && byte == '\n')) || byte == 0x7f) {
            hex(byte);
        } else {
            shown += text[i];
        }
    }
    return shown;
}

}  // namespace platform
