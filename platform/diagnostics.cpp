#include "platform/diagnostics.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace platform {

namespace {
std::FILE* g_stream = nullptr;
}

void Diagnose(std::string_view line) {
    std::FILE* stream = g_stream == nullptr ? stderr : g_stream;
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    CopyDiagnostic(line);
}

void SetDiagnosticsStream(std::FILE* stream) {
    g_stream = stream;
}

bool Debugging() {
    static const bool debugging = [] {
        const char* value = std::getenv("SUITEHELP_DEBUG");
        return value != nullptr && *value != '\0' && std::strcmp(value, "0") != 0;
    }();
    return debugging;
}

void DebugStep(std::string_view step) {
    if (Debugging()) {
        Diagnose(std::string("suitehelp: ").append(step));
    }
}

}  // namespace platform
