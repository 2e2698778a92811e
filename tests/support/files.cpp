#include "support/files.h"

#include <atomic>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace support {

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

bool writeFile(const fs::path& path, const std::string& bytes) {
    std::error_code ignored;
    fs::create_directories(path.parent_path(), ignored);
    std::ofstream out(path, std::ios::binary);
    return static_cast<bool>(out << bytes);
}

std::string uniqueName(const std::string& stem) {
    static std::atomic<int> serial = 0;
    return stem + "-" + std::to_string(getpid()) + "-" + std::to_string(++serial);
}

TempFolder::TempFolder(const std::string& stem) {
    do {
        path_ = fs::temp_directory_path() / uniqueName(stem);
    } while (!fs::create_directory(path_));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

std::string expand(std::string text, const Substitutions& substitutions) {
    for (const auto& [key, value] : substitutions) {
        for (auto at = text.find(key); at != std::string::npos;
             at = text.find(key, at + value.size())) {
            text.replace(at, key.size(), value);
        }
    }
    return text;
}

}  // namespace support
