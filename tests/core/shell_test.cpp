// The shell's codes for a document the file system cannot give, decided before GIO is asked: an
// error the user cannot act on must not read as "out of memory".
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/posix/shell.h"
#include "support/files.h"

namespace {

using support::PrintTo;

struct Row {
    const char* name;
    std::string document;  // under a folder with "file", "loop" (linked to itself), "locked" (r--)
    int result;
};

const Row kRows[] = {
    {"MissingFile", "guide.pdf", platform::kShellFileNotFound},
    {"MissingFolder", "gone/guide.pdf", platform::kShellPathNotFound},
    {"FileForFolder", "file/guide.pdf", platform::kShellPathNotFound},
    {"LinkLoop", "loop/guide.pdf", platform::kShellPathNotFound},
    {"NameTooLong", std::string(300, 'n') + ".pdf", platform::kShellPathNotFound},
    {"FolderLocked", "locked/guide.pdf", platform::kShellAccessDenied},
};

class GioShellTest : public testing::TestWithParam<Row> {};

TEST_P(GioShellTest, AnswersTheShellCodeOfAMissingDocument) {
    if (GetParam().result == platform::kShellAccessDenied && geteuid() == 0) {
        GTEST_SKIP() << "root passes through any folder, so access cannot be denied";
    }
    const support::TempFolder folder;
    folder.Write("file", "");
    std::filesystem::create_symlink("loop", folder.Path() / "loop");
    std::filesystem::create_directory(folder.Path() / "locked");
    std::filesystem::permissions(folder.Path() / "locked", std::filesystem::perms::owner_read);
    EXPECT_EQ(platform::GioShell().OpenDocument(folder / GetParam().document), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(Table, GioShellTest, testing::ValuesIn(kRows), support::CaseName);

}  // namespace
