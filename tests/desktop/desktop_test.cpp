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

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "support/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

void writeFile(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

constexpr char kPath[] = "PATH=/usr/local/bin:/usr/bin:/bin";

// A helper program's output, its first line only.
std::string firstLine(const std::vector<std::string>& argv, const std::vector<std::string>& env) {
    const std::string out = e2e::run({argv, env, "", "", 5s}).out;
    return out.substr(0, out.find('\n'));
}

// The program's path on the test's PATH; "" when it is not installed.
std::string which(const std::string& program) {
    return firstLine({"/usr/bin/which", program}, {kPath});
}

bool gtkInstalled() {
    void* gtk = dlopen("libgtk-3.so.0", RTLD_LAZY | RTLD_LOCAL);
    return gtk != nullptr && dlclose(gtk) == 0;
}

std::string procFile(pid_t pid, const char* name) {
    std::string text = readFile("/proc/" + std::to_string(pid) + "/" + name);
    return text.substr(0, text.find('\n'));
}

// Alive and not yet a zombie.
bool running(pid_t pid) {
    const std::string stat = procFile(pid, "stat");
    return !stat.empty() && stat.substr(stat.rfind(')') + 2, 1) != "Z";
}

std::vector<pid_t> ourChildren() {
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") == std::string::npos) {
            const std::string stat = procFile(std::stoi(name), "stat");
            const size_t close = stat.rfind(')');
            if (close != std::string::npos && std::stoi(stat.substr(close + 4)) == getpid()) {
                children.push_back(std::stoi(name));
            }
        }
    }
    return children;
}

class Desktop : public ::testing::Test {
  protected:
    void SetUp() override {
        xdotool_ = which("xdotool");
        if (which("Xvfb").empty() || xdotool_.empty()) {
            GTEST_SKIP() << "Xvfb and xdotool are needed (Debian: xvfb, xdotool)";
        }
        // Viewers and dialog programs left behind become our children, to be ended below.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        std::string pattern = (fs::temp_directory_path() / "suitehelp-desktop-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        root_ = pattern;
        fs::create_directories(root_ / "Help");
        fs::create_directories(root_ / "share");
        fs::create_directory(root_ / "run");
        fs::permissions(root_ / "run", fs::perms::owner_all);
        // MIME types, GTK's settings schemas and icons.
        for (const char* shared : {"mime", "glib-2.0", "icons"}) {
            fs::create_directory_symlink(fs::path("/usr/share") / shared, root_ / "share" / shared);
        }
        // MIME types without GTK's settings schemas.
        fs::create_directories(root_ / "mime-only");
        fs::create_directory_symlink("/usr/share/mime", root_ / "mime-only" / "mime");
        writeFile(root_ / "data/applications/rec.desktop",
                  "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" RECORD_HANDLER_EXE
                  " %f\nMimeType=application/pdf;\n");
        writeFile(root_ / "config/mimeapps.list",
                  "[Default Applications]\napplication/pdf=rec.desktop\n");
        writeFile(root_ / "config/vlregut/registry.ini",
                  "[SuiteWriter]\nDocsDir=" + (root_ / "Help").string() + "\n");
        writeFile(root_ / "help.cfg", (root_ / "docname.txt").string() + "\n\nSuiteWriter\n");
        writeFile(root_ / "docname.txt", "DOCS.PDF\n");
        for (const char* pdf : {"Other/docs.pdf", "Other/manual.pdf"}) {
            writeFile(root_ / pdf, "%PDF-1.4\n");
        }
        title_ =
            "Can't find " + (root_ / "Help").string() + "/docs.pdf. Specify the path for docs.pdf.";
        display_ = startXvfb();
        ASSERT_FALSE(display_.empty()) << "Xvfb did not start";
    }

    void TearDown() override {
        if (root_.empty()) {
            return;
        }
        writeFile(root_ / "record.txt.release", "");
        for (pid_t child : ourChildren()) {
            for (auto end = Clock::now() + 2s;
                 child != xvfb_ && running(child) && Clock::now() < end;) {
                std::this_thread::sleep_for(10ms);
            }
            kill(child, SIGKILL);
            waitpid(child, nullptr, 0);
        }
        std::error_code ignored;
        fs::remove_all(root_, ignored);
    }

