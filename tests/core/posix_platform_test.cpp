#include <dlfcn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "app/command_line.h"
#include "platform/file.h"
#include "platform/posix/command_tail.h"
#include "platform/posix/desktop_ui.h"
#include "platform/posix/dialog_support.h"
#include "platform/posix/dialog_tool_ui.h"
#include "platform/posix/file_system.h"
#include "platform/posix/graphical_session.h"
#include "platform/posix/gtk_ui.h"
#include "support/files.h"

namespace {

using namespace std::chrono_literals;
using platform::DialogTool;

// What the stream holds from its start; closes it.
std::string ReadAll(std::FILE* stream) {
    std::rewind(stream);
    std::string text;
    for (int c; (c = std::fgetc(stream)) != EOF;) {
        text += static_cast<char>(c);
    }
    std::fclose(stream);
    return text;
}

// Each argument comes back whole from the tail: whitespace at both ends of the tokenizer's range
// and an empty argument are quoted.
TEST(CommandTailTest, CarriesArgumentsThroughTheTokenizer) {
    std::vector<std::string> arguments{"-dax", "/home/a user/help.cfg", "", "tab\there",
                                       "cr\rhere"};
    std::vector<char*> argv{const_cast<char*>("suitehelp")};
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    const CString tail = platform::CommandTail(static_cast<int>(argv.size()), argv.data());
    CommandLine split = SplitCommandLine(tail.c_str());
    EXPECT_EQ(std::vector<std::string>(split.Arguments(), split.Arguments() + split.Count()),
              arguments)
        << tail;
}

// Anything but a regular file is refused at once; an open that blocks ends with the alarm.
TEST(PosixFileTest, RefusesAnythingButARegularFileWithoutWaiting) {
    support::TempFolder dir;
    ASSERT_EQ(mkfifo((dir / "help.cfg").c_str(), 0600), 0);
    for (const std::string& path : {dir / "help.cfg", std::string("/dev/zero")}) {
        const auto open = [&] {
            alarm(5);
            try {
                CFile().Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
            } catch (const CFileException&) {
                std::_Exit(0);
            }
            std::_Exit(1);
        };
        EXPECT_EXIT(open(), testing::ExitedWithCode(0), "") << path;
    }
}

TEST(PosixFileSystemTest, FindsTheDocumentWhateverTheCaseOfItsName) {
    support::TempFolder dir;
    const platform::PosixFileSystem files;
    const std::string folder = dir / "Mixed Case/";
    dir.Write("Mixed Case/Docs.PDF", "");
    EXPECT_EQ(files.NameOnDisk(folder + "docs.pdf"), folder + "Docs.PDF");
    EXPECT_EQ(files.NameOnDisk(folder + "absent.pdf"), folder + "absent.pdf");
    // The folder is never matched without regard to case.
    EXPECT_EQ(files.NameOnDisk(dir / "mixed case/docs.pdf"), dir / "mixed case/docs.pdf");
    // Of several spellings, an exact one first, otherwise always the same one.
    dir.Write("Mixed Case/DOCS.pdf", "");
    EXPECT_EQ(files.NameOnDisk(folder + "docs.pdf"), folder + "DOCS.pdf");
    dir.Write("Mixed Case/docs.pdf", "");
    EXPECT_EQ(files.NameOnDisk(folder + "docs.pdf"), folder + "docs.pdf");
}

TEST(PosixFileSystemTest, SplitsAtSlashesOnlyAndRefusesWhatDoesNotFit) {
    const std::string longest = "/" + std::string(253, 'd') + "/";  // with its NUL, 256 bytes
    const struct {
        std::string path;
        std::string split;  // drive|dir|fname|ext; empty: refused
    } cases[] = {
        {"/home/u/Docs/docs.pdf", "|/home/u/Docs/|docs|.pdf"},
        {"/docs.pdf", "|/|docs|.pdf"},
        {"/a.b/c\\d.e.pdf", "|/a.b/|c\\d.e|.pdf"},
        {"/x/noext", "|/x/|noext|"},
        {"C:\\docs.pdf", "||C:\\docs|.pdf"},
        {longest + "n.pdf", "|" + longest + "|n|.pdf"},
        {"/d" + longest + "n.pdf", ""},
        {"/" + std::string(256, 'n') + ".pdf", ""},
    };
    for (const auto& c : cases) {
        char drive[platform::kMaxDrive], dir[platform::kMaxDir], fname[platform::kMaxFname],
            ext[platform::kMaxExt];
        const bool fits =
            platform::PosixFileSystem().SplitPath(c.path.c_str(), drive, dir, fname, ext);
        EXPECT_EQ(fits ? std::string(drive) + "|" + dir + "|" + fname + "|" + ext : "", c.split)
            << c.path;
    }
}

// One line of at most 4096 bytes, naming a regular file; the message box writes to the console.
TEST(ConsoleUserInterfaceTest, TakesOneBoundedLineNamingARegularFile) {
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
        int result;
        std::string chosen;
        std::string written;  // after the first question
    } cases[] = {
        {pdf + "\n", 1, pdf, ""},
        {pdf + "\r\n", 1, pdf, ""},
        {"docs\n", 1, pdf, ""},  // relative to the folder shown, with the default extension
        {"", 2, "", ""},
        {"\n" + pdf + "\n", 2, "", ""},
        {dir / "gone.pdf" + "\n" + pdf, 1, pdf, dir / "gone.pdf" + retry},
        {dir / "folder.pdf" + "\n", 2, "", dir / "folder.pdf" + retry},
        {"pipe.pdf\n", 2, "", dir / "pipe.pdf" + retry},
        {pdf + '\0' + "x\n", 2, "", pdf + '\0' + "x" + retry},
        {longest + "\n", 2, "", dir / (longest + ".pdf") + retry},
        {longest + "x\n" + pdf + "\n", 2, "", tooLong},
        {std::string(1 << 16, '\0'), 2, "", tooLong},  // as from /dev/zero
    };
    for (const auto& c : cases) {
        std::FILE* in = c.input.empty()
                            ? std::fopen("/dev/null", "r")
                            : fmemopen(const_cast<char*>(c.input.data()), c.input.size(), "r");
        std::FILE* out = std::tmpfile();
        CString chosen;
        EXPECT_EQ(platform::ConsoleUserInterface(in, out).ShowFileOpen(
                      {"Can't find /x/docs.pdf.", "", "", "pdf", "", dir.Path().string()}, &chosen),
                  c.result)
            << c.input;
        EXPECT_LE(std::ftell(in), 4097) << "read past the longest answer";
        std::fclose(in);
        EXPECT_EQ(ReadAll(out), title + c.written) << c.input;
        EXPECT_EQ(chosen, c.chosen) << c.input;
    }
    std::FILE* out = std::tmpfile();
    EXPECT_EQ(platform::ConsoleUserInterface(stdin, out).MessageBox("Two\nlines 100%", "Error", 0),
              1);
    EXPECT_EQ(ReadAll(out), "Error: Two\nlines 100%\n");
}

