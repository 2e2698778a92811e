// Linux end to end: the built suitehelp in a throwaway desktop of its own (install registry, MIME
// database, a recording script as the PDF application), one row for each way the real parts meet.
// The rules behind the rows are tested against fakes in tests/core and in the store's own tests.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/files.h"
#include "support/process.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using support::PrintTo;

struct Row {
    const char* name;
    const char* document;  // the PDF, under the root; the product is registered at "Help Files"
    const char* typed;     // the console's answers
    bool handler;          // the recording script is the PDF application
    const char* debug;     // SUITEHELP_DEBUG for suitehelp ("": off)
    std::string store;     // the user's store in place of the product's registration
    const char* err;       // what suitehelp writes, GLib's own warnings left out
    const char* stored;    // DocsDir afterwards as vlreg reads it, "" when it cannot
    bool opens = false;    // the document reaches the handler
    const char* only = nullptr;  // the only argument, in place of the option and file
    const char* out = "";        // what suitehelp writes to its standard output
};

// clang-format off
const Row kRows[] = {
    {"Found", "Help Files/guide.pdf", "", true, "", "", "", "{root}/Help Files\n", true},
    // Every step told, and no application for PDF files: GIO's failure in its own words and
    // the shell's text (the other codes are mapped in tests/core/shell_test.cpp).
    {"Debug", "Other/guide.pdf", "{root}/Other/guide.pdf\n", false, "1", "",
     "suitehelp: launch option: -vellum\n"
     "suitehelp: launch configuration {root}/help.cfg: read\n"
     "suitehelp: document-name file {root}/names: read\n"
     "suitehelp: document name: guide.pdf\n"
     "suitehelp: product SuiteWriter: known to the component\n"
     "suitehelp: documents folder: {root}/Help Files\n"
     "suitehelp: document: {root}/Help Files/guide.pdf: missing\n"
     "suitehelp: dialog: console (SUITEHELP_UI=console)\n"
     "Can't find {root}/Help Files/guide.pdf. Specify the path for guide.pdf.\n"
     "suitehelp: dialog answer: {root}/Other/guide.pdf\n"
     "suitehelp: stored documents folder: {root}/Other\n"
     "suitehelp: product SuiteWriter: known to the component\n"
     "suitehelp: documents folder: {root}/Other\n"
     "suitehelp: document: {root}/Other/guide.pdf: exists\n"
     "suitehelp: launch: file://{root}/Other/guide.pdf\n"
     "suitehelp: launch result: GIO error g-io-error-quark 15: Failed to find default "
     "application for content type \u2018application/pdf\u2019 -> shell code 31\n"
     "suitehelp: Acrobat Reader is not installed.\n"
     "Please install Acrobat Reader before executing this operation.\n", "{root}/Other\n"},
    // The store's one line, and nothing asked, stored or opened.
    {"BadStore", "Other/guide.pdf", "{root}/Other/guide.pdf\n", true, "",
     "[SuiteWriter]\nDocsDir={root}/Help Files\0\n"s,
     "vlregut: {root}/config/vlregut/registry.ini:2: NUL byte\n", ""},
    // --version alone: no session, which would tell its steps.
    {"Version", "Other/guide.pdf", "", true, "1", "", "", "{root}/Help Files\n",
     false, "--version", "suitehelp " SUITEHELP_VERSION "\n"},
};
// clang-format on

