// What the module shows the user: modal message boxes and the File-Open dialog.
#pragma once

#include "platform/text.h"

namespace platform {

inline constexpr int kDialogConfirmed = 1;  // IDOK

struct FileOpenRequest {
    CString title;
    CString filterLabel;
    CString filterPattern;
    CString defaultExt;
    CString fileName;
    CString initialDir;  // empty: none given
    bool fileMustExist = false;
    bool overwritePrompt = false;  // concerns saving only: an open dialog shows no such prompt
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // Shows a message box with one OK button and returns when the user has closed it.
    virtual int MessageBox(const CString& text, const CString& caption, unsigned type) = 0;

    // Shows the dialog modally. kDialogConfirmed with *chosenPath set when the user confirmed a
    // file; any other value when the user cancelled or the dialog failed.
    virtual int ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) = 0;
};

}  // namespace platform
