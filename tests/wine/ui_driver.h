// Plays the user for another process's windows: finds its top-level windows, reads them, presses
// their buttons and answers the File-Open dialog. Every wait is bounded.
#pragma once

#include <windows.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace uidriver {

// What to look for; an empty field matches anything.
struct WindowQuery {
    std::optional<std::string> caption;
    std::optional<std::string> className;
};

// The process's visible top-level windows.
std::vector<HWND> TopLevelWindows(DWORD processId);

// The first visible top-level window of the process that matches, or nullptr once the timeout
// has passed or `stopWhenSignalled` (e.g. the process handle) is signalled.
HWND WaitForWindow(DWORD processId, const WindowQuery& query, std::chrono::milliseconds timeout,
                   HANDLE stopWhenSignalled = nullptr);

std::string Text(HWND window);
std::string ClassOf(HWND window);
// Class, caption and children, one per line: for failure messages.
std::string Describe(HWND window);

std::vector<HWND> Children(HWND parent, const std::string& className);
// The texts of the Static children that have one, joined by LF.
std::string StaticText(HWND dialog);
// The strings of a combo box.
std::vector<std::string> ComboItems(HWND combo);

// Clicks the dialog's button with this id (a posted BM_CLICK), or posts the command when there is
// no such button.
bool Press(HWND dialog, int id);
// As the title bar's close button does.
bool Close(HWND window);
// Types `path` into the File-Open dialog's file name box and presses Open.
bool AnswerFileOpen(HWND dialog, const std::string& path);
// The File-Open dialog's file name box, or nullptr.
HWND FileNameBox(HWND dialog);

}  // namespace uidriver
