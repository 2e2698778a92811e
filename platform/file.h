// The framework's file class: reading a small file with no sharing granted.
#pragma once

#include <cstddef>
#include <cstdint>

class CFileException {
  public:
    enum Cause { fileNotFound, badPath, accessDenied, sharingViolation, genericException };

    explicit CFileException(Cause cause) : m_cause(cause) {}

    Cause m_cause;
};

// A file opened for reading only, with no sharing granted (POSIX has no share modes: there the
// file is opened without a lock). Only a regular file (on Windows: a disk file) is opened; any
// other counts as access denied. Every file-system failure throws a CFileException.
class CFile {
  public:
    enum OpenFlags : unsigned { modeRead = 0x0, shareExclusive = 0x10 };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    ~CFile();

    // Only modeRead | shareExclusive is supported: the file must exist, and it is never created.
    void Open(const char* path, unsigned flags);
    std::size_t Read(void* buffer, std::size_t count);
    void Close();

  private:
    // Closes without reporting a failure, as after a failure has been reported.
    void Abort();

    std::intptr_t m_handle = -1;
};
