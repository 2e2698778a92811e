#pragma once

#include <cstdio>
#include <memory>
#include <vector>

#include "platform/posix/console_ui.h"

namespace platform {

// Shows dialogs on the desktop when there is one, else on the console. The way is chosen when
// the first dialog or message box is needed, never before: the console for SUITEHELP_UI=console;
// otherwise, when a graphical session answers, each desktop step in turn (or only the one
// SUITEHELP_UI names) until one shows it, and the console last. A step that could not show one is
// not tried again. Every message box is also written to standard error as the console writes it.
class DesktopUserInterface : public UserInterface {
  public:
    struct Step {
        const char* name;  // as SUITEHELP_UI names it
        UserInterface* ui;
    };

    // mode is SUITEHELP_UI's value, null when unset. The steps: GTK, zenity, kdialog.
    DesktopUserInterface(std::FILE* in, std::FILE* err, const char* mode);
    // Given steps in order, and a check for the graphical session.
    DesktopUserInterface(std::FILE* in, std::FILE* err, const char* mode, std::vector<Step> steps,
                         bool (*sessionPresent)());
    ~DesktopUserInterface() override;

    int MessageBox(const CString& text, const CString& caption, unsigned type) override;
    int ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;

  private:
    // The step to try next; null when only the console is left.
    UserInterface* Current();
    void Choose();

    ConsoleUserInterface m_console;
    std::FILE* m_err;
    CString m_mode;
    std::vector<Step> m_steps;
    bool (*m_sessionPresent)();
    std::vector<std::unique_ptr<UserInterface>> m_owned;
    bool m_chosen = false;
    bool m_forced = false;
    std::size_t m_next = 0;
};

}  // namespace platform
