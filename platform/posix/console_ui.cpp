#include "platform/posix/console_ui.h"

#include "platform/posix/dialog_support.h"

namespace platform {

namespace {

// No path is longer, so no answer needs more.
constexpr std::size_t kLongestAnswer = 4096;

enum class Answer { kLine, kTooLong, kEnd };

// One line of input without its line end. A line longer than kLongestAnswer is left unread past
// that: its end may never come.
Answer ReadLine(std::FILE* in, CString* line) {
    line->clear();
    int c;
    while ((c = std::fgetc(in)) != EOF && c != '\n') {
        if (line->size() == kLongestAnswer) {
            return Answer::kTooLong;
        }
        line->push_back(static_cast<char>(c));
    }
    if (c == EOF && line->empty()) {
        return Answer::kEnd;
    }
    if (!line->empty() && line->back() == '\r') {
        line->pop_back();
    }
    return Answer::kLine;
}

}  // namespace

int ConsoleUserInterface::MessageBox(const CString& text, const CString& caption,
                                     unsigned /*type*/) {
    std::fprintf(m_out, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(m_out);
    return 1;  // IDOK
}

int ConsoleUserInterface::ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) {
    return AskForRegularFile(
        request, m_out, ": no such file; type another path, or an empty line to cancel.",
        chosenPath, [&](CString* typed) {
            std::fprintf(m_out, "%s\n", request.title.c_str());
            std::fflush(m_out);
            const Answer answer = ReadLine(m_in, typed);
            if (answer == Answer::kTooLong) {
                // It names no file, and the next answer cannot be told from its rest.
                std::fprintf(m_out,
                             "suitehelp: an answer of more than %zu bytes names no file; "
                             "cancelled.\n",
                             kLongestAnswer);
                std::fflush(m_out);
            }
            return answer == Answer::kLine ? kDialogConfirmed : kDialogCancelled;
        });
}

}  // namespace platform
