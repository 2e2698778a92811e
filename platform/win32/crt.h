// The C runtime's ASCII case rules for a given code page, by the rule of platform/ascii_fold.h.
// platform/crt.h's functions apply them in the ANSI code page.
#pragma once

namespace platform {

char* LowerAscii(char* text, unsigned codePage);
int CompareAsciiCaseless(const char* a, const char* b, unsigned codePage);

}  // namespace platform
