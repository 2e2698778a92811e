#pragma once

#include "platform/user_interface.h"

namespace platform {

// How a path chosen in the dialog is converted to an ANSI code page: the WideCharToMultiByte
// flags, and whether the call is asked if it put in a default character (the path is then not
// representable). UTF-8 (65001) takes neither best-fit flags nor that question: the call fails.
struct PathNarrowing {
    unsigned long flags;
    bool asksForDefault;
};
PathNarrowing PathNarrowingFor(unsigned codePage);

// The path in the code page; false when the code page cannot hold it, which counts as cancelled:
// a substitute would name another file.
bool NarrowPath(const wchar_t* wide, unsigned codePage, CString* text);

// Message boxes and the Vista-style File-Open dialog, all without an owner window.
class Win32UserInterface : public UserInterface {
  public:
    DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) override;
    DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;
};

}  // namespace platform
