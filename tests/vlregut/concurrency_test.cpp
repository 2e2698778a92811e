#include <chrono>
#include <filesystem>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"
#include "vlregut/ini.h"

using namespace std::chrono_literals;

namespace {

using Concurrency = Registry;

// Writers hardly ever overlap by chance, so this holds the lock on purpose while other
// processes try to write: one gives up after ten seconds, the next waits until it is released.
TEST_F(Concurrency, WritersWaitForTheLockHolder) {
    put(Layer::System, kSuite);
#ifdef _WIN32
    const std::string lock = "Local\\vlregut-user-store-";  // and the user's SID
#else
    const std::string lock = userFile() + ".lock";
#endif
    std::future<support::Outcome> other;
    std::string error;
    const bool stored = vlregut::openDefaultStore()->update(
        Layer::User,
        [&](vlregut::ini::Document& doc) {
            const auto start = std::chrono::steady_clock::now();
            const auto late = vlreg({"set", kSuite, "Late", "/c"});
            EXPECT_GE(std::chrono::steady_clock::now() - start, vlregut::kLockWait);
            EXPECT_EQ(late.status, 2);
            const std::string holds = ": another process holds the lock; gave up after 10 seconds";
            EXPECT_TRUE(late.err.starts_with("vlreg: " + lock) && late.err.ends_with(holds + kEol))
                << late.err;
            other = std::async(std::launch::async, vlreg,
                               std::vector<std::string>{"set", kSuite, "Second", "/b"});
            EXPECT_EQ(other.wait_for(1s), std::future_status::timeout);
            return vlregut::ini::setValue(doc, kSuite, "First", "/a");
        },
        error);
    EXPECT_TRUE(stored) << error;
    ASSERT_TRUE(other.valid());
    EXPECT_EQ(other.get().status, 0);
    EXPECT_EQ(dump(Layer::User, kSuite), kSuite + "{First=/a,Second=/b,}");
}

struct Load {
    const char* name;
    int writers;
    int rounds;  // three writes each
};
using support::PrintTo;

class Writers : public Registry, public ::testing::WithParamInterface<Load> {};

// Each writer process sets its own product, an entry of its own in the shared product, and in
// each round a new entry of the shared product that every writer adds at about the same time.
TEST_P(Writers, InSeveralProcessesLoseNothing) {
    const int kWriters = GetParam().writers;
    const int kRounds = GetParam().rounds;
    const std::string shared = kPrefix + "Shared";
    const support::TempFolder signals("vlregut-start");
    const std::string start = signals / "start";
    // Only the machine-wide layer has the products, so the writers race to create the user's.
    put(Layer::System, shared);
    std::vector<std::future<support::Outcome>> writers;
    for (int w = 0; w < kWriters; ++w) {
        const std::string own = kPrefix + "P" + std::to_string(w);
        put(Layer::System, own);
        writers.push_back(std::async(
            std::launch::async, writer,
            std::vector<std::string>{std::to_string(w), own, w % 2 ? "VLREGUT-TEST-shared" : shared,
                                     std::to_string(kRounds), start}));
    }
    // Started together, so that their first writes race too.
    const auto deadline = std::chrono::steady_clock::now() + 60s;
    for (int w = 0; w < kWriters; ++w) {
        while (!std::filesystem::exists(start + "." + std::to_string(w)) &&
               std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
        }
    }
    ASSERT_TRUE(support::writeFile(start, ""));
    for (auto& running : writers) {
        const auto outcome = running.get();
        EXPECT_EQ(outcome.status, 0) << outcome.err;
    }

    const std::string last = std::string("-").append(std::to_string(kRounds - 1));
    std::set<std::string> ids;
    for (int w = 0; w < kWriters; ++w) {
        const std::string me = std::to_string(w);
        ids.insert(me);
        ASSERT_TRUE(selectProduct(kPrefix + "P" + me));
        EXPECT_EQ(get("DocsDir"), "/own/" + me + last);
        ASSERT_TRUE(selectProduct(shared));
        EXPECT_EQ(get("W" + me), me + last);
    }
    for (int round = 0; round < kRounds; ++round) {
        const std::string writer = get(std::string("R").append(std::to_string(round)));
        EXPECT_TRUE(ids.count(writer)) << round << ": " << writer;
    }
#ifndef _WIN32
    vlregut::ini::Document doc;
    EXPECT_FALSE(vlregut::ini::parse(support::readFile(userFile()), doc));
    std::set<std::string> files;
    for (const auto& file : std::filesystem::directory_iterator(root_ / "home/vlregut")) {
        files.insert(file.path().filename());
    }
    EXPECT_EQ(files, (std::set<std::string>{"registry.ini", "registry.ini.lock"}));
#endif
}

const Load kLoads[] = {
    {"Four", 4, 40},
#ifndef _WIN32
    // 102 writes each, most of them made after waiting for the lock.
    {"ThirtyTwo", 32, 34},
#endif
};

INSTANTIATE_TEST_SUITE_P(Table, Writers, ::testing::ValuesIn(kLoads), support::caseName);

}  // namespace
