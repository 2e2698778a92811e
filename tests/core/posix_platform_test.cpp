#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "app/command_line.h"
#include "platform/file.h"
#include "platform/posix/command_tail.h"
#include "platform/posix/console_ui.h"
#include "platform/posix/desktop_ui.h"
#include "platform/posix/dialog_support.h"
#include "platform/posix/file_system.h"
#include "platform/posix/graphical_session.h"
#include "tests/fakes/temp_dir.h"

namespace {

TEST(CommandTailTest, CarriesArgumentsThroughTheTokenizer) {
    const std::vector<std::vector<std::string>> cases = {
        {"-vellum", "/tmp/help.cfg"},
        {"-dax", "/home/a user/My Help/help.cfg"},
        {"-vellum", ""},
        {"-vellum", "tab\there", "new\nline"},
        {"a\"b", "back\\slash"},
    };
    for (const auto& arguments : cases) {
        std::vector<char*> argv{const_cast<char*>("suitehelp")};
        for (const auto& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        const CString tail = platform::CommandTail(static_cast<int>(argv.size()), argv.data());
        CommandLine split = SplitCommandLine(tail.c_str());
        EXPECT_EQ(std::vector<std::string>(split.Arguments(), split.Arguments() + split.Count()),
                  arguments)
            << tail;
    }
}

// Exits with 0 when the open is refused; an open that blocks ends with the alarm.
[[noreturn]] void ExitAfterOpening(const std::string& path) {
    alarm(5);
    try {
        CFile file;
        file.Open(path.c_str(), CFile::modeRead | CFile::shareExclusive);
    } catch (const CFileException&) {
        std::_Exit(0);
    }
    std::_Exit(1);
}

TEST(PosixFileTest, RefusesAnythingButARegularFileWithoutWaiting) {
    TempDir dir;
    const std::string fifo = dir / "help.cfg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/zero")}) {
        EXPECT_EXIT(ExitAfterOpening(path), testing::ExitedWithCode(0), "") << path;
    }
}

class PosixFileSystemTest : public testing::Test {
  protected:
    platform::PosixFileSystem files;
    TempDir dir;
};

TEST_F(PosixFileSystemTest, FindsTheDocumentWhateverTheCaseOfItsName) {
    std::filesystem::create_directory(dir / "Mixed Case");
    dir.Write("Mixed Case/Docs.PDF", "%PDF-1.4\n");
    const CString folder = dir / "Mixed Case";
    EXPECT_EQ(files.NameOnDisk(folder + "/docs.pdf"), folder + "/Docs.PDF");
    EXPECT_EQ(files.Access(files.NameOnDisk(folder + "/docs.pdf").c_str()), 0);
    // The folder is never matched without regard to case.
    EXPECT_NE(files.Access(files.NameOnDisk(dir / "mixed case/docs.pdf").c_str()), 0);
    EXPECT_EQ(files.NameOnDisk(folder + "/absent.pdf"), folder + "/absent.pdf");

    // Of several spellings, an exact one first, otherwise always the same one.
    dir.Write("Mixed Case/DOCS.pdf", "");
    EXPECT_EQ(files.NameOnDisk(folder + "/docs.pdf"), folder + "/DOCS.pdf");
    dir.Write("Mixed Case/docs.pdf", "");
    EXPECT_EQ(files.NameOnDisk(folder + "/docs.pdf"), folder + "/docs.pdf");
}

TEST_F(PosixFileSystemTest, SplitsWithSlashOnly) {
    struct {
        const char* path;
        const char* dir;
        const char* fname;
        const char* ext;
    } cases[] = {
        {"/home/u/Docs/docs.pdf", "/home/u/Docs/", "docs", ".pdf"},
        {"/docs.pdf", "/", "docs", ".pdf"},
        {"/a.b/c\\d.e.pdf", "/a.b/", "c\\d.e", ".pdf"},
        {"/x/noext", "/x/", "noext", ""},
        {"C:\\docs.pdf", "", "C:\\docs", ".pdf"},
    };
    for (const auto& c : cases) {
        char drive[platform::kMaxDrive], d[platform::kMaxDir], f[platform::kMaxFname],
            e[platform::kMaxExt];
        ASSERT_TRUE(files.SplitPath(c.path, drive, d, f, e)) << c.path;
        EXPECT_STREQ(drive, "");
        EXPECT_STREQ(d, c.dir);
        EXPECT_STREQ(f, c.fname);
        EXPECT_STREQ(e, c.ext);
    }
    char drive[platform::kMaxDrive], d[platform::kMaxDir], f[platform::kMaxFname],
        e[platform::kMaxExt];
    EXPECT_TRUE(files.SplitPath(("/" + std::string(253, 'd') + "/n.pdf").c_str(), drive, d, f, e));
    EXPECT_FALSE(files.SplitPath(("/" + std::string(254, 'd') + "/n.pdf").c_str(), drive, d, f, e));
    EXPECT_FALSE(files.SplitPath(("/" + std::string(256, 'n') + ".pdf").c_str(), drive, d, f, e));
}

