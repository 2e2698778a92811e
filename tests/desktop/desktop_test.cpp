// Runs the built suitehelp on a display of its own (Xvfb, no window manager) in a throwaway
// desktop environment, and plays the user with xdotool.
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "support/files.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

class Desktop : public testing::Test {
  protected:
    void SetUp() override {
        if (access("/usr/bin/Xvfb", X_OK) != 0 || access("/usr/bin/xdotool", X_OK) != 0) {
            GTEST_SKIP() << "Xvfb and xdotool are needed (Debian: xvfb, xdotool)";
        }
        for (const char* shared : {"mime", "glib-2.0", "icons"}) {  // GTK's schemas and icons
            fs::create_directories(At("share"));
            fs::create_directory_symlink(fs::path("/usr/share") / shared, At("share/") + shared);
        }
        m_root.Write("data/applications/rec.desktop",
                     "[Desktop Entry]\nType=Application\nName=Rec\nExec=" RECORD_HANDLER_EXE
                     " %f\nMimeType=application/pdf;\n");
        m_root.Write("config/mimeapps.list",
                     "[Default Applications]\napplication/pdf=rec.desktop\n");
        m_root.Write("config/vlregut/registry.ini", "[SuiteWriter]\nDocsDir=" + At("Help") + "\n");
        m_root.Write("help.cfg", At("docname.txt") + "\n\nSuiteWriter\n");
        m_root.Write("docname.txt", "DOCS.PDF\n");
        m_root.Write("Other/docs.pdf", "%PDF-1.4\n");
        fs::create_directories(At("Help"));
        fs::create_directory(At("run"));
        fs::permissions(At("run"), fs::perms::owner_all);
        // Xvfb on a free display, ended with this process. Without a window manager the server
        // would reset whenever its last client leaves, as after suitehelp's probe of it.
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        if ((m_xvfb = fork()) == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            dup2(open("/dev/null", O_RDWR), 2);
            execl("/usr/bin/Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(),
                  "-nolisten", "tcp", "-noreset", "-screen", "0", "1280x1024x24", nullptr);
            _exit(127);
        }
        close(fds[1]);
        pollfd ready{fds[0], POLLIN, 0};
        for (char c = 0; poll(&ready, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n';) {
            m_display += c;
        }
        close(fds[0]);
        ASSERT_FALSE(m_display.empty()) << "Xvfb did not start";
    }

    void TearDown() override {
        if (m_xvfb > 0) {
            kill(m_xvfb, SIGKILL);
            waitpid(m_xvfb, nullptr, 0);
        }
    }

    std::string At(const std::string& relative) const { return m_root / relative; }

    // Runs a program in the throwaway desktop; no session bus, no accessibility bus.
    support::RunResult Run(std::vector<std::string> argv, std::vector<std::string> env = {}) {
        env.insert(env.end(), {"PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C.UTF-8",
                               "DISPLAY=:" + m_display, "SUITEHELP_E2E_RECORD=" + At("record"),
                               "NO_AT_BRIDGE=1", "GSETTINGS_BACKEND=memory",
                               "DBUS_SESSION_BUS_ADDRESS=unix:path=" + At("run/no-bus")});
        for (const std::string dir :
             {"HOME=home", "XDG_CONFIG_HOME=config", "XDG_DATA_HOME=data", "XDG_DATA_DIRS=share",
              "XDG_CACHE_HOME=cache", "XDG_CONFIG_DIRS=etc", "XDG_RUNTIME_DIR=run"}) {
            env.push_back(dir.substr(0, dir.find('=') + 1) + At(dir.substr(dir.find('=') + 1)));
        }
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) {  // a sanitizer build's settings
                env.push_back(std::string(name) + "=" + value);
            }
        }
        return support::Run({argv, env, "", "", 60s});
    }

    // Runs suitehelp while play() acts as the user; answers what it wrote to standard error.
    std::string Session(const std::string& mode, const std::function<void()>& play,
                        const std::vector<std::string>& env = {}) {
        std::thread user(play);
        std::vector<std::string> more = env;
        more.push_back("SUITEHELP_UI=" + mode);
        const support::RunResult result = Run({SUITEHELP_EXE, "-vellum", At("help.cfg")}, more);
        user.join();
        EXPECT_FALSE(result.timedOut);
        return result.err;
    }

    // Waits for the dialog, checks its title and owner program, and types the path in its
    // location box and confirms, or presses Escape for none. GTK passes over Return while it
    // still completes the typed name: again until the dialog has gone.
    void Answer(const std::string& title, const std::string& owner, const std::string& typed) {
        const std::string found =
            Run({"/usr/bin/xdotool", "search", "--sync", "--onlyvisible", "--name", "^Can't find "})
                .out;
        const std::string window = found.substr(0, found.find('\n'));
        ASSERT_FALSE(window.empty()) << "no dialog";
        EXPECT_EQ(Run({"/usr/bin/xdotool", "getwindowname", window}).out, title + "\n");
        const std::string pid = Run({"/usr/bin/xdotool", "getwindowpid", window}).out;
        EXPECT_EQ(support::ReadFile("/proc/" + pid.substr(0, pid.size() - 1) + "/comm"),
                  owner + "\n");
        Run({"/usr/bin/xdotool", "windowfocus", "--sync", window});
        if (!typed.empty()) {
            Run({"/usr/bin/xdotool", "key", "ctrl+l", "type", "--delay", "5", typed});
        }
        for (int i = 0; i < 5 && Run({"/usr/bin/xdotool", "getwindowname", window}).exitCode == 0;
             ++i) {
            Run({"/usr/bin/xdotool", "sleep", "0.3", "key", typed.empty() ? "Escape" : "Return",
                 "sleep", "1.5"});
        }
    }

    std::string Stored() { return Run({VLREG_EXE, "get", "SuiteWriter", "DocsDir"}).out; }

    support::TempFolder m_root{"suitehelp-desktop"};
    std::string m_display;
    pid_t m_xvfb = 0;
};

