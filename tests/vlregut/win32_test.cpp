#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "vlregut/ini.h"
#include "vlregut/store.h"
#include "vlregut/vlregut.h"

extern "C" int vlregutSelectFromC(const char* product);

using namespace std::string_literals;

namespace {

struct Root {
    HKEY key;
    const char* subKey;
    std::string shown;
};

const Root kUser{HKEY_CURRENT_USER, "Software\\vlregut\\Products",
                 "HKEY_CURRENT_USER\\Software\\vlregut\\Products\\"};
const Root kMachine{HKEY_LOCAL_MACHINE, "SOFTWARE\\vlregut\\Products",
                    "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products\\"};

// The tests use the real keys: every product they create starts with this, so that what a
// crashed run left behind can be found and removed.
const std::string kPrefix = "vlregut-test-";

class Key {
  public:
    Key(const Root& root, const std::string& product, bool create) {
        const std::string path = root.subKey + (product.empty() ? "" : "\\" + product);
        const REGSAM access = KEY_ALL_ACCESS | KEY_WOW64_64KEY;
        status_ = create ? RegCreateKeyExA(root.key, path.c_str(), 0, nullptr, 0, access, nullptr,
                                           &key_, nullptr)
                         : RegOpenKeyExA(root.key, path.c_str(), 0, access, &key_);
    }
    ~Key() {
        if (status_ == ERROR_SUCCESS) {
            RegCloseKey(key_);
        }
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    LSTATUS status() const { return status_; }
    HKEY get() const { return key_; }

  private:
    HKEY key_ = nullptr;
    LSTATUS status_;
};

std::vector<std::string> subKeys(HKEY key) {
    std::vector<std::string> names;
    char name[512];
    for (DWORD size = sizeof name;
         RegEnumKeyExA(key, static_cast<DWORD>(names.size()), name, &size, nullptr, nullptr,
                       nullptr, nullptr) == ERROR_SUCCESS;
         size = sizeof name) {
        names.emplace_back(name, size);
    }
    return names;
}

void removeTestProducts() {
    for (const Root* root : {&kUser, &kMachine}) {
        const Key products(*root, "", false);
        for (const std::string& name : subKeys(products.get())) {
            if (name.starts_with(kPrefix)) {
                RegDeleteTreeA(products.get(), name.c_str());
            }
        }
    }
}

// data goes in byte for byte: a REG_SZ needs its NUL spelled out.
void plant(const Root& root, const std::string& product, const std::string& name, DWORD type,
           const std::string& data) {
    const Key key(root, product, true);
    ASSERT_EQ(key.status(), ERROR_SUCCESS) << product;
    ASSERT_EQ(
        RegSetValueExA(key.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                       static_cast<DWORD>(data.size())),
        ERROR_SUCCESS)
        << product << name;
}

void put(const Root& root, const std::string& product, const std::string& name,
         const std::string& value) {
    plant(root, product, name, REG_SZ, value + '\0');
}

// "Spelling{name=value,name:type,}" as the registry has it, or "" without such a key.
std::string dump(const Root& root, const std::string& product) {
    const Key key(root, product, false);
    if (key.status() != ERROR_SUCCESS) {
        return "";
    }
    std::string text;
    const Key products(root, "", false);
    for (const std::string& name : subKeys(products.get())) {
        if (lstrcmpiA(name.c_str(), product.c_str()) == 0) {
            text = name;
        }
    }
    text += "{";
    char name[512];
    char data[1024];
    DWORD nameSize = sizeof name;
    DWORD size = sizeof data;
    DWORD type = 0;
    for (DWORD index = 0; RegEnumValueA(key.get(), index, name, &nameSize, nullptr, &type,
                                        reinterpret_cast<BYTE*>(data), &size) == ERROR_SUCCESS;
         ++index, nameSize = sizeof name, size = sizeof data) {
        text.append(name, nameSize);
        if (type == REG_SZ) {
            text.append("=").append(data, size > 0 ? size - 1 : 0);
        } else {
            text.append(":").append(std::to_string(type));
        }
        text += ",";
    }
    return text + "}";
}

std::string valueOf(const Root& root, const std::string& product, const std::string& name) {
    const Key key(root, product, false);
    char data[1024];
    DWORD size = sizeof data;
    if (key.status() != ERROR_SUCCESS ||
        RegGetValueA(key.get(), nullptr, name.c_str(), RRF_RT_REG_SZ, nullptr, data, &size) !=
            ERROR_SUCCESS) {
        return "<missing>";
    }
    return data;
}

bool selectProduct(std::string product) {
    return VlRegInitializeProduct(product.data(), 0) != 0;
}

std::string get(const char* entry) {
    char buffer[256] = {};
    return VlRegGetInstallDir(entry, buffer, sizeof buffer) ? buffer : "<failed>";
}

std::string besideTests(const char* file) {
    std::string path(32768, '\0');
    path.resize(GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.rfind('\\') + 1) + file;
}

// The command line as the C runtime splits it again: quotes around every argument, with
// backslashes doubled only before a quote.
std::string quote(const std::string& arg) {
    std::string quoted = "\"";
    std::size_t backslashes = 0;
    for (const char c : arg) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        quoted.append(c == '"' ? 2 * backslashes + 1 : backslashes, '\\');
        quoted += c;
        backslashes = 0;
    }
    return quoted.append(2 * backslashes, '\\') + "\"";
}

std::string readAll(HANDLE pipe) {
    std::string text;
    char buffer[4096];
    DWORD count = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &count, nullptr) && count > 0) {
        text.append(buffer, count);
    }
    CloseHandle(pipe);
    return text;
}

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