// A desktop step that notes its name when asked, and shows the dialog unless it is unavailable.
struct FakeStep : platform::UserInterface {
    FakeStep(const char* name, std::string* log, const std::string& unavailable)
        : m_name(name), m_log(log), m_available(unavailable.find(name) == std::string::npos) {}
    int MessageBox(const CString&, const CString&, unsigned) override { return Answer(); }
    int ShowFileOpen(const platform::FileOpenRequest&, CString*) override { return Answer(); }
    int Answer() {
        *m_log += m_name + " ";
        return m_available ? platform::kDialogConfirmed : platform::kDialogUnavailable;
    }
    std::string m_name;
    std::string* m_log;
    bool m_available;
};

int g_sessionChecks = 0;
bool g_sessionPresent = true;
bool SessionPresent() {
    ++g_sessionChecks;
    return g_sessionPresent;
}

TEST(DesktopUserInterfaceTest, ChoosesTheFirstStepThatShowsTheDialog) {
    const std::string gone =
        "suitehelp: SUITEHELP_UI=zenity is not available; using the console.\n";
    const struct {
        const char* mode;
        bool session;
        std::string unavailable;  // names of the steps that cannot show it
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
        FakeStep gtk("gtk", &log, c.unavailable), zenity("zenity", &log, c.unavailable),
            kdialog("kdialog", &log, c.unavailable);
        std::FILE* in = std::fopen("/dev/null", "r");
        std::FILE* err = std::tmpfile();
        g_sessionChecks = 0;
        g_sessionPresent = c.session;
        platform::DesktopUserInterface ui(
            in, err, c.mode, {{"gtk", &gtk}, {"zenity", &zenity}, {"kdialog", &kdialog}},
            SessionPresent);
        EXPECT_EQ(g_sessionChecks, 0) << "checked before a dialog was needed";
        CString chosen;
        ui.ShowFileOpen({"title", "", "", "", "", ""}, &chosen);
        ui.MessageBox("x", "T", 0);
        std::fclose(in);
        const std::string mode = c.mode ? c.mode : "(unset)";
        EXPECT_EQ(log, c.tried) << mode << " " << c.unavailable;
        EXPECT_EQ(ReadAll(err), c.err) << mode << " " << c.unavailable;
        EXPECT_EQ(g_sessionChecks, mode == "console" ? 0 : 1) << mode;
    }
    // The real steps go by the names SUITEHELP_UI gives them.
    unsetenv("DISPLAY");
    unsetenv("WAYLAND_DISPLAY");
    for (const std::string mode : {"gtk", "zenity", "kdialog"}) {
        std::FILE* err = std::tmpfile();
        platform::DesktopUserInterface(stdin, err, mode.c_str()).MessageBox("x", "T", 0);
        EXPECT_EQ(ReadAll(err), "T: x\nsuitehelp: SUITEHELP_UI=" + mode +
                                    " is not available; using the console.\n");
    }
}