class SuiteHelp : public testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        // Viewers outlive suitehelp and become this process's children, to be seen and ended.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        std::istringstream folders(
            "HOME=home XDG_CONFIG_HOME=config XDG_CONFIG_DIRS=etc XDG_DATA_HOME=data "
            "XDG_DATA_DIRS=share XDG_CACHE_HOME=cache XDG_STATE_HOME=state XDG_RUNTIME_DIR=run");
        for (std::string folder; folders >> folder;) {
            const std::size_t equals = folder.find('=') + 1;
            m_env.push_back(folder.substr(0, equals) + m_root / folder.substr(equals));
            std::filesystem::create_directories(m_root / folder.substr(equals));
        }
        std::filesystem::permissions(m_root / "run", std::filesystem::perms::owner_all);
        // Without the MIME database every file would be application/octet-stream.
        std::filesystem::create_directory_symlink("/usr/share/mime", m_root / "share/mime");
    }

    void TearDown() override {
        for (const pid_t child : support::OurChildren()) {
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
    }

    std::string Expand(const std::string& text) const {
        return support::Expand(text, {{"{root}", m_root.Path().string()}});
    }

    const support::TempFolder m_root{"suitehelp-e2e"};
    // GLib's slices in plain memory, where the sanitizer build sees a leaked GError.
    std::vector<std::string> m_env{"PATH=/usr/bin:/bin", "LANG=C.UTF-8", "G_SLICE=always-malloc",
                                   "SUITEHELP_UI=console"};
};

TEST_P(SuiteHelp, RunsThroughTheRealParts) {
    const Row& row = GetParam();
    std::filesystem::create_directories(m_root / "Help Files");
    m_root.Write(row.document, support::kMinimalPdf);
    m_root.Write("names", "guide.pdf\n");
    const std::string config = m_root.Write("help.cfg", m_root / "names" + "\n\nSuiteWriter\n");
    const std::string registration = "[SuiteWriter]\nDocsDir={root}/Help Files\n";
    m_root.Write("config/vlregut/registry.ini",
                 Expand(row.store.empty() ? registration : row.store));
    // The viewer records its process id and argument, and lingers: suitehelp must not wait.
    const std::string viewer = m_root.Write(
        "viewer", Expand("#!/bin/sh\necho $$ \"$1\" >>'{root}/record'\nexec sleep 10\n"));
    std::filesystem::permissions(viewer, std::filesystem::perms::owner_all);
    m_root.Write("data/applications/rec.desktop",
                 "[Desktop Entry]\nType=Application\nName=R\nExec=" + viewer + " %f\n");
    m_root.Write("config/mimeapps.list",
                 row.handler ? "[Default Applications]\napplication/pdf=rec.desktop\n" : "");
    std::vector<std::string> env = m_env;
    env.push_back("SUITEHELP_DEBUG="s + row.debug);

    const auto args = row.only ? std::vector<std::string>{SUITEHELP_EXE, row.only}
                               : std::vector<std::string>{SUITEHELP_EXE, "-vellum", config};
    const auto result = support::Run({args, env, Expand(row.typed), "", 20s});

    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out, row.out);
    const std::regex glibWarning("\n\\(process:[0-9]+\\): GLib[^\n]*\n");
    EXPECT_EQ(std::regex_replace(result.err, glibWarning, ""), Expand(row.err));
    if (row.opens) {
        // GIO starts the handler as suitehelp ends, seconds later on a loaded machine.
        std::string record;
        for (const auto end = std::chrono::steady_clock::now() + 20s;
             !record.ends_with('\n') && std::chrono::steady_clock::now() < end;
             std::this_thread::sleep_for(5ms)) {
            record = support::ReadFile(m_root / "record");
        }
        ASSERT_FALSE(record.empty()) << "the handler was not started";
        EXPECT_EQ(record.substr(record.find(' ') + 1), m_root / row.document + "\n");
        EXPECT_TRUE(support::Running(std::stoi(record))) << "suitehelp waited for the viewer";
    } else {
        EXPECT_EQ(support::OurChildren(), std::vector<pid_t>{}) << "suitehelp left a process";
    }
    const auto stored =
        support::Run({{VLREG_EXE, "get", "SuiteWriter", "DocsDir"}, m_env, "", "", 20s});
    EXPECT_EQ(stored.out, Expand(row.stored));
}

INSTANTIATE_TEST_SUITE_P(Linux, SuiteHelp, testing::ValuesIn(kRows), support::CaseName);

}  // namespace