// Started at once, finished one after the other.
class Child {
  public:
    Child(const std::string& program, const std::vector<std::string>& args) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        HANDLE out = nullptr;
        HANDLE err = nullptr;
        if (!CreatePipe(&out_, &out, &inherit, 0) || !CreatePipe(&err_, &err, &inherit, 0)) {
            return;
        }
        SetHandleInformation(out_, HANDLE_FLAG_INHERIT, 0);
        SetHandleInformation(err_, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = out;
        startup.hStdError = err;
        std::string commandLine = quote(program);
        for (const std::string& arg : args) {
            commandLine.append(" ").append(quote(arg));
        }
        PROCESS_INFORMATION info{};
        if (CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                           nullptr, &startup, &info)) {
            CloseHandle(info.hThread);
            process_ = info.hProcess;
        }
        // The child holds the only write ends now, so reading ends when it does.
        CloseHandle(out);
        CloseHandle(err);
    }

    bool exitsWithin(DWORD milliseconds) const {
        return WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0;
    }

    Outcome finish() {
        std::string err;
        std::thread drain([&] { err = readAll(err_); });
        std::string out = readAll(out_);
        drain.join();
        DWORD status = 0;
        if (process_ == nullptr || WaitForSingleObject(process_, INFINITE) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process_, &status)) {
            return {-1, out, "not run"};
        }
        CloseHandle(process_);
        return {static_cast<int>(status), out, err};
    }

  private:
    HANDLE process_ = nullptr;
    HANDLE out_ = nullptr;
    HANDLE err_ = nullptr;
};

Outcome vlreg(const std::vector<std::string>& args) {
    return Child(besideTests("vlreg.exe"), args).finish();
}

class Win32Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        removeTestProducts();
        if (Key(kMachine, "", true).status() == ERROR_ACCESS_DENIED) {
            GTEST_SKIP() << "needs write access to HKEY_LOCAL_MACHINE: run elevated or under Wine";
        }
    }
    void TearDown() override { removeTestProducts(); }

    const std::string suite_ = kPrefix + "Suite";
};

