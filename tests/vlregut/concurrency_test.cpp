#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "test_support.h"
#include "vlregut/ini.h"
#include "vlregut/vlregut.h"

namespace {

constexpr int kWriters = 4;
constexpr int kRounds = 40;

bool setFor(std::string product, const std::string& entry, const std::string& value) {
    return VlRegInitializeProduct(product.data(), 0) &&
           VlRegSetInstallDir(entry.c_str(), value.c_str());
}

// Each writer sets its own product, a shared entry everybody writes, and a shared-product entry
// of its own; the last two catch a writer that rewrites a file read before another's write.
bool write(int writer) {
    const std::string me = std::to_string(writer);
    bool ok = true;
    for (int round = 0; round < kRounds; ++round) {
        const std::string value = me + "-" + std::to_string(round);
        ok = setFor("P" + me, "DocsDir", "/own/" + value) && ok;
        ok = setFor("Shared", "DocsDir", "/shared/" + value) && ok;
        ok = setFor("shared", "W" + me, value) && ok;
    }
    return ok;
}

using Concurrency = ConfigTest;

TEST_F(Concurrency, ParallelWritersLoseNothing) {
    std::string system = "[Shared]\n";
    for (int w = 0; w < kWriters; ++w) {
        system += "[P" + std::to_string(w) + "]\n";
    }
    writeFile(systemFile(), system);

    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            _exit(write(w) ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }

    namespace ini = vlregut::ini;
    ini::Document doc;
    ASSERT_FALSE(ini::parse(readFile(userFile()), doc));
    const std::string last = "-" + std::to_string(kRounds - 1);
    std::set<std::string> lastShared;
    for (int w = 0; w < kWriters; ++w) {
        const std::string me = std::to_string(w);
        EXPECT_EQ(ini::findValue(doc, "P" + me, "DocsDir"), "/own/" + me + last);
        EXPECT_EQ(ini::findValue(doc, "Shared", "W" + me), me + last);
        lastShared.insert("/shared/" + me + last);
    }
    EXPECT_TRUE(lastShared.contains(ini::findValue(doc, "Shared", "DocsDir").value_or("")));

    std::set<std::string> files;
    for (const auto& file : std::filesystem::directory_iterator(root_ + "/home/vlregut")) {
        files.insert(file.path().filename());
    }
    EXPECT_EQ(files, (std::set<std::string>{"registry.ini", "registry.ini.lock"}));
}

}  // namespace
