// Where the module's diagnostics leave it: every line goes through Diagnose, so that the
// debugging switch and the tests hang on one place.
#pragma once

#include <cstdio>
#include <string_view>

namespace platform {

// Writes the line and a line end to the diagnostics stream and flushes it. On Windows the line
// also goes to the debugger's output, since a GUI program's standard error is usually nowhere.
void Diagnose(std::string_view line);

// The stream Diagnose writes to: standard error unless a test redirects it.
void SetDiagnosticsStream(std::FILE* stream);

// Whether SUITEHELP_DEBUG (set, and not "0") asks for each step of a session to be told. A caller
// checks it before building a step's text, so that a silent session pays nothing for it.
bool Debugging();

// When debugging, tells one step of the session: "suitehelp: " and the step, through Diagnose.
void DebugStep(std::string_view step);

// Each platform's second copy of a diagnostic line, where it has one (the debugger's output on
// Windows).
void CopyDiagnostic(std::string_view line);

}  // namespace platform