TEST_F(Win32Registry, UserKeyOverridesMachineKeyAndNamesMatchWithoutCase) {
    put(kMachine, suite_, "DocsDir", "C:\\sys");
    put(kMachine, suite_, "Other", "C:\\other");
    put(kUser, kPrefix + "suite", "docsdir", "C:\\user");
    ASSERT_TRUE(selectProduct("VLREGUT-TEST-SUITE"));
    EXPECT_EQ(get("DOCSDIR"), "C:\\user");
    EXPECT_EQ(get("other"), "C:\\other");
    EXPECT_EQ(get("Missing"), "<failed>");

    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "C:\\changed"));
    EXPECT_EQ(dump(kUser, suite_), kPrefix + "suite{docsdir=C:\\changed,}");
    EXPECT_EQ(dump(kMachine, suite_), suite_ + "{DocsDir=C:\\sys,Other=C:\\other,}");
}

TEST_F(Win32Registry, MachineOnlyProductIsSelectableAndSetCreatesTheUserKey) {
    put(kMachine, suite_, "DocsDir", "C:\\sys");
    ASSERT_TRUE(vlregutSelectFromC("vlregut-test-SUITE"));
    EXPECT_EQ(dump(kUser, suite_), "");
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", " C:\\with spaces ;kept "));
    EXPECT_EQ(get("docsdir"), " C:\\with spaces ;kept ");
    EXPECT_EQ(dump(kUser, suite_), suite_ + "{DocsDir= C:\\with spaces ;kept ,}");
    EXPECT_EQ(dump(kMachine, suite_), suite_ + "{DocsDir=C:\\sys,}");

    // A key without values is a product too.
    ASSERT_EQ(Key(kMachine, kPrefix + "Empty", true).status(), ERROR_SUCCESS);
    ASSERT_TRUE(selectProduct(kPrefix + "Empty"));
    EXPECT_EQ(get("DocsDir"), "<failed>");
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", ""));
    EXPECT_EQ(dump(kUser, kPrefix + "Empty"), kPrefix + "Empty{DocsDir=,}");
}

TEST_F(Win32Registry, RefusalsLeaveBuffersAndTheRegistryUntouched) {
    put(kMachine, suite_, "DocsDir", "C:\\a");
    EXPECT_FALSE(selectProduct(kPrefix + "Nope"));
    EXPECT_FALSE(selectProduct(kPrefix + std::string(260 - kPrefix.size(), 'p')));
    char id[] = "vlregut-test-Suite";
    EXPECT_FALSE(VlRegInitializeProduct(id, 1));
    EXPECT_FALSE(VlRegInitializeProduct(nullptr, 0));
    EXPECT_EQ(get("DocsDir"), "<failed>");
    ASSERT_TRUE(selectProduct(suite_));

    struct GetCase {
        const char* entry;
        int capacity;
        bool ok;
    };
    for (const GetCase& c :
         {GetCase{"DocsDir", 4, false}, GetCase{"DocsDir", 0, false}, GetCase{"DocsDir", -1, false},
          GetCase{"Nope", 8, false}, GetCase{"Docs=Dir", 8, false}, GetCase{"DocsDir", 5, true}}) {
        char buffer[8];
        std::fill(std::begin(buffer), std::end(buffer), '#');
        EXPECT_EQ(VlRegGetInstallDir(c.entry, buffer, c.capacity) != 0, c.ok) << c.capacity;
        EXPECT_EQ(std::string(buffer, 8), c.ok ? "C:\\a\0###"s : "########") << c.capacity;
    }
    EXPECT_FALSE(VlRegGetInstallDir("DocsDir", nullptr, 8));

    const std::string longest(255, 'x');
    // The rules themselves are the portable Names tests' business; here nothing may reach the
    // registry.
    const std::pair<std::string, std::string> refused[] = {
        {"DocsDir", "C:\\a\nb"}, {"DocsDir", longest + "x"}, {"Docs=Dir", "C:\\a"}, {"", "C:\\a"}};
    for (const auto& [entry, value] : refused) {
        EXPECT_FALSE(VlRegSetInstallDir(entry.c_str(), value.c_str())) << entry << value;
    }
    EXPECT_FALSE(VlRegSetInstallDir("DocsDir", nullptr));
    EXPECT_EQ(dump(kUser, suite_), "");
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", longest.c_str()));
    EXPECT_EQ(get("DocsDir"), longest);
}

