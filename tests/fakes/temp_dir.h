#pragma once

#include <string>

#include "support/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

// The core tests' name for a test's own temporary folder.
using TempDir = support::TempFolder;

// Holds a file open the way another program of the suite would while writing it: without
// sharing on Windows, under an exclusive lock on POSIX.
class FileHolder {
  public:
    explicit FileHolder(const std::string& path);
    ~FileHolder();
    FileHolder(const FileHolder&) = delete;
    FileHolder& operator=(const FileHolder&) = delete;

  private:
#ifdef _WIN32
    HANDLE m_handle;
#else
    int m_fd;
#endif
};
