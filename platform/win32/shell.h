#pragma once

#include "platform/shell.h"

namespace platform {

class Win32Shell : public Shell {
  public:
    int OpenDocument(const CString& path) override;
};

}  // namespace platform