struct FaultCase {
    std::string key;  // under the user's Products key
    std::string name;
    DWORD type;
    std::string data;
    std::string fault;  // after the Products key in the message
};

const FaultCase kFaults[] = {
    {"Suite", "Size", REG_DWORD, "\x01\0\0\0"s, "Suite: value Size: type 4, not REG_SZ"},
    {"Suite", "DocsDir", REG_EXPAND_SZ, "%TEMP%\0"s, "Suite: value DocsDir: type 2, not REG_SZ"},
    {"Suite", "DocsDir", REG_SZ, std::string(256, 'x') + '\0',
     "Suite: value DocsDir: longer than 255 bytes"},
    {"Suite", "DocsDir", REG_SZ, std::string(5000, 'x') + '\0',
     "Suite: value DocsDir: longer than 255 bytes"},
    {"Suite", "DocsDir", REG_SZ, "C:\\a\r\nb\0"s, "Suite: value DocsDir: line break or NUL byte"},
    {"Suite", "DocsDir", REG_SZ, "C:\\a\0b\0"s, "Suite: value DocsDir: line break or NUL byte"},
    {"Suite", "Docs=Dir", REG_SZ, "C:\\a\0"s, "Suite: value Docs=Dir: invalid entry name"},
    {"Suite", "", REG_SZ, "C:\\a\0"s, "Suite: value : invalid entry name"},
    {"Suite\\Nested", "DocsDir", REG_SZ, "C:\\a\0"s, "Suite: unexpected subkey"},
    {"Bad]", "DocsDir", REG_SZ, "C:\\a\0"s, "Bad]: invalid product id"},
};

TEST_F(Win32Registry, FaultyValuesAreReportedAndNeverOverwritten) {
    const std::string stderrFile =
        (std::filesystem::temp_directory_path() / "vlregut-stderr.txt").string();
    for (const FaultCase& c : kFaults) {
        removeTestProducts();
        put(kMachine, suite_, "DocsDir", "C:\\sys");
        put(kUser, suite_, "Kept", "C:\\kept");
        ASSERT_TRUE(selectProduct(suite_));
        plant(kUser, kPrefix + c.key, c.name, c.type, c.data);
        const std::string before = dump(kUser, suite_);
        const std::string message = kUser.shown + kPrefix + c.fault + "\r\n";

        for (const auto& call : {+[] { return VlRegSetInstallDir("DocsDir", "C:\\new"); },
                                 +[] { return get("Kept") == "<failed>" ? 0 : 1; },
                                 +[] { return vlregutSelectFromC("vlregut-test-Suite"); }}) {
            StderrCapture capture(stderrFile);
            EXPECT_FALSE(call()) << c.fault;
            EXPECT_EQ(capture.finish(), "vlregut: " + message);
        }
        const std::vector<std::string> commands[] = {
            {"get", suite_, "Kept"}, {"set", suite_, "DocsDir", "C:\\new"}, {"remove", suite_}};
        for (const auto& args : commands) {
            const Outcome outcome = vlreg(args);
            EXPECT_EQ(outcome.status, 2) << c.fault;
            EXPECT_EQ(outcome.err, "vlreg: " + message);
        }
        EXPECT_EQ(dump(kUser, suite_), before) << c.fault;
        EXPECT_EQ(vlreg({"--system", "get", suite_, "DocsDir"}).out, "C:\\sys\r\n");
    }
    std::filesystem::remove(stderrFile);
}

