// What only the file store of POSIX systems does: where its files are, their layout and modes,
// and how a file that does not parse is reported.
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "test_support.h"
#include "vlregut/vlregut.h"

namespace {

using PosixStore = Registry;

mode_t modeOf(const std::string& path) {
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? info.st_mode & 0777 : 0;
}

TEST_F(PosixStore, EditsKeepLayoutAndModeAndLeaveTheSystemFileAlone) {
    const std::string system =
        "# installed\n[vlregut-test-Suite]\nDocsDir=/sys\n[" + std::string(259, 'p') + "]\n";
    support::writeFile(systemFile(), system);
    EXPECT_TRUE(selectProduct(std::string(259, 'P')));  // the longest id
    ASSERT_TRUE(selectProduct(kSuite));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/d"));
    EXPECT_EQ(support::readFile(userFile()), "[vlregut-test-Suite]\nDocsDir=/d\n");
    EXPECT_EQ(modeOf(userFile()), 0600u);

    support::writeFile(userFile(), "; mine\n[vlregut-test-suite]\ndocsdir = /d\n");
    ASSERT_EQ(chmod(userFile().c_str(), 0640), 0);
    ASSERT_TRUE(VlRegSetInstallDir("Other", "/x"));
    EXPECT_EQ(support::readFile(userFile()),
              "; mine\n[vlregut-test-suite]\ndocsdir = /d\nOther=/x\n");
    EXPECT_EQ(modeOf(userFile()), 0640u);
    EXPECT_EQ(support::readFile(systemFile()), system);
}

TEST_F(PosixStore, RelativeConfigHomeIsIgnored) {
    put(Layer::System, kSuite);
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    setenv("HOME", root_.path().c_str(), 1);
    ASSERT_TRUE(selectProduct(kSuite));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/d"));
    EXPECT_EQ(support::readFile(root_ / ".config/vlregut/registry.ini"),
              "[vlregut-test-Suite]\nDocsDir=/d\n");
}

TEST_F(PosixStore, SystemLayerLivesInTheFirstFolderThatHasOne) {
    setenv("XDG_CONFIG_DIRS", (":relative:" + root_ / "sys1" + ":" + root_ / "sys2").c_str(), 1);
    support::writeFile(systemFile(2), "[Found]\n");
    EXPECT_EQ(vlreg({"--system", "add", "A"}).status, 0);
    EXPECT_EQ(support::readFile(systemFile(2)), "[Found]\n\n[A]\n");
    EXPECT_FALSE(std::filesystem::exists(systemFile(1)));

    std::filesystem::remove_all(root_ / "sys2");
    EXPECT_EQ(vlreg({"--system", "add", "B"}).status, 0);
    EXPECT_EQ(support::readFile(systemFile(1)), "[B]\n");
}

TEST_F(PosixStore, UnparseableFilesAreReportedAndNeverOverwritten) {
    struct Case {
        std::string file;
        std::string text;
        std::string fault;
    };
    const Case cases[] = {
        {userFile(), "[vlregut-test-Suite]\nDocsDir=/d\ngarbage\n",
         ":3: expected [section] or key=value"},
        {systemFile(), "[vlregut-test-Suite]\n[Other]\n[vlregut-test-suite]\n",
         ":3: duplicate section [vlregut-test-suite], first at line 1"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(userFile());
        support::writeFile(systemFile(), "[vlregut-test-Suite]\n");
        ASSERT_TRUE(selectProduct(kSuite));
        support::writeFile(c.file, c.text);
        expectUnusable(c.file + c.fault, [&] { return support::readFile(c.file); });
    }
}

// Reads within one process reuse what they parsed only while the bytes are the same: an edit
// in place that keeps the size and the modification time is still seen.
TEST_F(PosixStore, EveryReadSeesTheFileAsItIsNow) {
    support::writeFile(userFile(), "[vlregut-test-Suite]\nDocsDir=/aaa\n");
    struct stat before {};
    ASSERT_EQ(stat(userFile().c_str(), &before), 0);
    ASSERT_TRUE(selectProduct(kSuite));
    EXPECT_EQ(get("DocsDir"), "/aaa");
    support::writeFile(userFile(), "[vlregut-test-Suite]\nDocsDir=/bbb\n");
    const timespec times[] = {before.st_atim, before.st_mtim};
    ASSERT_EQ(utimensat(AT_FDCWD, userFile().c_str(), times, 0), 0);
    EXPECT_EQ(get("DocsDir"), "/bbb");
}

TEST_F(PosixStore, NextWriteRemovesTemporariesOfAKilledWriter) {
    put(Layer::User, kSuite);
    const std::string folder = std::filesystem::path(userFile()).parent_path().string();
    support::writeFile(folder + "/registry.ini.Ab12Z9", "[half");  // as left by a killed writer
    support::writeFile(folder + "/registry.ini.keep", "");         // not a temporary's name
    ASSERT_TRUE(selectProduct(kSuite));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/d"));
    EXPECT_FALSE(std::filesystem::exists(folder + "/registry.ini.Ab12Z9"));
    EXPECT_TRUE(std::filesystem::exists(folder + "/registry.ini.keep"));
}

}  // namespace