// GTK ends the process when its file chooser's settings schema is missing: without the schema
// it is not even loaded.
TEST(GtkUserInterfaceTest, UnavailableWithoutTheFileChoosersSchema) {
    support::TempFolder noSchemas;
    const std::string dataDirs = std::getenv("XDG_DATA_DIRS") ? std::getenv("XDG_DATA_DIRS") : "";
    setenv("XDG_DATA_DIRS", noSchemas.Path().c_str(), 1);
    unsetenv("GSETTINGS_SCHEMA_DIR");
    CString chosen;
    EXPECT_EQ(platform::GtkUserInterface(stderr).ShowFileOpen({}, &chosen),
              platform::kDialogUnavailable);
    EXPECT_EQ(dlopen("libgtk-3.so.0", RTLD_LAZY | RTLD_NOLOAD), nullptr);
    setenv("XDG_DATA_DIRS", dataDirs.c_str(), 1);
}

// The zenity and kdialog steps against a stand-in script: the arguments of its first call, and
// how its output and exit are read.
TEST(DialogToolTest, PassesTheRequestAndReadsTheExit) {
    const std::string text = "a <b>\\n</b> &amp;\nb";
    const std::string zenityInfo = "zenity#--info#--no-markup#--title=Cap#--text=" + text + "#";
    const std::string kdialogOpen =
        "kdialog#--title=T#--getopenfilename#{dir}/*.pdf#pdf Files (*.pdf)#";
    const struct {
        const char* script;  // after the call is noted; "{dir}" stands for the folder; null: none
        bool open;           // the File-Open dialog, else a message box
        int result;
        const char* chosen;
        std::string call;  // each argument followed by '#'
        const char* notes = "";
    } cases[] = {
        {"exit 1", false, 1, "", zenityInfo},
        {"exit 255", false, -1, "", zenityInfo},
        {"exit 0", false, 1, "",
         "kdialog#--title=Cap#--msgbox=<qt><p style=\"white-space:pre-wrap\">"
         "a &lt;b&gt;\\n&lt;/b&gt; &amp;amp;<br>b</p></qt>#"},
        {"[ -e \"$0.again\" ] && echo {dir}/docs || { : >\"$0.again\"; echo {dir}/gone; }", true, 1,
         "{dir}/docs.pdf",
         "zenity#--file-selection#--title=T#--file-filter=pdf Files (*.pdf) | *.[pP][dD][fF]#"
         "--filename={dir}/#",
         "{dir}/gone.pdf: no such file.\n"},
        {"echo {dir}/docs.pdf", true, 1, "{dir}/docs.pdf", kdialogOpen},
        {"kill -9 $$", true, -1, "", kdialogOpen},
        {nullptr, true, -1, "", "kdialog"},  // not installed
    };
    for (const auto& c : cases) {
        support::TempFolder dir;
        const support::Substitutions where{{"{dir}", dir.Path().string()}};
        dir.Write("docs.pdf", "%PDF-1.4\n");
        const std::string name = c.call.substr(0, c.call.find('#'));
        const std::string tool = dir / ("bin/" + name);
        if (c.script != nullptr) {
            support::WriteFile(
                tool,
                "#!/bin/sh\n[ -e \"$0.call\" ] || printf '%s#' \"${0##*/}\" \"$@\" >\"$0.call\"\n" +
                    support::Expand(c.script, where) + "\n");
            ASSERT_EQ(chmod(tool.c_str(), 0700), 0);
        }
        const std::string path = std::getenv("PATH");
        setenv("PATH", (dir / "bin").c_str(), 1);
        std::FILE* notes = std::tmpfile();
        platform::DialogToolUserInterface ui(
            name == "zenity" ? DialogTool::kZenity : DialogTool::kKdialog, notes);
        CString chosen;
        const int result = c.open ? ui.ShowFileOpen({"T", "pdf Files (*.pdf)", "*.pdf", "pdf",
                                                     "*.pdf", dir.Path().string()},
                                                    &chosen)
                                  : ui.MessageBox(text, "Cap", 0);
        setenv("PATH", path.c_str(), 1);
        EXPECT_EQ(result, c.result) << c.call;
        EXPECT_EQ(chosen, support::Expand(c.chosen, where)) << c.call;
        EXPECT_EQ(support::ReadFile(tool + ".call"),
                  c.script ? support::Expand(c.call, where) : "");
        EXPECT_EQ(ReadAll(notes), support::Expand(c.notes, where)) << c.call;
    }
}

// A listening unix socket, abstract when the name starts with '@'.
int Listen(const std::string& name) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name[0] == '@') {
        address.sun_path[0] = '\0';
    }
    const int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 || listen(fd, 4) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

TEST(GraphicalSessionTest, NeedsAServerThatAnswersInTime) {
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