TEST_F(Win32Registry, ToolCommandsExitCodesAndOutput) {
    const std::string other = kPrefix + "Other";
    const std::string folder = "C:\\Program Files\\Suite\\";
    const std::string odd = "*.* \"quoted\\\" \\";
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Step steps[] = {
        {{"get", suite_, "DocsDir"}, 1, ""},
        {{"set", suite_, "DocsDir", "C:\\u"}, 1, ""},
        {{"add", suite_}, 0, ""},
        {{"set", "VLREGUT-TEST-SUITE", "DocsDir", folder}, 0, ""},
        {{"--system", "add", suite_}, 0, ""},
        {{"--system", "set", suite_, "DocsDir", "C:\\s"}, 0, ""},
        {{"--system", "add", other}, 0, ""},
        {{"get", "vlregut-test-suite", "docsdir"}, 0, folder + "\r\n"},
        {{"--system", "get", suite_, "DocsDir"}, 0, "C:\\s\r\n"},
        {{"set", suite_, "Odd", odd}, 0, ""},
        {{"get", suite_, "Odd"}, 0, odd + "\r\n"},
        {{"get", suite_, "Nope"}, 1, ""},
        {{"list"}, 0, other + "\r\n" + suite_ + "\r\n"},
        {{"list", suite_}, 0, "DocsDir=" + folder + "\r\nOdd=" + odd + "\r\n"},
        {{"--system", "list", kPrefix + "Nope"}, 1, ""},
        {{"set", suite_, "DocsDir", "C:\\a\nb"}, 2, ""},
        {{"add", kPrefix + "Bad]Id"}, 2, ""},
        // Valid, but longer than the registry allows a key name to be.
        {{"add", kPrefix + std::string(246, 'p')}, 2, ""},
        {{"remove", suite_, "DocsDir"}, 0, ""},
        {{"remove", suite_, "DocsDir"}, 1, ""},
        {{"get", suite_, "DocsDir"}, 0, "C:\\s\r\n"},
        {{"remove", suite_}, 0, ""},
        {{"--system", "remove", suite_}, 0, ""},
        {{"list"}, 0, other + "\r\n"},
        {{}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"--bogus", "list"}, 2, ""},
        {{"get", suite_}, 2, ""},
    };
    for (const Step& step : steps) {
        const std::string what = ::testing::PrintToString(step.args);
        Outcome outcome = vlreg(step.args);
        if (step.args == std::vector<std::string>{"list"}) {
            // Other programs' products may share the registry.
            std::istringstream lines(outcome.out);
            outcome.out.clear();
            for (std::string line; std::getline(lines, line);) {
                outcome.out += line.starts_with(kPrefix) ? line + "\n" : "";
            }
        }
        EXPECT_EQ(outcome.status, step.status) << what << outcome.err;
        EXPECT_EQ(outcome.out, step.out) << what;
        if (step.status == 0) {
            EXPECT_EQ(outcome.err, "") << what;
        } else {
            EXPECT_TRUE(outcome.err.starts_with("vlreg: ")) << what << outcome.err;
            EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << what << outcome.err;
        }
    }
    EXPECT_EQ(dump(kUser, suite_), "");
    EXPECT_EQ(dump(kMachine, suite_), "");
    EXPECT_EQ(dump(kMachine, other), other + "{}");
}

