#include "platform/posix/user_interface.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <string>

#include "platform/diagnostics.h"
#include "platform/posix/dialog_methods.h"
#include "platform/posix/graphical_session.h"

namespace platform {

// One way of asking, under the name SUITEHELP_UI gives it: whether it can show anything at all
// (null: found out by asking), a message box, one answer to the File-Open question, and what to
// tell of an answer that names no regular file.
struct DialogMethod {
    const char* name;
    bool (*ready)();
    DialogResult (*show)(const CString& text, const CString& caption);
    DialogResult (*ask)(const FileOpenRequest& request, CString* answer);
    void (*refused)(const CString& path);
};

namespace {

void NoSuchFile(const CString& path) {
    Diagnose(path + ": no such file.");
}

// Every message box is written to the console before any method shows it.
DialogResult AlreadyWritten(const CString& /*text*/, const CString& /*caption*/) {
    return DialogResult::Confirmed;
}

// In the order tried; the console, last, always works.
constexpr DialogMethod kMethods[] = {
    {"gtk", GtkReady, GtkMessageBox, GtkAsk, NoSuchFile},
    {"zenity", nullptr, ZenityMessageBox, ZenityAsk, NoSuchFile},
    {"kdialog", nullptr, KdialogMessageBox, KdialogAsk, NoSuchFile},
    {"console", nullptr, AlreadyWritten, ConsoleAsk, ConsoleRefused},
};
constexpr std::size_t kConsole = std::size(kMethods) - 1;

CString CurrentDirectory() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? CString(".") : folder.string();
}

// A typed or chosen name as the dialog takes it: relative to the folder shown, and with the
// default extension when it has none. A NUL ends the path the system sees, so a name holding one
// names no file.
bool CompletesToRegularFile(const CString& name, const FileOpenRequest& request, CString* path) {
    *path = name;
    if (path->front() != '/') {
        const CString folder = request.initialDir.empty() ? CurrentDirectory() : request.initialDir;
        path->insert(0, folder + (folder.back() == '/' ? "" : "/"));
    }
    if (path->find('.', path->rfind('/')) == CString::npos && !request.defaultExt.empty()) {
        *path += "." + request.defaultExt;
    }
    struct stat status;
    return path->find('\0') == CString::npos && ::stat(path->c_str(), &status) == 0 &&
           S_ISREG(status.st_mode);
}

// Asks until the answer names a regular file, so that no FIFO, socket, device or folder is ever
// taken for the document.
DialogResult AskForRegularFile(const DialogMethod& method, const FileOpenRequest& request,
                               CString* chosenPath) {
    // A person gives up long before this; a tool that answers without asking would ask forever.
    constexpr int kMostRefusals = 20;
    for (int refusals = 0; refusals < kMostRefusals; ++refusals) {
        CString name, path;
        const DialogResult result = method.ask(request, &name);
        if (result != DialogResult::Confirmed || name.empty()) {
            return result == DialogResult::Confirmed ? DialogResult::Cancelled : result;
        }
        if (CompletesToRegularFile(name, request, &path)) {
            *chosenPath = path;
            return DialogResult::Confirmed;
        }
        method.refused(path);
    }
    Diagnose("suitehelp: " + std::to_string(kMostRefusals) +
             " answers in a row named no file; cancelled.");
    return DialogResult::Cancelled;
}

}  // namespace

PosixUserInterface::PosixUserInterface(std::FILE* in, std::FILE* out, const char* mode)
    : m_mode(mode == nullptr ? "" : mode) {
    UseConsole(in, out);
}

void PosixUserInterface::Choose() {
    m_chosen = true;
    const auto named =
        std::find_if(std::begin(kMethods), std::end(kMethods),
                     [&](const DialogMethod& method) { return m_mode == method.name; });
    const auto index = static_cast<std::size_t>(named - std::begin(kMethods));
    if (named == std::end(kMethods) && !m_mode.empty() && m_mode != "auto") {
        Diagnose("suitehelp: SUITEHELP_UI=" + m_mode + " is unknown; choosing as for auto.");
    }
    m_forced = index < kConsole;
    const char* why = index == kConsole            ? "console (SUITEHELP_UI=console)"
                      : !GraphicalSessionPresent() ? "console (no graphical session)"
                                                   : nullptr;
    m_next = why != nullptr ? kConsole : m_forced ? index : 0;
    if (Debugging()) {
        DebugStep("dialog: " + (why != nullptr ? CString(why)
                                : m_forced     ? "SUITEHELP_UI=" + m_mode
                                           : CString("graphical session, each method in turn")));
    }
}

DialogResult PosixUserInterface::Show(
    const std::function<DialogResult(const DialogMethod&)>& show) {
    if (!m_chosen) {
        Choose();
    }
    for (;; m_next = m_forced ? kConsole : m_next + 1) {
        if (m_forced && m_next == kConsole) {
            m_forced = false;
            Diagnose("suitehelp: SUITEHELP_UI=" + m_mode + " is not available; using the console.");
        }
        const DialogMethod& method = kMethods[m_next];
        const DialogResult result =
            method.ready == nullptr || method.ready() ? show(method) : DialogResult::Unavailable;
        if (result != DialogResult::Unavailable || m_next == kConsole) {
            return result;
        }
    }
}

DialogResult PosixUserInterface::MessageBox(const CString& text, const CString& caption,
                                            unsigned /*type*/) {
    ConsoleMessageBox(text, caption);
    Show([&](const DialogMethod& method) { return method.show(text, caption); });
    return DialogResult::Confirmed;
}

DialogResult PosixUserInterface::ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) {
    const DialogResult result = Show(
        [&](const DialogMethod& method) { return AskForRegularFile(method, request, chosenPath); });
    if (Debugging()) {
        DebugStep("dialog answer: " +
                  (result == DialogResult::Confirmed ? *chosenPath : CString("cancelled")));
    }
    return result;
}

}  // namespace platform
