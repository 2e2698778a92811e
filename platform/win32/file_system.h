#pragma once

#include "platform/file_system.h"

namespace platform {

// Windows path rules, straight from the C runtime: names are matched without regard to case, so
// the lower-cased path names the same file.
class Win32FileSystem : public FileSystem {
  public:
    char Separator() const override { return '\\'; }
    void FoldCase(CString& joinedPath) const override;
    int Access(const char* path) const override;
    CString NameOnDisk(const CString& path) const override { return path; }
    bool SplitPath(const char* path, char* drive, char* dir, char* fname, char* ext) const override;
};

}  // namespace platform
