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

// Only A-Z are folded, so matching never depends on the locale or on how bytes >= 0x80 encode.
std::string FoldCase(std::string_view name);
bool SameName(std::string_view a, std::string_view b);
// Equal for names that sameName matches.
std::size_t FoldedHash(std::string_view name);

}  // namespace vlregut
