#pragma once

#include <vector>

#include "platform/user_interface.h"

namespace platform {

enum class DialogTool { kZenity, kKdialog };

// The dialogs of a separate program found on PATH, started with an argument vector. Both answer
// Unavailable when the program is not installed, cannot start or fails.
class DialogToolUserInterface : public UserInterface {
  public:
    explicit DialogToolUserInterface(DialogTool tool) : m_tool(tool) {}

    DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) override;
    // zenity's open dialog has no file-name box to start with the request's file name; kdialog
    // shows it there when the request gives a folder.
    DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;

  private:
    DialogTool m_tool;
};

// Runs the program to its end: Confirmed for its exit code 0, Cancelled for 1, Unavailable when
// it does not start, fails with another code or is killed. *out gets its standard output. The
// wait is for the user's answer, so it has no time limit.
DialogResult RunDialogTool(const std::vector<CString>& arguments, CString* out);

}  // namespace platform
