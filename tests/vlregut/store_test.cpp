// The library and the admin tool over the store at hand. On POSIX systems each test has folders of
// its own; on Windows the tests share the real keys, so their products start with kPrefix.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <vector>

#include "support/files.h"
#include "vlregut/store.h"
#include "vlregut/vlregut.h"
#ifdef _WIN32
#include "support/win32.h"
#else
#include <dlfcn.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <set>

#include "support/process.h"
#endif

extern "C" int SelectFromC(const char* product);  // compiled as C

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using vlregut::Layer;

const std::string kPrefix = "vlregut-test-";
const std::string kSuite = kPrefix + "Suite";

#ifdef _WIN32
const std::string kEol = "\r\n";  // how the tool ends its lines
const std::string kKeys[] = {"HKEY_CURRENT_USER\\Software\\vlregut\\Products",
                             "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products"};

class StoreTest : public testing::Test {
  protected:
    void SetUp() override {
        TearDown();
        if (support::CreateKey(HKEY_LOCAL_MACHINE, kKeys[1].substr(19)) == ERROR_ACCESS_DENIED) {
            GTEST_SKIP() << "needs write access to HKEY_LOCAL_MACHINE: run elevated or under Wine";
        }
    }
    void TearDown() override {
        for (const auto& [root, key] : {std::pair{HKEY_CURRENT_USER, kKeys[0].substr(18)},
                                        std::pair{HKEY_LOCAL_MACHINE, kKeys[1].substr(19)}}) {
            for (const std::string& name : support::SubKeys(root, key)) {
                if (name.starts_with(kPrefix)) {
                    support::DeleteKey(root, key + "\\" + name);
                }
            }
        }
    }
    static std::string Lock() { return "Local\\vlregut-user-store-"; }  // and the user's SID
    // The key of the layer, or of the product's values in it.
    static std::string Where(Layer layer, const std::string& product = {}) {
        return kKeys[layer == Layer::User ? 0 : 1] + (product.empty() ? "" : "\\" + product);
    }
};

support::Outcome RunProgram(const char* program, const std::vector<std::string>& args,
                            std::chrono::milliseconds = {}) {
    return support::Run(support::WindowsPath(program), args);
}
#else
namespace fs = std::filesystem;
const std::string kEol = "\n";
constexpr const char* kAcl = "system.posix_acl_access";
constexpr uid_t kOther = 54321;  // a second account, and its group

class StoreTest : public testing::Test {
  protected:
    void SetUp() override {
        setenv("HOME", (m_root / "nohome").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root / "home").c_str(), 1);
        // Relative folders do not count; the machine-wide store is in the first folder that has
        // one, or else in the last.
        setenv("XDG_CONFIG_DIRS", (":relative:" + m_root / "sys1" + ":" + m_root / "sys2").c_str(),
               1);
    }
    std::string UserFile() const { return m_root / "home/vlregut/registry.ini"; }
    std::string Lock() const { return UserFile() + ".lock"; }
    std::string Where(Layer layer, const std::string& = {}) const {
        return layer == Layer::User ? UserFile() : m_root / "sys2/vlregut/registry.ini";
    }

    support::TempFolder m_root{"vlregut-test"};
};

// Runs a program in this environment to its end, or kills it (status -1) after `limit`.
support::Outcome RunProgram(const char* program, const std::vector<std::string>& args,
                            std::chrono::milliseconds limit = 1min, bool terminal = false) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    return support::Run({argv, {}, "", "", limit, terminal});
}
#endif

support::Outcome Vlreg(const std::vector<std::string>& args) {
    return RunProgram(VLREG_EXE, args);
}

// Creates the product in the layer, with the entry when one is named.
void Put(Layer layer, const std::string& product, const std::string& entry = {},
         const std::string& value = {}) {
    const auto put = vlregut::OpenDefaultStore()->Update(layer, [&](vlregut::ini::Document& doc) {
        return entry.empty() ? vlregut::ini::AddSection(doc, product)
                             : vlregut::ini::SetValue(doc, product, entry, value);
    });
    ASSERT_EQ(put.message, "") << product;
}

