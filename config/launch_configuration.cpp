#include <cstddef>

#include "app/main_window.h"
#include "platform/crt.h"

namespace {

constexpr char kDefaultDocFile[] = "DOCS.PDF";
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

}  // namespace

void CMainWindow::ReadLaunchConfiguration(char** arguments, int count) {
    m_strDocFile = kDefaultDocFile;
    m_strDocNameFile.clear();
    m_strProductId.clear();

    if (count < 2) {
        return;
    }
    if (platform::_stricmp(arguments[0], "-vellum") != 0 &&
        platform::_stricmp(arguments[0], "-dax") != 0) {
        return;
    }

    CString text;
    try {
        CFile file;
        text = ReadHead(file, arguments[1]);
        file.Close();
        CString ignored;
        TakeFirstLine(text, m_strDocNameFile);
        TakeFirstLine(text, ignored);
        TakeFirstLine(text, m_strProductId);
    } catch (const CFileException&) {
        return;
    }

    if (m_strDocNameFile.empty()) {
        return;
    }
    try {
        CFile file;
        text = ReadHead(file, m_strDocNameFile.c_str());
        TakeFirstLine(text, m_strDocFile);
        file.Close();  // a failure here keeps the name already taken
    } catch (const CFileException&) {
        return;
    }
}

void CMainWindow::TakeFirstLine(CString& text, CString& destination) {
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
