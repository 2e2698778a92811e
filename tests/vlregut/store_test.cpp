// The library and the admin tool over the store of the platform at hand.
#include <future>
#include <sstream>

#include "test_support.h"

using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

using Api = StoreTest;
using Tool = StoreTest;
using Concurrency = StoreTest;

TEST_F(Api, RefusalsLeaveBuffersAndTheStoreUntouched) {
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

TEST_F(Tool, CommandsExitStatusAndOutput) {
    const std::string tools = kPrefix + "Tools";
    const std::string dash = "-" + kPrefix + "Dash";
    const std::string folder = "C:\\Program Files\\Suite\\";
    const std::string odd = " ;*.* \"quoted\\\" \\";  // kept as it is
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
        {{"list"}, 0, tools + kEol + dash + kEol},
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
    // The usage; after a blank line where this platform keeps the layers, and where they are now.
    for (const std::string option : {"--help", kEol == "\n" ? "-h" : "/?"}) {
        const std::string help = Vlreg({"get", option}).out;
        EXPECT_TRUE(help.starts_with("usage: vlreg") &&
                    help.find("store." + kEol + kEol + "The user's layer is ") != help.npos &&
                    help.ends_with(kEol + "In use now:" + kEol + "  user    " + Where(Layer::User) +
                                   kEol + "  system  " + Where(Layer::System) + kEol))
            << help;
    }
}

// Writers hardly ever overlap by chance, so this holds the lock on purpose: a writer gives up
// after ten seconds; the next ones wait until it is released, and then write all at once, each
// to an entry of its own and in each round all to the round's new entry, to a product that at
// first only the machine-wide layer has.
TEST_F(Concurrency, WritersWaitForTheLockHolderAndLoseNothing) {
    constexpr int kWriters = 4;
    constexpr int kRounds = 10;
    Put(Layer::System, kSuite);
#ifdef _WIN32
    const std::string lock = "Local\\vlregut-user-store-";  // and the user's SID
#else
    const std::string lock = UserFile() + ".lock";
#endif
    std::vector<std::future<support::Outcome>> writers;
    const auto holdLock = [&](vlregut::ini::Document& doc) {
        const auto start = std::chrono::steady_clock::now();
        const auto late = Vlreg({"set", kSuite, "Late", "/c"});
        EXPECT_GE(std::chrono::steady_clock::now() - start, vlregut::kLockWait);
        EXPECT_TRUE(
            late.status == 2 && late.err.starts_with("vlreg: " + lock) &&
            late.err.ends_with(": another process holds the lock; gave up after 10 seconds" + kEol))
            << late.err;
        for (int w = 0; w < kWriters; ++w) {
            writers.push_back(std::async(std::launch::async, [=] {
                const std::string product = w % 2 ? "VLREGUT-TEST-suite" : kSuite;
                return RunProgram(WRITER_EXE,
                                  {std::to_string(w), product, std::to_string(kRounds)});
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
    for (int i = 0; i < kRounds; ++i) {
        // Built by appending, past GCC 12's false -Wrestrict for "W" + std::to_string(...).
        EXPECT_EQ(Get(std::string("W").append(std::to_string(i % kWriters))),
                  std::to_string(kRounds - 1));
        EXPECT_NE(Get(std::string("R").append(std::to_string(i))), "<failed>") << i;
    }
}

}  // namespace