// The selected product's value, or "<failed>".
std::string Get(const std::string& entry) {
    char buffer[256] = {};
    return VlRegGetInstallDir(entry.c_str(), buffer, sizeof buffer) ? buffer : "<failed>";
}

// A store that cannot be read: each library call and tool command fails with this one-line
// report, and `store` (what it holds) stays as it was. A product must be selected.
void ExpectUnusable(const std::string& report, const std::function<std::string()>& store) {
    const std::string before = store();
    char buffer[256];
    for (const auto& call : std::initializer_list<std::function<int()>>{
             [] { return VlRegSetInstallDir("DocsDir", "/new"); },
             [&] { return VlRegGetInstallDir("DocsDir", buffer, sizeof buffer); },
             [] { return SelectFromC(kSuite.c_str()); }}) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(call(), 0) << report;
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "vlregut: " + report + "\n");
    }
    // The tool's get and set go the library's ways; list and remove have their own.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"list"},
                                                 {"list", kSuite},
                                                 {"remove", kSuite},
                                                 {"remove", kSuite, "DocsDir"}}) {
        const auto outcome = Vlreg(args);
        EXPECT_EQ(outcome.status, 2) << report << testing::PrintToString(args);
        EXPECT_EQ(outcome.err, "vlreg: " + report + kEol);
    }
    EXPECT_EQ(store(), before);
}

TEST_F(StoreTest, ApiRefusalsLeaveBuffersAndTheStoreUntouched) {
    Put(Layer::System, kSuite, "DocsDir", "/abc");
    // Ids come in buffers of their exact size; an over-long one, without its NUL, is read no
    // further than the longest id and one byte more. The last one comes with flags other than 0.
    std::vector<std::vector<char>> ids{std::vector<char>(260, 'p'), {}};
    for (const std::string& id :
         {""s, kPrefix + "Nope", kSuite + " ", kPrefix + "Su]ite", kSuite + "\n", kSuite}) {
        ids.emplace_back(id.c_str(), id.c_str() + id.size() + 1);
    }
    for (auto& id : ids) {
        ASSERT_TRUE(SelectFromC(kSuite.c_str()));
        EXPECT_FALSE(VlRegInitializeProduct(id.empty() ? nullptr : id.data(), &id == &ids.back()));
        EXPECT_EQ(Get("DocsDir"), "<failed>") << id.size();  // nothing stays selected
        EXPECT_FALSE(VlRegSetInstallDir("DocsDir", "/x"));
    }
    ASSERT_TRUE(SelectFromC(kSuite.c_str()));
    const std::pair<const char*, int> gets[] = {{"DocsDir", 4}, {"DocsDir", 0},  {"DocsDir", -1},
                                                {"Nope", 8},    {"Docs=Dir", 8}, {"DocsDir", 5}};
    for (const auto& [entry, capacity] : gets) {
        char buffer[8] = "#######";
        const bool fits = capacity == 5;
        EXPECT_EQ(VlRegGetInstallDir(entry, buffer, capacity) != 0, fits) << capacity;
        EXPECT_EQ(std::string(buffer, 8), fits ? "/abc\0##\0"s : "#######\0"s) << capacity;
    }
    const std::string longest(255, 'x');
    EXPECT_FALSE(VlRegGetInstallDir("DocsDir", nullptr, 8) ||
                 VlRegSetInstallDir("DocsDir", "/a\nb") ||
                 VlRegSetInstallDir("DocsDir", (longest + "x").c_str()) ||
                 VlRegSetInstallDir("Docs=Dir", "/a") || VlRegSetInstallDir("DocsDir", nullptr));
    EXPECT_EQ(Vlreg({"list", kSuite}).out, "DocsDir=/abc" + kEol);
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", longest.c_str()));
    EXPECT_EQ(Get("DocsDir"), longest);
}

