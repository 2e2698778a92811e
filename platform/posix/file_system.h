#pragma once

#include "platform/file_system.h"

namespace platform {

// A file system that tells case apart: '/' separates, a backslash is an ordinary character,
// and the documentation file is matched by name without regard to ASCII case.
class PosixFileSystem : public FileSystem {
  public:
    char Separator() const override { return '/'; }
    void FoldCase(CString& joinedPath) const override;
    int Access(const char* path) const override;
    CString NameOnDisk(const CString& path) const override;
    bool SplitPath(const char* path, char* drive, char* dir, char* fname, char* ext) const override;
};

}  // namespace platform
