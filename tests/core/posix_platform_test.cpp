#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <tuple>

#include "platform/diagnostics.h"
#include "platform/file.h"
#include "platform/posix/command_tail.h"
#include "platform/posix/dialog_tool_ui.h"
#include "platform/posix/file_system.h"
#include "platform/posix/graphical_session.h"
#include "platform/posix/gtk_ui.h"
#include "platform/posix/user_interface.h"
#include "support/files.h"

namespace {

using namespace std::chrono_literals;
using platform::DialogResult;
using std::string;
constexpr auto kOk = DialogResult::Confirmed, kCancel = DialogResult::Cancelled,
               kNone = DialogResult::Unavailable;

// The input a dialog reads, and then what it wrote to its stream and to the diagnostics.
struct Console {
    explicit Console(const string& input = "") : typed(input) {
        platform::SetDiagnosticsStream(out);
    }
    string Written() {
        platform::SetDiagnosticsStream(nullptr);
        std::fclose(in);
        std::fclose(out);
        return support::ReadFile(folder / "out");
    }
    string typed;
    support::TempFolder folder;
    std::FILE* in = fmemopen(typed.data(), typed.size(), "r");
    std::FILE* out = std::fopen((folder / "out").c_str(), "w");
};

TEST(PosixPlatformTest, CommandTailFileAndFileSystem) {
    // An argument that is empty or holds whitespace is quoted.
    const char* argv[] = {"suitehelp", "-dax", "/a user/h.cfg", "", "t\there", "c\rhere"};
    EXPECT_EQ(platform::CommandTail(6, const_cast<char**>(argv)),
              "-dax \"/a user/h.cfg\" \"\" \"t\there\" \"c\rhere\"");
    // Anything but a regular file is refused at once: the alarm ends an open that blocks.
    support::TempFolder dir;
    ASSERT_EQ(mkfifo((dir / "fifo").c_str(), 0600), 0);
    alarm(5);
    for (const string& path : {dir / "fifo", dir.Path().string()}) {
        EXPECT_THROW(CFile().Open(path.c_str(), CFile::modeRead), CFileException) << path;
    }
    alarm(0);
    // The name in any case, the folder's as given: an exact spelling, else the first in byte
    // order. Columns: created, asked, found.
    const platform::PosixFileSystem files;
    for (const auto& [created, asked, found] : std::vector<std::tuple<string, string, string>>{
             {"A b/Za.PDF", "A b/za.pdf", "A b/Za.PDF"},
             {"A b/other.pdf", "A b/absent.pdf", "A b/absent.pdf"},
             {"A b/other.pdf", "a b/za.pdf", "a b/za.pdf"},
             {"A b/ZA.pdf", "A b/za.pdf", "A b/ZA.pdf"},
             {"A b/za.pdf", "A b/za.pdf", "A b/za.pdf"}}) {
        dir.Write(created, "");
        EXPECT_EQ(files.NameOnDisk(dir / asked), dir / found);
    }
    // Split at slashes only; a part that does not fit is refused.
    const string longest = "/" + string(253, 'd') + "/";  // with its NUL, 256 bytes
    for (const auto& [path, parts] :
         std::vector<std::tuple<string, string>>{{"/a.b/c\\d.e.pdf", "|/a.b/|c\\d.e|.pdf"},
                                                 {longest + "n", "|" + longest + "|n|"},
                                                 {"/d" + longest + "n.pdf", ""},
                                                 {"/" + string(256, 'n') + ".pdf", ""}}) {
        char drive[platform::kMaxDrive], folder[platform::kMaxDir], name[platform::kMaxFname],
            ext[platform::kMaxExt];
        const bool fits = files.SplitPath(path.c_str(), drive, folder, name, ext);
        EXPECT_EQ(fits ? string(drive) + "|" + folder + "|" + name + "|" + ext : "", parts);
    }
}

// One line of at most 4096 bytes, relative to the folder shown, naming a regular file.
TEST(PosixPlatformTest, ConsoleTakesOneBoundedLineNamingARegularFile) {
    support::TempFolder dir;
    const string pdf = dir.Write("docs.pdf", "%PDF-1.4\n"), longest(4096, 'x');
    ASSERT_EQ(mkfifo((dir / "pipe.pdf").c_str(), 0600), 0);
    const string retry = ": no such file; type another path, or an empty line to cancel.\nT\n";
    const string tooLong =
        "suitehelp: an answer of more than 4096 bytes names no file; cancelled.\n";
    // Columns: typed, result, chosen, written after the question.
    for (const auto& [typed, result, chosen, written] :
         std::vector<std::tuple<string, DialogResult, string, string>>{
             {pdf + "\r\n", kOk, pdf, ""},
             {"docs\n", kOk, pdf, ""},
             {"", kCancel, "", ""},
             {"\n" + pdf + "\n", kCancel, "", ""},
             {dir / "gone.pdf" + "\n" + pdf, kOk, pdf, dir / "gone.pdf" + retry},
             {"pipe.pdf\n", kCancel, "", dir / "pipe.pdf" + retry},
             {pdf + '\0' + "x\n", kCancel, "", pdf + '\0' + "x" + retry},
             {longest + "\n", kCancel, "", dir / (longest + ".pdf") + retry},
             {longest + "x\n" + pdf + "\n", kCancel, "", tooLong}}) {
        Console console(typed);
        CString answer;
        EXPECT_EQ(platform::ConsoleUserInterface(console.in, console.out)
                      .ShowFileOpen({"T", "", "", "pdf", "", dir.Path()}, &answer),
                  result);
        EXPECT_LE(std::ftell(console.in), 4097) << "read past the longest answer";
        EXPECT_EQ(console.Written(), "T\n" + written) << typed;
        EXPECT_EQ(answer, chosen) << typed;
    }
}

// The methods that cannot show a dialog, and those asked so far, in order.
string g_unavailable, g_asked;
int g_sessionChecks = 0;
bool g_sessionPresent = true;

struct FakeMethod : platform::UserInterface {
    explicit FakeMethod(const char* n) : name(n) {}
    string name;
    DialogResult Answer() {
        g_asked += name + " ";
        return g_unavailable.find(name) == string::npos ? kOk : kNone;
    }
    DialogResult MessageBox(const CString&, const CString&, unsigned) override { return Answer(); }
    DialogResult ShowFileOpen(const platform::FileOpenRequest&, CString*) override {
        return Answer();
    }
};

TEST(PosixPlatformTest, ChooserTakesTheFirstMethodThatShowsTheDialog) {
    const string gone = "suitehelp: SUITEHELP_UI=zenity is not available; using the console.\n";
    // Columns: SUITEHELP_UI, session present, unavailable, asked for a File-Open dialog and then
    // a message box, written.
    for (const auto& [mode, session, unavailable, asked, written] :
         std::vector<std::tuple<const char*, bool, string, string, string>>{
             {nullptr, true, "", "gtk gtk ", "T: x\n"},
             {"auto", true, "gtk", "gtk zenity zenity ", "T: x\n"},
             {"", true, "gtk zenity kdialog", "gtk zenity kdialog ", "title\nT: x\n"},
             {"auto", false, "", "", "title\nT: x\n"},
             {"console", true, "", "", "title\nT: x\n"},
             {"zenity", true, "", "zenity zenity ", "T: x\n"},
             {"zenity", true, "zenity", "zenity ", gone + "title\nT: x\n"},
             {"zenity", false, "", "", gone + "title\nT: x\n"},
             {"qt", true, "", "gtk gtk ",
              "suitehelp: SUITEHELP_UI=qt is unknown; choosing as for auto.\nT: x\n"}}) {
        FakeMethod gtk("gtk"), zenity("zenity"), kdialog("kdialog");
        std::tie(g_unavailable, g_asked, g_sessionChecks, g_sessionPresent) =
            std::tuple(unavailable, "", 0, session);
        Console console;
        platform::PosixUserInterface ui(console.in, console.out, mode,
                                        {{"gtk", &gtk}, {"zenity", &zenity}, {"kdialog", &kdialog}},
                                        [] { return ++g_sessionChecks, g_sessionPresent; });
        EXPECT_EQ(g_sessionChecks, 0) << "checked before a dialog was needed";
        CString chosen;
        ui.ShowFileOpen({"title", "", "", "", "", ""}, &chosen);
        ui.MessageBox("x", "T", 0);
        const string row = (mode ? mode : "(unset)") + (" " + unavailable);
        EXPECT_EQ(g_asked, asked) << row;
        EXPECT_EQ(console.Written(), written) << row;
        EXPECT_EQ(g_sessionChecks, row.starts_with("console") ? 0 : 1) << row;
    }
    // GTK ends the process when its file chooser's settings schema is missing: without the
    // schema it is not even loaded.
    const string dataDirs = std::getenv("XDG_DATA_DIRS") ? std::getenv("XDG_DATA_DIRS") : "";
    setenv("XDG_DATA_DIRS", "/nonexistent", 1);
    unsetenv("GSETTINGS_SCHEMA_DIR");
    CString chosen;
    EXPECT_EQ(platform::GtkUserInterface().ShowFileOpen({}, &chosen), kNone);
    EXPECT_EQ(dlopen("libgtk-3.so.0", RTLD_LAZY | RTLD_NOLOAD), nullptr);
    setenv("XDG_DATA_DIRS", dataDirs.c_str(), 1);
}

// The zenity and kdialog methods against a stand-in script that notes its first call: the
// arguments, and how its output and exit are read.
TEST(PosixPlatformTest, DialogToolsGetTheRequestAndAreReadByTheirExit) {
    const string text = "a <b>\\n</b> &amp;\nb", path = std::getenv("PATH");
    const string zenityInfo = "zenity#--info#--no-markup#--title=Cap#--text=" + text + "#";
    const string kdialogOpen = "kdialog#--title=T#--getopenfilename#{dir}/*.pdf#pdf Files (*.pdf)#";
    // Columns: the script ({dir}: the folder; empty: no tool), File-Open (else a message box),
    // result, chosen, the call (each argument followed by '#'), written.
    for (const auto& [script, open, result, chosen, call, written] :
         std::vector<std::tuple<string, bool, DialogResult, string, string, string>>{
             {"exit 1", false, kOk, "", zenityInfo, ""},
             {"exit 255", false, kNone, "", zenityInfo, ""},
             {"exit 0", false, kOk, "",
              "kdialog#--title=Cap#--msgbox=<qt><p style=\"white-space:pre-wrap\">"
              "a &lt;b&gt;\\n&lt;/b&gt; &amp;amp;<br>b</p></qt>#",
              ""},
             {"[ -e \"$0.again\" ] && echo {dir}/docs || { : >\"$0.again\"; echo {dir}/gone; }",
              true, kOk, "{dir}/docs.pdf",
              "zenity#--file-selection#--title=T#--file-filter=pdf Files (*.pdf) | *.[pP][dD][fF]#"
              "--filename={dir}/#",
              "{dir}/gone.pdf: no such file.\n"},
             {"echo {dir}/docs.pdf", true, kOk, "{dir}/docs.pdf", kdialogOpen, ""},
             {"exit 1", true, kCancel, "", kdialogOpen, ""},
             {"kill -9 $$", true, kNone, "", kdialogOpen, ""},
             {"", true, kNone, "", "kdialog", ""}}) {
        support::TempFolder dir;
        const support::Substitutions where{{"{dir}", dir.Path().string()}};
        dir.Write("docs.pdf", "%PDF-1.4\n");
        const string name = call.substr(0, call.find('#')), tool = dir / ("bin/" + name);
        if (!script.empty()) {
            dir.Write("bin/" + name,
                      "#!/bin/sh\n[ -e \"$0.call\" ] || printf '%s#' \"${0##*/}\" "
                      "\"$@\" >\"$0.call\"\n" +
                          support::Expand(script, where) + "\n");
            ASSERT_EQ(chmod(tool.c_str(), 0700), 0);
        }
        setenv("PATH", (dir / "bin").c_str(), 1);
        Console console;
        platform::DialogToolUserInterface ui(name == "zenity" ? platform::DialogTool::kZenity
                                                              : platform::DialogTool::kKdialog);
        CString answer;
        EXPECT_EQ(
            open ? ui.ShowFileOpen({"T", "pdf Files (*.pdf)", "*.pdf", "pdf", "*.pdf", dir.Path()},
                                   &answer)
                 : ui.MessageBox(text, "Cap", 0),
            result)
            << call;
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(answer, support::Expand(chosen, where)) << call;
        EXPECT_EQ(support::ReadFile(tool + ".call"),
                  script.empty() ? "" : support::Expand(call, where));
        EXPECT_EQ(console.Written(), support::Expand(written, where)) << call;
    }
}

// A listening unix socket, at the path or abstract.
int Listen(const string& name, bool abstract) {
    sockaddr_un address{AF_UNIX, {}};
    std::memcpy(address.sun_path + abstract, name.data(), name.size());
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + abstract + name.size());
    return bind(fd, reinterpret_cast<sockaddr*>(&address), length) == 0 && listen(fd, 4) == 0
               ? fd
               : (close(fd), -1);
}

