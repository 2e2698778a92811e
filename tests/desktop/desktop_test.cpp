// The dialog methods on a display of their own (each test under xvfb-run, no window manager),
// with xdotool playing the user; and the built suitehelp's happy path there.
#include <dlfcn.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "platform/posix/dialog_tool_ui.h"
#include "platform/posix/gtk_ui.h"
#include "support/files.h"
#include "support/process.h"

namespace {

using namespace std::chrono_literals;
using std::string;

class Desktop : public testing::Test {
  protected:
    // A throwaway home, no session bus and no accessibility bus, for this process and its
    // children.
    void SetUp() override {
        const char* auth = std::getenv("XAUTHORITY");
        if (std::getenv("DISPLAY") == nullptr || access("/usr/bin/xdotool", X_OK) != 0) {
            GTEST_SKIP() << "a display (xvfb-run) and xdotool are needed (Debian: xvfb, xdotool)";
        }
        std::istringstream env(support::Expand(
            "DISPLAY={display} XAUTHORITY={auth} HOME={root} XDG_CONFIG_HOME={root}/config "
            "XDG_DATA_HOME={root}/data NO_AT_BRIDGE=1 GSETTINGS_BACKEND=memory "
            "DBUS_SESSION_BUS_ADDRESS=unix:path=/none",
            {{"{display}", std::getenv("DISPLAY")},
             {"{auth}", auth ? auth : ""},
             {"{root}", m_root.Path().string()}}));
        for (string variable; env >> variable;) {
            m_env.push_back(variable);
            const std::size_t equals = variable.find('=');
            setenv(variable.substr(0, equals).c_str(), variable.substr(equals + 1).c_str(), 1);
        }
    }

    support::RunResult Xdotool(std::vector<string> args, std::chrono::seconds timeout = 5s) {
        args.insert(args.begin(), "/usr/bin/xdotool");
        return support::Run({args, m_env, "", "", timeout});
    }

    // The user checks the dialog's title, presses Escape, and then types a path into the
    // location box and confirms. GTK passes over Return while it still completes the typed name:
    // again until the dialog has gone.
    void CancelThenChoose(platform::UserInterface&& method) {
        const string pdf = m_root.Write("Other/docs.pdf", "%PDF-1.4\n");
        const std::vector<string> dialog{"search", "--onlyvisible", "--name", "^Can't find "};
        for (const string& typed : {string(), pdf}) {
            std::thread user([&] {
                std::vector<string> answer{"search",      "--sync",       "--onlyvisible",
                                           "--name",      "^Can't find ", "getwindowname",
                                           "windowfocus", "--sync"};
                if (!typed.empty()) {
                    answer.insert(answer.end(), {"key", "ctrl+l", "type", typed});
                }
                EXPECT_EQ(Xdotool(answer, 30s).out, "Can't find docs.pdf\n");
                for (int i = 0; i < 5 && Xdotool(dialog).exitCode == 0; ++i) {
                    Xdotool({"sleep", "0.3", "key", typed.empty() ? "Escape" : "Return", "sleep",
                             "1.5"});
                }
            });
            CString chosen;
            EXPECT_EQ(method.ShowFileOpen({"Can't find docs.pdf", "PDF Files (*.pdf)", "*.pdf",
                                           "pdf", "", m_root.Path()},
                                          &chosen),
                      typed.empty() ? platform::DialogResult::Cancelled
                                    : platform::DialogResult::Confirmed);
            user.join();
            EXPECT_EQ(chosen, typed);
        }
    }

    support::TempFolder m_root{"suitehelp-desktop"};
    std::vector<string> m_env{"PATH=/usr/bin:/bin"};
};

TEST_F(Desktop, GtkCancelsThenTakesTheTypedPath) {
    if (dlopen("libgtk-3.so.0", RTLD_LAZY) == nullptr) {
        GTEST_SKIP() << "GTK is needed (Debian: libgtk-3-0)";
    }
    CancelThenChoose(platform::GtkUserInterface());
}

TEST_F(Desktop, ZenityCancelsThenTakesTheTypedPath) {
    if (access("/usr/bin/zenity", X_OK) != 0) {
        GTEST_SKIP() << "zenity is needed (Debian: zenity)";
    }
    CancelThenChoose(platform::DialogToolUserInterface(platform::DialogTool::kZenity));
}

// The document found in the registered folder and handed to its application (else a message
// would be written): no GUI library is loaded. The loader's trace goes to files: the viewer
// inherits standard output.
TEST_F(Desktop, FoundDocumentLoadsNoGtk) {
    m_root.Write("Help/docs.pdf", "%PDF-1.4\n");
    m_root.Write("config/vlregut/registry.ini", "[SuiteWriter]\nDocsDir=" + m_root / "Help\n");
    m_root.Write("help.cfg", m_root / "docname\n\nSuiteWriter\n");
    m_root.Write("docname", "DOCS.PDF\n");
    m_root.Write("data/applications/rec.desktop",
                 "[Desktop Entry]\nType=Application\nName=R\nExec=" RECORD_HANDLER_EXE " %f\n");
    m_root.Write("config/mimeapps.list", "[Default Applications]\napplication/pdf=rec.desktop\n");
    m_env.insert(m_env.end(), {"LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + m_root / "ld"});
    EXPECT_EQ(
        support::Run({{SUITEHELP_EXE, "-vellum", m_root / "help.cfg"}, m_env, "", "", 20s}).err,
        "");
    string trace;
    for (const auto& entry : std::filesystem::directory_iterator(m_root.Path())) {
        if (entry.path().filename().string().starts_with("ld.")) {
            trace += support::ReadFile(entry.path());
        }
    }
    EXPECT_NE(trace.find("libgio-2.0.so"), string::npos) << "no loader trace";
    EXPECT_EQ(trace.find("libgtk"), string::npos);
}

}  // namespace
