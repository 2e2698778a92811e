#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vlregut {

// Matches the 259-character id buffer that callers of the C API hand over.
inline constexpr std::size_t kMaxNameLength = 259;
// A value must come back through a 256-byte buffer together with its terminating NUL.
inline constexpr std::size_t kMaxValueLength = 255;

bool IsValidProductId(std::string_view id);
bool IsValidEntryName(std::string_view name);
bool IsValidValue(std::string_view value);

// Two names are the same name when they fold alike (platform/ascii_fold.h), so matching never
// depends on the locale or on how bytes >= 0x80 encode.
std::string FoldCase(std::string_view name);

// Whether the byte begins a double-byte character in the names' code page: a lead byte of the
// ANSI code page on Windows (932, 936, 949, 950); never on POSIX, whose multibyte encoding,
// UTF-8, puts no byte of a character below 0x80.
bool StartsDoubleByte(unsigned char byte);

}  // namespace vlregut
