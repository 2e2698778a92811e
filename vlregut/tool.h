#pragma once

namespace vlregut {

// The admin tool vlreg, given its arguments in the ANSI code page, argv[0] its name; returns its
// exit status. Its entry is main on POSIX systems; on Windows, win32_vlreg_main.cpp, which takes
// the arguments from the wide command line.
int RunTool(int argc, char** argv);

}  // namespace vlregut
