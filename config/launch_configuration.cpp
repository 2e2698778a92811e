#include "config/launch_configuration.h"

#include <cstddef>

#include "platform/crt.h"
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

}  // namespace

LaunchSettings ReadLaunchSettings(const char* const* arguments, int count) {
    LaunchSettings settings;
    if (count < 2 || !IsLaunchOption(arguments[0])) {
        return settings;
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
    } catch (const CFileException&) {
        return LaunchSettings{};
    }

    if (settings.docNameFile.empty()) {
        return settings;
    }
    try {
        CFile file;
        text = ReadHead(file, settings.docNameFile.c_str());
        TakeFirstLine(text, settings.docFile);
        file.Close();  // a failure here keeps the name already taken
    } catch (const CFileException&) {
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
