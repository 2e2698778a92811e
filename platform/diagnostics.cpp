#include "platform/diagnostics.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/printable.h"

namespace platform {

namespace {
std::FILE* g_stream = nullptr;
}

// A line often carries a path or name from a file or the store: its control bytes are escaped.
void Diagnose(std::string_view line) {
    const std::string shown = Printable(line);
    std::FILE* stream = g_stream == nullptr ? stderr : g_stream;
    std::fwrite(shown.data(), 1, shown.size(), stream);
    std::fputc('\n', stream);
    std::fflush(stream);
    CopyDiagnostic(shown);
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
