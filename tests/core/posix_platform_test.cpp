#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

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
constexpr auto kOk = DialogResult::Confirmed, kCancel = DialogResult::Cancelled,
               kNone = DialogResult::Unavailable;

// A stream that the code under test writes to, diagnostics included, and then what it wrote; and
// an input at its end.
struct Capture {
    Capture() { platform::SetDiagnosticsStream(stream); }
    std::string Text() {
        platform::SetDiagnosticsStream(nullptr);
        std::fclose(stream);
        std::fclose(none);
        return support::ReadFile(folder / "out");
    }
    support::TempFolder folder;
    std::FILE* stream = std::fopen((folder / "out").c_str(), "w");
    std::FILE* none = std::fopen("/dev/null", "r");
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
    for (const std::string& path : {dir / "fifo", std::string("/dev/zero")}) {
        EXPECT_THROW(CFile().Open(path.c_str(), CFile::modeRead), CFileException) << path;
    }
    alarm(0);
    // The document whatever the case of its name, never of its folder; an exact spelling first,
    // otherwise always the same one.
    const platform::PosixFileSystem files;
    for (const auto& [created, asked, found] : std::vector<std::array<std::string, 3>>{
             {"A b/Docs.PDF", "A b/docs.pdf", "A b/Docs.PDF"},
             {"", "A b/absent.pdf", "A b/absent.pdf"},
             {"", "a b/docs.pdf", "a b/docs.pdf"},
             {"A b/DOCS.pdf", "A b/docs.pdf", "A b/DOCS.pdf"},
             {"A b/docs.pdf", "A b/docs.pdf", "A b/docs.pdf"}}) {
        if (!created.empty()) {
            dir.Write(created, "");
        }
        EXPECT_EQ(files.NameOnDisk(dir / asked), dir / found);
    }
    // Split at slashes only; a part that does not fit is refused.
    const std::string longest = "/" + std::string(253, 'd') + "/";  // with its NUL, 256 bytes
    for (const auto& [path, expected] :
         std::vector<std::array<std::string, 2>>{{"/a.b/c\\d.e.pdf", "|/a.b/|c\\d.e|.pdf"},
                                                 {longest + "n", "|" + longest + "|n|"},
                                                 {"/d" + longest + "n.pdf", ""},
                                                 {"/" + std::string(256, 'n') + ".pdf", ""}}) {
        char drive[platform::kMaxDrive], folder[platform::kMaxDir], name[platform::kMaxFname],
            ext[platform::kMaxExt];
        const bool fits = files.SplitPath(path.c_str(), drive, folder, name, ext);
        EXPECT_EQ(fits ? std::string(drive) + "|" + folder + "|" + name + "|" + ext : "", expected);
    }
}

// One line of at most 4096 bytes, naming a regular file; the message box writes to the console.
TEST(PosixPlatformTest, ConsoleTakesOneBoundedLineNamingARegularFile) {
    support::TempFolder dir;
    const std::string pdf = dir.Write("docs.pdf", "%PDF-1.4\n");
    std::filesystem::create_directory(dir / "folder.pdf");
    ASSERT_EQ(mkfifo((dir / "pipe.pdf").c_str(), 0600), 0);
    const std::string title = "Can't find /x/docs.pdf.\n";
    const std::string retry =
        ": no such file; type another path, or an empty line to cancel.\n" + title;
    const std::string tooLong =
        "suitehelp: an answer of more than 4096 bytes names no file; cancelled.\n";
    const std::string longest(4096, 'x');
    const struct {
        std::string input;
        DialogResult result;
        std::string chosen;
        std::string written;  // after the first question
    } cases[] = {
        {pdf + "\r\n", kOk, pdf, ""},
        {"docs\n", kOk, pdf, ""},  // relative to the folder shown, with the default extension
        {"", kCancel, "", ""},
        {"\n" + pdf + "\n", kCancel, "", ""},
        {dir / "gone.pdf" + "\n" + pdf, kOk, pdf, dir / "gone.pdf" + retry},
        {dir / "folder.pdf" + "\n", kCancel, "", dir / "folder.pdf" + retry},
        {"pipe.pdf\n", kCancel, "", dir / "pipe.pdf" + retry},
        {pdf + '\0' + "x\n", kCancel, "", pdf + '\0' + "x" + retry},
        {longest + "\n", kCancel, "", dir / (longest + ".pdf") + retry},
        {longest + "x\n" + pdf + "\n", kCancel, "", tooLong},
        {std::string(1 << 16, '\0'), kCancel, "", tooLong},  // as from /dev/zero
    };
    for (const auto& c : cases) {
        Capture out;
        std::FILE* in = c.input.empty()
                            ? out.none
                            : fmemopen(const_cast<char*>(c.input.data()), c.input.size(), "r");
        CString chosen;
        EXPECT_EQ(
            platform::ConsoleUserInterface(in, out.stream)
                .ShowFileOpen({"Can't find /x/docs.pdf.", "", "", "pdf", "", dir.Path()}, &chosen),
            c.result);
        EXPECT_LE(std::ftell(in), 4097) << "read past the longest answer";
        if (in != out.none) {
            std::fclose(in);
        }
        EXPECT_EQ(out.Text(), title + c.written) << c.input;
        EXPECT_EQ(chosen, c.chosen) << c.input;
    }
    Capture out;
    EXPECT_EQ(platform::ConsoleUserInterface(stdin, out.stream).MessageBox("Two\n100%", "E", 0),
              kOk);
    EXPECT_EQ(out.Text(), "E: Two\n100%\n");
}