TEST(PosixPlatformTest, GraphicalSessionNeedsAServerThatAnswersInTime) {
    int x = -1, number = 7000;
    while (x < 0 && ++number < 7100) {
        x = Listen("/tmp/.X11-unix/X" + std::to_string(number), true);
    }
    ASSERT_GE(x, 0);
    // Appended rather than added to a literal, past GCC 12's false -Wrestrict in Release builds.
    const string x11 = string(":").append(std::to_string(number)).append(".0");
    support::TempFolder run;
    const int compositor = Listen(run / "wayland-7", false);
    const auto present = [](const string& wayland, const string& runtime, const string& display) {
        const auto unset = [](const string& s) { return s.empty() ? nullptr : s.c_str(); };
        return platform::GraphicalSessionPresent(unset(wayland), unset(runtime), display.c_str(),
                                                 300ms);
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(present("", "", x11)) << "connected but never answered";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    // Each client is answered, with a refusal, which is an answer too; until the shutdown.
    std::thread server([x] {
        char setup[12];
        for (int client; (client = accept(x, nullptr, nullptr)) >= 0; close(client)) {
            if (read(client, setup, sizeof setup) == sizeof setup) {
                send(client, "\0", 1, MSG_NOSIGNAL);
            }
        }
    });
    // Columns: WAYLAND_DISPLAY, XDG_RUNTIME_DIR, DISPLAY ("" for unset), present.
    for (const auto& [waylandDisplay, runtime, display, expected] :
         std::vector<std::tuple<string, string, string, bool>>{
             {"", "", x11, true},
             {"", "", "unix" + x11, true},
             {"", "", "unix/" + x11, true},
             {"", "", "remote.example" + x11, false},  // a name is never looked up
             {"", "", "no display", false},
             {"wayland-7", run.Path(), "", true},
             {run / "wayland-7", "", "", true},
             {"wayland-7", "", "", false}}) {
        EXPECT_EQ(present(waylandDisplay, runtime, display), expected) << waylandDisplay << display;
    }
    shutdown(x, SHUT_RDWR);
    server.join();
    close(x);
    close(compositor);
    EXPECT_FALSE(present("wayland-7", run.Path(), "")) << "a stale socket";
}

}  // namespace
