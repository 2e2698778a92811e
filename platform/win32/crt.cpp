#include "platform/win32/crt.h"

#include <windows.h>

#include "platform/crt.h"

namespace platform {
namespace {

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

}  // namespace

// The runtime's own functions fold byte by byte, trail bytes included.
char* LowerAscii(char* text, unsigned codePage) {
    bool trail = false;
    for (auto* c = reinterpret_cast<unsigned char*>(text); *c != '\0'; ++c) {
        *c = trail ? *c : FoldAscii(*c);
        trail = !trail && ::IsDBCSLeadByteEx(codePage, *c);
    }
    return text;
}

// Both texts are walked in step: up to a difference their bytes, and so their characters, agree.
int CompareAsciiCaseless(const char* a, const char* b, unsigned codePage) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    for (bool trail = false;; ++x, ++y) {
        const int left = trail ? *x : FoldAscii(*x);
        const int right = trail ? *y : FoldAscii(*y);
        if (left != right || *x == '\0') {
            return left - right;
        }
        trail = !trail && ::IsDBCSLeadByteEx(codePage, *x);
    }
}

int _stricmp(const char* a, const char* b) {
    return CompareAsciiCaseless(a, b, ::GetACP());
}

char* _strlwr(char* text) {
    return LowerAscii(text, ::GetACP());
}

}  // namespace platform
