#include "platform/posix/command_tail.h"

namespace platform {

namespace {

bool NeedsQuotes(const char* argument) {
    if (*argument == '\0') {
        return true;
    }
    for (const char* c = argument; *c != '\0'; ++c) {
        if (*c == ' ' || (*c >= '\t' && *c <= '\r')) {
            return true;
        }
    }
    return false;
}

}  // namespace

CString CommandTail(int argc, char** argv) {
    CString tail;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            tail += ' ';
        }
        const bool quoted = NeedsQuotes(argv[i]);
        if (quoted) {
            tail += '"';
        }
        tail += argv[i];
        if (quoted) {
            tail += '"';
        }
    }
    return tail;
}

}  // namespace platform
