// Opening a document with the application the desktop associates with its type.
#pragma once

#include "platform/text.h"

namespace platform {

// The shell's result codes (the Win32 names in comments); above 32 means handed over.
enum ShellResult : int {
    kShellOutOfResources = 0,
    kShellFileNotFound = 2,            // SE_ERR_FNF
    kShellPathNotFound = 3,            // SE_ERR_PNF
    kShellAccessDenied = 5,            // SE_ERR_ACCESSDENIED
    kShellNotEnoughMemory = 8,         // SE_ERR_OOM
    kShellBadFormat = 11,              // ERROR_BAD_FORMAT
    kShellSharingViolation = 26,       // SE_ERR_SHARE
    kShellAssociationIncomplete = 27,  // SE_ERR_ASSOCINCOMPLETE
    kShellDdeFailed = 29,              // SE_ERR_DDEFAIL
    kShellNoAssociation = 31,          // SE_ERR_NOASSOC
    kShellHandedOver = 33,
};

class Shell {
  public:
    virtual ~Shell() = default;

    // Hands the document to its application without waiting for it; answers the shell's result,
    // greater than 32 on success, otherwise one of the codes above.
    virtual int OpenDocument(const CString& path) = 0;
};

}  // namespace platform
