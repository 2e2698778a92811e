// Finding the documentation file through the install-registry component, asking the user for it
// when it is not where the component says, and storing the folder the user pointed at.
#pragma once

#include "platform/framework.h"

namespace document {

// Selects the product in the component, reads its documents folder into docsDir and lower-cases
// docFile; when the document is not in that folder, asks for it in the File-Open dialog (owner:
// the dialog's parent and the message box's) and stores the folder of a chosen file that bears
// its name, in docsDir and in the component. 1 when the document is found or its folder stored,
// otherwise 0; docFile and docsDir are left alone when the product is refused.
int LocateDocument(CFrameWnd& owner, const CString& productId, CString& docFile, CString& docsDir);

}  // namespace document
