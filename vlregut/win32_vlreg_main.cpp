// vlreg's entry on Windows. The runtime's 8-bit arguments put "?" or a look-alike (fullwidth D as
// D) for what the ANSI code page cannot hold, which would name another product or folder: the
// arguments come from the wide command line instead, and one that the code page cannot hold
// exactly is refused before anything is read or written.
#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

#include <string>
#include <vector>

#include "platform/win32/code_page.h"
#include "platform/win32/scoped.h"
#include "vlregut/store.h"
#include "vlregut/tool.h"

int main() {
    int argc = 0;
    wchar_t** const wide = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
    const platform::ScopedLocal owned(wide);
    if (wide == nullptr) {
        vlregut::Diagnose("vlreg: cannot read the command line");
        return 2;
    }
    const unsigned codePage = ::GetACP();
    // The program's own name is not used: a folder that the code page cannot hold does no harm.
    std::vector<std::string> arguments(static_cast<std::size_t>(argc), "vlreg");
    for (int i = 1; i < argc; ++i) {
        if (!platform::NarrowExactly(wide[i], codePage, arguments[i])) {
            vlregut::Diagnose("vlreg: argument " + std::to_string(i) +
                              " holds characters that the ANSI code page (" +
                              std::to_string(codePage) + ") cannot hold");
            return 2;
        }
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    return vlregut::RunTool(argc, argv.data());
}
