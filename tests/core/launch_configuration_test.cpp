#include <gtest/gtest.h>

#include "app/main_window.h"
#include "config/launch_configuration.h"
#include "support/files.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#endif

namespace {

class LaunchConfigurationTest : public testing::Test {
  protected:
    // "document-name file|document name|product id" read with these arguments, or from a
    // launch-configuration file holding `config`.
    std::string Read(const std::vector<const char*>& arguments) {
        const auto read =
            config::ReadLaunchSettings(arguments.data(), static_cast<int>(arguments.size()));
        return read.docNameFile + "|" + read.docFile + "|" + read.productId;
    }
    std::string ReadFileHolding(const std::string& config) {
        return Read({"-vellum", dir.Write("help.cfg", config).c_str()});
    }

    support::TempFolder dir;
};

TEST_F(LaunchConfigurationTest, ReadsOnlyForALaunchOptionAndAFile) {
    const std::string path = dir.Write("help.cfg", "\n\nP1\n");
    for (const char* option : {"-vellum", "-VELLUM", "-Dax", "-dax"}) {
        EXPECT_EQ(Read({option, path.c_str(), "more"}), "|DOCS.PDF|P1") << option;
    }
    for (const char* option : {"vellum", "-vellumx", " -dax", "-da", "/dax", "--dax", "x"}) {
        EXPECT_EQ(Read({option, path.c_str()}), "|DOCS.PDF|") << option;
    }
    EXPECT_EQ(Read({"-vellum"}), "|DOCS.PDF|");
    // Neither a missing file nor a folder is read.
    EXPECT_EQ(Read({"-vellum", (dir / "absent.cfg").c_str()}), "|DOCS.PDF|");
    EXPECT_EQ(Read({"-vellum", dir.Path().string().c_str()}), "|DOCS.PDF|");
}

TEST_F(LaunchConfigurationTest, TakesPositionalLines) {
    const std::pair<std::string, std::string> cases[] = {
        {"names.txt\r\nskipped\r\nPROD\r\n", "names.txt|PROD"},
        {"only line", "only line|"},
        {"a\nb\nPROD\r", "a|PROD\r"},  // the last line keeps its CR
        {"a\r\r\nb\nPROD\r\r\n", "a\r|PROD\r"},
        {"\r\nskipped\nPROD", "|PROD"},
        {" names.txt\t\nskipped\n  PROD \n", " names.txt\t|  PROD "},  // blanks stay
        {"a\rb\rPROD\r", "a\rb\rPROD\r|"},                             // a CR alone ends no line
        {std::string("a\nb\0\nPROD\n", 10), "a|"},                     // a NUL ends the text
        {"a\nb\n" + std::string(1100, 'x'), "a|" + std::string(1020, 'x')},
        {std::string(1024, '\n') + "a\nb\nPROD\n", "|"},  // nothing after 1024 bytes
    };
    for (const auto& [config, read] : cases) {
        const std::string fields = ReadFileHolding(config);
        EXPECT_EQ(fields.substr(0, fields.find('|')) + fields.substr(fields.rfind('|')), read)
            << config;
    }
    CString text = "a\nb", first;
    CMainWindow::TakeFirstLine(text, first);  // the window's own name for the same rule
    EXPECT_EQ(first + "|" + text, "a|b");
}

TEST_F(LaunchConfigurationTest, HeldConfigurationFile) {
    const std::string path = dir.Write("help.cfg", "a\nb\nPROD\n");
#ifdef _WIN32
    // Opened with no sharing granted: a file someone else holds is not read.
    const HANDLE held =
        ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(Read({"-vellum", path.c_str()}), "|DOCS.PDF|");
    ::CloseHandle(held);
#else
    // No share modes: a lock that any reader can take must not switch help off.
    const int held = ::open(path.c_str(), O_RDONLY);
    ::flock(held, LOCK_EX);
    EXPECT_EQ(Read({"-vellum", path.c_str()}), "a|DOCS.PDF|PROD");
    ::close(held);
#endif
    EXPECT_EQ(Read({"-vellum", path.c_str()}), "a|DOCS.PDF|PROD");
}

TEST_F(LaunchConfigurationTest, DocumentNameFileGivesTheDocumentName) {
    // The file's contents (null: no such file) and the document's name.
    for (const auto& [contents, docFile] :
         {std::pair<const char*, std::string>{"MANUAL.PDF\r\nignored\n", "MANUAL.PDF"},
          {"", "DOCS.PDF"},
          {"\nignored", ""},
          {nullptr, "DOCS.PDF"}}) {
        std::filesystem::remove(dir / "names.txt");
        if (contents != nullptr) {
            dir.Write("names.txt", contents);
        }
        EXPECT_EQ(ReadFileHolding(dir / "names.txt" + "\n\nPROD\n"),
                  dir / "names.txt|" + docFile + "|PROD");
    }
    // A relative name is resolved against the current folder.
    dir.Write("names.txt", "rel.pdf\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    EXPECT_EQ(ReadFileHolding("names.txt\n\nPROD\n"), "names.txt|rel.pdf|PROD");
    std::filesystem::current_path(previous);
}

}  // namespace