class ConsoleUserInterfaceTest : public testing::Test {
  protected:
    // Runs the dialog on the typed input; returns what it wrote.
    std::string Ask(const std::string& input, int* result, CString* chosen) {
        std::FILE* in = fmemopen(const_cast<char*>(input.data()), input.size(), "r");
        if (input.empty()) {
            in = std::fopen("/dev/null", "r");
        }
        std::FILE* out = std::tmpfile();
        platform::ConsoleUserInterface console(in, out);
        platform::FileOpenRequest request;
        request.title = "Can't find /x/docs.pdf. Specify the path for docs.pdf.";
        request.defaultExt = "pdf";
        request.initialDir = dir.path().string();
        *result = console.ShowFileOpen(request, chosen);
        EXPECT_LE(std::ftell(in), 4097) << "read past the longest answer";
        std::fclose(in);
        return ReadAll(out);
    }

    static std::string ReadAll(std::FILE* out) {
        std::rewind(out);
        std::string text;
        for (int c; (c = std::fgetc(out)) != EOF;) {
            text += static_cast<char>(c);
        }
        std::fclose(out);
        return text;
    }

    TempDir dir;
};

TEST_F(ConsoleUserInterfaceTest, MessageBoxWritesCaptionAndText) {
    std::FILE* out = std::tmpfile();
    platform::ConsoleUserInterface console(stdin, out);
    EXPECT_EQ(console.MessageBox("Two\nlines 100%", "Error", 0), 1);
    EXPECT_EQ(ReadAll(out), "Error: Two\nlines 100%\n");
}

TEST_F(ConsoleUserInterfaceTest, DialogTakesARegularFile) {
    const std::string title = "Can't find /x/docs.pdf. Specify the path for docs.pdf.\n";
    const std::string pdf = dir.Write("docs.pdf", "%PDF-1.4\n");
    std::filesystem::create_directory(dir / "folder.pdf");
    ASSERT_EQ(mkfifo((dir / "pipe.pdf").c_str(), 0600), 0);
    const std::string retry = ": no such file; type another path, or an empty line to cancel.\n";
    const std::string tooLong =
        "suitehelp: an answer of more than 4096 bytes names no file; cancelled.\n";
    struct {
        std::string input;
        int result;
        std::string chosen;
        std::string written;
    } cases[] = {
        {pdf + "\n", 1, pdf, title},
        {pdf + "\r\n", 1, pdf, title},
        {"docs\n", 1, pdf, title},  // relative to the folder shown, with the default extension
        {"", 2, "", title},
        {"\n" + pdf + "\n", 2, "", title},
        {dir / "gone.pdf" + "\n" + pdf, 1, pdf,
         title + dir / "gone.pdf" +
             ": no such file; type another path, or an empty line to cancel.\n" + title},
        {dir / "folder.pdf" + "\n", 2, "", title + dir / "folder.pdf" + retry + title},
        {"pipe.pdf\n", 2, "", title + dir / "pipe.pdf" + retry + title},
        {pdf + '\0' + "x\n", 2, "", title + pdf + '\0' + "x" + retry + title},
        {std::string(4096, 'x') + "\n", 2, "",
         title + dir / (std::string(4096, 'x') + ".pdf") + retry + title},
        {std::string(4097, 'x') + "\n" + pdf + "\n", 2, "", title + tooLong},
        {std::string(1 << 16, '\0'), 2, "", title + tooLong},  // as from /dev/zero
    };
    for (const auto& c : cases) {
        int result = 0;
        CString chosen;
        EXPECT_EQ(Ask(c.input, &result, &chosen), c.written) << c.input;
        EXPECT_EQ(result, c.result) << c.input;
        EXPECT_EQ(chosen, c.chosen) << c.input;
    }
}

