#include "platform/win32/file_system.h"

#include <io.h>
#include <stdlib.h>
#include <string.h>

#include "platform/crt.h"

namespace platform {

void Win32FileSystem::FoldCase(CString& joinedPath) const {
    platform::_strlwr(joinedPath.data());
}

int Win32FileSystem::Access(const char* path) const {
    return ::_access(path, 0);
}

bool Win32FileSystem::SplitPath(const char* path, char* drive, char* dir, char* fname,
                                char* ext) const {
    // The checked form refuses a part that does not fit instead of writing past its buffer.
    return ::_splitpath_s(path, drive, kMaxDrive, dir, kMaxDir, fname, kMaxFname, ext, kMaxExt) ==
           0;
}

}  // namespace platform
