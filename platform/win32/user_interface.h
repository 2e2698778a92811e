#pragma once

#include "platform/user_interface.h"

namespace platform {

// Message boxes and the Vista-style File-Open dialog, all without an owner window.
class Win32UserInterface : public UserInterface {
  public:
    DialogResult MessageBox(const CString& text, const CString& caption, unsigned type) override;
    DialogResult ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;
};

}  // namespace platform