TEST_F(StoreTest, ToolCommandsExitStatusAndOutput) {
    const std::string tools = kPrefix + "Tools";
    const std::string dash = "-" + kPrefix + "Dash";
    const std::string folder = "C:\\Program Files\\Suite\\";
    const std::string odd = " ;*.* \"quoted\\\" \\\x1b]0;x\x07";  // kept as it is
    const std::string machineWide = " is machine-wide only; --system removes it from there";
    // How --show-origin begins a line.
    const std::string user = "user:" + Where(Layer::User, kSuite) + "\t";
    const std::string system = "system:" + Where(Layer::System, kSuite) + "\t";
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out = {};
        std::string err = {};  // the line after "vlreg: "; ending in ": " only how it starts
    } const steps[] = {
        {{"get", kSuite, "DocsDir"}, 1, "", "no product " + kSuite},
        {{"set", kSuite, "DocsDir", "/u"}, 1, "", "no product " + kSuite},
        {{"add", kSuite}, 0},
        {{"set", "VLREGUT-TEST-SUITE", "DocsDir", folder}, 0},
        {{"--system", "add", kSuite}, 0},
        {{"set", kSuite, "DocsDir", "/s", "--system"}, 0},
        {{"--system", "add", tools}, 0},
        {{"get", "vlregut-test-suite", "docsdir"}, 0, folder + kEol},
        {{"--system", "get", kSuite, "DocsDir"}, 0, "/s" + kEol},
        {{"set", kSuite, "Odd", odd}, 0},
        {{"get", kSuite, "Odd"}, 0, odd + kEol},
        {{"get", kSuite, "Nope"}, 1, "", "product " + kSuite + " has no entry Nope"},
        {{"list"}, 0, kSuite + kEol + tools + kEol},
        {{"list", "--show-origin", kSuite},
         0,
         user + "DocsDir=" + folder + kEol + user + "Odd=" + odd + kEol},
        {{"--system", "list", kPrefix + "Nope"}, 1, "", "no product " + kPrefix + "Nope"},
        {{"set", kSuite, "DocsDir", "/a\nb"}, 2, "", "invalid value: "},
        {{"add", kPrefix + "Bad]Id"}, 2, "", "invalid product id: "},
        {{"remove", kPrefix + "Bad]Id"}, 2, "", "invalid product id: "},
        {{"remove", kPrefix + "Bad]Id", "DocsDir"}, 2, "", "invalid product id: "},
        {{"remove", kSuite, "Bad=Entry"}, 2, "", "invalid entry name: "},
#ifdef _WIN32
        // Valid, but longer than the registry allows a key name to be.
        {{"add", kPrefix + std::string(246, 'p')},
         2,
         "",
         kKeys[0] + "\\" + kPrefix + std::string(246, 'p') + ": cannot create: "},
#endif
        {{"remove", kSuite, "DocsDir"}, 0},
        {{"remove", kSuite, "DocsDir"}, 1, "", "entry DocsDir of " + kSuite + machineWide},
        {{"get", kSuite, "DocsDir", "--show-origin"}, 0, system + "/s" + kEol},
        {{"remove", tools, "Nope"}, 1, "", "product " + tools + " has no entry Nope"},
        {{"remove", tools}, 1, "", "product " + tools + machineWide},
        {{"remove", kSuite}, 0},
        {{"--system", "remove", kSuite}, 0},
        {{"remove", kSuite, "DocsDir"}, 1, "", "no product " + kSuite},
        {{"add", "--", dash}, 0},
        {{"remove", dash}, 2, "", "unknown option " + dash + " (see vlreg --help)"},
        {{"remove", "--", dash}, 0},
        {{}, 2, "", "missing command (see vlreg --help)"},
        {{"frobnicate"}, 2, "", "unknown command frobnicate (see vlreg --help)"},
        {{"--bogus", "list"}, 2, "", "unknown option --bogus (see vlreg --help)"},
        {{"get", kSuite}, 2, "", "usage: vlreg [OPTIONS] get PRODUCT ENTRY"},
        {{"add", kSuite, "--show-origin"}, 2, "", "--show-origin goes with get and list only"},
        {{"list", "--version"}, 0, "vlreg " VLREG_VERSION + kEol},
    };
    for (const Step& step : steps) {
        const std::string what = testing::PrintToString(step.args);
        support::Outcome outcome = Vlreg(step.args);
        if (step.args == std::vector<std::string>{"list"}) {
            std::istringstream lines(outcome.out);  // other programs' products may be there too
            outcome.out.clear();
            for (std::string line; std::getline(lines, line);) {
                outcome.out += line.find(kPrefix) <= 1 ? line + "\n" : "";
            }
        }
        EXPECT_EQ(outcome.status, step.status) << what << outcome.err;
        EXPECT_EQ(outcome.out, step.out) << what;
        const std::string err = step.status == 0 ? "" : "vlreg: " + step.err;
        EXPECT_TRUE(err.ends_with(": ") ? outcome.err.starts_with(err) &&
                                              outcome.err.find('\n') == outcome.err.size() - 1
                                        : outcome.err == (err.empty() ? "" : err + kEol))
            << what << outcome.err;
    }
