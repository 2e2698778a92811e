#include <cstdio>
#include <cstring>

#include "app/main_window.h"
#include "platform/crt.h"
#include "platform/services.h"
#include "vlregut/vlregut.h"

namespace {

constexpr char kDocsDirEntry[] = "DocsDir";
constexpr std::size_t kProductIdCapacity = 260;
constexpr std::size_t kPathCapacity = 256;

constexpr char kDialogTitle[] = "Can't find %s. Specify the path for %s.";
constexpr char kFilterLabel[] = "pdf Files (*.pdf)";
constexpr char kFilterPattern[] = "*.pdf";
constexpr char kDefaultExt[] = "pdf";
constexpr char kPresetFileName[] = "*.pdf";
constexpr unsigned kDialogFlags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT;
constexpr char kWrongFileText[] = "Invalid file name specified.";
constexpr char kWrongFileCaption[] = "Error";

CString JoinPath(const CString& folder, char separator, const CString& name) {
    return folder + separator + name;
}

// A path the module's path buffer can hold; a longer one is never cut into a different path.
bool FitsPathBuffer(const CString& path) {
    return path.size() < kPathCapacity;
}

CString DialogTitle(const CString& joinedPath, const CString& docFile) {
    const int length = std::snprintf(nullptr, 0, kDialogTitle, joinedPath.c_str(), docFile.c_str());
    CString title(static_cast<std::size_t>(length), '\0');
    std::snprintf(title.data(), title.size() + 1, kDialogTitle, joinedPath.c_str(),
                  docFile.c_str());
    return title;
}

}  // namespace

int CMainWindow::LocateDocument() {
    const platform::FileSystem& files = *platform::Current().files;

    // A product id the component's buffer cannot hold is refused rather than cut into another.
    char productId[kProductIdCapacity] = {};
    if (m_strProductId.size() >= sizeof productId) {
        return 0;
    }
    std::memcpy(productId, m_strProductId.data(), m_strProductId.size());
    if (VlRegInitializeProduct(productId, 0) == 0) {
        return 0;
    }

    char path[kPathCapacity] = {};
    VlRegGetInstallDir(kDocsDirEntry, path, sizeof path);
    path[sizeof path - 1] = '\0';
    m_strDocsDir = path;

    platform::_strlwr(m_strDocFile.data());
    CString joinedPath = JoinPath(m_strDocsDir, files.Separator(), m_strDocFile);
    files.FoldCase(joinedPath);
    if (FitsPathBuffer(joinedPath) && files.Access(files.NameOnDisk(joinedPath).c_str()) == 0) {
        return 1;
    }

    CFileDialog dialog(kDefaultExt, kPresetFileName, kDialogFlags, kFilterLabel, kFilterPattern,
                       this);
    dialog.m_title = DialogTitle(joinedPath, m_strDocFile);
    if (files.Access(m_strDocsDir.c_str()) == 0) {
        dialog.m_initialDir = m_strDocsDir;
    }
    if (dialog.DoModal() != IDOK) {
        return 0;
    }
    const CString chosenPath = dialog.GetPathName();
    if (files.Access(chosenPath.c_str()) != 0) {
        return 0;
    }

    char drive[platform::kMaxDrive] = {};
    char dir[platform::kMaxDir] = {};
    char fname[platform::kMaxFname] = {};
    char ext[platform::kMaxExt] = {};
    // A folder deeper than the module can store is refused like a folder that was not stored.
    if (!files.SplitPath(chosenPath.c_str(), drive, dir, fname, ext)) {
        return 0;
    }

    // A name and extension too long for the path buffer cannot be the documentation file's.
    const int nameLength = std::snprintf(path, sizeof path, "%s%s", fname, ext);
    if (nameLength < 0 || static_cast<std::size_t>(nameLength) >= sizeof path ||
        platform::_stricmp(path, m_strDocFile.c_str()) != 0) {
        MessageBox(kWrongFileText, kWrongFileCaption, MB_OK);
        return 0;
    }

    const std::size_t dirLength = std::strlen(dir);
    if (dirLength > 0 && dir[dirLength - 1] == files.Separator()) {
        dir[dirLength - 1] = '\0';
    }
    m_strDocsDir = CString(drive) + dir;

    // Storing a folder in which the document could not be looked up again would ask the user
    // again on every launch.
    if (!FitsPathBuffer(JoinPath(m_strDocsDir, files.Separator(), m_strDocFile))) {
        return 0;
    }
    return VlRegSetInstallDir(kDocsDirEntry, m_strDocsDir.c_str()) != 0 ? 1 : 0;
}
