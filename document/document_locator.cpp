#include "document/document_locator.h"

#include <cstdio>
#include <cstring>

#include "platform/crt.h"
#include "platform/diagnostics.h"
#include "platform/services.h"
#include "vlregut/vlregut.h"

namespace document {

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

const platform::FileSystem& Files() {
    return *platform::Current().files;
}

CString JoinPath(const CString& folder, const CString& name) {
    return folder + Files().Separator() + name;
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

enum class Lookup { ProductRefused, Found, Missing };

// Selects the product in the component and reads its documents folder into docsDir; lower-cases
// docFile and gives the joined path (folder, separator, name) in the case in which it is tested.
// docFile and docsDir are left alone when the product is refused.
Lookup FindInRegisteredFolder(const CString& productId, CString& docFile, CString& docsDir,
                              CString& joinedPath) {
    // A product id the component's buffer cannot hold is refused rather than cut into another.
    char product[kProductIdCapacity] = {};
    const bool fitsBuffer = productId.size() < sizeof product;
    if (fitsBuffer) {
        std::memcpy(product, productId.data(), productId.size());
    }
    const bool known = fitsBuffer && VlRegInitializeProduct(product, 0) != 0;
    if (platform::Debugging()) {
        platform::DebugStep("product " + productId +
                            (known        ? ": known to the component"
                             : fitsBuffer ? ": unknown to the component"
                                          : ": too long for the component's buffer"));
    }
    if (!known) {
        return Lookup::ProductRefused;
    }

    char path[kPathCapacity] = {};
    VlRegGetInstallDir(kDocsDirEntry, path, sizeof path);
    path[sizeof path - 1] = '\0';
    docsDir = path;

    platform::_strlwr(docFile.data());
    joinedPath = JoinPath(docsDir, docFile);
    Files().FoldCase(joinedPath);
    const bool fits = FitsPathBuffer(joinedPath);
    const bool found = fits && Files().Access(Files().NameOnDisk(joinedPath).c_str()) == 0;
    if (platform::Debugging()) {
        platform::DebugStep("documents folder: " + docsDir);
        platform::DebugStep("document: " + joinedPath +
                            (found  ? ": exists"
                             : fits ? ": missing"
                                    : ": too long to look up"));
    }
    return found ? Lookup::Found : Lookup::Missing;
}

// Shows the File-Open dialog for the document; true with chosenPath set when the user confirmed
// a file that still exists.
bool AskForDocument(CFrameWnd& owner, const CString& joinedPath, const CString& docFile,
                    const CString& docsDir, CString& chosenPath) {
    CFileDialog dialog(kDefaultExt, kPresetFileName, kDialogFlags, kFilterLabel, kFilterPattern,
                       &owner);
    dialog.m_request.title = DialogTitle(joinedPath, docFile);
    if (Files().Access(docsDir.c_str()) == 0) {
        dialog.m_request.initialDir = docsDir;
    }
    if (dialog.DoModal() != IDOK) {
        return false;
    }
    chosenPath = dialog.GetPathName();
    return Files().Access(chosenPath.c_str()) == 0;
}

// Accepts the chosen file only if it bears the document's name (telling the user otherwise) and
// stores its folder in docsDir and in the component; true when stored.
bool StoreChosenFolder(CFrameWnd& owner, const CString& chosenPath, const CString& docFile,
                       CString& docsDir) {
    char drive[platform::kMaxDrive] = {};
    char dir[platform::kMaxDir] = {};
    char fname[platform::kMaxFname] = {};
    char ext[platform::kMaxExt] = {};
    // A folder deeper than the module can store is refused like a folder that was not stored.
    if (!Files().SplitPath(chosenPath.c_str(), drive, dir, fname, ext)) {
        return false;
    }

    // A name and extension too long for the path buffer cannot be the documentation file's.
    char name[kPathCapacity] = {};
    const int nameLength = std::snprintf(name, sizeof name, "%s%s", fname, ext);
    if (nameLength < 0 || static_cast<std::size_t>(nameLength) >= sizeof name ||
        platform::_stricmp(name, docFile.c_str()) != 0) {
        if (platform::Debugging()) {
            platform::DebugStep("chosen file " + chosenPath + ": not named " + docFile);
        }
        owner.MessageBox(kWrongFileText, kWrongFileCaption, MB_OK);
        return false;
    }

    const std::size_t dirLength = std::strlen(dir);
    if (dirLength > 0 && dir[dirLength - 1] == Files().Separator()) {
        dir[dirLength - 1] = '\0';
    }
    docsDir = CString(drive) + dir;

    // Storing a folder in which the document could not be looked up again would ask the user
    // again on every launch.
    const bool stored = FitsPathBuffer(JoinPath(docsDir, docFile)) &&
                        VlRegSetInstallDir(kDocsDirEntry, docsDir.c_str()) != 0;
    if (platform::Debugging()) {
        platform::DebugStep((stored ? "stored documents folder: " : "not stored: ") + docsDir);
    }
    return stored;
}

}  // namespace

int LocateDocument(CFrameWnd& owner, const CString& productId, CString& docFile, CString& docsDir) {
    CString joinedPath;
    const Lookup lookup = FindInRegisteredFolder(productId, docFile, docsDir, joinedPath);
    if (lookup != Lookup::Missing) {
        return lookup == Lookup::Found ? 1 : 0;
    }
    CString chosenPath;
    return AskForDocument(owner, joinedPath, docFile, docsDir, chosenPath) &&
                   StoreChosenFolder(owner, chosenPath, docFile, docsDir)
               ? 1
               : 0;
}

}  // namespace document
