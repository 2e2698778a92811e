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
    // Reads a launch-configuration file holding `config`.
    void Read(const std::string& config) {
        const std::string path = dir.Write("help.cfg", config);
        ReadArguments({"-vellum", path.c_str()});
    }

    void ReadArguments(const std::vector<const char*>& arguments) {
        read = config::ReadLaunchSettings(arguments.data(), static_cast<int>(arguments.size()));
    }

    std::string Fields() const {
        return read.docNameFile + "|" + read.docFile + "|" + read.productId;
    }

    support::TempFolder dir;
    config::LaunchSettings read;
};

TEST_F(LaunchConfigurationTest, ReadsOnlyForALaunchOptionAndAFile) {
    const std::string path = dir.Write("help.cfg", "\n\nP1\n");
    for (const char* option : {"-vellum", "-VELLUM", "-Dax", "-dax"}) {
        ReadArguments({option, path.c_str(), "more"});
        EXPECT_EQ(Fields(), "|DOCS.PDF|P1") << option;
    }
    for (const char* option : {"vellum", "-vellumx", " -dax", "-da", "/dax", "--dax", "x"}) {
        ReadArguments({option, path.c_str()});
        EXPECT_EQ(Fields(), "|DOCS.PDF|") << option;
    }
    ReadArguments({"-vellum"});
    EXPECT_EQ(Fields(), "|DOCS.PDF|");
}

TEST_F(LaunchConfigurationTest, TakesPositionalLines) {
    struct {
        std::string config;
        std::string docNameFile;
        std::string productId;
    } cases[] = {
        {"names.txt\r\nskipped\r\nPROD\r\n", "names.txt", "PROD"},
        {"only line", "only line", ""},
        {"a\nb\nPROD\r", "a", "PROD\r"},  // the last line keeps its CR
        {"a\r\r\nb\nPROD\r\r\n", "a\r", "PROD\r"},
        {"\r\nskipped\nPROD", "", "PROD"},
        {std::string("a\nb\0\nPROD\n", 10), "a", ""},  // a NUL ends the text
        {"a\nb\n" + std::string(1100, 'x'), "a", std::string(1020, 'x')},
        {std::string(1024, '\n') + "a\nb\nPROD\n", "", ""},  // nothing after 1024 bytes
    };
    for (const auto& c : cases) {
        Read(c.config);
        EXPECT_EQ(read.docNameFile + "|" + read.productId, c.docNameFile + "|" + c.productId)
            << c.config;
    }
    CString text = "a\nb", first;
    CMainWindow::TakeFirstLine(text, first);  // the window's own name for the same rule
    EXPECT_EQ(first + "|" + text, "a|b");
}

TEST_F(LaunchConfigurationTest, UnreadableConfigurationLeavesDefaults) {
    ReadArguments({"-vellum", (dir / "absent.cfg").c_str()});
    EXPECT_EQ(Fields(), "|DOCS.PDF|");
    ReadArguments({"-vellum", dir.Path().string().c_str()});  // a folder is not a file
    EXPECT_EQ(Fields(), "|DOCS.PDF|");

    const std::string path = dir.Write("help.cfg", "a\nb\nPROD\n");
#ifdef _WIN32
    // Opened with no sharing granted: a file someone else holds is not read.
    const HANDLE held =
        ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ReadArguments({"-vellum", path.c_str()});
    EXPECT_EQ(Fields(), "|DOCS.PDF|");
    ::CloseHandle(held);
#else
    // No share modes: a lock that any reader can take must not switch help off.
    const int held = ::open(path.c_str(), O_RDONLY);
    ::flock(held, LOCK_EX);
    ReadArguments({"-vellum", path.c_str()});
    EXPECT_EQ(Fields(), "a|DOCS.PDF|PROD");
    ::close(held);
#endif
    ReadArguments({"-vellum", path.c_str()});
    EXPECT_EQ(Fields(), "a|DOCS.PDF|PROD");
}

TEST_F(LaunchConfigurationTest, DocumentNameFileGivesTheDocumentName) {
    struct {
        const char* contents;  // null: no such file
        std::string docFile;
    } cases[] = {
        {"MANUAL.PDF\r\nignored\n", "MANUAL.PDF"},
        {"", "DOCS.PDF"},
        {"\nignored", ""},
        {nullptr, "DOCS.PDF"},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(dir / "names.txt");
        if (c.contents != nullptr) {
            dir.Write("names.txt", c.contents);
        }
        Read(dir / "names.txt" + "\n\nPROD\n");
        EXPECT_EQ(read.docFile + "|" + read.productId, c.docFile + "|PROD") << c.docFile;
    }
    // A relative name is resolved against the current folder.
    dir.Write("names.txt", "rel.pdf\n");
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    Read("names.txt\n\nPROD\n");
    std::filesystem::current_path(previous);
    EXPECT_EQ(read.docFile, "rel.pdf");
}

}  // namespace
