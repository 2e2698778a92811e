// Dialogs on Linux: one chooser over a table of methods (GTK, zenity, kdialog, the console), and
// what the methods share.
#pragma once

#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

#include "platform/user_interface.h"

namespace platform {

// One way of showing dialogs, as SUITEHELP_UI names it. A desktop method answers Unavailable when
// it cannot show anything; the chooser then never tries it again.
struct DialogMethod {
    const char* name;
    UserInterface* ui;
};

// The user interface of a session without a desktop: message boxes go to the output stream, and
// the File-Open dialog asks for a path on the input stream.
class ConsoleUserInterface : public UserInterface {
  public:
    ConsoleUserInterface(std::FILE* in, std::FILE* out) : m_in(in), m_out(out) {}

    DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) override;
    DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;

  private:
    std::FILE* m_in;
    std::FILE* m_out;
};

// Shows dialogs on the desktop when there is one, else on the console. The method is chosen when
// the first dialog or message box is needed, never before: the console for SUITEHELP_UI=console;
// otherwise, when a graphical session answers, each desktop method in turn (or only the one
// SUITEHELP_UI names) until one shows it, and the console last. Every message box is also
// written to the console.
class PosixUserInterface : public UserInterface {
  public:
    // mode is SUITEHELP_UI's value, null when unset. The desktop methods: GTK, zenity, kdialog.
    PosixUserInterface(std::FILE* in, std::FILE* out, const char* mode);
    // Given desktop methods in order, and a check for the graphical session.
    PosixUserInterface(std::FILE* in, std::FILE* out, const char* mode,
                       std::vector<DialogMethod> desktop, bool (*sessionPresent)());
    ~PosixUserInterface() override;

    DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) override;
    DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;

  private:
    void Choose();
    // The desktop method to try next; null when only the console is left.
    UserInterface* NextDesktopMethod();

    ConsoleUserInterface m_console;
    CString m_mode;
    std::vector<DialogMethod> m_methods;  // the console last
    bool (*m_sessionPresent)();
    std::vector<std::unique_ptr<UserInterface>> m_owned;
    bool m_chosen = false;
    bool m_forced = false;
    std::size_t m_next = 0;
};

// A typed or chosen name as the dialog takes it: relative to the folder shown, and with the
// default extension when it has none.
CString CompleteChosenPath(const CString& name, const FileOpenRequest& request);

// Asks until the answer names a regular file: every method's answer passes here, so that no FIFO,
// socket, device or folder is ever taken for the document. ask answers Confirmed with a name (an
// empty one cancels), or ends the question with its other answer. Each completed path that is no
// regular file goes to refused; without it, to the diagnostics as "PATH: no such file.". Twenty
// such answers in a row cancel the question.
DialogResult AskForRegularFile(const FileOpenRequest& request, CString* chosenPath,
                               const std::function<DialogResult(CString*)>& ask,
                               const std::function<void(const CString&)>& refused = nullptr);

// The text with each invalid UTF-8 sequence replaced: the toolkits take UTF-8 only, the module's
// text is bytes.
CString ValidUtf8(const CString& text);

// A glob that matches the pattern's letters in either case, as the dialogs of the primary
// platform do.
CString CaseBlindPattern(const CString& pattern);

}  // namespace platform
