#include "platform/posix/user_interface.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>

#include "platform/diagnostics.h"
#include "platform/posix/dialog_tool_ui.h"
#include "platform/posix/graphical_session.h"
#include "platform/posix/gtk_ui.h"

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

CString CurrentDirectory() {
    CString folder(4096, '\0');
    while (::getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE) {
            return ".";
        }
        folder.resize(folder.size() * 2);
    }
    folder.resize(folder.find('\0'));
    return folder;
}

// A NUL ends the path the system sees: a name holding one names no file.
bool IsRegularFile(const CString& path) {
    struct stat status;
    return path.find('\0') == CString::npos && ::stat(path.c_str(), &status) == 0 &&
           S_ISREG(status.st_mode);
}

}  // namespace

DialogResult ConsoleUserInterface::MessageBox(const CString& text, const CString& caption,
                                              unsigned /*type*/) {
    std::fprintf(m_out, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(m_out);
    return DialogResult::Confirmed;
}

DialogResult ConsoleUserInterface::ShowFileOpen(const FileOpenRequest& request,
                                                CString* chosenPath) {
    const auto ask = [&](CString* typed) {
        std::fprintf(m_out, "%s\n", request.title.c_str());
        std::fflush(m_out);
        const Answer answer = ReadLine(m_in, typed);
        if (answer == Answer::kTooLong) {
            // It names no file, and the next answer cannot be told from its rest.
            std::fprintf(m_out,
                         "suitehelp: an answer of more than %zu bytes names no file; cancelled.\n",
                         kLongestAnswer);
            std::fflush(m_out);
        }
        return answer == Answer::kLine ? DialogResult::Confirmed : DialogResult::Cancelled;
    };
    // The console's own question, on its own stream: part of the dialog, not a diagnostic.
    const auto refused = [&](const CString& path) {
        std::fwrite(path.data(), 1, path.size(), m_out);
        std::fputs(": no such file; type another path, or an empty line to cancel.\n", m_out);
        std::fflush(m_out);
    };
    return AskForRegularFile(request, chosenPath, ask, refused);
}

PosixUserInterface::PosixUserInterface(std::FILE* in, std::FILE* out, const char* mode)
    : PosixUserInterface(in, out, mode, {}, GraphicalSessionPresent) {
    m_owned.push_back(std::make_unique<GtkUserInterface>());
    m_owned.push_back(std::make_unique<DialogToolUserInterface>(DialogTool::kZenity));
    m_owned.push_back(std::make_unique<DialogToolUserInterface>(DialogTool::kKdialog));
    m_methods.insert(
        m_methods.begin(),
        {{"gtk", m_owned[0].get()}, {"zenity", m_owned[1].get()}, {"kdialog", m_owned[2].get()}});
}

PosixUserInterface::PosixUserInterface(std::FILE* in, std::FILE* out, const char* mode,
                                       std::vector<DialogMethod> desktop, bool (*sessionPresent)())
    : m_console(in, out),
      m_mode(mode == nullptr ? "" : mode),
      m_methods(std::move(desktop)),
      m_sessionPresent(sessionPresent) {
    m_methods.push_back({"console", &m_console});
}

PosixUserInterface::~PosixUserInterface() = default;

void PosixUserInterface::Choose() {
    m_chosen = true;
    const auto named =
        std::find_if(m_methods.begin(), m_methods.end() - 1,
                     [&](const DialogMethod& method) { return m_mode == method.name; });
    if (named != m_methods.end() - 1) {
        m_forced = true;
        m_methods.erase(m_methods.begin(), named);
        m_methods.erase(m_methods.begin() + 1, m_methods.end() - 1);
    } else if (!m_mode.empty() && m_mode != "auto" && m_mode != "console") {
        Diagnose("suitehelp: SUITEHELP_UI=" + m_mode + " is unknown; choosing as for auto.");
    }
    const char* why = m_mode == "console"   ? "console (SUITEHELP_UI=console)"
                      : !m_sessionPresent() ? "console (no graphical session)"
                                            : nullptr;
    if (why != nullptr) {
        m_next = m_methods.size() - 1;
    }
    if (Debugging()) {
        DebugStep("dialog: " + (why != nullptr ? CString(why)
                                : m_forced     ? "SUITEHELP_UI=" + m_mode
                                           : CString("graphical session, each method in turn")));
    }
}

UserInterface* PosixUserInterface::NextDesktopMethod() {
    if (!m_chosen) {
        Choose();
    }
    if (m_next + 1 < m_methods.size()) {
        return m_methods[m_next].ui;
    }
    if (m_forced) {
        m_forced = false;
        Diagnose("suitehelp: SUITEHELP_UI=" + m_mode + " is not available; using the console.");
    }
    return nullptr;
}

DialogResult PosixUserInterface::MessageBox(const CString& text, const CString& caption,
                                            unsigned type) {
    m_console.MessageBox(text, caption, type);
    for (UserInterface* ui; (ui = NextDesktopMethod()) != nullptr; ++m_next) {
        if (ui->MessageBox(text, caption, type) != DialogResult::Unavailable) {
            break;
        }
    }
    return DialogResult::Confirmed;
}

DialogResult PosixUserInterface::ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) {
    DialogResult result = DialogResult::Unavailable;
    for (UserInterface* ui;
         result == DialogResult::Unavailable && (ui = NextDesktopMethod()) != nullptr;) {
        result = ui->ShowFileOpen(request, chosenPath);
        if (result == DialogResult::Unavailable) {
            ++m_next;
        }
    }
    if (result == DialogResult::Unavailable) {
        result = m_console.ShowFileOpen(request, chosenPath);
    }
    if (Debugging()) {
        DebugStep("dialog answer: " +
                  (result == DialogResult::Confirmed ? *chosenPath : CString("cancelled")));
    }
    return result;
}