TEST_F(Win32Registry, HelpSaysWhereTheLayersLive) {
    const Outcome outcome = vlreg({"--help"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.starts_with("usage: vlreg")) << outcome.out;
    EXPECT_NE(outcome.out.find("HKEY_CURRENT_USER\\Software\\vlregut\\Products"),
              std::string::npos);
    EXPECT_NE(outcome.out.find("HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products"),
              std::string::npos);
    EXPECT_EQ(outcome.err, "");
}

// The registry folds more than A-Z; a name it takes for an existing one is refused rather than
// changing that one under another name.
TEST_F(Win32Registry, NamesOnlyTheRegistryFoldsTogetherAreRefused) {
    if (GetACP() != 1252) {
        GTEST_SKIP() << "needs the Western European ANSI code page 1252, not " << GetACP();
    }
    const std::string upper = kPrefix + "\xC4";  // A with diaeresis
    const std::string lower = kPrefix + "\xE4";
    put(kMachine, upper, "\xC4rger", "C:\\a");
    EXPECT_FALSE(selectProduct(lower));

    Outcome outcome = vlreg({"--system", "add", lower});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "vlreg: " + kMachine.shown + lower +
                               ": the registry has it under a spelling that differs beyond A-Z "
                               "case\r\n");
    outcome = vlreg({"--system", "set", upper, "\xE4rger", "C:\\b"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err, "vlreg: " + kMachine.shown + upper +
                               ": value \xE4rger: the registry has it under a spelling that "
                               "differs beyond A-Z case\r\n");
    EXPECT_EQ(dump(kMachine, upper), upper + "{\xC4rger=C:\\a,}");
}

// Writers hardly ever overlap by chance, so this holds the lock on purpose while another
// process tries to write.
TEST_F(Win32Registry, WritersWaitForTheLockHolder) {
    ASSERT_EQ(Key(kMachine, suite_, true).status(), ERROR_SUCCESS);
    const auto store = vlregut::openDefaultStore();
    std::optional<Child> other;
    std::string error;
    const bool stored = store->update(
        vlregut::Layer::User,
        [&](vlregut::ini::Document& doc) {
            other.emplace(besideTests("vlreg.exe"),
                          std::vector<std::string>{"set", suite_, "Second", "C:\\b"});
            EXPECT_FALSE(other->exitsWithin(1000));
            return vlregut::ini::setValue(doc, suite_, "First", "C:\\a");
        },
        error);
    EXPECT_TRUE(stored) << error;
    ASSERT_TRUE(other);
    EXPECT_EQ(other->finish().status, 0);
    EXPECT_EQ(dump(kUser, suite_), suite_ + "{First=C:\\a,Second=C:\\b,}");
}

TEST_F(Win32Registry, ConcurrentWritersLoseNothing) {
    constexpr int kWriters = 4;
    constexpr int kRounds = 40;
    const std::string shared = kPrefix + "Shared";
    const char* const startEvent = "vlregut-test-start";
    const HANDLE start = CreateEventA(nullptr, TRUE, FALSE, startEvent);
    ASSERT_NE(start, nullptr);
    // Only the machine-wide layer has the products, so the writers race to create user keys.
    ASSERT_EQ(Key(kMachine, shared, true).status(), ERROR_SUCCESS);
    std::vector<Child> writers;
    for (int w = 0; w < kWriters; ++w) {
        const std::string own = kPrefix + "P" + std::to_string(w);
        ASSERT_EQ(Key(kMachine, own, true).status(), ERROR_SUCCESS);
        writers.emplace_back(
            besideTests("vlregut_writer.exe"),
            std::vector<std::string>{std::to_string(w), own, w % 2 ? "VLREGUT-TEST-shared" : shared,
                                     std::to_string(kRounds), startEvent});
    }
    SetEvent(start);
    for (Child& writer : writers) {
        const Outcome outcome = writer.finish();
        EXPECT_EQ(outcome.status, 0) << outcome.err;
    }
    CloseHandle(start);

    const std::string last = std::string("-").append(std::to_string(kRounds - 1));
    for (int w = 0; w < kWriters; ++w) {
        const std::string me = std::to_string(w);
        EXPECT_EQ(valueOf(kUser, kPrefix + "P" + me, "DocsDir"), "C:\\own\\" + me + last);
        EXPECT_EQ(valueOf(kUser, shared, "W" + me), me + last);
    }
    for (int round = 0; round < kRounds; ++round) {
        const std::string number = std::to_string(round);
        const std::string writer = valueOf(kUser, shared, "R" + number);
        EXPECT_TRUE(writer.size() == 1 && writer[0] >= '0' && writer[0] < '0' + kWriters)
            << round << ": " << writer;
    }
    EXPECT_TRUE(dump(kUser, shared).starts_with(shared + "{")) << dump(kUser, shared);
}

}  // namespace