#ifndef _WIN32
    // On a terminal the value's control bytes are escaped (and the line ends as terminals do).
    Put(Layer::User, kSuite, "Odd", odd);
    EXPECT_EQ(RunProgram(VLREG_EXE, {"get", kSuite, "Odd"}, 1min, true).out,
              " ;*.* \"quoted\\\" \\\\x1b]0;x\\x07\r\n");
    // Output that cannot be written fails the command.
    const auto full =
        support::Run({{VLREG_EXE, "get", kSuite, "Odd"}, {}, "", "", 1min, false, "/dev/full"});
    EXPECT_EQ(full.status, 2);
    EXPECT_EQ(full.err, "vlreg: cannot write to standard output\n");
#endif
    for (const std::string option : {"--help", kEol == "\n" ? "-h" : "/?"}) {
        const std::string help = Vlreg({"get", option}).out;
        EXPECT_NE(help.find("store." + kEol + kEol + "The user's layer is "), std::string::npos);
        EXPECT_TRUE(help.ends_with(kEol + "In use now:" + kEol + "  user    " + Where(Layer::User) +
                                   kEol + "  system  " + Where(Layer::System) + kEol))
            << option;
    }
}

// Writers hardly ever overlap by chance, so this holds the lock on purpose: a writer gives up
// after ten seconds; the next ones wait until it is released, and then write all at once, each
// to an entry W<writer> of its own and in each round all to the round's new entry R<round>, to a
// product that at first only the machine-wide layer has.
TEST_F(StoreTest, WritersWaitForTheLockHolderAndLoseNothing) {
    Put(Layer::System, kSuite);
    std::vector<std::future<support::Outcome>> writers;
    const auto holdLock = [&](vlregut::ini::Document& doc) {
        const auto start = std::chrono::steady_clock::now();
        const auto late = Vlreg({"set", kSuite, "Late", "/c"});
        EXPECT_GE(std::chrono::steady_clock::now() - start, vlregut::kLockWait);
        EXPECT_TRUE(
            late.status == 2 && late.err.starts_with("vlreg: " + Lock()) &&
            late.err.ends_with(": another process holds the lock; gave up after 10 seconds" + kEol))
            << late.err;
        for (const std::string writer : {"0", "1", "2", "3"}) {
            writers.push_back(std::async(std::launch::async, [=] {
                return RunProgram(WRITER_EXE,
                                  {writer, writer == "1" ? "VLREGUT-TEST-suite" : kSuite, "10"});
            }));
        }
        EXPECT_EQ(writers[0].wait_for(1s), std::future_status::timeout);
        return vlregut::ini::SetValue(doc, kSuite, "First", "/a");
    };
    EXPECT_EQ(vlregut::OpenDefaultStore()->Update(Layer::User, holdLock).message, "");
    for (auto& writer : writers) {
        EXPECT_EQ(writer.get().status, 0);
    }
    ASSERT_TRUE(SelectFromC(kSuite.c_str()));
    EXPECT_EQ(Get("First"), "/a");
    for (int i = 0; i < 10; ++i) {
        // Built by appending, past GCC 12's false -Wrestrict for "W" + std::to_string(...).
        const std::string round = std::to_string(i);
        EXPECT_EQ(Get(std::string("W").append(round)), i < 4 ? "9" : "<failed>");
        EXPECT_NE(Get(std::string("R").append(round)), "<failed>") << i;
    }
}