    // Xvfb on a free display, ended with this process if a test dies; "" when it fails.
    std::string startXvfb() {
        int fds[2];
        if (pipe(fds) != 0) {
            return "";
        }
        xvfb_ = fork();
        if (xvfb_ == 0) {
            prctl(PR_SET_PDEATHSIG, SIGKILL);
            const int devNull = open("/dev/null", O_RDWR);
            for (int stream = 0; stream < 3; ++stream) {
                dup2(devNull, stream);
            }
            execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-nolisten", "tcp",
                   "-screen", "0", "1280x1024x24", nullptr);
            _exit(127);
        }
        close(fds[1]);
        std::string number;
        pollfd ready{fds[0], POLLIN, 0};
        char c = 0;
        while (poll(&ready, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') {
            number += c;
        }
        close(fds[0]);
        return number.empty() ? "" : ":" + number;
    }

    std::vector<std::string> environment(const std::string& mode) const {
        const auto at = [this](const char* dir) { return (root_ / dir).string(); };
        std::vector<std::string> env{
            kPath, "LANG=C.UTF-8", "HOME=" + at("home"), "XDG_CONFIG_HOME=" + at("config"),
            "XDG_CONFIG_DIRS=" + at("etc-xdg"), "XDG_DATA_HOME=" + at("data"),
            "XDG_DATA_DIRS=" + at("share"), "XDG_CACHE_HOME=" + at("cache"),
            "XDG_STATE_HOME=" + at("state"), "XDG_RUNTIME_DIR=" + at("run"),
            "SUITEHELP_E2E_RECORD=" + at("record.txt"), "SUITEHELP_UI=" + mode,
            "DISPLAY=" + display_,
            // Neither an accessibility bus nor a session bus is started for the run.
            "NO_AT_BRIDGE=1", "DBUS_SESSION_BUS_ADDRESS=unix:path=" + at("run/no-bus"),
            "GSETTINGS_BACKEND=memory"};
        // A sanitizer build keeps the settings of the run, its suppressions among them.
        for (const char* name : {"ASAN_OPTIONS", "LSAN_OPTIONS", "UBSAN_OPTIONS"}) {
            if (const char* value = std::getenv(name)) {
                env.push_back(std::string(name) + "=" + value);
            }
        }
        return env;
    }

    struct Session {
        e2e::RunResult result;
        Clock::time_point ended;
    };

    // Runs suitehelp while play() acts as the user; "NAME=value" in changes replaces NAME's.
    Session run(const std::string& mode, const std::function<void()>& play,
                const std::string& input = "", const std::vector<std::string>& changes = {}) {
        auto env = environment(mode);
        for (const std::string& change : changes) {
            if (change.empty()) {
                continue;
            }
            const std::string name = change.substr(0, change.find('=') + 1);
            std::erase_if(env, [&](const std::string& entry) { return entry.starts_with(name); });
            env.push_back(change);
        }
        Session session;
        std::thread program([&] {
            session.result = e2e::run(
                {{SUITEHELP_EXE, "-vellum", (root_ / "help.cfg").string()}, env, input, "", 60s});
            session.ended = Clock::now();
        });
        play();
        program.join();
        EXPECT_FALSE(session.result.timedOut) << "suitehelp did not end within 60 s";
        return session;
    }

    std::string xdotool(std::vector<std::string> args) {
        args.insert(args.begin(), xdotool_);
        return firstLine(args, {"DISPLAY=" + display_});
    }

    // The first visible window whose name matches the regular expression, within 30 s: a
    // dialog program started cold on a loaded machine can take that long.
    std::optional<std::string> waitForWindow(const std::string& name) {
        for (auto end = Clock::now() + 30s; Clock::now() < end;) {
            const std::string found = xdotool({"search", "--onlyvisible", "--name", name});
            if (!found.empty()) {
                return found;
            }
            std::this_thread::sleep_for(50ms);
        }
        ADD_FAILURE() << "no window named like " << name;
        return std::nullopt;
    }

