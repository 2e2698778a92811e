#include <dlfcn.h>
#include <netinet/in.h>
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
#include "platform/posix/file_system.h"
#include "platform/posix/graphical_session.h"
#include "platform/posix/user_interface.h"
#include "support/files.h"

namespace {

using namespace std::chrono_literals;
using platform::DialogResult;
using std::string;
constexpr auto kOk = DialogResult::Confirmed, kCancel = DialogResult::Cancelled;

// The input a dialog reads, and then what it wrote to its stream and to the diagnostics.
struct Console {
    explicit Console(const string& input) : typed(input) { platform::SetDiagnosticsStream(out); }
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

// A listening socket at the address.
int Listen(const sockaddr* address, socklen_t size) {
    const int fd = socket(address->sa_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool listening = bind(fd, address, size) == 0 && listen(fd, 64) == 0;
    return listening ? fd : (close(fd), -1);
}
int Listen(const string& path) {
    sockaddr_un address{AF_UNIX, {}};
    std::memcpy(address.sun_path, path.data(), path.size());
    return Listen(reinterpret_cast<sockaddr*>(&address), sizeof address);
}

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
    // clang-format off
    for (const auto& [created, asked, found] : std::vector<std::tuple<string, string, string>>{
             {"A b/Za.PDF", "A b/za.pdf", "A b/Za.PDF"}, {"A b/x", "A b/absent.pdf", "A b/absent.pdf"},
             {"A b/x", "a b/za.pdf", "a b/za.pdf"}, {"A b/ZA.pdf", "A b/za.pdf", "A b/ZA.pdf"},
             {"A b/za.pdf", "A b/za.pdf", "A b/za.pdf"}}) {
        dir.Write(created, "");
        EXPECT_EQ(files.NameOnDisk(dir / asked), dir / found);
    }
    // Split at slashes only; a part that does not fit is refused.
    const string longest = "/" + string(253, 'd') + "/";  // with its NUL, 256 bytes
    for (const auto& [path, parts] : std::vector<std::tuple<string, string>>{
             {"/a.b/c\\d.e.pdf", "|/a.b/|c\\d.e|.pdf"}, {longest + "n", "|" + longest + "|n|"},
             {"/d" + longest + "n.pdf", ""}, {"/" + string(256, 'n') + ".pdf", ""}}) {
        char drive[platform::kMaxDrive], folder[platform::kMaxDir], name[platform::kMaxFname], ext[platform::kMaxExt];
        const bool fits = files.SplitPath(path.c_str(), drive, folder, name, ext);
        EXPECT_EQ(fits ? string(drive) + "|" + folder + "|" + name + "|" + ext : "", parts);
    }
    // clang-format on
}

// Dialogs as SUITEHELP_UI and the session choose them. GTK cannot show them here: without its
// file chooser's settings schema it would end the process, and is not even loaded. Stand-in
// scripts for zenity and kdialog note each call, every argument followed by '#'. The console
// takes one line of at most 4096 bytes, relative to the folder shown, naming a regular file.
TEST(PosixPlatformTest, DialogsGoToTheFirstMethodThatShowsThem) {
    support::TempFolder dir;
    const int compositor = Listen(dir / "wayland-0");
    close(Listen(dir / "stale"));
    dir.Write("docs.pdf", "%PDF-1.4\n");
    ASSERT_EQ(mkfifo((dir / "pipe.pdf").c_str(), 0600), 0);
    const string pdf = "{dir}/docs.pdf", longest(4096, 'x'),
                 retry = ": no such file; type another path, or an empty line to cancel.\nT\n";
    const string tooLong =
        "suitehelp: an answer of more than 4096 bytes names no file; cancelled.\n";
    const string path = std::getenv("PATH"), text = "a <b>\\n</b> &amp;\nb",
                 box = "Cap: " + text + "\n";
    const char *live = "{dir}/wayland-0", *stale = "{dir}/stale", *ok = "echo {dir}/docs.pdf";
    const string zOpen =
        "zenity#--file-selection#--title=T#--file-filter=pdf Files (*.pdf) | "
        "*.[pP][dD][fF]#--filename={dir}/#";
    const string zBox = "zenity#--info#--no-markup#--title=Cap#--text=" + text + "#";
    const string kOpen = "kdialog#--title=T#--getopenfilename#{dir}/*.pdf#pdf Files (*.pdf)#";
    const string kBox =
        "kdialog#--title=Cap#--msgbox=<qt><p style=\"white-space:pre-wrap\">a "
        "&lt;b&gt;\\n&lt;/b&gt; &amp;amp;<br>b</p></qt>#";
    const string gone = "suitehelp: SUITEHELP_UI=zenity is not available; using the console.\nT\n";
    const string again = "[ -e $0.again ] && echo {dir}/docs || { : >$0.again; echo {dir}/gone; }";
    string zOpens, gones = "suitehelp: 20 answers in a row named no file; cancelled.\n";
    for (int i = 0; i < 20; ++i) {
        zOpens += zOpen;
        gones.insert(0, "{dir}/gone.pdf: no such file.\n");
    }
    setenv("XDG_DATA_DIRS", "/nonexistent", 1);
    unsetenv("GSETTINGS_SCHEMA_DIR");
    unsetenv("DISPLAY");
    setenv("PATH", (dir / "bin").c_str(), 1);
    // Columns: SUITEHELP_UI, WAYLAND_DISPLAY, the zenity and kdialog scripts ("": none), the
    // console's input, the File-Open dialog's result, the calls for it and then for a message
    // box, written.
    // clang-format off
    for (const auto& [mode, wayland, zenity, kdialog, typed, result, calls, written] :
         std::vector<std::tuple<const char*, string, string, string, string, DialogResult, string, string>>{
             {nullptr, live, ok, ok, "", kOk, zOpen + zBox, box},
             {"auto", live, "exit 255", ok, "", kOk, zOpen + kOpen + kBox, box},
             {"", live, "", "", "", kCancel, "", "T\n" + box},
             {"auto", stale, ok, ok, "", kCancel, "", "T\n" + box},
             {"auto", "", ok, ok, "", kCancel, "", "T\n" + box},
             {"kdialog", live, ok, ok, "", kOk, kOpen + kBox, box},
             {"zenity", live, "kill -9 $$", ok, "", kCancel, zOpen, gone + box},
             {"zenity", stale, ok, ok, "", kCancel, "", gone + box},
             {"qt", live, ok, ok, "", kOk, zOpen + zBox, "suitehelp: SUITEHELP_UI=qt is unknown; choosing as for auto.\n" + box},
             {"zenity", live, "exit 1", ok, "", kCancel, zOpen + zBox, box},
             {"zenity", live, again, ok, "", kOk, zOpen + zOpen + zBox, "{dir}/gone.pdf: no such file.\n" + box},
             {"zenity", live, "echo {dir}/gone", ok, "", kCancel, zOpens + zBox, gones + box},
             {"console", live, ok, ok, "", kCancel, "", "T\n" + box},
             {"console", live, "", "", pdf + "\r\n", kOk, "", "T\n" + box},
             {"console", live, "", "", "docs\n", kOk, "", "T\n" + box},
             {"console", live, "", "", "\n" + pdf + "\n", kCancel, "", "T\n" + box},
             {"console", live, "", "", "{dir}/gone.pdf\n" + pdf, kOk, "", "T\n{dir}/gone.pdf" + retry + box},
             {"console", live, "", "", "pipe.pdf\n", kCancel, "", "T\n{dir}/pipe.pdf" + retry + box},
             {"console", live, "", "", pdf + '\0' + "\x1b]\xc2\x9b\xc2\xa0\x7f\n", kCancel, "", "T\n" + pdf + "\\x00\\x1b]\\xc2\\x9b\xc2\xa0\\x7f" + retry + box},
             {"console", live, "", "", longest + "\n", kCancel, "", "T\n{dir}/" + longest + ".pdf" + retry + box},
             {"console", live, "", "", longest + "x\n" + pdf + "\n", kCancel, "", "T\n" + tooLong + box}}) {
        // clang-format on
        const support::Substitutions where{{"{dir}", dir.Path().string()}};
        std::filesystem::remove_all(dir / "bin");
        for (const auto& [tool, script] :
             {std::pair<string, string>{"zenity", zenity}, {"kdialog", kdialog}}) {
            if (!script.empty()) {
                dir.Write("bin/" + tool,
                          "#!/bin/sh\nprintf '%s#' \"${0##*/}\" \"$@\" >>\"${0%/*}/calls\"\n" +
                              support::Expand(script, where) + "\n");
                ASSERT_EQ(chmod((dir / ("bin/" + tool)).c_str(), 0700), 0);
            }
        }
        setenv("WAYLAND_DISPLAY", support::Expand(wayland, where).c_str(), 1);
        Console console(support::Expand(typed, where));
        platform::PosixUserInterface ui(console.in, console.out, mode);
        CString chosen;
        const string row = string(mode ? mode : "(unset)") + " " + wayland + " " + zenity + " " +
                           typed.substr(0, 30);
        EXPECT_EQ(ui.ShowFileOpen({"T", "pdf Files (*.pdf)", "*.pdf", "pdf", "*.pdf", dir.Path()},
                                  &chosen),
                  result)
            << row;
        ui.MessageBox(text, "Cap", 0);
        EXPECT_LE(std::ftell(console.in), 4097) << "read past the longest answer";
        EXPECT_EQ(chosen, result == kOk ? dir / "docs.pdf" : "") << row;
        EXPECT_EQ(support::ReadFile(dir / "bin/calls"), support::Expand(calls, where)) << row;
        EXPECT_EQ(console.Written(), support::Expand(written, where)) << row;
    }
    setenv("PATH", path.c_str(), 1);
    unsetenv("WAYLAND_DISPLAY");
    close(compositor);
    EXPECT_EQ(dlopen("libgtk-3.so.0", RTLD_LAZY | RTLD_NOLOAD), nullptr);
}

TEST(PosixPlatformTest, GraphicalSessionNeedsAServerThatAnswersInTime) {
    int x = -1, number = 7000;
    mkdir("/tmp/.X11-unix", 01777);  // as an X server makes it
    while (x < 0 && ++number < 7100) {
        x = Listen("/tmp/.X11-unix/X" + std::to_string(number));
    }
    ASSERT_GE(x, 0);
    // Appended rather than added to a literal, past GCC 12's false -Wrestrict in Release builds.
    const string display = string(":").append(std::to_string(number)).append(".0");
    const auto present = [](const char* wayland, const char* runtime, const string& x11) {
        return platform::GraphicalSessionPresent(wayland, runtime, x11.c_str(), 300ms);
    };
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(present(nullptr, nullptr, display)) << "connected but never answered";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);
    // And one on TCP, as an ssh-forwarded display (localhost:10.0) is.
    int tcp = -1, port = 6000 + 7000;
    while (tcp < 0 && ++port < 6000 + 7100) {
        sockaddr_in address{AF_INET, htons(port), {htonl(INADDR_LOOPBACK)}, {}};
        tcp = Listen(reinterpret_cast<sockaddr*>(&address), sizeof address);
    }
    ASSERT_GE(tcp, 0);
    // Each client is answered, with a refusal, which is an answer too; until the shutdown.
    const auto serve = [](int listener) {
        char setup[12];
        for (int client; (client = accept(listener, nullptr, nullptr)) >= 0; close(client)) {
            if (read(client, setup, sizeof setup) == sizeof setup) {
                send(client, "\0", 1, MSG_NOSIGNAL);
            }
        }
    };
    std::thread server(serve, x), tcpServer(serve, tcp);
    const string tcpDisplay = string(":").append(std::to_string(port - 6000));
    for (const string& name : {display, "unix" + display, "unix/" + display,
                               "localhost" + tcpDisplay, "tcp/127.0.0.1" + tcpDisplay + ".0"}) {
        EXPECT_TRUE(present(nullptr, nullptr, name)) << name;
    }
    EXPECT_FALSE(present(nullptr, nullptr, "remote.example" + display)) << "looked up a name";
    EXPECT_FALSE(present(nullptr, nullptr, "no display"));
    for (const int listener : {x, tcp}) {
        shutdown(listener, SHUT_RDWR);
    }
    server.join();
    tcpServer.join();
    close(x);
    close(tcp);
    unlink(("/tmp/.X11-unix/X" + std::to_string(number)).c_str());
    // A Wayland display's name is in the runtime folder.
    support::TempFolder run;
    const int compositor = Listen(run / "wayland-7");
    EXPECT_TRUE(present("wayland-7", run.Path().c_str(), ""));
    EXPECT_FALSE(present("wayland-7", nullptr, ""));
    close(compositor);
}

}  // namespace