#ifdef _WIN32
TEST_F(StoreTest, FaultyValuesAreReportedAndNeverOverwritten) {
    const std::string notHeld =
        "characters that the ANSI code page (" + std::to_string(GetACP()) + ") cannot hold";
    const std::tuple<std::string, std::string, DWORD, std::string, std::string> faults[] = {
        // Under the user's key, after the prefix: the key, the value's name, type and data; the
        // report after the prefix.
        {"Suite", "Size", REG_DWORD, "\x01\0\0\0"s, "Suite: value Size: type 4, not REG_SZ"},
        {"Suite", "DocsDir", REG_SZ, std::string(5000, 'x') + '\0',
         "Suite: value DocsDir: longer than 255 bytes"},
        {"Suite\\Nested", "DocsDir", REG_SZ, "C:\\a\0"s, "Suite: unexpected subkey"},
        // In UTF-8, what the code page cannot hold: a substitute or a look-alike would be read.
        {"Suite", "DocsDir", REG_SZ, "C:\\\xE6\x97\xA5\0"s, "Suite: value DocsDir: " + notHeld},
        {"Suite", "DocsDir", REG_SZ, "C:\\\xEF\xBC\xA4ocs\0"s, "Suite: value DocsDir: " + notHeld},
        {"Suite", "\xE6\x97\xA5", REG_SZ, "C:\\a\0"s, "Suite: value ?: name has " + notHeld},
        {"\xE6\x97\xA5", "DocsDir", REG_SZ, "C:\\a\0"s, "?: name has " + notHeld},
    };
    const std::string key = kKeys[0].substr(18) + "\\" + kPrefix;
    for (const auto& [sub, name, type, data, fault] : faults) {
        TearDown();
        Put(Layer::System, kSuite, "DocsDir", "/sys");
        Put(Layer::User, kSuite, "Kept", "/kept");
        ASSERT_TRUE(SelectFromC(kSuite.c_str()));
        ASSERT_TRUE(support::SetValue(HKEY_CURRENT_USER, key + sub, name, type, data, CP_UTF8));
        ExpectUnusable(kKeys[0] + "\\" + kPrefix + fault, [&] {
            std::string values;
            for (const auto& [n, t, d] : support::Values(HKEY_CURRENT_USER, key + "Suite")) {
                values.append(n).append(":").append(std::to_string(t)).append(d) += ',';
            }
            return values;
        });
        RegDeleteTreeW(HKEY_CURRENT_USER, support::Wide(key + sub, CP_UTF8).c_str());  // any name
        EXPECT_EQ(Vlreg({"--system", "get", kSuite, "DocsDir"}).out, "/sys\r\n");
    }
}

// The registry folds more than A-Z; a name it takes for an existing one is refused rather than
// changing that one under another name.
TEST_F(StoreTest, NamesOnlyTheRegistryFoldsTogetherAreRefused) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs the Western European ANSI code page 1252, not " << GetACP();
    }
    const std::string upper = kPrefix + "\xC4", lower = kPrefix + "\xE4";  // A, a with diaeresis
    const std::string folded =
        ": the registry has it under a spelling that differs beyond A-Z case";
    Put(Layer::System, upper, "\xC4rger", "/a");
    EXPECT_FALSE(SelectFromC(lower.c_str()));
    EXPECT_EQ(Vlreg({"--system", "add", lower}).err,
              "vlreg: " + Where(Layer::System, lower) + folded + kEol);
    EXPECT_EQ(Vlreg({"--system", "set", upper, "\xE4rger", "/b"}).err,
              "vlreg: " + Where(Layer::System, upper) + ": value \xE4rger" + folded + kEol);
    EXPECT_EQ(Vlreg({"--system", "get", upper, "\xC4rger"}).out, "/a" + kEol);
}