    bool exists(const std::string& window) {
        return e2e::run({{xdotool_, "getwindowname", window}, {"DISPLAY=" + display_}, "", "", 5s})
                   .exitCode == 0;
    }

    // Types in the File-Open dialog's location box and confirms, or cancels.
    void answer(const std::string& window, const std::optional<fs::path>& typed) {
        xdotool({"windowfocus", "--sync", window});
        if (typed) {
            xdotool({"key", "ctrl+l"});
            xdotool({"type", "--delay", "5", typed->string()});
        }
        // GTK passes over Return while it still completes the typed name: again until it goes.
        for (int attempt = 0; attempt < 5 && exists(window); ++attempt) {
            std::this_thread::sleep_for(300ms);
            xdotool({"key", typed ? "Return" : "Escape"});
            for (auto end = Clock::now() + 2s; Clock::now() < end && exists(window);) {
                std::this_thread::sleep_for(50ms);
            }
        }
    }

    std::optional<std::string> docsDir() {
        auto result =
            e2e::run({{VLREG_EXE, "get", "SuiteWriter", "DocsDir"}, environment(""), "", "", 5s});
        return result.exitCode == 0 ? std::optional(result.out) : std::nullopt;
    }

    // The handler's record: its process id and the path it was given, once it has come. GIO
    // starts the handler after suitehelp has ended; a loaded machine can take seconds for that.
    std::string opened() {
        for (auto end = Clock::now() + 20s; Clock::now() < end; std::this_thread::sleep_for(10ms)) {
            if (const std::string record = readFile(root_ / "record.txt"); !record.empty()) {
                return record.substr(record.find(' ') + 1);
            }
        }
        return "";
    }

    void expectStoredAndOpened(const fs::path& document) {
        EXPECT_EQ(docsDir(), document.parent_path().string() + "\n");
        EXPECT_EQ(opened(), document.string() + "\n");
    }

    void expectNothingStoredOrOpened() {
        EXPECT_EQ(docsDir(), (root_ / "Help").string() + "\n");
        EXPECT_FALSE(fs::exists(root_ / "record.txt"));
    }

    fs::path root_;
    std::string title_, display_, xdotool_;
    pid_t xvfb_ = 0;
};

// The File-Open dialog, answered by typing a path or cancelled.
struct DialogCase {
    const char* name;
    const char* mode;
    const char* owner;  // the program whose window it is
    bool confirm;
};

