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

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "support/files.h"
#include "support/process.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr char kXdotool[] = "/usr/bin/xdotool";

class Desktop : public testing::Test {
  protected:
    void SetUp() override {
        if (access("/usr/bin/Xvfb", X_OK) != 0 || access(kXdotool, X_OK) != 0) {
            GTEST_SKIP() << "Xvfb and xdotool are needed (Debian: xvfb, xdotool)";
        }
        // MIME types, GTK's settings schemas and icons.
        for (const char* shared : {"mime", "glib-2.0", "icons"}) {
            fs::create_directories(At("share"));
            fs::create_directory_symlink(fs::path("/usr/share") / shared, At("share/") + shared);
        }
        support::WriteFile(
            At("data/applications/rec.desktop"),
            "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" RECORD_HANDLER_EXE
            " %f\nMimeType=application/pdf;\n");
        support::WriteFile(At("config/mimeapps.list"),
                           "[Default Applications]\napplication/pdf=rec.desktop\n");
        support::WriteFile(At("config/vlregut/registry.ini"),
                           "[SuiteWriter]\nDocsDir=" + At("Help") + "\n");
        support::WriteFile(At("help.cfg"), At("docname.txt") + "\n\nSuiteWriter\n");
        support::WriteFile(At("docname.txt"), "DOCS.PDF\n");
        support::WriteFile(At("Other/docs.pdf"), "%PDF-1.4\n");
        support::WriteFile(At("Other/manual.pdf"), "%PDF-1.4\n");
        // The viewer ends once it has noted what it was given.
        support::WriteFile(At("record.txt.release"), "");
        fs::create_directories(At("Help"));
        fs::create_directory(At("run"));
        fs::permissions(At("run"), fs::perms::owner_all);
        ASSERT_TRUE(StartXvfb()) << "Xvfb did not start";
    }

    void TearDown() override {
        if (m_xvfb > 0) {
            kill(m_xvfb, SIGKILL);
            waitpid(m_xvfb, nullptr, 0);
        }
    }

    std::string At(const std::string& relative) const { return m_root / relative; }

    // Xvfb on a free display, ended with this process if the test dies. Without a window manager
    // the server would reset whenever its last client leaves, as after suitehelp's probe of it,
    // and refuse the next one meanwhile.
    bool StartXvfb() {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        m_xvfb = fork();
        if (m_xvfb == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int devNull = open("/dev/null", O_RDWR);
            for (int stream = 0; stream < 3; ++stream) {
                dup2(devNull, stream);
            }
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
        return !m_display.empty();
    }

    std::vector<std::string> Environment(const std::string& mode) const {
        std::vector<std::string> env{
            "PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C.UTF-8", "SUITEHELP_UI=" + mode,
            "DISPLAY=:" + m_display, "SUITEHELP_E2E_RECORD=" + At("record.txt"),
            // Neither an accessibility bus nor a session bus is started for the run.
            "NO_AT_BRIDGE=1", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + At("run/no-bus"),
            "GSETTINGS_BACKEND=memory"};
        for (const std::string dir :
             {"HOME=home", "XDG_CONFIG_HOME=config", "XDG_CONFIG_DIRS=etc-xdg",
              "XDG_DATA_HOME=data", "XDG_DATA_DIRS=share", "XDG_CACHE_HOME=cache",
              "XDG_STATE_HOME=state", "XDG_RUNTIME_DIR=run"}) {
            env.push_back(dir.substr(0, dir.find('=') + 1) + At(dir.substr(dir.find('=') + 1)));
        }
        // A sanitizer build keeps the settings of the run, its suppressions among them.
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) {
                env.push_back(std::string(name) + "=" + value);
            }
        }
        return env;
    }

    // Runs suitehelp while play() acts as the user.
    support::RunResult Run(const std::string& mode, const std::function<void()>& play,
                           const std::vector<std::string>& more = {}) {
        std::vector<std::string> env = Environment(mode);
        env.insert(env.end(), more.begin(), more.end());
        support::RunResult result;
        m_ended = false;
        std::thread program([&] {
            result = support::Run({{SUITEHELP_EXE, "-vellum", At("help.cfg")}, env, "", "", 60s});
            m_ended = true;
        });
        play();
        program.join();
        EXPECT_FALSE(result.timedOut) << "suitehelp did not end within 60 s";
        return result;
    }

    support::RunResult Xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), kXdotool);
        return support::Run({args, {"DISPLAY=:" + m_display}, "", "", 5s});
    }

    // The visible window named like the pattern, within 30 s (a dialog program started cold on a
    // loaded machine can take that long): it has the title and belongs to the owner program.
    std::string Window(const std::string& pattern, const std::string& title,
                       const std::string& owner) {
        for (auto end = Clock::now() + 30s; Clock::now() < end; std::this_thread::sleep_for(50ms)) {
            const std::string found = Xdotool({"search", "--onlyvisible", "--name", pattern}).out;
            if (!found.empty()) {
                const std::string window = found.substr(0, found.find('\n'));
                EXPECT_EQ(Xdotool({"getwindowname", window}).out, title + "\n");
                const int pid = std::stoi(Xdotool({"getwindowpid", window}).out);
                EXPECT_EQ(support::ReadFile("/proc/" + std::to_string(pid) + "/comm"),
                          owner + "\n");
                return window;
            }
        }
        ADD_FAILURE() << "no window named like " << pattern;
        return "";
    }

    // Types the path in the window's location box and confirms, or presses Escape for none.
    void Answer(const std::string& window, const std::string& typed) {
        if (window.empty()) {
            return;
        }
        Xdotool({"windowfocus", "--sync", window});
        if (!typed.empty()) {
            Xdotool({"key", "ctrl+l"});
            Xdotool({"type", "--delay", "5", typed});
        }
        // GTK passes over Return while it still completes the typed name: again until it goes.
        const auto shown = [&] { return Xdotool({"getwindowname", window}).exitCode == 0; };
        for (int attempt = 0; attempt < 5 && shown(); ++attempt) {
            std::this_thread::sleep_for(300ms);
            Xdotool({"key", typed.empty() ? "Escape" : "Return"});
            for (auto end = Clock::now() + 2s; Clock::now() < end && shown();) {
                std::this_thread::sleep_for(50ms);
            }
        }
    }

    // The folder registered, and the document the viewer was given, if any. GIO starts the viewer
    // after suitehelp has ended: a loaded machine can take seconds for that.
    void ExpectStoredAndOpened(const std::string& folder, const std::string& document) {
        const auto stored = support::Run(
            {{VLREG_EXE, "get", "SuiteWriter", "DocsDir"}, Environment(""), "", "", 5s});
        EXPECT_EQ(stored.out, folder + "\n");
        std::string record;
        for (auto end = Clock::now() + (document.empty() ? 0s : 20s);
             (record = support::ReadFile(At("record.txt"))).empty() && Clock::now() < end;) {
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(record.substr(std::min(record.size(), record.find(' ') + 1)),
                  document.empty() ? "" : document + "\n");
    }

    support::TempFolder m_root{"suitehelp-desktop"};
    std::string m_display;
    pid_t m_xvfb = 0;
    std::atomic<bool> m_ended = false;
};

