// What only the file store of POSIX systems does: where its files are, their layout and modes,
// what it refuses to read, and what it leaves of others' files and of a writer killed mid-write.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <random>
#include <set>

#include "test_support.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using PosixStore = StoreTest;

const std::string kValid = "[vlregut-test-Suite]\nDocsDir=/d\n";
const std::set<std::string> kStoreFiles{"registry.ini", "registry.ini.lock"};

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> files;
    for (const auto& file : fs::directory_iterator(folder)) {
        files.insert(file.path().filename());
    }
    return files;
}

// The user's layer is under XDG_CONFIG_HOME if absolute, else ~/.config. The machine-wide one is
// in the first folder of XDG_CONFIG_DIRS that has one, or else in the last (the system's own,
// after the desktops' extra ones). What writes create there has its mode whatever the umask.
TEST_F(PosixStore, WhereTheLayersLiveAndWhatWritesCreate) {
    setenv("XDG_CONFIG_HOME", "relative/config", 1);
    setenv("HOME", m_root.Path().c_str(), 1);
    const std::string folders =
        ":relative:" + m_root / "sys0" + ":" + m_root / "sys1" + ":" + m_root / "sys2";
    setenv("XDG_CONFIG_DIRS", folders.c_str(), 1);
    support::WriteFile(SystemFile("sys1"), "[Found]\n");
    const mode_t umasked = umask(077);
    EXPECT_EQ(Vlreg({"--system", "add", "A"}).status, 0);
    EXPECT_EQ(support::ReadFile(SystemFile("sys1")), "[Found]\n\n[A]\n");
    ASSERT_TRUE(SelectProduct("a"));  // the user's layer takes the machine-wide spelling
    const int input = dup(0);         // closed, so that the lock gets descriptor 0
    close(0);
    EXPECT_TRUE(VlRegSetInstallDir("DocsDir", "/d"));
    dup2(input, 0);
    close(input);
    fs::remove_all(m_root / "sys1");
    EXPECT_EQ(Vlreg({"--system", "add", "B"}).status, 0);
    umask(umasked);
    EXPECT_EQ(support::ReadFile(m_root / ".config/vlregut/registry.ini"), "[A]\nDocsDir=/d\n");
    EXPECT_EQ(support::ReadFile(SystemFile()), "[B]\n");
    for (const auto& [made, mode] : {std::pair<std::string, mode_t>{".config/vlregut", 0700},
                                     {".config/vlregut/registry.ini", 0600},
                                     {"sys2", 0755},
                                     {"sys2/vlregut", 0755},
                                     {"sys2/vlregut/registry.ini", 0644}}) {
        EXPECT_EQ(fs::status(m_root / made).permissions(), fs::perms(mode)) << made;
    }

    // A request that changes nothing takes no lock, so only a change finds it unusable.
    fs::remove(SystemFile() + ".lock");
    fs::create_directory(SystemFile() + ".lock");
    EXPECT_EQ(Vlreg({"--system", "add", "B"}).status, 0);
    EXPECT_EQ(Vlreg({"--system", "add", "C"}).err,
              "vlreg: " + SystemFile() + ".lock: cannot open lock: Is a directory\n");

    for (const auto& [home, fault] : {std::pair<const char*, std::string>{nullptr, "not set"},
                                      {"", "empty"},
                                      {"h", "not an absolute path: h"}}) {
        home != nullptr ? setenv("HOME", home, 1) : unsetenv("HOME");
        EXPECT_EQ(Vlreg({"add", "P"}).err,
                  "vlreg: cannot locate the user's configuration folder: HOME is " + fault + "\n");
    }
}

