// The install registry as the tests see it: both layers, and no products of the tests at the
// start of each one. On POSIX systems every test gets configuration folders of its own; on
// Windows the tests share the real keys with other programs, so their products start with
// kPrefix, and what a crashed run left behind is recognised and removed.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "support/files.h"
#include "vlregut/store.h"

using vlregut::Layer;

inline const std::string kPrefix = "vlregut-test-";
inline const std::string kSuite = kPrefix + "Suite";
// How the library and the tool end their lines.
#ifdef _WIN32
inline const std::string kEol = "\r\n";
#else
inline const std::string kEol = "\n";
#endif

class Registry : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Creates the product in the layer, with the entry when one is named.
    void put(Layer layer, const std::string& product, const std::string& name = {},
             const std::string& value = {});
    // "Spelling{name=value,}" as the layer holds the product, "name:type" for a value that is no
    // string; "" without the product.
    std::string dump(Layer layer, const std::string& product) const;

#ifndef _WIN32
    std::string userFile() const {
        return root_ / "home/vlregut/registry.ini";
    }
    std::string systemFile(int n = 2) const {  // new stores go in the last folder
        return root_ / ("sys" + std::to_string(n) + "/vlregut/registry.ini");
    }
    support::TempFolder root_{"vlregut-test"};
#endif
};

bool selectProduct(std::string product);
// The selected product's value, or "<failed>".
std::string get(const std::string& entry);
// Defined in C.
extern "C" int vlregutSelectFromC(const char* product);

// Runs the admin tool, or the concurrency test's writer, to its end.
support::Outcome vlreg(const std::vector<std::string>& args);
support::Outcome writer(const std::vector<std::string>& args);
#ifndef _WIN32
// Runs the writer, killing it with SIGKILL (status -1) if it still runs after `after`.
support::Outcome writerKilledAfter(const std::vector<std::string>& args,
                                   std::chrono::milliseconds after);
#endif

// A store that cannot be read: each library call and tool command fails with this one-line
// report, and `store` (what it holds) stays as it was. A product must be selected.
void expectUnusable(const std::string& report, const std::function<std::string()>& store);
