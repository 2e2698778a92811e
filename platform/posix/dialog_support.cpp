#include "platform/posix/dialog_support.h"

#include <glib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>

namespace platform {

namespace {

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

int AskForRegularFile(const FileOpenRequest& request, std::FILE* notes, const char* retryNote,
                      CString* chosenPath, const std::function<int(CString*)>& ask) {
    for (;;) {
        CString name;
        const int result = ask(&name);
        if (result != kDialogConfirmed || name.empty()) {
            return result == kDialogConfirmed ? kDialogCancelled : result;
        }
        const CString path = CompleteChosenPath(name, request);
        if (IsRegularFile(path)) {
            *chosenPath = path;
            return kDialogConfirmed;
        }
        std::fwrite(path.data(), 1, path.size(), notes);
        std::fprintf(notes, "%s\n", retryNote);
        std::fflush(notes);
    }
}

CString ValidUtf8(const CString& text) {
    gchar* valid = g_utf8_make_valid(text.c_str(), static_cast<gssize>(text.size()));
    CString result = valid;
    g_free(valid);
    return result;
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
