// The install registry as the store tests see it: both layers, and none of the tests' products at
// the start of each test. On POSIX systems each test has configuration folders of its own; on
// Windows the tests share the real keys, so their products start with kPrefix, and what a crashed
// run left behind is removed first.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/files.h"
#include "vlregut/store.h"
#include "vlregut/vlregut.h"
#ifdef _WIN32
#include "support/win32.h"
#else
#include "support/process.h"
#endif

using vlregut::Layer;

inline const std::string kPrefix = "vlregut-test-";
inline const std::string kSuite = kPrefix + "Suite";

#ifdef _WIN32
inline const std::string kEol = "\r\n";  // how the tool ends its lines
inline const std::string kKeys[] = {"HKEY_CURRENT_USER\\Software\\vlregut\\Products",
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
    // The key of the layer, or of the product's values in it.
    static std::string Where(Layer layer, const std::string& product = {}) {
        return kKeys[layer == Layer::User ? 0 : 1] + (product.empty() ? "" : "\\" + product);
    }
};

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
        // Relative folders do not count; the machine-wide store is in the first folder that has
        // one, or else in the last.
        setenv("XDG_CONFIG_DIRS", (":relative:" + m_root / "sys1" + ":" + m_root / "sys2").c_str(),
               1);
    }
    std::string UserFile() const { return m_root / "home/vlregut/registry.ini"; }
    std::string Where(Layer layer, const std::string& = {}) const {
        return layer == Layer::User ? UserFile() : m_root / "sys2/vlregut/registry.ini";
    }

    support::TempFolder m_root{"vlregut-test"};
};

// Runs a program in this environment to its end, or kills it (status -1) after `limit`.
inline support::Outcome RunProgram(const char* program, const std::vector<std::string>& args,
                                   std::chrono::milliseconds limit = std::chrono::minutes(1)) {
    std::vector<std::string> argv{program}, env;
    argv.insert(argv.end(), args.begin(), args.end());
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
    const auto put = vlregut::OpenDefaultStore()->Update(layer, [&](vlregut::ini::Document& doc) {
        return entry.empty() ? vlregut::ini::AddSection(doc, product)
                             : vlregut::ini::SetValue(doc, product, entry, value);
    });
    ASSERT_EQ(put.message, "") << product;
}

// The selected product's value, or "<failed>".
inline std::string Get(const std::string& entry) {
    char buffer[256] = {};
    return VlRegGetInstallDir(entry.c_str(), buffer, sizeof buffer) ? buffer : "<failed>";
}

extern "C" int SelectFromC(const char* product);  // compiled as C

// A store that cannot be read: each library call and tool command fails with this one-line
// report, and `store` (what it holds) stays as it was. A product must be selected.
inline void ExpectUnusable(const std::string& report, const std::function<std::string()>& store) {
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