// A desktop method that notes its name when asked, and shows the dialog unless it is unavailable.
struct FakeMethod : platform::UserInterface {
    FakeMethod(const char* n, std::string* l, std::string u) : name(n), log(l), unavailable(u) {}
    std::string name, *log, unavailable;
    DialogResult Answer() {
        *log += name + " ";
        return unavailable.find(name) == std::string::npos ? kOk : kNone;
    }
    DialogResult MessageBox(const CString&, const CString&, unsigned) override { return Answer(); }
    DialogResult ShowFileOpen(const platform::FileOpenRequest&, CString*) override {
        return Answer();
    }
};

int g_sessionChecks = 0;
bool g_sessionPresent = true;

TEST(PosixPlatformTest, ChooserTakesTheFirstMethodThatShowsTheDialog) {
    const std::string gone =
        "suitehelp: SUITEHELP_UI=zenity is not available; using the console.\n";
    const struct {
        const char* mode;
        bool session;
        std::string unavailable;  // names of the methods that cannot show it
        std::string tried;        // in order, for a File-Open dialog and then a message box
        std::string err;
    } cases[] = {
        {nullptr, true, "", "gtk gtk ", "T: x\n"},
        {"auto", true, "gtk", "gtk zenity zenity ", "T: x\n"},
        {"", true, "gtk zenity kdialog", "gtk zenity kdialog ", "title\nT: x\n"},
        {"auto", false, "", "", "title\nT: x\n"},
        {"console", true, "", "", "title\nT: x\n"},
        {"zenity", true, "", "zenity zenity ", "T: x\n"},
        {"zenity", true, "zenity", "zenity ", gone + "title\nT: x\n"},
        {"zenity", false, "", "", gone + "title\nT: x\n"},
        {"qt", true, "", "gtk gtk ",
         "suitehelp: SUITEHELP_UI=qt is unknown; choosing as for auto.\nT: x\n"},
    };
    for (const auto& c : cases) {
        std::string log;
        FakeMethod gtk("gtk", &log, c.unavailable), zenity("zenity", &log, c.unavailable),
            kdialog("kdialog", &log, c.unavailable);
        Capture err;
        g_sessionChecks = 0;
        g_sessionPresent = c.session;
        platform::PosixUserInterface ui(err.none, err.stream, c.mode,
                                        {{"gtk", &gtk}, {"zenity", &zenity}, {"kdialog", &kdialog}},
                                        [] { return ++g_sessionChecks, g_sessionPresent; });
        EXPECT_EQ(g_sessionChecks, 0) << "checked before a dialog was needed";
        CString chosen;
        ui.ShowFileOpen({"title", "", "", "", "", ""}, &chosen);
        ui.MessageBox("x", "T", 0);
        const std::string mode = c.mode ? c.mode : "(unset)";
        EXPECT_EQ(log, c.tried) << mode << " " << c.unavailable;
        EXPECT_EQ(err.Text(), c.err) << mode << " " << c.unavailable;
        EXPECT_EQ(g_sessionChecks, mode == "console" ? 0 : 1) << mode;
    }
    // The real methods go by the names SUITEHELP_UI gives them.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const std::string mode : {"gtk", "zenity", "kdialog"}) {
        Capture err;
        platform::PosixUserInterface(stdin, err.stream, mode.c_str()).MessageBox("x", "T", 0);
        EXPECT_EQ(err.Text(), "T: x\nsuitehelp: SUITEHELP_UI=" + mode +
                                  " is not available; using the console.\n");
    }
    // GTK ends the process when its file chooser's settings schema is missing: without the
    // schema it is not even loaded.
    const std::string dataDirs = std::getenv("XDG_DATA_DIRS") ? std::getenv("XDG_DATA_DIRS") : "";
    setenv("XDG_DATA_DIRS", "/nonexistent", 1);
    unsetenv("GSETTINGS_SCHEMA_DIR");
    CString chosen;
    EXPECT_EQ(platform::GtkUserInterface().ShowFileOpen({}, &chosen), kNone);
    EXPECT_EQ(dlopen("libgtk-3.so.0", RTLD_LAZY | RTLD_NOLOAD), nullptr);
    setenv("XDG_DATA_DIRS", dataDirs.c_str(), 1);
}

