// The dialog methods on a display of their own (each test under xvfb-run, no window manager),
// with xdotool playing the user; and the built suitehelp's happy path there.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <thread>

#include "platform/posix/dialog_tool_ui.h"
#include "platform/posix/gtk_ui.h"
#include "support/files.h"
#include "support/process.h"

namespace {

using namespace std::chrono_literals;
using namespace std::string_literals;
using support::PrintTo;

struct DialogCase {
    const char* name;
    bool zenity;
};

class Desktop : public testing::TestWithParam<DialogCase> {
  protected:
    void SetUp() override {
        if (std::getenv("DISPLAY") == nullptr || access("/usr/bin/xdotool", X_OK) != 0) {
            GTEST_SKIP() << "a display (xvfb-run) and xdotool are needed (Debian: xvfb, xdotool)";
        }
        // A throwaway home, no session bus and no accessibility bus, for this process and its
        // children.
        for (const char* name : {"DISPLAY", "XAUTHORITY"}) {
            if (const char* value = std::getenv(name)) {
                m_env.push_back(name + "="s + value);
            }
        }
        std::istringstream env(
            "HOME={root} XDG_CONFIG_HOME={root}/config XDG_DATA_HOME={root}/data NO_AT_BRIDGE=1 "
            "GSETTINGS_BACKEND=memory DBUS_SESSION_BUS_ADDRESS=unix:path=/none "
            "SUITEHELP_E2E_RECORD={root}/record");
        for (std::string variable; env >> variable;) {
            variable = support::Expand(variable, {{"{root}", m_root.Path().string()}});
            m_env.push_back(variable);
            setenv(variable.substr(0, variable.find('=')).c_str(),
                   variable.substr(variable.find('=') + 1).c_str(), 1);
        }
    }

    support::RunResult Xdotool(std::vector<std::string> args, std::chrono::seconds timeout = 5s) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        return support::Run({args, m_env, "", "", timeout});
    }

    // Checks the dialog's title and owner program, and types the path into its location box and
    // confirms, or presses Escape. GTK passes over Return while it still completes the typed
    // name: again until the dialog has gone.
    void Answer(const std::string& typed) {
        std::vector<std::string> dialog{"search", "--onlyvisible", "--name", "^Can't find "};
        std::vector<std::string> found = dialog;
        found.insert(found.begin() + 1, "--sync");
        found.insert(found.end(), {"getwindowname", "getwindowpid", "windowfocus", "--sync"});
        if (!typed.empty()) {
            found.insert(found.end(), {"key", "ctrl+l", "type", typed});
        }
        std::istringstream shown(Xdotool(found, 30s).out);
        std::string title, pid;
        std::getline(shown, title);
        std::getline(shown, pid);
        EXPECT_EQ(title, "Can't find docs.pdf");
        EXPECT_EQ(support::ReadFile("/proc/" + pid + "/comm"),
                  GetParam().zenity ? "zenity\n" : support::ReadFile("/proc/self/comm"));
        for (int i = 0; i < 5 && Xdotool(dialog).exitCode == 0; ++i) {
            Xdotool({"sleep", "0.3", "key", typed.empty() ? "Escape" : "Return", "sleep", "1.5"});
        }
    }

    support::TempFolder m_root{"suitehelp-desktop"};
    std::vector<std::string> m_env{"PATH=/usr/bin:/bin"};
};

// The dialog shows the request's title; Escape cancels; a typed path is taken.
TEST_P(Desktop, ShowsTheDialogAndTakesTheTypedPath) {
    if (GetParam().zenity ? access("/usr/bin/zenity", X_OK) != 0
                          : dlopen("libgtk-3.so.0", RTLD_LAZY) == nullptr) {
        GTEST_SKIP() << "cannot show dialogs here (Debian: libgtk-3-0, zenity)";
    }
    const std::string pdf = m_root.Write("Other/docs.pdf", "%PDF-1.4\n");
    std::unique_ptr<platform::UserInterface> method;
    if (GetParam().zenity) {
        method = std::make_unique<platform::DialogToolUserInterface>(platform::DialogTool::kZenity);
    } else {
        method = std::make_unique<platform::GtkUserInterface>();
    }
    for (const std::string& typed : {std::string(), pdf}) {
        std::thread user([&] { Answer(typed); });
        CString chosen;
        EXPECT_EQ(
            method->ShowFileOpen(
                {"Can't find docs.pdf", "PDF Files (*.pdf)", "*.pdf", "pdf", "", m_root.Path()},
                &chosen),
            typed.empty() ? platform::DialogResult::Cancelled : platform::DialogResult::Confirmed);
        user.join();
        EXPECT_EQ(chosen, typed);
    }
}

// The document found in the registered folder and handed to its application (else a message
// would be written): no GUI library is loaded. The loader's trace goes to files: the viewer
// inherits standard output.
TEST_P(Desktop, FoundDocumentLoadsNoGtk) {
    m_root.Write("Help/docs.pdf", "%PDF-1.4\n");
    m_root.Write("config/vlregut/registry.ini", "[SuiteWriter]\nDocsDir=" + m_root / "Help\n");
    m_root.Write("help.cfg", m_root / "docname\n\nSuiteWriter\n");
    m_root.Write("docname", "DOCS.PDF\n");
    m_root.Write("data/applications/rec.desktop",
                 "[Desktop Entry]\nType=Application\nName=R\nExec=" RECORD_HANDLER_EXE " %f\n");
    m_root.Write("config/mimeapps.list", "[Default Applications]\napplication/pdf=rec.desktop\n");
    m_env.insert(m_env.end(), {GetParam().zenity ? "SUITEHELP_UI=zenity" : "SUITEHELP_UI=auto",
                               "LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + m_root / "ld"});
    EXPECT_EQ(
        support::Run({{SUITEHELP_EXE, "-vellum", m_root / "help.cfg"}, m_env, "", "", 20s}).err,
        "");
    std::string trace;
    for (const auto& entry : std::filesystem::directory_iterator(m_root.Path())) {
        if (entry.path().filename().string().starts_with("ld.")) {
            trace += support::ReadFile(entry.path());
        }
    }
    EXPECT_NE(trace.find("libgio-2.0.so"), std::string::npos) << "no loader trace";
    EXPECT_EQ(trace.find("libgtk"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Table, Desktop,
                         testing::Values(DialogCase{"Gtk", false}, DialogCase{"Zenity", true}),
                         support::CaseName);

}  // namespace
