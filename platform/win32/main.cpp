// The process entry on Windows: a GUI-subsystem program that shows no window of its own.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/entry.h"
#include "platform/services.h"
#include "platform/win32/command_tail.h"
#include "platform/win32/file_system.h"
#include "platform/win32/shell.h"
#include "platform/win32/user_interface.h"

namespace {

// The executable's file name without its extension.
std::string ExecutableName() {
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string name(path, length < MAX_PATH ? length : 0);
    const std::size_t separator = name.find_last_of("\\/:");
    if (separator != std::string::npos) {
        name.erase(0, separator + 1);
    }
    const std::size_t dot = name.rfind('.');
    if (dot != std::string::npos && dot > 0) {
        name.resize(dot);
    }
    return name.empty() ? "suitehelp" : name;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    static platform::Win32UserInterface ui;
    static platform::Win32FileSystem files;
    static platform::Win32Shell shell;
    platform::Install({&ui, &shell, &files});
    return AfxWinMain(ExecutableName().c_str(), platform::SkipProgramName(::GetCommandLineA()));
}
