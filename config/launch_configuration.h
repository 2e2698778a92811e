// The launch option and the two small text files that name the documentation file and the
// product.
#pragma once

#include "platform/text.h"

namespace config {

// What a launch asks for; each default stands while the file that would set it cannot be read.
struct LaunchSettings {
    CString docNameFile;
    CString docFile = "DOCS.PDF";
    CString productId;
};

// Recognises the launch option (-vellum or -dax, in any case) in the first argument, reads the
// launch-configuration file named by the second and then the document-name file it names.
LaunchSettings ReadLaunchSettings(const char* const* arguments, int count);

// Moves the first line of text into destination; an empty text leaves destination as it is.
void TakeFirstLine(CString& text, CString& destination);

}  // namespace config