class Dialog : public Desktop, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(Dialog, AcceptsATypedPathOrCancels) {
    const auto& c = GetParam();
    if (std::string(c.owner) == "suitehelp" ? !gtkInstalled() : which(c.owner).empty()) {
        GTEST_SKIP() << c.owner << " cannot show dialogs here (Debian: libgtk-3-0, zenity)";
    }
    const fs::path document = root_ / "Other/docs.pdf";
    const auto session = run(c.mode, [&] {
        const auto window = waitForWindow("^Can't find ");
        ASSERT_TRUE(window);
        EXPECT_EQ(xdotool({"getwindowname", *window}), title_);
        EXPECT_EQ(procFile(std::stoi(xdotool({"getwindowpid", *window})), "comm"), c.owner);
        answer(*window, c.confirm ? std::optional(document) : std::nullopt);
    });
    EXPECT_EQ(session.result.err, "");
    if (c.confirm) {
        expectStoredAndOpened(document);
    } else {
        expectNothingStoredOrOpened();
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Dialog,
                         ::testing::Values(DialogCase{"Gtk", "auto", "suitehelp", true},
                                           DialogCase{"GtkCancel", "auto", "suitehelp", false},
                                           DialogCase{"Zenity", "zenity", "zenity", true},
                                           DialogCase{"ZenityCancel", "zenity", "zenity", false}),
                         [](const auto& row) { return std::string(row.param.name); });

TEST_F(Desktop, WrongNameErrorWaitsUntilClosed) {
    if (!gtkInstalled()) {
        GTEST_SKIP() << "GTK 3 is not installed (Debian: libgtk-3-0)";
    }
    Clock::time_point closed;
    const auto session = run("", [&] {
        const auto dialog = waitForWindow("^Can't find ");
        ASSERT_TRUE(dialog);
        answer(*dialog, root_ / "Other/manual.pdf");
        const auto error = waitForWindow("^Error$");
        ASSERT_TRUE(error);
        const pid_t owner = std::stoi(xdotool({"getwindowpid", *error}));
        EXPECT_EQ(procFile(owner, "comm"), "suitehelp");
        std::this_thread::sleep_for(500ms);
        EXPECT_TRUE(running(owner)) << "suitehelp did not wait for the message box";
        closed = Clock::now();
        xdotool({"windowfocus", "--sync", *error});
        xdotool({"key", "Return"});
    });
    EXPECT_GT(session.ended, closed);
    EXPECT_EQ(session.result.err, "Error: Invalid file name specified.\n");
    expectNothingStoredOrOpened();
}

TEST_F(Desktop, FoundDocumentLoadsNoGtk) {
    writeFile(root_ / "Help/docs.pdf", "%PDF-1.4\n");
    // The trace goes to files: on the output pipe it could fill the pipe and stall the viewer,
    // which inherits it after suitehelp has ended.
    run("", [] {}, "", {"LD_DEBUG=libs", "LD_DEBUG_OUTPUT=" + (root_ / "ld").string()});
    EXPECT_EQ(opened(), (root_ / "Help/docs.pdf").string() + "\n");
    std::string trace;
    for (const auto& entry : fs::directory_iterator(root_)) {
        if (entry.path().filename().string().starts_with("ld.")) {
            trace += readFile(entry.path());
        }
    }
    EXPECT_NE(trace.find("libgio-2.0.so"), std::string::npos) << "no loader trace";
    EXPECT_EQ(trace.find("libgtk"), std::string::npos);
}

// The console step, chosen or fallen back to, with the line that says why.
struct ConsoleCase {
    const char* name;
    const char* mode;
    const char* change;  // to the environment, if any; "{root}" stands for the world's root
    const char* said;
};

class Console : public Desktop, public ::testing::WithParamInterface<ConsoleCase> {};

TEST_P(Console, AsksOnStandardInput) {
    const auto& c = GetParam();
    const fs::path document = root_ / "Other/docs.pdf";
    std::string change = c.change;
    if (const auto at = change.find("{root}"); at != std::string::npos) {
        change.replace(at, 6, root_.string());
    }
    const auto session = run(c.mode, [] {}, document.string() + "\n", {change});
    EXPECT_EQ(session.result.err, std::string(c.said) + title_ + "\n");
    expectStoredAndOpened(document);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Table, Console, ::testing::Values(
    ConsoleCase{"Chosen", "console", "", ""},
    ConsoleCase{"AutoWithoutDisplay", "auto", "DISPLAY=:9999", ""},
    ConsoleCase{"GtkWithoutDisplay", "gtk", "DISPLAY=:9999",
                "suitehelp: SUITEHELP_UI=gtk is not available; using the console.\n"},
    // GTK would end the process without its file chooser's settings schema.
    ConsoleCase{"GtkWithoutSchemas", "gtk", "XDG_DATA_DIRS={root}/mime-only",
                "suitehelp: SUITEHELP_UI=gtk is not available; using the console.\n"},
    ConsoleCase{"ZenityNotInstalled", "zenity", "PATH=/nowhere",
                "suitehelp: SUITEHELP_UI=zenity is not available; using the console.\n"},
    ConsoleCase{"KdialogNotInstalled", "kdialog", "PATH=/nowhere",
                "suitehelp: SUITEHELP_UI=kdialog is not available; using the console.\n"}),
    [](const auto& row) { return std::string(row.param.name); });
// clang-format on

}  // namespace
