#pragma once

#include <cstdint>

#include "platform/shell.h"

namespace platform {

// Opens documents through the desktop's default-application associations (GIO), without a shell
// and without waiting for the viewer.
class GioShell : public Shell {
  public:
    int OpenDocument(const CString& path) override;
};

// The shell's code for a document the file system cannot give (errno of stat on path).
int ShellResultForMissing(const CString& path, int error);

// The shell's code for a failed GIO launch (GLib's error domain, a GQuark, and code).
int ShellResultForGioError(std::uint32_t domain, int code);

}  // namespace platform
