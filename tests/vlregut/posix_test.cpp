// What only the file store of POSIX systems does: where its files are, their layout and modes,
// how a file that cannot be used is reported, and what a writer killed mid-write leaves.
#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <random>
#include <set>
#include <string>

#include "test_support.h"
#include "vlregut/ini.h"
#include "vlregut/vlregut.h"

using namespace std::string_literals;

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
    EXPECT_EQ(modeOf(root_ / "home/vlregut"), 0700u);

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

    const std::pair<const char*, std::string> homes[] = {{nullptr, "HOME is not set"},
                                                         {"", "HOME is empty"},
                                                         {"h", "HOME is not an absolute path: h"}};
    for (const auto& [home, fault] : homes) {
        home != nullptr ? setenv("HOME", home, 1) : unsetenv("HOME");
        EXPECT_EQ(vlreg({"add", "P"}).err,
                  "vlreg: cannot locate the user's configuration folder: " + fault + "\n");
    }
}

// Writes go to the first folder that has a store, or else to the last (the system's own, after
// the desktops' extra ones); what they create there everyone may read, whatever the umask.
TEST_F(PosixStore, SystemLayerLivesInTheFirstFolderThatHasOne) {
    setenv("XDG_CONFIG_DIRS", (":relative:" + root_ / "sys1" + ":" + root_ / "sys2").c_str(), 1);
    support::writeFile(systemFile(1), "[Found]\n");
    EXPECT_EQ(vlreg({"--system", "add", "A"}).status, 0);
    EXPECT_EQ(support::readFile(systemFile(1)), "[Found]\n\n[A]\n");
    EXPECT_FALSE(std::filesystem::exists(root_ / "sys2"));

    std::filesystem::remove_all(root_ / "sys1");
    const mode_t umasked = umask(077);
    EXPECT_EQ(vlreg({"--system", "add", "B"}).status, 0);
    umask(umasked);
    EXPECT_EQ(support::readFile(systemFile(2)), "[B]\n");
    EXPECT_FALSE(std::filesystem::exists(root_ / "sys1"));
    EXPECT_EQ(modeOf(root_ / "sys2"), 0755u);
    EXPECT_EQ(modeOf(root_ / "sys2/vlregut"), 0755u);
    EXPECT_EQ(modeOf(systemFile(2)), 0644u);

    // A request that changes nothing takes no lock, so only a change finds it unusable.
    std::filesystem::remove(systemFile(2) + ".lock");
    std::filesystem::create_directory(systemFile(2) + ".lock");
    EXPECT_EQ(vlreg({"--system", "add", "B"}).status, 0);
    EXPECT_EQ(vlreg({"--system", "add", "C"}).err,
              "vlreg: " + systemFile(2) + ".lock: cannot open lock: Is a directory\n");
}

const std::string kValid = "[vlregut-test-Suite]\nDocsDir=/d\n";

struct BadStore {
    const char* name;
    Layer layer;
    std::string bytes;
    std::string fault;  // after the file's path; empty: as the parser reports it
    enum Shape { File, Folder, Fifo, Unreadable } shape = File;
    std::size_t padTo = 0;  // with comment lines
};
using support::PrintTo;

// clang-format off
const BadStore kBadStores[] = {
    {"Garbage",          Layer::User,   kValid + "garbage\n", ":3: expected [section] or key=value"},
    {"DuplicateSection", Layer::System, "[vlregut-test-Suite]\n[Other]\n[vlregut-test-suite]\n",
     ":3: duplicate section [vlregut-test-suite], first at line 1"},
    {"CutInHeader",      Layer::User,   kValid + "[Oth",
     ":3: expected ']' at the end of the section header"},
    {"CutInEntryName",   Layer::System, "[vlregut-test-Suite]\nDocs",
     ":2: expected [section] or key=value"},
    {"NulBytes",         Layer::User,   "[vlregut-test-Suite]\nDocsDir=/d\0\0\0\n"s, ":2: NUL byte"},
    {"RandomBytes",      Layer::User,   support::randomBytes(1, 4096), ""},
    {"TenMegabytes",     Layer::User,   kValid, ": larger than 1 MiB", BadStore::File, 10'000'000},
    {"OverOneMiB",       Layer::System, kValid, ": larger than 1 MiB", BadStore::File,
     (std::size_t{1} << 20) + 1},
    {"Folder",           Layer::User,   "", ": not a regular file", BadStore::Folder},
    {"Fifo",             Layer::User,   "", ": not a regular file", BadStore::Fifo},
    {"Unreadable",       Layer::User,   kValid, ": cannot open: Permission denied",
     BadStore::Unreadable},
};
// clang-format on