TEST_F(PosixStore, BadStoresAreReportedAndNeverTouched) {
    struct Bad {
        std::string made;  // under the test's folder: the store, or a file where its folder goes
        std::string bytes;
        std::string fault;  // in the report, after the store's path
        bool fifo = false;
    };
    const Bad bads[] = {
        {"home/vlregut/registry.ini", kValid + "garbage\n", ":3: expected [section] or key=value"},
        {"sys2/vlregut/registry.ini", "[vlregut-test-Suite]\n[Other]\n[vlregut-test-suite]\n",
         ":3: duplicate section [vlregut-test-suite], first at line 1"},
        {"home/vlregut/registry.ini", "[vlregut-test-Suite]\nDocsDir=/d\0\n"s, ":2: NUL byte"},
        {"sys2/vlregut/registry.ini", support::Padded(kValid, (1 << 20) + 1),
         ": larger than 1 MiB"},
        {"home/vlregut/registry.ini", "", ": not a regular file", true},
        {"home/vlregut", "", "/registry.ini: cannot open: Not a directory"},
    };
    for (const Bad& c : bads) {
        SCOPED_TRACE(c.fault);
        for (const char* folder : {"home", "sys2"}) {
            fs::remove_all(m_root / folder);
        }
        Put(Layer::System, kSuite);
        ASSERT_TRUE(SelectProduct(kSuite));
        const fs::path made = m_root / c.made;
        fs::create_directories(made.parent_path());
        ASSERT_TRUE(c.fifo ? mkfifo(made.c_str(), 0644) == 0 : support::WriteFile(made, c.bytes));
        // Back-dated, so that even a rewrite within the clock's tick would show.
        fs::last_write_time(made, fs::file_time_type::clock::now() - std::chrono::hours(24));
        ExpectUnusable(made.string() + c.fault, [&] {
            return support::FileState(made) + support::FileState(made.parent_path());
        });
    }
}

// A store that is a link is written through to its target, beside which the lock and the
// temporary go. The write keeps the file's layout and mode, and of the files beside it removes
// only what a writer killed mid-write left.
TEST_F(PosixStore, WritesKeepLinksLayoutModesAndOthersFiles) {
    const std::string dotfiles = m_root / "dotfiles";
    std::set<std::string> files{"registry.ini.backup", "registry.ini.rpmnew",
                                "registry.ini.bak001", "registry.ini.dpkg-old",
                                ".registry.ini.swp",   "registry.ini~"};
    for (const std::string& name : files) {
        support::WriteFile(dotfiles + "/" + name, "");
    }
    support::WriteFile(dotfiles + "/.registry.ini.vlregut-Ab12Z9", "[half");
    support::WriteFile(dotfiles + "/registry.ini", "; mine\n[vlregut-test-suite]\ndocsdir = /d\n");
    ASSERT_EQ(chmod((dotfiles + "/registry.ini").c_str(), 0640), 0);
    fs::create_directories(m_root / "home/vlregut");
    fs::create_symlink("../../dotfiles/registry.ini", UserFile());
    Put(Layer::System, std::string(259, 'p'));
    EXPECT_TRUE(SelectProduct(std::string(259, 'P')));  // the longest id
    EXPECT_FALSE(SelectProduct(std::string(260, 'P')));
    ASSERT_TRUE(SelectProduct(kSuite));
    ASSERT_TRUE(VlRegSetInstallDir("Other", "/x"));
    EXPECT_TRUE(fs::is_symlink(UserFile()));
    EXPECT_EQ(support::ReadFile(UserFile()),
              "; mine\n[vlregut-test-suite]\ndocsdir = /d\nOther=/x\n");
    EXPECT_EQ(fs::status(UserFile()).permissions(), fs::perms(0640));
    files.insert(kStoreFiles.begin(), kStoreFiles.end());
    EXPECT_EQ(FilesIn(dotfiles), files);
}

