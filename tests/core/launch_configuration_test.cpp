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
    // "document-name file|document name|product id" read with these arguments.
    std::string Read(const std::vector<const char*>& arguments) {
        const auto read =
            config::ReadLaunchSettings(arguments.data(), static_cast<int>(arguments.size()));
        return read.docNameFile + "|" + read.docFile + "|" + read.productId;
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

// Lines 1 and 3 of the launch-configuration file, and the first line of the document-name file
// (names.txt in the current folder; null: none) as the document's name.
TEST_F(LaunchConfigurationTest, TakesPositionalLines) {
    const auto previous = std::filesystem::current_path();
    std::filesystem::current_path(dir.Path());
    // clang-format off
    const std::tuple<std::string, const char*, std::string> cases[] = {
        {"names.txt\r\nskipped\r\nPROD\r\n", "MANUAL.PDF\r\nignored\n", "names.txt|MANUAL.PDF|PROD"},
        {"names.txt\n\nPROD\n", "", "names.txt|DOCS.PDF|PROD"}, {"names.txt\n\nPROD\n", "\nignored", "names.txt||PROD"},
        {"only line", nullptr, "only line|DOCS.PDF|"},
        {"a\nb\nPROD\r", nullptr, "a|DOCS.PDF|PROD\r"},  // the last line keeps its CR
        {"a\r\r\nb\nPROD\r\r\n", nullptr, "a\r|DOCS.PDF|PROD\r"},
        {"\r\nskipped\nPROD", "x.pdf", "|DOCS.PDF|PROD"},
        {" names.txt\t\nskipped\n  PROD \n", "x.pdf", " names.txt\t|DOCS.PDF|  PROD "},  // blanks stay
        {"a\rb\rPROD\r", nullptr, "a\rb\rPROD\r|DOCS.PDF|"},  // a CR alone ends no line
        {std::string("a\nb\0\nPROD\n", 10), nullptr, "a|DOCS.PDF|"},  // a NUL ends the text
        {"a\nb\n" + std::string(1100, 'x'), nullptr, "a|DOCS.PDF|" + std::string(1020, 'x')},
        {std::string(1024, '\n') + "a\nb\nPROD\n", nullptr, "|DOCS.PDF|"}};  // nothing after 1024 bytes
    // clang-format on
    for (const auto& [config, names, read] : cases) {
        std::filesystem::remove("names.txt");
        if (names != nullptr) {
            dir.Write("names.txt", names);
        }
        EXPECT_EQ(Read({"-vellum", dir.Write("help.cfg", config).c_str()}), read) << config;
    }
    std::filesystem::current_path(previous);
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

}  // namespace
