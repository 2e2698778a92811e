#include "platform/crt.h"

namespace {

unsigned char FoldAscii(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

}  // namespace

namespace platform {

int _stricmp(const char* a, const char* b) {
    const auto* x = reinterpret_cast<const unsigned char*>(a);
    const auto* y = reinterpret_cast<const unsigned char*>(b);
    while (*x != '\0' && FoldAscii(*x) == FoldAscii(*y)) {
        ++x;
        ++y;
    }
    return FoldAscii(*x) - FoldAscii(*y);
}

char* _strlwr(char* text) {
    for (char* c = text; *c != '\0'; ++c) {
        *c = static_cast<char>(FoldAscii(static_cast<unsigned char>(*c)));
    }
    return text;
}

}  // namespace platform