struct DialogCase {
    const char* name;
    const char* mode;
    const char* owner;  // the program whose windows they are
};
using support::PrintTo;
class Dialog : public Desktop, public testing::WithParamInterface<DialogCase> {};

// Escape stores nothing; a typed path to the document is stored.
TEST_P(Dialog, StoresTheTypedPath) {
    const DialogCase& c = GetParam();
    void* gtk = c.owner == std::string("zenity") ? nullptr : dlopen("libgtk-3.so.0", RTLD_LAZY);
    if (c.owner == std::string("zenity") ? access("/usr/bin/zenity", X_OK) != 0 : gtk == nullptr) {
        GTEST_SKIP() << c.owner << " cannot show dialogs here (Debian: libgtk-3-0, zenity)";
    }
    const std::string title =
        "Can't find " + At("Help") + "/docs.pdf. Specify the path for docs.pdf.";
    EXPECT_EQ(Session(c.mode, [&] { Answer(title, c.owner, ""); }), "");
    EXPECT_EQ(Stored(), At("Help") + "\n");
    EXPECT_EQ(Session(c.mode, [&] { Answer(title, c.owner, At("Other/docs.pdf")); }), "");
    EXPECT_EQ(Stored(), At("Other") + "\n");
}
INSTANTIATE_TEST_SUITE_P(Table, Dialog,
                         testing::Values(DialogCase{"Gtk", "auto", "suitehelp"},
                                         DialogCase{"Zenity", "zenity", "zenity"}),
                         support::CaseName);

// The trace goes to files: on the output pipe the viewer, which inherits it, could stall.
TEST_F(Desktop, FoundDocumentLoadsNoGtk) {
    m_root.Write("Help/docs.pdf", "%PDF-1.4\n");
    Session("", [] {}, {"LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + At("ld")});
    std::string trace;
    for (const auto& entry : fs::directory_iterator(m_root.Path())) {
        if (entry.path().filename().string().starts_with("ld.")) {
            trace += support::ReadFile(entry.path());
        }
    }
    EXPECT_NE(trace.find("libgio-2.0.so"), std::string::npos) << "no loader trace";
    EXPECT_EQ(trace.find("libgtk"), std::string::npos);
}

}  // namespace
