#include "test_support.h"

#include <fcntl.h>

#include <cstdio>
#include <cstdlib>

#include "vlregut/ini.h"
#include "vlregut/vlregut.h"

#ifdef _WIN32
#include <io.h>

#include "support/win32.h"
#define O_CLOEXEC _O_NOINHERIT

namespace {

HKEY rootOf(Layer layer) {
    return layer == Layer::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

std::string keyOf(Layer layer, const std::string& product = {}) {
    return (layer == Layer::User ? "Software" : "SOFTWARE") + std::string("\\vlregut\\Products") +
           (product.empty() ? "" : "\\" + product);
}

support::Outcome run(const std::string& program, const std::vector<std::string>& args) {
    return support::run(support::windowsPath(program), args);
}

}  // namespace

void Registry::SetUp() {
    TearDown();
    if (support::createKey(HKEY_LOCAL_MACHINE, keyOf(Layer::System)) == ERROR_ACCESS_DENIED) {
        GTEST_SKIP() << "needs write access to HKEY_LOCAL_MACHINE: run elevated or under Wine";
    }
}

void Registry::TearDown() {
    for (const Layer layer : {Layer::User, Layer::System}) {
        for (const std::string& name : support::subKeys(rootOf(layer), keyOf(layer))) {
            if (name.starts_with(kPrefix)) {
                support::deleteKey(rootOf(layer), keyOf(layer, name));
            }
        }
    }
}

void Registry::put(Layer layer, const std::string& product, const std::string& name,
                   const std::string& value) {
    ASSERT_TRUE(name.empty()
                    ? support::createKey(rootOf(layer), keyOf(layer, product)) == 0
                    : support::setString(rootOf(layer), keyOf(layer, product), name, value))
        << product;
}

std::string Registry::dump(Layer layer, const std::string& product) const {
    std::string text;
    for (const std::string& name : support::subKeys(rootOf(layer), keyOf(layer))) {
        text = lstrcmpiA(name.c_str(), product.c_str()) == 0 ? name + "{" : text;
    }
    for (const auto& [name, type, data] : support::values(rootOf(layer), keyOf(layer, product))) {
        const std::size_t nul = data.ends_with('\0') ? 1 : 0;
        text.append(name).append(type == REG_SZ ? "=" : ":");
        text.append(type == REG_SZ ? data.substr(0, data.size() - nul) : std::to_string(type)) +=
            ',';
    }
    return text.empty() ? "" : text + "}";
}
#else
#include <unistd.h>

#include "support/process.h"

namespace {

support::Outcome run(const std::string& program, const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout = std::chrono::seconds(60)) {
    std::vector<std::string> argv{program};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        env.emplace_back(*entry);
    }
    const auto result = e2e::run({argv, env, "", "", timeout});
    return {result.timedOut ? -1 : result.exitCode, result.out, result.err};
}

}  // namespace

void Registry::SetUp() {
    setenv("HOME", (root_ / "nohome").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (root_ / "home").c_str(), 1);
    setenv("XDG_CONFIG_DIRS", (root_ / "sys1" + ":" + root_ / "sys2").c_str(), 1);
}

void Registry::TearDown() {}

void Registry::put(Layer layer, const std::string& product, const std::string& name,
                   const std::string& value) {
    const std::string file = layer == Layer::User ? userFile() : systemFile();
    vlregut::ini::Document doc;
    ASSERT_FALSE(vlregut::ini::parse(support::readFile(file), doc)) << file;
    name.empty() ? vlregut::ini::addSection(doc, product)
                 : vlregut::ini::setValue(doc, product, name, value);
    ASSERT_TRUE(support::writeFile(file, vlregut::ini::serialise(doc)));
}

std::string Registry::dump(Layer layer, const std::string& product) const {
    vlregut::ini::Document doc;
    vlregut::ini::parse(support::readFile(layer == Layer::User ? userFile() : systemFile()), doc);
    const auto spelling = vlregut::ini::findSection(doc, product);
    std::string text = spelling ? *spelling + "{" : "";
    for (const auto& [name, value] : vlregut::ini::entries(doc, product)) {
        text += name + "=" + value + ",";
    }
    return text.empty() ? "" : text + "}";
}
#endif

support::Outcome vlreg(const std::vector<std::string>& args) {
    return run(VLREG_EXE, args);
}

support::Outcome writer(const std::vector<std::string>& args) {
    return run(WRITER_EXE, args);
}

#ifndef _WIN32
support::Outcome writerKilledAfter(const std::vector<std::string>& args,
                                   std::chrono::milliseconds after) {
    return run(WRITER_EXE, args, after);
}
#endif

bool selectProduct(std::string product) {
    return VlRegInitializeProduct(product.data(), 0) != 0;
}

std::string get(const std::string& entry) {
    char buffer[256] = {};
    return VlRegGetInstallDir(entry.c_str(), buffer, sizeof buffer) ? buffer : "<failed>";
}

namespace {

// What goes to standard error during the call, the library's writes included.
std::string stderrOf(int (*call)(), int& result) {
    const support::TempFolder folder("vlregut-stderr");
    const std::string path = folder / "stderr";
    std::fflush(stderr);
    const int saved = dup(2);
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    dup2(fd, 2);
    close(fd);
    result = call();
    std::fflush(stderr);
    dup2(saved, 2);
    close(saved);
    return support::readFile(path);
}

}  // namespace

void expectUnusable(const std::string& report, const std::function<std::string()>& store) {
    const std::string before = store();
    for (const auto call : {+[] { return VlRegSetInstallDir("DocsDir", "/new"); },
                            +[] { return get("DocsDir") == "<failed>" ? 0 : 1; },
                            +[] { return vlregutSelectFromC(kSuite.c_str()); }}) {
        int result = -1;
        EXPECT_EQ(stderrOf(call, result), "vlregut: " + report + kEol);
        EXPECT_EQ(result, 0) << report;
    }
    for (const std::vector<std::string>& args : {std::vector<std::string>{"get", kSuite, "DocsDir"},
                                                 {"set", kSuite, "DocsDir", "/new"},
                                                 {"list"}}) {
        const auto outcome = vlreg(args);
        EXPECT_EQ(outcome.status, 2) << report;
        EXPECT_EQ(outcome.err, "vlreg: " + report + kEol);
    }
    EXPECT_EQ(store(), before);
}
