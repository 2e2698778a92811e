#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

#include "platform/file.h"
#include "platform/posix/scoped.h"

namespace {

CFileException::Cause CauseOf(int error) {
    switch (error) {
        case ENOENT:
            return CFileException::fileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return CFileException::badPath;
        case EACCES:
        case EPERM:
        case EISDIR:
            return CFileException::accessDenied;
        default:
            return CFileException::genericException;
    }
}

}  // namespace

CFile::~CFile() {
    Abort();
}

// POSIX has no share modes, and an advisory lock would only let anyone who can read the file
// make it unreadable: the file is read without one. It is opened without blocking, so that a
// FIFO or device cannot hold the session, and only a regular file is read.
void CFile::Open(const char* path, unsigned /*flags*/) {
    platform::UniqueFd fd(::open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) {
        throw CFileException(CauseOf(errno));
    }
    struct stat status;
    if (::fstat(fd.Get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        throw CFileException(CFileException::accessDenied);
    }
    m_handle = fd.Release();
}

std::size_t CFile::Read(void* buffer, std::size_t count) {
    ssize_t got;
    do {
        got = ::read(static_cast<int>(m_handle), buffer, count);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        throw CFileException(CauseOf(errno));
    }
    return static_cast<std::size_t>(got);
}

void CFile::Close() {
    const int fd = static_cast<int>(m_handle);
    m_handle = -1;
    if (fd >= 0 && ::close(fd) != 0) {
        throw CFileException(CFileException::genericException);
    }
}

void CFile::Abort() {
    if (m_handle >= 0) {
        ::close(static_cast<int>(m_handle));
        m_handle = -1;
    }
}
