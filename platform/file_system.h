// The path rules of the platform's file system.
#pragma once

#include <cstddef>

#include "platform/text.h"

namespace platform {

// Capacities of the parts of a split path, terminating NUL included.
inline constexpr std::size_t kMaxDrive = 3;
inline constexpr std::size_t kMaxDir = 256;
inline constexpr std::size_t kMaxFname = 256;
inline constexpr std::size_t kMaxExt = 256;

class FileSystem {
  public:
    virtual ~FileSystem() = default;

    // The separator that joins a folder and a name.
    virtual char Separator() const = 0;

    // Brings a joined path (folder, separator, lower-case name) to the case in which the module
    // tests it and shows it. A case-blind file system lower-cases the whole path; one that tells
    // case apart leaves the folder as it is.
    virtual void FoldCase(CString& joinedPath) const = 0;

    // 0 when a file or folder of that name exists, otherwise non-zero.
    virtual int Access(const char* path) const = 0;

    // The path with its last component spelled as it stands on disk, where a file system that
    // tells case apart has an entry matching it without regard to ASCII case; otherwise the
    // path unchanged.
    virtual CString NameOnDisk(const CString& path) const = 0;

    // Splits a path into drive, directory (with its trailing separator), file name and
    // extension, into buffers of the capacities above. False, with nothing promised about the
    // buffers, when a part does not fit.
    virtual bool SplitPath(const char* path, char* drive, char* dir, char* fname,
                           char* ext) const = 0;
};

}  // namespace platform
