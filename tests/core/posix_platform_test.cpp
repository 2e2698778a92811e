#include <gtest/gtest.h>

#include <cstdio>

#include "app/command_line.h"
#include "platform/posix/command_tail.h"
#include "platform/posix/console_ui.h"
#include "platform/posix/file_system.h"
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

TEST_F(ConsoleUserInterfaceTest, DialogTakesAnExistingFile) {
    const std::string title = "Can't find /x/docs.pdf. Specify the path for docs.pdf.\n";
    const std::string pdf = dir.Write("docs.pdf", "%PDF-1.4\n");
    std::filesystem::create_directory(dir / "folder.pdf");
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
        {dir / "folder.pdf" + "\n", 2, "",
         title + dir / "folder.pdf" +
             ": no such file; type another path, or an empty line to cancel.\n" + title},
    };
    for (const auto& c : cases) {
        int result = 0;
        CString chosen;
        EXPECT_EQ(Ask(c.input, &result, &chosen), c.written) << c.input;
        EXPECT_EQ(result, c.result) << c.input;
        EXPECT_EQ(chosen, c.chosen) << c.input;
    }
}

}  // namespace
