#include "platform/win32/command_tail.h"

namespace platform {

const char* SkipProgramName(const char* commandLine) {
    const char* c = commandLine;
    if (*c == '"') {
        ++c;
        while (*c != '\0' && *c != '"') {
            ++c;
        }
        if (*c == '"') {
            ++c;
        }
    } else {
        while (static_cast<unsigned char>(*c) > ' ') {
            ++c;
        }
    }
    while (*c != '\0' && static_cast<unsigned char>(*c) <= ' ') {
        ++c;
    }
    return c;
}

}  // namespace platform
