// What only the file store of POSIX systems does: its files' layout and modes, what it refuses to
// read, and what it leaves of others' files and of a writer killed mid-write.
#include <sys/stat.h>

#include <filesystem>
#include <iostream>
#include <random>
#include <set>

#include "test_support.h"

namespace fs = std::filesystem;
using namespace std::string_literals;

namespace {

using PosixStore = StoreTest;

TEST_F(PosixStore, BadStoresAreReportedAndNeverTouched) {
    const std::string valid = "[vlregut-test-Suite]\nDocsDir=/d\n";
    const std::tuple<std::string, std::string, std::string> bads[] = {
        // Under the test's folder: the store, or a file where its folder goes ("" for a FIFO);
        // what it holds; the report after its path.
        {"home/vlregut/registry.ini", valid + "garbage\n", ":3: expected [section] or key=value"},
        {"sys1/vlregut/registry.ini", "[vlregut-test-Suite]\n[Other]\n[vlregut-test-suite]\n",
         ":3: duplicate section [vlregut-test-suite], first at line 1"},
        {"home/vlregut/registry.ini", valid + "x=\0\n"s, ":3: NUL byte"},
        {"sys2/vlregut/registry.ini", support::Padded(valid, (1 << 20) + 1), ": larger than 1 MiB"},
        {"home/vlregut/registry.ini", "", ": not a regular file"},
        {"home/vlregut", "x", "/registry.ini: cannot open: Not a directory"},
    };
    for (const auto& [file, bytes, fault] : bads) {
        for (const char* folder : {"home", "sys1", "sys2"}) {
            fs::remove_all(m_root / folder);
        }
        Put(Layer::System, kSuite);
        ASSERT_TRUE(SelectFromC(kSuite.c_str()));
        const fs::path made = m_root / file;
        fs::create_directories(made.parent_path());
        ASSERT_TRUE(bytes.empty() ? mkfifo(made.c_str(), 0644) == 0
                                  : support::WriteFile(made, bytes));
        // Back-dated, so that even a rewrite within the clock's tick would show.
        fs::last_write_time(made, fs::file_time_type::clock::now() - std::chrono::hours(24));
        ExpectUnusable(made.string() + fault, [&] {
            return support::FileState(made) + support::FileState(made.parent_path());
        });
    }
}

// A store that is a link is written through to its target, beside which the lock and the
// temporary go. A write keeps the file's layout and mode, gives new files and folders their modes
// whatever the umask, and of the files beside it removes only what a writer killed mid-write
// left. A file cut at a line's end is read as it stands.
TEST_F(PosixStore, WritesKeepLinksLayoutModesAndOthersFiles) {
    const fs::path dotfiles = m_root / "dotfiles";
    const std::set<std::string> kept{"registry.ini", "registry.ini.lock", "registry.ini~",
                                     ".registry.ini.swp", ".registry.ini.vlregut-Ab12Z"};
    for (const std::string& name : kept) {
        support::WriteFile(dotfiles / name, "; mine\n[vlregut-test-suite]\ndocsdir = /d");
    }
    support::WriteFile(dotfiles / ".registry.ini.vlregut-Ab12Z9", "[half");
    fs::permissions(dotfiles / "registry.ini", fs::perms(0640));
    fs::create_directories(m_root / "home/vlregut");
    fs::create_symlink("../../dotfiles/registry.ini", UserFile());
    ASSERT_TRUE(SelectFromC(kSuite.c_str()));
    EXPECT_EQ(Get("DocsDir"), " /d");
    ASSERT_TRUE(VlRegSetInstallDir("Other", "/x"));
    EXPECT_TRUE(fs::is_symlink(UserFile()));
    EXPECT_EQ(support::ReadFile(UserFile()),
              "; mine\n[vlregut-test-suite]\ndocsdir = /d\nOther=/x\n");
    EXPECT_EQ(fs::status(UserFile()).permissions(), fs::perms(0640));
    std::set<std::string> left;
    for (const auto& file : fs::directory_iterator(dotfiles)) {
        left.insert(file.path().filename());
    }
    EXPECT_EQ(left, kept);

    // Only a missing store passes over a folder of the list, also one that is not a folder.
    support::WriteFile(m_root / "sys1/vlregut", "");
    setenv("XDG_CONFIG_HOME", (m_root / "new").c_str(), 1);
    const mode_t umasked = umask(077);
    EXPECT_EQ(Vlreg({"--system", "add", kSuite}).status, 0);
    EXPECT_EQ(Vlreg({"set", kSuite, "DocsDir", "/u"}).status, 0);
    umask(umasked);
    for (const auto& [made, mode] : {std::pair{"sys2", 0755},
                                     {"sys2/vlregut", 0755},
                                     {"sys2/vlregut/registry.ini", 0644},
                                     {"new/vlregut", 0700},
                                     {"new/vlregut/registry.ini", 0600}}) {
        EXPECT_EQ(fs::status(m_root / made).permissions(), fs::perms(mode)) << made;
    }
}

// Random delays print their seed; VLREGUT_TEST_SEED=<seed> replays a run.
TEST_F(PosixStore, WriterKilledAnywhereLeavesTheOldFileOrTheNewOne) {
    const char* given = std::getenv("VLREGUT_TEST_SEED");
    const unsigned seed = given != nullptr ? std::stoul(given) : std::random_device{}();
    std::cout << "[   SEED   ] VLREGUT_TEST_SEED=" << seed << std::endl;
    std::mt19937 random(seed);
    // Padding between the product written and the last one makes a cut anywhere show.
    const std::string last = "[vlregut-test-Last]\n";
    support::WriteFile(UserFile(), support::Padded("[vlregut-test-P]\n", 100'000) + last);
    for (int kill = 0; kill < 8; ++kill) {
        const auto after = std::chrono::milliseconds(random() % 40);
        ASSERT_EQ(RunProgram(WRITER_EXE, {"0", kPrefix + "P", "0"}, after).status, -1) << kill;
        ASSERT_TRUE(support::ReadFile(UserFile()).ends_with(last)) << kill;
        ASSERT_TRUE(SelectFromC((kPrefix + "Last").c_str())) << kill;  // the whole file parses
    }
}

}  // namespace
