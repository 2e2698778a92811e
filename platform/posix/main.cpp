// The process entry on POSIX desktops.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/entry.h"
#include "platform/posix/command_tail.h"
#include "platform/posix/file_system.h"
#include "platform/posix/shell.h"
#include "platform/posix/user_interface.h"
#include "platform/services.h"

namespace {

// The executable's file name without its extension.
CString ExecutableName(const char* path) {
    const char* slash = std::strrchr(path, '/');
    CString name = slash == nullptr ? path : slash + 1;
    const std::size_t dot = name.rfind('.');
    if (dot != CString::npos && dot > 0) {
        name.resize(dot);
    }
    return name;
}

}  // namespace

int main(int argc, char** argv) {
    const CString tail = platform::CommandTail(argc, argv);
    if (const char* text = HelpOrVersionText(tail.c_str())) {
        std::fputs(text, stdout);
        return 0;
    }
    // Nothing of the desktop is touched before the first dialog is needed.
    static platform::PosixUserInterface ui(stdin, stderr, std::getenv("SUITEHELP_UI"));
    static platform::PosixFileSystem files;
    static platform::GioShell shell;
    platform::Install({&ui, &shell, &files});
    return AfxWinMain(ExecutableName(argc > 0 ? argv[0] : "suitehelp").c_str(), tail.c_str());
}