// A file cut at a line's end or inside a value is no fault: what is left is read, and the next
// write goes on from there. A write that would take the store past what reads accept is refused.
TEST_F(PosixStore, CutAndLargestFilesAreReadAsTheyStand) {
    const std::string largest = support::Padded(kValid, std::size_t{1} << 20);
    const std::string head = "[vlregut-test-Suite]";
    const std::string rows[][4] = {
        // The file, its DocsDir, the file once Other=/y is set, the report.
        {head, "<failed>", head + "\nOther=/y\n", ""},
        {head + "\nDocsDir=", "", head + "\nDocsDir=\nOther=/y\n", ""},
        {head + "\nDocsDir=/d\nOther=/x", "/d", head + "\nDocsDir=/d\nOther=/y", ""},
        {largest, "/d", largest,
         "vlregut: " + UserFile() + ": cannot save: it would be larger than 1 MiB\n"},
    };
    for (const auto& [text, docsDir, after, report] : rows) {
        support::WriteFile(UserFile(), text);
        ASSERT_TRUE(SelectProduct(kSuite));
        EXPECT_EQ(Get("DocsDir"), docsDir);
        testing::internal::CaptureStderr();
        EXPECT_EQ(VlRegSetInstallDir("Other", "/y"), report.empty() ? 1 : 0);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), report);
        EXPECT_TRUE(support::ReadFile(UserFile()) == after) << docsDir;  // no megabyte dumps
    }
}

// Only root may give a file away, so a group member cannot rewrite a group-managed store that
// another user owns: the report says what could not be kept, and the store stays as it was.
TEST_F(PosixStore, GroupManagedStoreSaysWhatCannotBeKept) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to write as another user of the store's group";
    }
    constexpr unsigned kNobody = 65534;  // and the group nogroup
    const std::string folder = m_root / "home/vlregut";
    support::WriteFile(UserFile(), kValid);
    ASSERT_EQ(chmod(m_root.Path().c_str(), 0755), 0);
    ASSERT_EQ(chown(folder.c_str(), 0, kNobody) | chmod(folder.c_str(), 02775), 0);
    ASSERT_EQ(chown(UserFile().c_str(), 0, kNobody) | chmod(UserFile().c_str(), 0664), 0);
    testing::internal::CaptureStderr();
    const pid_t child = fork();
    if (child == 0) {
        const bool nobody = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 &&
                            setuid(kNobody) == 0 && SelectProduct(kSuite);
        _exit(nobody ? VlRegSetInstallDir("D", "/x") : 2);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vlregut: " + UserFile() +
                  ": cannot save: cannot keep its owner (uid 0): Operation not permitted\n");
    EXPECT_EQ(status, 0);  // the write failed
    EXPECT_EQ(support::ReadFile(UserFile()), kValid);
    EXPECT_EQ(FilesIn(folder), kStoreFiles);
}

// Random delays print their seed; VLREGUT_TEST_SEED=<seed> replays a run.
TEST_F(PosixStore, WriterKilledAnywhereLeavesTheOldFileOrTheNewOne) {
    const char* given = std::getenv("VLREGUT_TEST_SEED");
    const unsigned seed =
        given != nullptr ? static_cast<unsigned>(std::stoul(given)) : std::random_device{}();
    std::cout << "[   SEED   ] VLREGUT_TEST_SEED=" << seed << std::endl;
    std::mt19937 random(seed);
    // Padding between the product written and the last one makes a cut anywhere show.
    const std::string last = "[vlregut-test-Last]\n";
    support::WriteFile(UserFile(), support::Padded("[vlregut-test-P]\n", 100'000) + last);
    int midWrite = 0;
    for (int kill = 0; kill < 50; ++kill) {
        const auto after = std::chrono::milliseconds(random() % 40);
        SCOPED_TRACE(testing::Message() << "kill " << kill << " after " << after.count() << " ms");
        ASSERT_EQ(RunProgram(WRITER_EXE, {"0", kPrefix + "P", "0"}, after).status, -1)
            << "it ended";
        ASSERT_TRUE(support::ReadFile(UserFile()).ends_with(last));
        ASSERT_TRUE(SelectProduct(kPrefix + "Last"));  // the whole file parses
        midWrite += FilesIn(m_root / "home/vlregut") != kStoreFiles;
    }
    // Kills that leave no temporary mostly land between writes, which proves less.
    EXPECT_GT(midWrite, 0) << "no kill landed mid-write";
}

}  // namespace
