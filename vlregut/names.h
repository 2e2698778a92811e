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

// Two names are the same name when they fold alike. Only A-Z are folded, so matching never
// depends on the locale or on how bytes >= 0x80 encode.
std::string FoldCase(std::string_view name);

}  // namespace vlregut
