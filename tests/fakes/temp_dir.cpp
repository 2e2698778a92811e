#include "tests/fakes/temp_dir.h"

#include <fstream>
#include <random>

TempDir::TempDir() {
    std::random_device random;
    for (;;) {
        m_path = std::filesystem::temp_directory_path() /
                 ("suitehelp-" + std::to_string(random()) + std::to_string(random()));
        if (std::filesystem::create_directory(m_path)) {
            return;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(m_path, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
    const std::string file = *this / name;
    std::ofstream(file, std::ios::binary) << bytes;
    return file;
}

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
