#pragma once

#include <filesystem>
#include <string>

// A fresh folder for one test, removed with everything in it afterwards.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }

    // Writes the bytes as they stand; returns the file's path.
    std::string Write(const std::string& name, const std::string& bytes) const;

  private:
    std::filesystem::path m_path;
};
