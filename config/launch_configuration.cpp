#include "config/launch_configuration.h"

#include <cstddef>

#include "platform/crt.h"
#include "platform/diagnostics.h"
#include "platform/file.h"

namespace config {

namespace {

constexpr std::size_t kReadLimit = 1024;
constexpr std::size_t kReadBufferRoom = 2048;

// Opens the file with no sharing granted and reads its head once: at most 1024 bytes, the text
// ending at the first NUL. The caller closes the file.
CString ReadHead(CFile& file, const char* path) {
    file.Open(path, CFile::modeRead | CFile::shareExclusive);
    char buffer[kReadBufferRoom] = {};
    const std::size_t count = file.Read(buffer, kReadLimit);
    buffer[count] = '\0';
    return CString(buffer);
}

bool IsLaunchOption(const char* argument) {
    return platform::_stricmp(argument, "-vellum") == 0 ||
           platform::_stricmp(argument, "-dax") == 0;
}

const char* CauseText(CFileException::Cause cause) {
    switch (cause) {
        case CFileException::fileNotFound:
            return "not found";
        case CFileException::badPath:
            return "bad path";
        case CFileException::accessDenied:
            return "access denied, or not a regular file";
        case CFileException::sharingViolation:
            return "held by another process";
        default:
            return "cannot be read";
    }
}

void DebugFileStep(const char* what, const CString& path, const CFileException* failure) {
    if (platform::Debugging()) {
        platform::DebugStep(CString(what).append(" ").append(path).append(": ").append(
            failure == nullptr ? "read" : CauseText(failure->m_cause)));
    }
}

}  // namespace

LaunchSettings ReadLaunchSettings(const char* const* arguments, int count) {
    LaunchSettings settings;
    if (count < 2 || !IsLaunchOption(arguments[0])) {
        if (platform::Debugging()) {
            platform::DebugStep(count < 2 ? "no launch option and file: defaults stand"
                                          : CString("not a launch option: ").append(arguments[0]));
        }
        return settings;
    }
    if (platform::Debugging()) {
        platform::DebugStep(CString("launch option: ").append(arguments[0]));
    }

    CString text;
    try {
        CFile file;
        text = ReadHead(file, arguments[1]);
        file.Close();
        CString ignored;
        TakeFirstLine(text, settings.docNameFile);
        TakeFirstLine(text, ignored);
        TakeFirstLine(text, settings.productId);
    } catch (const CFileException& failure) {
        DebugFileStep("launch configuration", arguments[1], &failure);
        return LaunchSettings{};
    }
    DebugFileStep("launch configuration", arguments[1], nullptr);

    if (!settings.docNameFile.empty()) {
        try {
            CFile file;
            text = ReadHead(file, settings.docNameFile.c_str());
            TakeFirstLine(text, settings.docFile);
            file.Close();  // a failure here keeps the name already taken
            DebugFileStep("document-name file", settings.docNameFile, nullptr);
        } catch (const CFileException& failure) {
            DebugFileStep("document-name file", settings.docNameFile, &failure);
        }
    }
    if (platform::Debugging()) {
        platform::DebugStep("document name: " + settings.docFile);
    }
    return settings;
}

void TakeFirstLine(CString& text, CString& destination) {
    if (text.empty()) {
        return;
    }
    const std::size_t lineFeed = text.find('\n');
    if (lineFeed == CString::npos) {
        destination = text;
        text.clear();
        return;
    }
    destination = text.substr(0, lineFeed);
    text.erase(0, lineFeed + 1);
    if (!destination.empty() && destination.back() == '\r') {
        destination.pop_back();
    }
}

}  // namespace config
