#pragma once

#include "platform/shell.h"

namespace platform {

// Opens documents through the desktop's default-application associations (GIO), without a shell
// and without waiting for the viewer.
class GioShell : public Shell {
  public:
    int OpenDocument(const CString& path) override;
};

}  // namespace platform
