// Owners of the POSIX handles that the store opens: each closes its handle when it goes.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <utility>

namespace vlregut {

class ScopedFd {
  public:
    explicit ScopedFd(int fd) : m_fd(fd) {}
    ~ScopedFd() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    ScopedFd(const ScopedFd&) = delete;
    ScopedFd& operator=(const ScopedFd&) = delete;

    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

  private:
    int m_fd;
};

class ScopedDir {
  public:
    explicit ScopedDir(DIR* dir) : m_dir(dir) {}
    ~ScopedDir() {
        if (m_dir != nullptr) {
            ::closedir(m_dir);
        }
    }
    ScopedDir(const ScopedDir&) = delete;
    ScopedDir& operator=(const ScopedDir&) = delete;

    DIR* Get() const { return m_dir; }

  private:
    DIR* m_dir;
};

}  // namespace vlregut
