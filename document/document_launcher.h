// Handing the documentation file to the application the desktop associates with its type.
#pragma once

#include "platform/text.h"

namespace document {

// The message for a shell result, with the full path inserted; empty for a result above 32,
// which means the document was handed over.
CString ShellResultMessage(int result, const CString& docFile, const CString& fullPath);

// Hands docsDir/docFile to the shell without waiting for the viewer and shows the message for a
// failure in the application's message box.
void OpenDocument(const CString& docsDir, const CString& docFile);

}  // namespace document