// The desktop steps as fakes: each notes its name when asked and shows the dialog unless it is
// unavailable.
class FakeStep : public platform::UserInterface {
  public:
    FakeStep(const char* name, std::string* log, bool available)
        : m_name(name), m_log(log), m_available(available) {}
    int MessageBox(const CString&, const CString&, unsigned) override { return Answer(); }
    int ShowFileOpen(const platform::FileOpenRequest&, CString* chosen) override {
        *chosen = m_name;
        return Answer();
    }

  private:
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

class DesktopUserInterfaceTest : public ConsoleUserInterfaceTest {};

TEST_F(DesktopUserInterfaceTest, ChoosesTheFirstStepThatShowsTheDialog) {
    const std::string gone =
        "suitehelp: SUITEHELP_UI=zenity is not available; using the console.\n";
    struct {
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
        FakeStep gtk("gtk", &log, c.unavailable.find("gtk") == std::string::npos);
        FakeStep zenity("zenity", &log, c.unavailable.find("zenity") == std::string::npos);
        FakeStep kdialog("kdialog", &log, c.unavailable.find("kdialog") == std::string::npos);
        std::FILE* in = std::fopen("/dev/null", "r");
        std::FILE* err = std::tmpfile();
        g_sessionChecks = 0;
        g_sessionPresent = c.session;
        platform::DesktopUserInterface ui(
            in, err, c.mode, {{"gtk", &gtk}, {"zenity", &zenity}, {"kdialog", &kdialog}},
            SessionPresent);
        EXPECT_EQ(g_sessionChecks, 0) << "checked before a dialog was needed";
        platform::FileOpenRequest request;
        request.title = "title";
        CString chosen;
        ui.ShowFileOpen(request, &chosen);
        ui.MessageBox("x", "T", 0);
        std::fclose(in);
        const std::string mode = c.mode ? c.mode : "(unset)";
        EXPECT_EQ(log, c.tried) << mode << " " << c.unavailable;
        EXPECT_EQ(ReadAll(err), c.err) << mode << " " << c.unavailable;
        EXPECT_EQ(g_sessionChecks, std::string(c.mode ? c.mode : "") == "console" ? 0 : 1) << mode;
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
    using namespace std::chrono_literals;
    const auto present = [](const char* wayland, const char* runtime, const std::string& x) {
        return platform::GraphicalSessionPresent(wayland, runtime, x.c_str(), 300ms);
    };
    int number = 7000;
    int x = -1;
    while (x < 0 && number < 7100) {
        x = Listen("@/tmp/.X11-unix/X" + std::to_string(++number));
    }
    ASSERT_GE(x, 0);
    const std::string display = ":" + std::to_string(number) + ".0";

    // Connected but never answered: bounded by the timeout.
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(present(nullptr, nullptr, display));
    EXPECT_LT(std::chrono::steady_clock::now() - start, 1s);

    std::thread server([x] {
        char setup[12];
        // Until the socket is shut down.
        for (int client; (client = accept(x, nullptr, nullptr)) >= 0; close(client)) {
            // A refusal is an answer too.
            if (read(client, setup, sizeof setup) == sizeof setup) {
                send(client, "\0", 1, MSG_NOSIGNAL);
            }
        }
    });
    EXPECT_TRUE(present(nullptr, nullptr, display));
    EXPECT_TRUE(present(nullptr, nullptr, "unix" + display));
    EXPECT_FALSE(present(nullptr, nullptr, "remote.example" + display)) << "looked up a name";
    EXPECT_FALSE(present(nullptr, nullptr, "no display"));
    EXPECT_TRUE(present(nullptr, nullptr, "unix/" + display));
    shutdown(x, SHUT_RDWR);
    server.join();
    close(x);

    TempDir runtime;
    const int wayland = Listen(runtime / "wayland-7");
    EXPECT_TRUE(present("wayland-7", runtime.path().c_str(), ""));
    EXPECT_TRUE(present((runtime / "wayland-7").c_str(), nullptr, ""));
    close(wayland);
    EXPECT_FALSE(present("wayland-7", runtime.path().c_str(), "")) << "a stale socket";
    EXPECT_FALSE(present("wayland-7", nullptr, ""));
}

}  // namespace
