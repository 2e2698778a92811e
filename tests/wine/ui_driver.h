// Plays the user for another process's windows: finds its top-level windows, reads them, presses
// their buttons and answers the File-Open dialog. Every wait is bounded.
#pragma once

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

namespace uidriver {

// The process's visible top-level windows.
std::vector<HWND> TopLevelWindows(DWORD processId);
// The first of them with this caption and class, or nullptr once the timeout has passed or
// `stopWhenSignalled` (e.g. the process handle) is signalled.
HWND WaitForWindow(DWORD processId, const std::string& caption, const std::string& className,
                   std::chrono::milliseconds timeout, HANDLE stopWhenSignalled);

std::string Text(HWND window);
// Class, caption and children, one per line: for failure messages.
std::string Describe(HWND window);
// The window's children of this class.
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
// The File-Open dialog's file name box, or nullptr.
HWND FileNameBox(HWND dialog);
// Types `path` into the File-Open dialog's file name box and presses Open.
bool AnswerFileOpen(HWND dialog, const std::string& path);

}  // namespace uidriver