CString CompleteChosenPath(const CString& name, const FileOpenRequest& request) {
    CString path = name;
    if (path.front() != '/') {
        const CString folder = request.initialDir.empty() ? CurrentDirectory() : request.initialDir;
        path = folder + (folder.back() == '/' ? "" : "/") + path;
    }
    const std::size_t slash = path.rfind('/');
    if (path.find('.', slash) == CString::npos && !request.defaultExt.empty()) {
        path += "." + request.defaultExt;
    }
    return path;
}

DialogResult AskForRegularFile(const FileOpenRequest& request, CString* chosenPath,
                               const std::function<DialogResult(CString*)>& ask,
                               const std::function<void(const CString&)>& refused) {
    // A person gives up long before this; a tool that answers without asking would ask forever.
    constexpr int kMostRefusals = 20;
    for (int refusals = 0;; ++refusals) {
        if (refusals == kMostRefusals) {
            Diagnose("suitehelp: " + std::to_string(kMostRefusals) +
                     " answers in a row named no file; cancelled.");
            return DialogResult::Cancelled;
        }
        CString name;
        const DialogResult result = ask(&name);
        if (result != DialogResult::Confirmed || name.empty()) {
            return result == DialogResult::Confirmed ? DialogResult::Cancelled : result;
        }
        const CString path = CompleteChosenPath(name, request);
        if (IsRegularFile(path)) {
            *chosenPath = path;
            return DialogResult::Confirmed;
        }
        if (refused) {
            refused(path);
        } else {
            Diagnose(path + ": no such file.");
        }
    }
}

CString ValidUtf8(const CString& text) {
    g_autofree gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
    return valid;
}

CString CaseBlindPattern(const CString& pattern) {
    CString glob;
    for (const char c : pattern) {
        const int lower = std::tolower(static_cast<unsigned char>(c));
        const int upper = std::toupper(static_cast<unsigned char>(c));
        if (lower == upper) {
            glob += c;
        } else {
            glob += {'[', static_cast<char>(lower), static_cast<char>(upper), ']'};
        }
    }
    return glob;
}

}  // namespace platform
