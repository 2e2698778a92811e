#include "platform/posix/console_ui.h"

#include "platform/posix/dialog_support.h"

namespace platform {

namespace {

// One line of input without its line end; false at the end of input.
bool ReadLine(std::FILE* in, CString* line) {
    line->clear();
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        line->push_back(static_cast<char>(c));
    }
    if (c == EOF && line->empty()) {
        return false;
    }
    if (!line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    return true;
}

}  // namespace

int ConsoleUserInterface::MessageBox(const CString& text, const CString& caption,
                                     unsigned /*type*/) {
    std::fprintf(m_out, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(m_out);
    return 1;  // IDOK
}

int ConsoleUserInterface::ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) {
    return AskForExistingFile(
        request, m_out, ": no such file; type another path, or an empty line to cancel.",
        chosenPath, [&](CString* typed) {
            std::fprintf(m_out, "%s\n", request.title.c_str());
            std::fflush(m_out);
            return ReadLine(m_in, typed) ? kDialogConfirmed : kDialogCancelled;
        });
}

}  // namespace platform
