#include "platform/win32/crt.h"

#include <windows.h>

#include <cstring>
#include <string>

#include "platform/ascii_fold.h"
#include "platform/crt.h"

namespace platform {

char* LowerAscii(char* text, unsigned codePage) {
    FoldAsciiLetters({text, std::strlen(text)},
                     [codePage](unsigned char byte) { return ::IsDBCSLeadByteEx(codePage, byte); });
    return text;
}

// Up to a difference the texts' bytes, and so their characters, agree: folded apart, they differ
// first where they would differ folded in step.
int CompareAsciiCaseless(const char* a, const char* b, unsigned codePage) {
    std::string left = a, right = b;
    return std::strcmp(LowerAscii(left.data(), codePage), LowerAscii(right.data(), codePage));
}

int _stricmp(const char* a, const char* b) {
    return CompareAsciiCaseless(a, b, ::GetACP());
}

char* _strlwr(char* text) {
    return LowerAscii(text, ::GetACP());
}

}  // namespace platform
