// Text between the system's UTF-16 and the ANSI code page, exactly or not at all. Header-only, so
// that the install registry and its tool use the same rule without linking the help module's
// platform layer.
#pragma once

#include <windows.h>

#include <climits>
#include <string>
#include <string_view>

namespace platform {

// How UTF-16 is converted to a code page: the WideCharToMultiByte flags, and whether the call is
// asked if it put in a default character. UTF-8 (65001) takes neither best-fit flags nor that
// question: on Windows the call would fail.
struct Narrowing {
    unsigned long flags;
    bool asksForDefault;
};

inline Narrowing NarrowingFor(unsigned codePage) {
    if (codePage == CP_UTF8) {
        return {WC_ERR_INVALID_CHARS, false};  // a lone surrogate is refused, not replaced
    }
    return {WC_NO_BEST_FIT_CHARS, true};
}

// The text in the code page; false, with `narrow` untouched, when the code page cannot hold it
// exactly: a substitute ("?") or a best-fit look-alike (fullwidth D as D) would name something
// else. Only a text that converts back to the same UTF-16 counts as held.
inline bool NarrowExactly(std::wstring_view wide, unsigned codePage, std::string& narrow) {
    if (wide.size() > INT_MAX / 4) {
        return false;
    }
    const Narrowing rule = NarrowingFor(codePage);
    const int size = static_cast<int>(wide.size());
    BOOL usedDefault = FALSE;
    BOOL* const asked = rule.asksForDefault ? &usedDefault : nullptr;
    const int length = size == 0 ? 0
                                 : ::WideCharToMultiByte(codePage, rule.flags, wide.data(), size,
                                                         nullptr, 0, nullptr, asked);
    std::string text(static_cast<std::size_t>(length), '\0');
    if ((size > 0 && length <= 0) ||
        ::WideCharToMultiByte(codePage, rule.flags, wide.data(), size, text.data(), length, nullptr,
                              asked) != length ||
        usedDefault) {
        return false;
    }
    const int back =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    std::wstring again(static_cast<std::size_t>(back), L'\0');
    if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, again.data(),
                              back) != back ||
        again != wide) {
        return false;
    }
    narrow = std::move(text);
    return true;
}

}  // namespace platform
