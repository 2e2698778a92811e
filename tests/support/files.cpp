#include "support/files.h"

#include <algorithm>
#include <atomic>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>

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
    return static_cast<bool>(std::ofstream(path, std::ios::binary) << bytes);
}

TempFolder::TempFolder(const std::string& stem) {
    // The first free name: unique among the processes on this machine while it lasts.
    static std::atomic<unsigned> serial = std::random_device{}();
    do {
        m_path = fs::temp_directory_path() / (stem + "-" + std::to_string(++serial));
    } while (!fs::create_directory(m_path));
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    fs::remove_all(m_path, ignored);
}

std::string TempFolder::Write(const std::string& name, const std::string& bytes) const {
    WriteFile(*this / name, bytes);
    return *this / name;
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
    return "type " + std::to_string(static_cast<int>(status.type())) + " bytes " +
           std::to_string(
               std::hash<std::string>{}(fs::is_regular_file(status) ? ReadFile(path) : "")) +
           " permissions " + std::to_string(static_cast<int>(status.permissions())) + " written " +
           std::to_string(fs::last_write_time(path, error).time_since_epoch().count());
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
