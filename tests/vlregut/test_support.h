// The install registry as the store tests see it: both layers, and none of the tests' products at
// the start of each test. On POSIX systems each test has configuration folders of its own; on
// Windows the tests share the real keys, so their products start with kPrefix, and what a crashed
// run left behind is removed first.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "support/files.h"
#include "vlregut/ini.h"
#include "vlregut/store.h"
#include "vlregut/vlregut.h"

#ifdef _WIN32
#include "support/win32.h"
#else
#include <cstdlib>

#include "support/process.h"
#endif

using vlregut::Layer;

inline const std::string kPrefix = "vlregut-test-";
inline const std::string kSuite = kPrefix + "Suite";

#ifdef _WIN32
inline const std::string kEol = "\r\n";  // how the tool ends its lines

class StoreTest : public testing::Test {
  protected:
    void SetUp() override {
        TearDown();
        if (support::CreateKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\vlregut\\Products") ==
            ERROR_ACCESS_DENIED) {
            GTEST_SKIP() << "needs write access to HKEY_LOCAL_MACHINE: run elevated or under Wine";
        }
    }
    void TearDown() override {
        for (const auto& [root, key] :
             {std::pair<HKEY, std::string>{HKEY_CURRENT_USER, "Software\\vlregut\\Products"},
              {HKEY_LOCAL_MACHINE, "SOFTWARE\\vlregut\\Products"}}) {
            for (const std::string& name : support::SubKeys(root, key)) {
                if (name.starts_with(kPrefix)) {
                    support::DeleteKey(root, key + "\\" + name);
                }
            }
        }
    }
};

// Runs a program to its end.
inline support::Outcome RunProgram(const char* program, const std::vector<std::string>& args,
                                   std::chrono::milliseconds = {}) {
    return support::Run(support::WindowsPath(program), args);
}
#else
inline const std::string kEol = "\n";

class StoreTest : public testing::Test {
  protected:
    void SetUp() override {
        setenv("HOME", (m_root / "nohome").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_root / "home").c_str(), 1);
        setenv("XDG_CONFIG_DIRS", (m_root / "sys1" + ":" + m_root / "sys2").c_str(), 1);
    }
    std::string UserFile() const { return m_root / "home/vlregut/registry.ini"; }
    // New machine-wide stores go in the last folder.
    std::string SystemFile(const char* folder = "sys2") const {
        return m_root / folder + "/vlregut/registry.ini";
    }

    support::TempFolder m_root{"vlregut-test"};
};

// Runs a program to its end, or kills it (status -1) when it runs longer than `limit`.
inline support::Outcome RunProgram(const char* program, const std::vector<std::string>& args,
                                   std::chrono::milliseconds limit = std::chrono::minutes(1)) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        env.emplace_back(*entry);
    }
    const auto result = support::Run({argv, env, "", "", limit});
    return {result.timedOut ? -1 : result.exitCode, result.out, result.err};
}
#endif

inline support::Outcome Vlreg(const std::vector<std::string>& args) {
    return RunProgram(VLREG_EXE, args);
}

// Creates the product in the layer, with the entry when one is named.
inline void Put(Layer layer, const std::string& product, const std::string& entry = {},
                const std::string& value = {}) {
    std::string error;
    vlregut::openDefaultStore()->update(
        layer,
        [&](vlregut::ini::Document& doc) {
            return entry.empty() ? vlregut::ini::addSection(doc, product)
                                 : vlregut::ini::setValue(doc, product, entry, value);
        },
        error);
    ASSERT_EQ(error, "") << product;
}

inline bool SelectProduct(std::string product) {
    return VlRegInitializeProduct(product.data(), 0) != 0;
}

// The selected product's value, or "<failed>".
inline std::string Get(const std::string& entry) {
    char buffer[256] = {};
    return VlRegGetInstallDir(entry.c_str(), buffer, sizeof buffer) ? buffer : "<failed>";
}

// Compiled as C.
extern "C" int SelectFromC(char* product);

// A store that cannot be read: each library call and tool command fails with this one-line
// report, and `store` (what it holds) stays as it was. A product must be selected.
inline void ExpectUnusable(const std::string& report, const std::function<std::string()>& store) {
    const std::string before = store();
    std::string product = kSuite;
    char buffer[256];
    for (const auto& call : std::initializer_list<std::function<int()>>{
             [] { return VlRegSetInstallDir("DocsDir", "/new"); },
             [&] { return VlRegGetInstallDir("DocsDir", buffer, sizeof buffer); },
             [&] { return SelectFromC(product.data()); }}) {
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