// The tool's arguments come in UTF-16: one that the code page cannot hold exactly would become "?"
// or a look-alike, another product or folder, and is refused before anything is written.
TEST_F(StoreTest, ArgumentsTheCodePageCannotHoldAreRefused) {
    const support::Outcome add = support::Run(support::WindowsPath(VLREG_EXE),
                                              {"add", kPrefix + "\xEF\xBC\xA4"}, CP_UTF8);  // UTF-8
    EXPECT_EQ(std::to_string(add.status) + add.err,
              "2vlreg: argument 2 holds characters that the ANSI code page (" +
                  std::to_string(GetACP()) + ") cannot hold" + kEol);
}
#else
TEST_F(StoreTest, BadStoresAreReportedAndNeverTouched) {
    const std::string valid = "[vlregut-test-Suite]\nDocsDir=/d\n";
    const std::tuple<std::string, std::string, std::string> bads[] = {
        // Under the test's folder: the store, or a file where its folder goes ("" for a FIFO);
        // what it holds; the report after its path.
        {"home/vlregut/registry.ini", valid + "garbage\n", ":3: expected [section] or key=value"},
        {"sys1/vlregut/registry.ini", "[vlregut-test-Suite]\n[Other]\n[vlregut-test-suite]\n",
         ":3: duplicate section [vlregut-test-suite], first at line 1"},
        {"sys2/vlregut/registry.ini", support::Padded(valid, (1 << 20) + 1), ": larger than 1 MiB"},
        {"home/vlregut/registry.ini", "", ": not a regular file"},
        {"home/vlregut", "x", ": cannot open: Not a directory"},
    };
    for (const auto& [file, bytes, fault] : bads) {
        for (const char* folder : {"home", "sys1", "sys2"}) {
            fs::remove_all(m_root / folder + "/vlregut");  // an empty folder is passed over
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
        if (file.starts_with("sys")) {  // stops only what needs the machine-wide layer
            Put(Layer::User, kSuite, "DocsDir", "/u");
            EXPECT_TRUE(SelectFromC(kSuite.c_str()) && Get("DocsDir") == "/u");
            EXPECT_EQ(Vlreg({"list"}).out + Vlreg({"list", kSuite}).err,
                      kSuite + "\nvlreg: " + made.string() + fault + "\n");
        }
    }
}

// A store that is a link is written through to its target, beside which the lock and the
// temporary go. A write keeps the file's layout and mode, gives new files and folders their modes
// whatever the umask, and of the files beside it removes only what a writer killed mid-write
// left. A file cut at a line's end is read as it stands.
TEST_F(StoreTest, WritesKeepLinksLayoutModesAndOthersFiles) {
    const fs::path dotfiles = m_root / "dotfiles";
    const std::set<std::string> kept{"registry.ini", "registry.ini.lock", "registry.ini~",
                                     ".registry.ini.swp", ".registry.ini.vlregut-Ab12Z"};
    for (const std::string& name : kept) {
        support::WriteFile(dotfiles / name, "; mine\n[vlregut-test-suite]\ndocsdir = /d");
    }
    support::WriteFile(dotfiles / ".registry.ini.vlregut-Ab12Z9", "[half");
    fs::permissions(dotfiles / "registry.ini", fs::perms(0640));
    // An access ACL as the kernel keeps it: owner rw, uid 54321 r, group r, mask r, others none.
    const std::uint32_t acl[] = {2,   0x60001, ~0u, 0x40002, 54321, 0x40004,
                                 ~0u, 0x40010, ~0u, 0x20,    ~0u};
    ASSERT_EQ(setxattr((dotfiles / "registry.ini").c_str(), kAcl, acl, sizeof acl, 0), 0)
        << "needs a file system with POSIX ACLs: " << std::strerror(errno);
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
                                     {"new/vlregut/registry.ini", 0600},
                                     {"new/vlregut/registry.ini.lock", 0600}}) {
        EXPECT_EQ(fs::status(m_root / made).permissions(), fs::perms(mode)) << made;
    }
    // A relative XDG_CONFIG_HOME does not count, nor a relative HOME.
    setenv("XDG_CONFIG_HOME", "new", 1);
    EXPECT_EQ(Vlreg({"set", kSuite, "DocsDir", "/h"}).status, 0);
    EXPECT_TRUE(fs::exists(m_root / "nohome/.config/vlregut/registry.ini"));
    setenv("HOME", "h", 1);
    EXPECT_EQ(Vlreg({"set", kSuite, "DocsDir", "/h"}).err,
              "vlreg: cannot locate the user's configuration folder: HOME is not an absolute "
              "path: h\n");
    std::uint32_t now[std::size(acl) + 1] = {};
    EXPECT_TRUE(getxattr(UserFile().c_str(), kAcl, now, sizeof now) == sizeof acl &&
                std::memcmp(now, acl, sizeof acl) == 0);
}

