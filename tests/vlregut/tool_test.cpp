#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using Tool = Registry;

TEST_F(Tool, CommandsExitCodesAndOutput) {
    const std::string tools = kPrefix + "Tools";
    const std::string folder = "C:\\Program Files\\Suite\\";
    const std::string odd = "*.* \"quoted\\\" \\";
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Step steps[] = {
        {{"get", kSuite, "DocsDir"}, 1, ""},
        {{"set", kSuite, "DocsDir", "/u"}, 1, ""},
        {{"add", kSuite}, 0, ""},
        {{"set", "VLREGUT-TEST-SUITE", "DocsDir", folder}, 0, ""},
        {{"--system", "add", kSuite}, 0, ""},
        {{"--system", "set", kSuite, "DocsDir", "/s"}, 0, ""},
        {{"--system", "add", tools}, 0, ""},
        {{"get", "vlregut-test-suite", "docsdir"}, 0, folder + kEol},
        {{"--system", "get", kSuite, "DocsDir"}, 0, "/s" + kEol},
        {{"set", kSuite, "Odd", odd}, 0, ""},
        {{"get", kSuite, "Odd"}, 0, odd + kEol},
        {{"get", kSuite, "Nope"}, 1, ""},
        {{"list"}, 0, kSuite + kEol + tools + kEol},
        {{"list", kSuite}, 0, "DocsDir=" + folder + kEol + "Odd=" + odd + kEol},
        {{"--system", "list", kPrefix + "Nope"}, 1, ""},
        {{"set", kSuite, "DocsDir", "/a\nb"}, 2, ""},
        {{"add", kPrefix + "Bad]Id"}, 2, ""},
#ifdef _WIN32
        // Valid, but longer than the registry allows a key name to be.
        {{"add", kPrefix + std::string(246, 'p')}, 2, ""},
#endif
        {{"remove", kSuite, "DocsDir"}, 0, ""},
        {{"remove", kSuite, "DocsDir"}, 1, ""},
        {{"get", kSuite, "DocsDir"}, 0, "/s" + kEol},
        {{"remove", kSuite}, 0, ""},
        {{"--system", "remove", kSuite}, 0, ""},
        {{"list"}, 0, tools + kEol},
        {{}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"--bogus", "list"}, 2, ""},
        {{"get", kSuite}, 2, ""},
    };
    for (const Step& step : steps) {
        const std::string what = ::testing::PrintToString(step.args);
        support::Outcome outcome = vlreg(step.args);
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
    EXPECT_EQ(dump(Layer::User, kSuite), "");
    EXPECT_EQ(dump(Layer::System, kSuite), "");
    EXPECT_EQ(dump(Layer::System, tools), tools + "{}");
    EXPECT_EQ(
        vlreg({"remove", tools}).err,
        "vlreg: product " + tools + " is machine-wide only; --system removes it from there" + kEol);
}

TEST_F(Tool, HelpSaysWhereTheLayersLive) {
    const auto outcome = vlreg({"--help"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.starts_with("usage: vlreg")) << outcome.out;
#ifdef _WIN32
    for (const char* place : {"HKEY_CURRENT_USER\\Software\\vlregut\\Products",
                              "HKEY_LOCAL_MACHINE\\SOFTWARE\\vlregut\\Products"}) {
#else
    for (const char* place : {"$XDG_CONFIG_HOME/vlregut/registry.ini", "$XDG_CONFIG_DIRS"}) {
#endif
        EXPECT_NE(outcome.out.find(place), std::string::npos) << place;
    }
    EXPECT_EQ(outcome.err, "");
}

}  // namespace