// The zenity and kdialog methods against a stand-in script: the arguments of its first call, and
// how its output and exit are read.
TEST(PosixPlatformTest, DialogToolsGetTheRequestAndAreReadByTheirExit) {
    const std::string text = "a <b>\\n</b> &amp;\nb";
    const std::string zenityInfo = "zenity#--info#--no-markup#--title=Cap#--text=" + text + "#";
    const std::string kdialogOpen =
        "kdialog#--title=T#--getopenfilename#{dir}/*.pdf#pdf Files (*.pdf)#";
    const struct {
        const char* script;  // after the call is noted; "{dir}" stands for the folder; null: none
        bool open;           // the File-Open dialog, else a message box
        DialogResult result;
        const char* chosen;
        std::string call;  // each argument followed by '#'
        const char* notes = "";
    } cases[] = {
        {"exit 1", false, kOk, "", zenityInfo},
        {"exit 255", false, kNone, "", zenityInfo},
        {"exit 0", false, kOk, "",
         "kdialog#--title=Cap#--msgbox=<qt><p style=\"white-space:pre-wrap\">"
         "a &lt;b&gt;\\n&lt;/b&gt; &amp;amp;<br>b</p></qt>#"},
        {"[ -e \"$0.again\" ] && echo {dir}/docs || { : >\"$0.again\"; echo {dir}/gone; }", true,
         kOk, "{dir}/docs.pdf",
         "zenity#--file-selection#--title=T#--file-filter=pdf Files (*.pdf) | *.[pP][dD][fF]#"
         "--filename={dir}/#",
         "{dir}/gone.pdf: no such file.\n"},
        {"echo {dir}/docs.pdf", true, kOk, "{dir}/docs.pdf", kdialogOpen},
        {"exit 1", true, kCancel, "", kdialogOpen},
        {"kill -9 $$", true, kNone, "", kdialogOpen},
        {nullptr, true, kNone, "", "kdialog"},  // not installed
    };
    const std::string path = std::getenv("PATH");
    for (const auto& c : cases) {
        support::TempFolder dir;
        const support::Substitutions where{{"{dir}", dir.Path().string()}};
        dir.Write("docs.pdf", "%PDF-1.4\n");
        const std::string name = c.call.substr(0, c.call.find('#'));
        const std::string tool = dir / ("bin/" + name);
        if (c.script != nullptr) {
            dir.Write("bin/" + name,
                      "#!/bin/sh\n[ -e \"$0.call\" ] || printf '%s#' \"${0##*/}\" "
                      "\"$@\" >\"$0.call\"\n" +
                          support::Expand(c.script, where) + "\n");
            ASSERT_EQ(chmod(tool.c_str(), 0700), 0);
        }
        setenv("PATH", (dir / "bin").c_str(), 1);
        Capture notes;
        platform::DialogToolUserInterface ui(name == "zenity" ? platform::DialogTool::kZenity
                                                              : platform::DialogTool::kKdialog);
        CString chosen;
        const DialogResult result =
            c.open ? ui.ShowFileOpen(
                         {"T", "pdf Files (*.pdf)", "*.pdf", "pdf", "*.pdf", dir.Path()}, &chosen)
                   : ui.MessageBox(text, "Cap", 0);
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(result, c.result) << c.call;
        EXPECT_EQ(chosen, support::Expand(c.chosen, where)) << c.call;
        EXPECT_EQ(support::ReadFile(tool + ".call"),
                  c.script ? support::Expand(c.call, where) : "");
        EXPECT_EQ(notes.Text(), support::Expand(c.notes, where)) << c.call;
    }
}

// A listening unix socket, abstract when the name starts with '@'.
int Listen(const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    address.sun_path[0] = name[0] == '@' ? '\0' : name[0];
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

TEST(PosixPlatformTest, GraphicalSessionNeedsAServerThatAnswersInTime) {
    const auto present = [](const char* wayland, const char* runtime, const std::string& x) {
        return platform::GraphicalSessionPresent(wayland, runtime, x.c_str(), 300ms);
    };
    int number = 7000;
    int x = -1;
    while (x < 0 && number < 7100) {
        x = Listen(std::string("@/tmp/.X11-unix/X").append(std::to_string(++number)));
    }
    ASSERT_GE(x, 0);
    // Appended rather than added to a literal, past GCC 12's false -Wrestrict in Release builds.
    const std::string display = std::string(":").append(std::to_string(number)).append(".0");
    // Connected but never answered: bounded by the timeout.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(present(nullptr, nullptr, display));
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
    for (const std::string& name : {display, "unix" + display, "unix/" + display}) {
        EXPECT_TRUE(present(nullptr, nullptr, name)) << name;
    }
    EXPECT_FALSE(present(nullptr, nullptr, "remote.example" + display)) << "looked up a name";
    EXPECT_FALSE(present(nullptr, nullptr, "no display"));
    shutdown(x, SHUT_RDWR);
    server.join();
    close(x);

    support::TempFolder runtime;
    const int wayland = Listen(runtime / "wayland-7");
    EXPECT_TRUE(present("wayland-7", runtime.Path().c_str(), ""));
    EXPECT_TRUE(present((runtime / "wayland-7").c_str(), nullptr, ""));
    close(wayland);
    EXPECT_FALSE(present("wayland-7", runtime.Path().c_str(), "")) << "a stale socket";
    EXPECT_FALSE(present("wayland-7", nullptr, ""));
}

}  // namespace