// The machine-wide layer counts only in folders that no one else may write, a writer that waited
// for the lock stays in the folder it opened, whatever is swapped in, and a lock is never a link.
TEST_F(StoreTest, NothingPlantedSteersAWriter) {
    support::WriteFile(m_root / "sys1/vlregut/registry.ini", "[" + kSuite + "]\n");
    fs::permissions(m_root / "sys1", fs::perms(0777));
    EXPECT_EQ(Vlreg({"list"}).out, "");
    EXPECT_TRUE(Vlreg({"list"}).err.ends_with("machine-wide layer: others may write to it\n"));
    std::future<support::Outcome> late;
    const auto swap = [&](vlregut::ini::Document& doc) {
        late = std::async(std::launch::async, [] { return Vlreg({"add", "Late"}); });
        EXPECT_EQ(late.wait_for(1s), std::future_status::timeout);
        fs::rename(m_root / "home/vlregut", m_root / "moved");
        fs::create_directory_symlink(m_root / "sys1/vlregut", m_root / "home/vlregut");
        return vlregut::ini::AddSection(doc, "First");
    };
    EXPECT_EQ(vlregut::OpenDefaultStore()->Update(Layer::User, swap).message, "");
    EXPECT_EQ(late.get().err, "");
    EXPECT_EQ(support::ReadFile(m_root / "moved/registry.ini"), "[First]\n\n[Late]\n");
    fs::create_symlink(m_root / "nologin", Lock());  // now in sys1/vlregut
    EXPECT_TRUE(Vlreg({"add", "Evil"}).status == 2 && !fs::exists(m_root / "nologin"));
}

