#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "vlregut/vlregut.h"

extern char** environ;

namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

class Tool : public ConfigTest {
  protected:
    Outcome run(std::vector<std::string> args) {
        args.insert(args.begin(), VLREG_PATH);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const std::string out = root_ + "/out";
        const std::string err = root_ + "/err";
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                         0600);
        pid_t pid = 0;
        const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (spawned != 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status)) {
            return {-1, "", "not run"};
        }
        return {WEXITSTATUS(status), readFile(out), readFile(err)};
    }
};

TEST_F(Tool, CommandsExitCodesAndOutput) {
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out;
    };
    const Step steps[] = {
        {{"get", "Suite", "DocsDir"}, 1, ""},
        {{"set", "Suite", "DocsDir", "/u"}, 1, ""},
        {{"add", "Suite"}, 0, ""},
        {{"set", "SUITE", "DocsDir", "/u"}, 0, ""},
        {{"--system", "add", "Suite"}, 0, ""},
        {{"--system", "set", "Suite", "DocsDir", "/s"}, 0, ""},
        {{"--system", "add", "Other"}, 0, ""},
        {{"get", "suite", "docsdir"}, 0, "/u\n"},
        {{"--system", "get", "Suite", "DocsDir"}, 0, "/s\n"},
        {{"get", "Suite", "Nope"}, 1, ""},
        {{"list"}, 0, "Suite\nOther\n"},
        {{"list", "Suite"}, 0, "DocsDir=/u\n"},
        {{"--system", "list", "Nope"}, 1, ""},
        {{"set", "Suite", "DocsDir", "-a\nb"}, 2, ""},
        {{"add", "Bad]Id"}, 2, ""},
        {{"remove", "Suite", "DocsDir"}, 0, ""},
        {{"remove", "Suite", "DocsDir"}, 1, ""},
        {{"get", "Suite", "DocsDir"}, 0, "/s\n"},
        {{"remove", "Suite"}, 0, ""},
        {{"--system", "remove", "Suite"}, 0, ""},
        {{"list"}, 0, "Other\n"},
        {{}, 2, ""},
        {{"frobnicate"}, 2, ""},
        {{"--bogus", "list"}, 2, ""},
        {{"get", "Suite"}, 2, ""},
    };
    for (const Step& step : steps) {
        const std::string what = ::testing::PrintToString(step.args);
        const Outcome outcome = run(step.args);
        EXPECT_EQ(outcome.status, step.status) << what << outcome.err;
        EXPECT_EQ(outcome.out, step.out) << what;
        if (step.status == 0) {
            EXPECT_EQ(outcome.err, "") << what;
        } else {
            EXPECT_TRUE(outcome.err.starts_with("vlreg: ")) << what << outcome.err;
            EXPECT_EQ(outcome.err.find('\n'), outcome.err.size() - 1) << what << outcome.err;
        }
    }
}

TEST_F(Tool, HelpGoesToStandardOutput) {
    const Outcome outcome = run({"--help"});
    EXPECT_EQ(outcome.status, 0);
    EXPECT_TRUE(outcome.out.starts_with("usage: vlreg")) << outcome.out;
    EXPECT_EQ(outcome.err, "");
}

TEST_F(Tool, SystemLayerLivesInTheFirstFolderThatHasOne) {
    setenv("XDG_CONFIG_DIRS", (":relative:" + root_ + "/sys1:" + root_ + "/sys2").c_str(), 1);
    writeFile(systemFile(2), "[Found]\n");
    EXPECT_EQ(run({"--system", "add", "A"}).status, 0);
    EXPECT_EQ(readFile(systemFile(2)), "[Found]\n\n[A]\n");
    EXPECT_FALSE(std::filesystem::exists(systemFile(1)));

    std::filesystem::remove_all(root_ + "/sys2");
    EXPECT_EQ(run({"--system", "add", "B"}).status, 0);
    EXPECT_EQ(readFile(systemFile(1)), "[B]\n");
}

TEST_F(Tool, SeesWhatTheLibraryStoredAndReportsBrokenStores) {
    writeFile(systemFile(), "[Suite]\n");
    std::string product = "Suite";
    ASSERT_TRUE(VlRegInitializeProduct(product.data(), 0));
    ASSERT_TRUE(VlRegSetInstallDir("DocsDir", "/from library"));
    EXPECT_EQ(run({"get", "Suite", "DocsDir"}).out, "/from library\n");

    writeFile(systemFile(), "[Suite]\n[Other]\n[suite]\n");
    const Outcome outcome = run({"list"});
    EXPECT_EQ(outcome.status, 2);
    EXPECT_EQ(outcome.err,
              "vlreg: " + systemFile() + ":3: duplicate section [suite], first at line 1\n");
}

}  // namespace
