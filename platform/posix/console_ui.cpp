// The console, the last of the dialog methods: it always works.
#include <string>

#include "platform/posix/dialog_methods.h"
#include "platform/printable.h"

namespace platform {

namespace {

std::FILE* g_in = nullptr;
std::FILE* g_out = nullptr;

// No path is longer, so no answer needs more.
constexpr std::size_t kLongestAnswer = 4096;

// Everything the console shows passes here. Its texts hold paths and names from files and the
// store: control bytes are escaped, the message's own line breaks kept.
void Write(const CString& text) {
    const std::string shown = Printable(text, true);
    std::fwrite(shown.data(), 1, shown.size(), g_out);
    std::fflush(g_out);
}

}  // namespace

void UseConsole(std::FILE* in, std::FILE* out) {
    g_in = in;
    g_out = out;
}

DialogResult ConsoleMessageBox(const CString& text, const CString& caption) {
    Write(caption + ": " + text + "\n");
    return DialogResult::Confirmed;
}

// One line without its line end. A line longer than kLongestAnswer is left unread past that: its
// end may never come.
DialogResult ConsoleAsk(const FileOpenRequest& request, CString* answer) {
    Write(request.title + "\n");
    int c;
    while ((c = std::fgetc(g_in)) != EOF && c != '\n') {
        if (answer->size() == kLongestAnswer) {
            // It names no file, and the next answer cannot be told from its rest.
            Write("suitehelp: an answer of more than " + std::to_string(kLongestAnswer) +
                  " bytes names no file; cancelled.\n");
            return DialogResult::Cancelled;
        }
        answer->push_back(static_cast<char>(c));
    }
    if (!answer->empty() && answer->back() == '\r') {
        answer->pop_back();
    }
    return c == EOF && answer->empty() ? DialogResult::Cancelled : DialogResult::Confirmed;
}

void ConsoleRefused(const CString& path) {
    Write(path + ": no such file; type another path, or an empty line to cancel.\n");
}

}  // namespace platform
