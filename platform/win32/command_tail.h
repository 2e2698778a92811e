#pragma once

namespace platform {

// The command line without the program's own name, quoted or not, and without the blanks that
// follow it.
const char* SkipProgramName(const char* commandLine);

}  // namespace platform
