#include "tests/fakes/temp_dir.h"

FileHolder::FileHolder(const std::string& path) {
#ifdef _WIN32
    m_handle = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
#else
    m_fd = ::open(path.c_str(), O_RDONLY);
    ::flock(m_fd, LOCK_EX);
#endif
}

FileHolder::~FileHolder() {
#ifdef _WIN32
    ::CloseHandle(m_handle);
#else
    ::close(m_fd);
#endif
}
