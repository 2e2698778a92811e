// Dialogs on Linux: one table of methods (GTK, zenity, kdialog, the console), chosen from when
// the first dialog or message box is needed.
#pragma once

#include <cstddef>
#include <cstdio>
#include <functional>

#include "platform/user_interface.h"

namespace platform {

struct DialogMethod;

// Shows each dialog with the first method that can: the console for SUITEHELP_UI=console;
// otherwise, when a graphical session answers, each desktop method in turn (or only the one
// SUITEHELP_UI names), and the console last. A method that cannot show anything is not tried
// again. Every message box is also written to the console.
class PosixUserInterface : public UserInterface {
  public:
    // The console reads in and writes out; mode is SUITEHELP_UI's value, null when unset.
    PosixUserInterface(std::FILE* in, std::FILE* out, const char* mode);

    DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) override;
    DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;

  private:
    void Choose();
    DialogResult Show(const std::function<DialogResult(const DialogMethod&)>& show);

    CString m_mode;
    bool m_chosen = false;
    bool m_forced = false;   // SUITEHELP_UI names the method in use
    std::size_t m_next = 0;  // the method in use
};

}  // namespace platform
