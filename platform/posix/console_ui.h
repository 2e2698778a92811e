#pragma once

#include <cstdio>

#include "platform/user_interface.h"

namespace platform {

// The user interface of a session without a desktop: message boxes go to standard error, and the
// File-Open dialog asks for a path on standard input.
class ConsoleUserInterface : public UserInterface {
  public:
    ConsoleUserInterface(std::FILE* in, std::FILE* out) : m_in(in), m_out(out) {}

    int MessageBox(const CString& text, const CString& caption, unsigned type) override;
    int ShowFileOpen(const FileOpenRequest& request, CString* chosenPath) override;

  private:
    std::FILE* m_in;
    std::FILE* m_out;
};

}  // namespace platform