struct DialogCase {
    const char* name;
    const char* mode;
    const char* owner;  // the program whose windows they are
};
using support::PrintTo;

class Dialog : public Desktop, public testing::WithParamInterface<DialogCase> {};

// Escape stores nothing; a wrong file is refused with a message box that holds the session until
// it is closed; a typed path to the document is stored and the document opened.
TEST_P(Dialog, AsksUntilTheDocumentIsChosen) {
    const DialogCase& c = GetParam();
    const bool zenity = c.owner == std::string("zenity");
    void* gtk = zenity ? nullptr : dlopen("libgtk-3.so.0", RTLD_LAZY | RTLD_LOCAL);
    if (zenity ? access("/usr/bin/zenity", X_OK) != 0 : gtk == nullptr || dlclose(gtk) != 0) {
        GTEST_SKIP() << c.owner << " cannot show dialogs here (Debian: libgtk-3-0, zenity)";
    }
    const auto ask = [&](const std::string& typed) {
        Answer(Window("^Can't find ",
                      "Can't find " + At("Help") + "/docs.pdf. Specify the path for docs.pdf.",
                      c.owner),
               typed);
    };
    EXPECT_EQ(Run(c.mode, [&] { ask(""); }).err, "");
    ExpectStoredAndOpened(At("Help"), "");

    const auto refused = Run(c.mode, [&] {
        ask(At("Other/manual.pdf"));
        const std::string error = Window("^Error$", "Error", c.owner);
        std::this_thread::sleep_for(500ms);
        EXPECT_FALSE(m_ended) << "suitehelp did not wait for the message box";
        Answer(error, "");
    });
    EXPECT_EQ(refused.err, "Error: Invalid file name specified.\n");
    ExpectStoredAndOpened(At("Help"), "");

    EXPECT_EQ(Run(c.mode, [&] { ask(At("Other/docs.pdf")); }).err, "");
    ExpectStoredAndOpened(At("Other"), At("Other/docs.pdf"));
}

INSTANTIATE_TEST_SUITE_P(Table, Dialog,
                         testing::Values(DialogCase{"Gtk", "auto", "suitehelp"},
                                         DialogCase{"Zenity", "zenity", "zenity"}),
                         support::CaseName);

TEST_F(Desktop, FoundDocumentLoadsNoGtk) {
    support::WriteFile(At("Help/docs.pdf"), "%PDF-1.4\n");
    // The trace goes to files: on the output pipe it could fill the pipe and stall the viewer,
    // which inherits it after suitehelp has ended.
    Run("", [] {}, {"LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + At("ld")});
    ExpectStoredAndOpened(At("Help"), At("Help/docs.pdf"));
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