class BadStores : public Registry, public ::testing::WithParamInterface<BadStore> {};

TEST_P(BadStores, AreReportedAndNeverTouched) {
    const BadStore& c = GetParam();
    if (c.shape == BadStore::Unreadable && geteuid() == 0) {
        GTEST_SKIP() << "root reads any file, so a store cannot be made unreadable";
    }
    const std::string file = c.layer == Layer::User ? userFile() : systemFile();
    std::string fault = c.fault;
    if (fault.empty()) {
        vlregut::ini::Document doc;
        const auto error = vlregut::ini::parse(c.bytes, doc);
        ASSERT_TRUE(error) << "the random bytes parse";
        fault = ":" + std::to_string(error->line) + ": " + error->message;
    }
    support::writeFile(systemFile(), "[vlregut-test-Suite]\n");
    ASSERT_TRUE(selectProduct(kSuite));
    if (c.shape == BadStore::Folder) {
        std::filesystem::create_directories(file);
    } else if (c.shape == BadStore::Fifo) {
        std::filesystem::create_directories(std::filesystem::path(file).parent_path());
        ASSERT_EQ(mkfifo(file.c_str(), 0644), 0);
    } else {
        support::writeFile(file, support::padded(c.bytes, c.padTo));
    }
    if (c.shape == BadStore::Unreadable) {
        ASSERT_EQ(chmod(file.c_str(), 0), 0);
    }
    // Back-dated, so that even a rewrite within the clock's tick would show.
    std::filesystem::last_write_time(
        file, std::filesystem::file_time_type::clock::now() - std::chrono::hours(24));
    expectUnusable(file + fault, [&] { return support::fileState(file); });
}

INSTANTIATE_TEST_SUITE_P(Table, BadStores, ::testing::ValuesIn(kBadStores), support::caseName);

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

// A file cut at a line's end or inside a value is no fault: what is left is read, and the next
// write goes on from there.
TEST_F(PosixStore, CutFileThatStillParsesIsReadAsItStands) {
    struct Cut {
        std::string text;
        std::string docsDir;
        std::string after;  // once Other=/y is set
    };
    const std::string section = "[vlregut-test-Suite]";
    const Cut cuts[] = {
        {section, "<failed>", section + "\nOther=/y\n"},
        {section + "\nDocsDir=", "", section + "\nDocsDir=\nOther=/y\n"},
        {section + "\nDocsDir=/docs/su", "/docs/su", section + "\nDocsDir=/docs/su\nOther=/y\n"},
        {section + "\nDocsDir=/docs/suite\nOther=/x", "/docs/suite",
         section + "\nDocsDir=/docs/suite\nOther=/y"},
    };
    for (const Cut& cut : cuts) {
        support::writeFile(userFile(), cut.text);
        ASSERT_TRUE(selectProduct(kSuite)) << cut.text;
        EXPECT_EQ(get("DocsDir"), cut.docsDir);
        const auto outcome = vlreg({"get", kSuite, "DocsDir"});
        EXPECT_EQ(outcome.status, cut.docsDir == "<failed>" ? 1 : 0) << cut.text;
        EXPECT_EQ(outcome.out, cut.docsDir == "<failed>" ? "" : cut.docsDir + "\n");
        ASSERT_TRUE(VlRegSetInstallDir("Other", "/y"));
        EXPECT_EQ(support::readFile(userFile()), cut.after);
    }
}