// Root never writes another account's layer, passes over its folders and links, and no writer of
// a group-managed store locks out another (accounts kOther and kOther + 1, in group kOther).
TEST_F(StoreTest, AnotherAccountNeitherSteersRootNorIsLockedOut) {
    if (geteuid() != 0 || !fs::exists("/usr/bin/setpriv") || getpwuid(kOther) != nullptr) {
        GTEST_SKIP() << "needs root, setpriv (util-linux) and no account of uid " << kOther;
    }
    const auto as = [&](const char* user, const char* value) {
        return RunProgram("/usr/bin/setpriv",
                          {user, "--regid=54321", "--clear-groups", m_root / "vlreg", "--system",
                           "set", kSuite, "DocsDir", value})
            .status;
    };
    fs::copy_file(VLREG_EXE, m_root / "vlreg");  // where the other accounts can run it
    fs::permissions(m_root.Path(), fs::perms(0755));
    for (const char* made : {"home", "home/vlregut"}) {
        fs::create_directories(m_root / made);
        ASSERT_EQ(chown((m_root / made).c_str(), kOther, kOther), 0);
        const auto refused = Vlreg({"add", kSuite});
        EXPECT_EQ(std::tuple(refused.status, refused.err, fs::is_empty(m_root / made)),
                  std::tuple(2,
                             "vlreg: " + m_root / made + ": belongs to uid 54321, not to this " +
                                 "user; write as that user, or use --system\n",
                             true));
    }
    support::WriteFile(Where(Layer::System), "[" + kSuite + "]\n");
    ASSERT_EQ(chown((m_root / "sys2/vlregut").c_str(), 0, kOther), 0);
    ASSERT_EQ(chown(Where(Layer::System).c_str(), kOther, kOther), 0);
    fs::permissions(m_root / "sys2/vlregut", fs::perms(02775));
    fs::permissions(Where(Layer::System), fs::perms(0664));
    EXPECT_EQ(as("--reuid=54322", "/member"), 2);  // cannot keep the owner, and leaves no lock
    EXPECT_EQ(Vlreg({"--system", "set", kSuite, "DocsDir", "/root"}).status, 0);
    EXPECT_EQ(as("--reuid=54321", "/owner"), 0);
    struct stat lock;
    ASSERT_EQ(stat((Where(Layer::System) + ".lock").c_str(), &lock), 0);
    EXPECT_EQ(std::tuple(lock.st_uid, lock.st_gid, lock.st_mode & 07777),
              std::tuple(kOther, kOther, 0664u));
    const std::string target = m_root.Write("sys1/vlregut/registry.ini", "[Root]\n");
    fs::remove(Where(Layer::System));
    fs::create_symlink(target, Where(Layer::System));
    ASSERT_EQ(chown((m_root / "sys1").c_str(), kOther, kOther), 0);
    ASSERT_EQ(lchown(Where(Layer::System).c_str(), kOther + 1, kOther), 0);
    EXPECT_EQ(Vlreg({"--system", "add", "Evil"}).err,
              "vlregut: " + m_root / "sys1" +
                  ": passed over for the machine-wide layer: belongs to "
                  "uid 54321\nvlreg: " +
                  Where(Layer::System) + ": not following a link of uid 54322\n");
    EXPECT_EQ(support::ReadFile(target), "[Root]\n");
}

// A copy of the library, loaded beside the one linked in, stays loaded after a write gave up.
TEST_F(StoreTest, UnloadingTheLibraryAfterAWaitGivenUpIsSafe) {
    Put(Layer::User, kSuite);
    fs::copy_file(LIBRARY, m_root / "copy.so");
    void* copy = dlopen((m_root / "copy.so").c_str(), RTLD_NOW);
    const int held = open(Lock().c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_TRUE(copy != nullptr && flock(held, LOCK_EX) == 0);
    const auto find = [&](auto function, const char* name) {
        return reinterpret_cast<decltype(function)>(dlsym(copy, name));
    };
    EXPECT_TRUE(find(&VlRegInitializeProduct, "VlRegInitializeProduct")(kSuite.c_str(), 0) &&
                !find(&VlRegSetInstallDir, "VlRegSetInstallDir")("DocsDir", "/x"));
    dlclose(copy);
    close(held);
    usleep(500'000);  // for the wait left behind to wake
}

TEST_F(StoreTest, WriterKilledAnywhereLeavesTheOldFileOrTheNewOne) {
    // Padding between the product written and the last one makes a cut anywhere show.
    const std::string last = "[vlregut-test-Last]\n";
    support::WriteFile(UserFile(), support::Padded("[vlregut-test-P]\n", 100'000) + last);
    for (const auto after : {0ms, 2ms, 5ms, 9ms, 14ms, 20ms, 28ms, 39ms}) {
        ASSERT_EQ(RunProgram(WRITER_EXE, {"0", kPrefix + "P", "0"}, after).status, -1);
        ASSERT_TRUE(support::ReadFile(UserFile()).ends_with(last)) << after.count();
        ASSERT_TRUE(SelectFromC((kPrefix + "Last").c_str()));  // the whole file parses
    }
    EXPECT_TRUE(RunProgram(WRITER_EXE, {"0", kPrefix + "P", "1"}).status == 0 &&  // cleans up
                std::distance(fs::directory_iterator(m_root / "home/vlregut"), {}) == 2);
}
#endif

}  // namespace
