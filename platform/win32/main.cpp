// The process entry on Windows: a GUI-subsystem program that shows no window of its own.
#include <windows.h>

#include <cstring>
#include <string>

#include "platform/entry.h"
#include "platform/services.h"
#include "platform/win32/command_tail.h"
#include "platform/win32/file_system.h"
#include "platform/win32/scoped.h"
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

bool WriteAll(HANDLE out, const std::string& text) {
    DWORD written = 0;
    return out != nullptr && out != INVALID_HANDLE_VALUE &&
           ::WriteFile(out, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
           written == text.size();
}

// Where the user who typed the command reads: the output the program was given, else the console
// it was started from (a GUI program gets none of its own), else a message box.
void ShowText(const char* text) {
    std::string lines;
    for (const char* c = text; *c != '\0'; ++c) {
        lines += *c == '\n' ? "\r\n" : std::string(1, *c);
    }
    if (WriteAll(::GetStdHandle(STD_OUTPUT_HANDLE), lines)) {
        return;
    }
    if (::AttachConsole(ATTACH_PARENT_PROCESS)) {
        const HANDLE console = ::CreateFileA("CONOUT$", GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                             OPEN_EXISTING, 0, nullptr);
        const platform::ScopedHandle owner(console == INVALID_HANDLE_VALUE ? nullptr : console);
        if (WriteAll(owner.Get(), lines)) {
            return;
        }
    }
    ::MessageBoxA(nullptr, text, ExecutableName().c_str(), MB_OK);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* tail = platform::SkipProgramName(::GetCommandLineA());
    if (const char* text = HelpOrVersionText(tail)) {
        ShowText(text);
        return 0;
    }
    static platform::Win32UserInterface ui;
    static platform::Win32FileSystem files;
    static platform::Win32Shell shell;
    platform::Install({&ui, &shell, &files});
    return AfxWinMain(ExecutableName().c_str(), tail);
}
