#include "platform/posix/console_ui.h"

#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

namespace platform {

namespace {

constexpr int kDialogCancelled = 2;  // IDCANCEL

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

// A typed name as the dialog would take it: relative to the folder shown, and with the default
// extension when it has none.
CString CompletePath(const CString& typed, const FileOpenRequest& request) {
    CString path = typed;
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

bool IsExistingFile(const CString& path) {
    struct stat status;
    return ::stat(path.c_str(), &status) == 0 && !S_ISDIR(status.st_mode);
}

}  // namespace

int ConsoleUserInterface::MessageBox(const CString& text, const CString& caption,
                                     unsigned /*type*/) {
    std::fprintf(m_out, "%s: %s\n", caption.c_str(), text.c_str());
    std::fflush(m_out);
    return 1;  // IDOK
}

int ConsoleUserInterface::ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) {
    for (;;) {
        std::fprintf(m_out, "%s\n", request.title.c_str());
        std::fflush(m_out);
        CString typed;
        if (!ReadLine(m_in, &typed) || typed.empty()) {
            return kDialogCancelled;
        }
        const CString path = CompletePath(typed, request);
        if (IsExistingFile(path)) {
            *chosenPath = path;
            return kDialogConfirmed;
        }
        std::fprintf(m_out, "%s: no such file; type another path, or an empty line to cancel.\n",
                     path.c_str());
    }
}

}  // namespace platform
