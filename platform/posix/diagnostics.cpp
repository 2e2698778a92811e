#include "platform/diagnostics.h"

namespace platform {

// Standard error is where a desktop keeps a program's diagnostics: no second copy.
void CopyDiagnostic(std::string_view /*line*/) {}

}  // namespace platform
