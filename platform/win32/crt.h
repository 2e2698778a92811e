// The C runtime's ASCII case rules for a given code page: only single-byte characters fold, never
// the trail byte of a double-byte character, which may lie in A-Z (katakana KI is 83 4C in code
// page 932). platform/crt.h's functions apply them in the ANSI code page.
#pragma once

namespace platform {

char* LowerAscii(char* text, unsigned codePage);
int CompareAsciiCaseless(const char* a, const char* b, unsigned codePage);

}  // namespace platform