// A write that would take the store past what reads accept is refused; the store stays usable.
TEST_F(PosixStore, NoWriteLeavesAFileThatReadsRefuse) {
    const std::string largest = support::padded(kValid, std::size_t{1} << 20);
    support::writeFile(userFile(), largest);
    ASSERT_TRUE(selectProduct(kSuite));
    ASSERT_EQ(get("DocsDir"), "/d");
    testing::internal::CaptureStderr();
    EXPECT_FALSE(VlRegSetInstallDir("Other", "/y"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "vlregut: " + userFile() + ": cannot save: it would be larger than 1 MiB\n");
    EXPECT_TRUE(support::readFile(userFile()) == largest);
    EXPECT_EQ(get("DocsDir"), "/d");
}

// Random tests print their seed; VLREGUT_TEST_SEED=<seed> replays a run.
unsigned testSeed() {
    const char* given = std::getenv("VLREGUT_TEST_SEED");
    const unsigned seed =
        given != nullptr ? static_cast<unsigned>(std::stoul(given)) : std::random_device{}();
    std::cout << "[   SEED   ] VLREGUT_TEST_SEED=" << seed << std::endl;
    return seed;
}

std::set<std::string> filesIn(const std::string& folder) {
    std::set<std::string> files;
    for (const auto& file : std::filesystem::directory_iterator(folder)) {
        files.insert(file.path().filename());
    }
    return files;
}

TEST_F(PosixStore, NextWriteRemovesTemporariesOfAKilledWriterAndNothingElse) {
    put(Layer::User, kSuite);
    const std::string folder = root_ / "home/vlregut";
    support::writeFile(folder + "/.registry.ini.vlregut-Ab12Z9", "[half");  // a killed writer's
    // Backups, package managers' and editors' files.
    std::set<std::string> kept{"registry.ini.backup", "registry.ini.rpmnew",
                               "registry.ini.bak001", "registry.ini.dpkg-old",
                               ".registry.ini.swp",   "registry.ini~"};
    for (const std::string& name : kept) {
        support::writeFile(folder + "/" + name, "");
    }
    ASSERT_TRUE(selectProduct(kSuite));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/d"));
    kept.insert({"registry.ini", "registry.ini.lock"});
    EXPECT_EQ(filesIn(folder), kept);
}

// A store that is a link is written through to its target, beside which the lock and the
// temporary go.
TEST_F(PosixStore, WritesGoThroughALinkAndKeepIt) {
    support::writeFile(root_ / "dotfiles/registry.ini", kValid);
    std::filesystem::create_directories(root_ / "home/vlregut");
    std::filesystem::create_symlink("../../dotfiles/registry.ini", userFile());
    ASSERT_TRUE(selectProduct(kSuite));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/new"));
    EXPECT_TRUE(std::filesystem::is_symlink(userFile()));
    EXPECT_EQ(support::readFile(root_ / "dotfiles/registry.ini"),
              "[vlregut-test-Suite]\nDocsDir=/new\n");
    EXPECT_EQ(filesIn(root_ / "dotfiles"),
              (std::set<std::string>{"registry.ini", "registry.ini.lock"}));
}

// Only root may give a file away, so a group member cannot rewrite a group-managed store that
// another user owns: the report says what could not be kept, and the store stays as it was.
TEST_F(PosixStore, GroupManagedStoreSaysWhatCannotBeKept) {
    if (geteuid() != 0) {
        GTEST_SKIP() << "needs root, to write as another user of the store's group";
    }
    constexpr unsigned kNobody = 65534;  // and the group nogroup
    const std::string folder = root_ / "home/vlregut";
    support::writeFile(userFile(), kValid);
    ASSERT_EQ(chmod(root_.path().c_str(), 0755), 0);
    ASSERT_EQ(chown(folder.c_str(), 0, kNobody) | chmod(folder.c_str(), 02775), 0);
    ASSERT_EQ(chown(userFile().c_str(), 0, kNobody) | chmod(userFile().c_str(), 0664), 0);
    const pid_t child = fork();
    if (child == 0) {
        if (setgroups(0, nullptr) != 0 || setgid(kNobody) != 0 || setuid(kNobody) != 0) {
            _exit(2);
        }
        std::string error;
        vlregut::openDefaultStore()->update(
            Layer::User, [](auto& doc) { return vlregut::ini::setValue(doc, kSuite, "D", "/x"); },
            error);
        const std::string expected =
            userFile() + ": cannot save: cannot keep its owner (uid 0): Operation not permitted";
        std::cerr << (error == expected ? "" : "got: " + error + "\n");
        _exit(error == expected ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(support::readFile(userFile()), kValid);
    EXPECT_EQ(filesIn(folder), (std::set<std::string>{"registry.ini", "registry.ini.lock"}));
}

constexpr int kToggled = 40;

std::string toggledValue(int product, char letter) {
    // Appended rather than prepended: GCC 12 sees a false overlap (-Wrestrict) in a Release build.
    return std::string{letter, '/'}.append(200, static_cast<char>('a' + product % 26));
}

// The store the toggling writer keeps, its products' values starting with `letters`. Most of it
// is padding between the two halves, so that a cut anywhere shows. It is kept small because the
// writer's fsync, not its write, is what kills mostly land in; a larger file only adds reading.
std::string toggledStore(const std::string& letters) {
    std::string text;
    for (int k = 0; k < kToggled; ++k) {
        if (k == kToggled / 2) {
            text = support::padded(text, text.size() + 100'000);
        }
        text += "[vlregut-test-P" + std::to_string(k) +
                "]\nDocsDir=" + toggledValue(k, letters[k]) + "\n";
    }
    return text;
}

TEST_F(PosixStore, WriterKilledAnywhereLeavesTheOldOrTheNewValue) {
    constexpr int kKills = 200;
    std::mt19937 random(testSeed());
    std::string letters(kToggled, 'A');
    support::writeFile(userFile(), toggledStore(letters));
    const std::string folder = root_ / "home/vlregut";
    const std::set<std::string> clean{"registry.ini", "registry.ini.lock"};
    int midWrite = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        const auto delay = std::chrono::milliseconds(random() % 40);
        SCOPED_TRACE("kill " + std::to_string(kill) + " after " + std::to_string(delay.count()) +
                     " ms");
        const auto outcome =
            writerKilledAfter({"toggle", kPrefix + "P", std::to_string(kToggled)}, delay);
        ASSERT_EQ(outcome.status, -1) << "the writer ended by itself: " << outcome.err;

        const std::string bytes = support::readFile(userFile());
        vlregut::ini::Document doc;
        const auto fault = vlregut::ini::parse(bytes, doc);
        ASSERT_FALSE(fault) << fault->line << ": " << fault->message;
        for (int k = 0; k < kToggled; ++k) {
            const auto value =
                vlregut::ini::findValue(doc, kPrefix + "P" + std::to_string(k), "DocsDir");
            letters[k] = value && !value->empty() ? value->front() : '?';
        }
        // Every product there, each value whole, nothing else changed.
        const std::string expected = toggledStore(letters);
        ASSERT_TRUE(bytes == expected)
            << "letters " << letters << "; " << bytes.size() << " bytes, first difference at "
            << std::mismatch(bytes.begin(), bytes.end(), expected.begin(), expected.end()).first -
                   bytes.begin();
        midWrite += filesIn(folder) != clean;

        const int k = kill % kToggled;
        letters[k] = letters[k] == 'A' ? 'B' : 'A';
        ASSERT_TRUE(selectProduct(kPrefix + "P" + std::to_string(k)));
        ASSERT_TRUE(VlRegSetInstallDir("DocsDir", toggledValue(k, letters[k]).c_str()));
        ASSERT_EQ(filesIn(folder), clean) << "a temporary file outlived the next write";
    }
    // Kills that find no temporary mostly landed between writes, which proves less.
    std::cout << "[  KILLS   ] " << midWrite << " of " << kKills
              << " left a temporary file (killed mid-write)" << std::endl;
}

}  // namespace
