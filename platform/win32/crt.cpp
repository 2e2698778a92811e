#include "platform/crt.h"

#include <string.h>

namespace platform {

int _stricmp(const char* a, const char* b) {
    return ::_stricmp(a, b);
}

char* _strlwr(char* text) {
    return ::_strlwr(text);
}

}  // namespace platform
