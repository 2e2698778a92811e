// What the module shows the user: modal message boxes and the File-Open dialog.
#pragma once

#include "platform/text.h"

namespace platform {

// How a dialog or message box ended. Unavailable: it could not be shown at all (on Linux the next
// dialog method is then tried); the framework takes it as cancelled.
enum class DialogResult { Confirmed, Cancelled, Unavailable };

struct FileOpenRequest {
    CString title;
    CString filterLabel;
    CString filterPattern;
    CString defaultExt;
    CString fileName;
    CString initialDir;  // empty: none given
    bool fileMustExist = false;
};

class UserInterface {
  public:
    virtual ~UserInterface() = default;

    // Shows a message box with one OK button and returns when the user has closed it.
    virtual DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) = 0;

    // Shows the dialog modally. Confirmed with *chosenPath set when the user confirmed a file.
    virtual DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) = 0;
};

}  // namespace platform
