#include <windows.h>

#include <string>

#include "platform/diagnostics.h"

namespace platform {

void CopyDiagnostic(std::string_view line) {
    ::OutputDebugStringA((std::string(line) + '\n').c_str());
}

}  // namespace platform
