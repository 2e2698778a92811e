#pragma once

#include "platform/text.h"

namespace platform {

// The command tail as a Windows program would receive it: the arguments after the program's
// name, joined by single blanks, one that is empty or holds whitespace in double quotation
// marks. The tail has no escapes, so an argument that begins with a quotation mark, or holds one
// together with whitespace, does not come through unchanged.
CString CommandTail(int argc, char** argv);

}  // namespace platform
