// Helpers for every platform: files, folders, text, and what a finished program left behind.
#pragma once

#include <filesystem>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace support {

namespace fs = std::filesystem;

// The file's bytes; empty when it cannot be read.
std::string ReadFile(const fs::path& path);
// Parent folders made; false when the file could not be written.
bool WriteFile(const fs::path& path, const std::string& bytes);

// A new folder in the temporary folder, removed with all it holds on destruction.
class TempFolder {
  public:
    explicit TempFolder(const std::string& stem = "suitehelp");
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const fs::path& Path() const { return m_path; }
    std::string operator/(const std::string& name) const { return (m_path / name).string(); }
    // The file's path, its bytes written.
    std::string Write(const std::string& name, const std::string& bytes) const;

  private:
    fs::path m_path;
};

// `text` followed by comment lines (";xxx"), `size` bytes in all.
std::string Padded(std::string text, std::size_t size);
// What rewriting a file or folder changes: its type, bytes (hashed), permissions and time.
std::string FileState(const fs::path& path);

// Every occurrence of each key replaced by its value, in turn.
using Substitutions = std::vector<std::pair<std::string, std::string>>;
std::string Expand(std::string text, const Substitutions& substitutions);

// A program's exit status (-1: it did not run to its end) and what it wrote.
struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

// Table rows are named: CaseName for INSTANTIATE_TEST_SUITE_P, and PrintTo for reports (brought
// in by `using support::PrintTo;` beside the row's type).
inline constexpr auto CaseName = [](const auto& row) { return std::string(row.param.name); };
template <typename Row>
requires requires(const Row& row) {
    row.name;
}
void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

// The head and tail of a PDF document: enough for the desktop to take it for one.
inline constexpr char kMinimalPdf[] = "%PDF-1.4\n%%EOF\n";

}  // namespace support
