#include "document/document_launcher.h"

#include "platform/framework.h"
#include "platform/services.h"

namespace document {

namespace {

constexpr char kDefaultText[] = "Error occurred in excecuting the application";

bool NamesPdf(const CString& docFile) {
    for (const char* extension : {".PDF", ".pdf"}) {
        const std::size_t found = docFile.find(extension);
        if (found != CString::npos && found > 0) {
            return true;
        }
    }
    return false;
}

// The message for a shell result of 32 or less, as an insert template: %1 is the full path,
// "% " a space and "%." a period.
const char* MessageTemplate(int result, const CString& docFile) {
    switch (result) {
        case platform::kShellOutOfResources:
            return "The operating system is out of memory or resources.";
        case platform::kShellFileNotFound:
        case platform::kShellPathNotFound:
            return "The specified file %1% was not found.";
        case platform::kShellBadFormat:
            return "The specified file %1% is invalid.";
        case platform::kShellAccessDenied:
            return "The operating system denied access to the specified file.\nFile Name: %1%.";
        case platform::kShellAssociationIncomplete:
            return "The file name association is incomplete or invalid.\nFile Name: %1%.";
        case platform::kShellNoAssociation:
            return NamesPdf(docFile)
                       ? "Acrobat Reader is not installed.\nPlease install Acrobat Reader before "
                         "executing this operation."
                       : "There is no application associated with the given file name "
                         "extension.\nFile Name: %1%.";
        case platform::kShellNotEnoughMemory:
            return "There was not enough memory to complete the operation.";
        case platform::kShellSharingViolation:
            return "A sharing violation occurred.\nFile Name: %1%.";
        default:
            return kDefaultText;
    }
}

// Renders the inserts of a message template; the path is copied as it stands, percent signs
// and all.
CString RenderMessage(const char* text, const CString& path) {
    CString message;
    for (const char* c = text; *c != '\0'; ++c) {
        if (*c == '%' && c[1] == '1') {
            message += path;
            ++c;
        } else if (*c == '%' && (c[1] == ' ' || c[1] == '.')) {
            message += c[1];
            ++c;
        } else {
            message += *c;
        }
    }
    return message;
}

}  // namespace

CString ShellResultMessage(int result, const CString& docFile, const CString& fullPath) {
    return result > 32 ? CString() : RenderMessage(MessageTemplate(result, docFile), fullPath);
}

void OpenDocument(const CString& docsDir, const CString& docFile) {
    const platform::Services& services = platform::Current();
    const CString fullPath =
        services.files->NameOnDisk(docsDir + services.files->Separator() + docFile);
    const int result = services.shell->OpenDocument(fullPath);
    if (result <= 32) {
        AfxMessageBox(ShellResultMessage(result, docFile, fullPath).c_str(), MB_OK, 0);
    }
}

}  // namespace document
