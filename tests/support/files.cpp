#include "support/files.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace support {

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    try {
        return {std::istreambuf_iterator<char>(in), {}};
    } catch (const std::ios_base::failure&) {  // e.g. the /proc file of a process that just ended
        return {};
    }
}

bool WriteFile(const fs::path& path, const std::string& bytes) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(out << bytes);
}

std::string UniqueName(const std::string& stem) {
    static std::atomic<int> serial = 0;
    return stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
}

TempFolder::TempFolder(const std::string& stem) {
    do {
        m_path = fs::temp_directory_path() / UniqueName(stem);
    } while (!fs::create_directory(m_path));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string TempFolder::Write(const std::string& relative, const std::string& bytes) const {
    const std::string file = *this / relative;
    WriteFile(file, bytes);
    return file;
}

std::string Padded(std::string text, std::size_t size) {
    while (text.size() < size) {
        const std::size_t line = std::min<std::size_t>(size - text.size(), 1000);
        if (line > 1) {
            text.append(";").append(line - 2, 'x');
        }
        text += '\n';
    }
    return text;
}

std::string FileState(const fs::path& path) {
    std::error_code error;
    const auto status = fs::status(path, error);
    const auto written = fs::last_write_time(path, error).time_since_epoch().count();
    const std::string bytes = fs::is_regular_file(status) ? ReadFile(path) : "";
    std::ostringstream state;
    state << "type " << static_cast<int>(status.type()) << " bytes "
          << std::hash<std::string>{}(bytes) << " permissions "
          << static_cast<int>(status.permissions()) << " written " << written;
    return state.str();
}

std::string Expand(std::string text, const Substitutions& substitutions) {
    for (const auto& [key, value] : substitutions) {
        for (auto at = text.find(key); at != std::string::npos;
             at = text.find(key, at + value.size())) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

}  // namespace support
