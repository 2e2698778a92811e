// The built suitehelp on a display of its own (each row under xvfb-run, no window manager), with
// xdotool playing the user.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

#include "support/files.h"
#include "support/process.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using std::string;
using support::PrintTo;

struct Row {
    const char* name;
    const char* ui;     // SUITEHELP_UI
    const char* typed;  // into the dialog, under the root; "": Escape; null: none shown
};

// clang-format off
const Row kRows[] = {{"GtkEscape", "auto", ""}, {"GtkTyped", "auto", "Other/docs.pdf"},
                     {"ZenityEscape", "zenity", ""}, {"ZenityTyped", "zenity", "Other/docs.pdf"},
                     {"Found", "auto", nullptr}};
// clang-format on

class Desktop : public testing::TestWithParam<Row> {};

// The dialog shows the document's name; Escape stores nothing, a typed path is stored. On the
// happy path no GUI library is loaded (the loader's trace goes to files: the viewer inherits
// standard output).
TEST_P(Desktop, AsksOnlyWhenTheDocumentIsMissing) {
    const Row& row = GetParam();
    const char *display = std::getenv("DISPLAY"), *auth = std::getenv("XAUTHORITY");
    if (!display || access("/usr/bin/xdotool", X_OK) || access("/usr/bin/zenity", X_OK) ||
        !dlopen("libgtk-3.so.0", RTLD_LAZY)) {
        GTEST_SKIP() << "needs xvfb-run, xdotool, zenity and GTK (Debian: xvfb xdotool zenity "
                        "libgtk-3-0)";
    }
    const support::TempFolder root("suitehelp-desktop");
    // A throwaway home, no session bus and no accessibility bus.
    // clang-format off
    std::vector<string> env{"PATH=/usr/bin:/bin", "DISPLAY="s + display, "XAUTHORITY="s + (auth ? auth : ""),
        "HOME=" + root.Path().string(), "XDG_CONFIG_HOME=" + root / "config", "XDG_DATA_HOME=" + root / "data",
        "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory", "DBUS_SESSION_BUS_ADDRESS=unix:path=/none",
        "SUITEHELP_UI="s + row.ui, "LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + root / "ld"};
    // clang-format on
    for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
        if (const char* value = std::getenv(name)) {
            env.push_back(name + "="s + value);  // the sanitizer build's, GTK's leaks suppressed
        }
    }
    // The product is registered at Help, and the document is there only when no dialog is shown.
    root.Write(row.typed ? "Other/docs.pdf" : "Help/docs.pdf", "%PDF-1.4\n");
    const string store =
        root.Write("config/vlregut/registry.ini", "[SuiteWriter]\nDocsDir=" + root / "Help\n");
    root.Write("help.cfg", root / "docname\n\nSuiteWriter\n");
    root.Write("docname", "DOCS.PDF\n");
    root.Write("data/applications/rec.desktop",
               "[Desktop Entry]\nType=Application\nName=R\nExec=/bin/true %f\n");
    root.Write("config/mimeapps.list", "[Default Applications]\napplication/pdf=rec.desktop\n");
    const auto xdotool = [&](std::vector<string> args) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        return support::Run({args, env, "", "", 30s});
    };
    // GTK passes over Return while it still completes the typed name: again until it has gone.
    std::thread user([&] {
        if (row.typed == nullptr) {
            return;
        }
        std::vector<string> dialog{"search",       "--sync",        "--onlyvisible", "--name",
                                   "^Can't find ", "getwindowname", "windowfocus",   "--sync"};
        if (*row.typed) {
            // A slow (sanitizer) build maps the window before it takes keys, and takes them slowly.
            dialog.insert(dialog.end(), {"sleep", "1", "key", "ctrl+l", "sleep", "1", "type",
                                         "--delay", "100", root / row.typed});
        }
        EXPECT_EQ(xdotool(dialog).out,
                  "Can't find " + root / "Help/docs.pdf. Specify the path for docs.pdf.\n");
        for (int i = 0;
             i < 5 && xdotool({"search", "--onlyvisible", "--name", "^Can't find "}).status == 0;
             ++i) {
            xdotool({"sleep", "0.3", "key", *row.typed ? "Return" : "Escape", "sleep", "1.5"});
        }
    });
    const auto run =
        support::Run({{SUITEHELP_EXE, "-vellum", root / "help.cfg"}, env, "", "", 60s});
    user.join();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(support::ReadFile(store),
              "[SuiteWriter]\nDocsDir=" + root / (row.typed && *row.typed ? "Other\n" : "Help\n"));
    string trace;
    for (const auto& entry : std::filesystem::directory_iterator(root.Path())) {
        trace += entry.path().filename().string().starts_with("ld.")
                     ? support::ReadFile(entry.path())
                     : "";
    }
    EXPECT_NE(trace.find("libgio-2.0.so"), string::npos) << "no loader trace";
    EXPECT_EQ(trace.find("libgtk-3") != string::npos, row.typed != nullptr);
}

INSTANTIATE_TEST_SUITE_P(Table, Desktop, testing::ValuesIn(kRows), support::CaseName);

}  // namespace
