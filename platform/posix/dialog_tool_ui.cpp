#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/diagnostics.h"
#include "platform/posix/dialog_methods.h"
#include "platform/posix/scoped.h"

extern char** environ;

namespace platform {

namespace {

// The tool's standard output until it has ended. The pipe's end of file is no sign: anything
// the tool started may hold the pipe open.
bool Collect(pid_t pid, int fd, CString* out, int* status) {
    char buffer[4096];
    int reading = fd;  // -1 after the end of file: poll then only paces the loop
    for (;;) {
        pollfd entry{reading, POLLIN, 0};
        if (::poll(&entry, 1, 50) > 0) {
            const ssize_t n = ::read(reading, buffer, sizeof buffer);
            if (n > 0) {
                out->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0) {
                reading = -1;
            }
        }
        const pid_t reaped = ::waitpid(pid, status, WNOHANG);
        if (reaped == pid) {
            break;
        }
        if (reaped < 0 && errno != EINTR) {
            return false;
        }
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    for (ssize_t n; reading >= 0 && (n = ::read(fd, buffer, sizeof buffer)) > 0;) {
        out->append(buffer, static_cast<std::size_t>(n));
    }
    return true;
}

// kdialog shows text as rich text whenever it looks like markup and has no option against it,
// so the text is always made rich text that shows it as it stands.
CString KdialogText(const CString& text) {
    CString rich = "<qt><p style=\"white-space:pre-wrap\">";
    for (const char c : text) {
        rich += c == '<'    ? "&lt;"
                : c == '>'  ? "&gt;"
                : c == '&'  ? "&amp;"
                : c == '\n' ? "<br>"
                            : CString(1, c);
    }
    return rich + "</p></qt>";
}

// kdialog takes a filter as "label (pattern)", as the request's label may already be.
CString KdialogFilter(const CString& label, const CString& pattern) {
    const CString suffix = "(" + pattern + ")";
    return label.find(suffix) != CString::npos ? label : label + " " + suffix;
}

// Tells why the tool could not show the dialog, when debugging.
DialogResult Unavailable(const CString& tool, const char* why, int number) {
    if (Debugging()) {
        DebugStep("dialog: " + tool + " unavailable (" + why + std::to_string(number) + ")");
    }
    return DialogResult::Unavailable;
}

// Runs the program to its end: Confirmed for its exit code 0, Cancelled for 1, Unavailable when
// it does not start, fails with another code or is killed. *out gets its standard output. The
// wait is for the user's answer, so it has no time limit.
DialogResult RunDialogTool(const std::vector<CString>& arguments, CString* out) {
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        return Unavailable(arguments[0], "pipe: errno ", errno);
    }
    const UniqueFd reading(pipeFds[0]);
    UniqueFd writing(pipeFds[1]);
    SpawnFileActions actions;
    // Standard input is left to the console method; the toolkit's chatter stays out of the log.
    ::posix_spawn_file_actions_addopen(actions.Get(), 0, "/dev/null", O_RDONLY, 0);
    ::posix_spawn_file_actions_adddup2(actions.Get(), writing.Get(), 1);
    ::posix_spawn_file_actions_addopen(actions.Get(), 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> argv;
    for (const CString& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = ::posix_spawnp(&pid, argv[0], actions.Get(), nullptr, argv.data(), environ);
    writing.Reset();
    int status = 0;
    if (error != 0) {
        return Unavailable(arguments[0], "not started: errno ", error);
    }
    if (!Collect(pid, reading.Get(), out, &status)) {
        return Unavailable(arguments[0], "lost: errno ", errno);
    }
    if (!WIFEXITED(status)) {
        return Unavailable(arguments[0], "ended by signal ", WTERMSIG(status));
    }
    if (WEXITSTATUS(status) > 1) {
        return Unavailable(arguments[0], "exit status ", WEXITSTATUS(status));
    }
    // 1: cancelled, or the window closed.
    return WEXITSTATUS(status) == 0 ? DialogResult::Confirmed : DialogResult::Cancelled;
}

// The path comes on one line.
DialogResult AnswerOf(const std::vector<CString>& arguments, CString* answer) {
    const DialogResult result = RunDialogTool(arguments, answer);
    if (!answer->empty() && answer->back() == '\n') {
        answer->pop_back();
    }
    return result;
}

// A box has nothing to answer but that it was closed.
DialogResult Closed(const std::vector<CString>& arguments) {
    CString ignored;
    const DialogResult result = RunDialogTool(arguments, &ignored);
    return result == DialogResult::Unavailable ? result : DialogResult::Confirmed;
}

}  // namespace

DialogResult ZenityMessageBox(const CString& text, const CString& caption) {
    return Closed({"zenity", "--info", "--no-markup", "--title=" + ValidUtf8(caption),
                   "--text=" + ValidUtf8(text)});
}

DialogResult ZenityAsk(const FileOpenRequest& request, CString* answer) {
    std::vector<CString> arguments{"zenity", "--file-selection",
                                   "--title=" + ValidUtf8(request.title)};
    if (!request.filterPattern.empty()) {
        arguments.push_back("--file-filter=" + ValidUtf8(request.filterLabel) + " | " +
                            CaseBlindPattern(request.filterPattern));
    }
    if (!request.initialDir.empty()) {
        // The trailing slash makes it the folder shown rather than a file to select.
        arguments.push_back("--filename=" + request.initialDir + "/");
    }
    return AnswerOf(arguments, answer);
}

DialogResult KdialogMessageBox(const CString& text, const CString& caption) {
    return Closed(
        {"kdialog", "--title=" + ValidUtf8(caption), "--msgbox=" + KdialogText(ValidUtf8(text))});
}

// The folder with the file name typed in; without a folder, the current one. Its filters match
// either case.
DialogResult KdialogAsk(const FileOpenRequest& request, CString* answer) {
    const CString& pattern = request.filterPattern;
    return AnswerOf({"kdialog", "--title=" + ValidUtf8(request.title), "--getopenfilename",
                     request.initialDir.empty() ? request.fileName
                                                : request.initialDir + "/" + request.fileName,
                     pattern.empty() ? "" : KdialogFilter(ValidUtf8(request.filterLabel), pattern)},
                    answer);
}

}  // namespace platform
