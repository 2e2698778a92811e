// Finding the documentation file through the install-registry component, asking the user for it
// when it is not where the component says, and storing the folder the user pointed at.
#pragma once

#include "platform/framework.h"

namespace document {

enum class Lookup { ProductRefused, Found, Missing };

// Selects the product in the component and reads its documents folder into docsDir; lower-cases
// docFile and gives the joined path (folder, separator, name) in the case in which it is tested.
// docFile and docsDir are left alone when the product is refused.
Lookup FindInRegisteredFolder(const CString& productId, CString& docFile, CString& docsDir,
                              CString& joinedPath);

// Shows the File-Open dialog for the document; true with chosenPath set when the user confirmed
// a file that still exists.
bool AskForDocument(CFrameWnd& owner, const CString& joinedPath, const CString& docFile,
                    const CString& docsDir, CString& chosenPath);

// Accepts the chosen file only if it bears the document's name (telling the user otherwise) and
// stores its folder in docsDir and in the component; true when stored.
bool StoreChosenFolder(CFrameWnd& owner, const CString& chosenPath, const CString& docFile,
                       CString& docsDir);

}  // namespace document
