// What every implementation of the File-Open dialog shares.
#pragma once

#include <cstdio>
#include <functional>

#include "platform/user_interface.h"

namespace platform {

inline constexpr int kDialogCancelled = 2;  // IDCANCEL
// A desktop implementation that cannot show anything: the next one is tried.
inline constexpr int kDialogUnavailable = -1;

// A typed or chosen name as the dialog takes it: relative to the folder shown, and with the
// default extension when it has none.
CString CompleteChosenPath(const CString& name, const FileOpenRequest& request);

// Asks until the answer names a regular file: every dialog's answer passes here, so that no FIFO,
// socket, device or folder is ever taken for the document. ask returns kDialogConfirmed with a
// name (an empty one cancels), or any other value, which ends the question with that value. Each
// name that is not a regular file is said on notes, followed by retryNote.
int AskForRegularFile(const FileOpenRequest& request, std::FILE* notes, const char* retryNote,
                      CString* chosenPath, const std::function<int(CString*)>& ask);

// The text with each invalid UTF-8 sequence replaced: the toolkits take UTF-8 only, the module's
// text is bytes.
CString ValidUtf8(const CString& text);

// A glob that matches the pattern's letters in either case, as the dialogs of the primary
// platform do.
CString CaseBlindPattern(const CString& pattern);

}  // namespace platform
