#include <gtest/gtest.h>

#include "app/main_window.h"
#include "document/document_launcher.h"
#include "support/files.h"
#include "tests/fakes/fake_platform.h"

namespace {

// The session asks for the moved document, stores its folder, locates it again and opens it from
// there; a launch whose own locate fails opens nothing more.
TEST(SessionTest, OpensFromTheFolderJustChosen) {
    FakePlatform fakes;
    const support::TempFolder dir;
    fakes.registry.docsDirs["suite"] = "C:\\Moved";
    fakes.files.AddFile("E:\\New Place\\Manual.PDF");
    fakes.ui.chosen = "E:\\New Place\\Manual.PDF";
    dir.Write("names.txt", "MANUAL.PDF\r\n");
    const std::string tail =
        "-vellum \"" + dir.Write("help.cfg", dir / "names.txt" + "\r\nskipped\r\nSuite\r\n") + "\"";
    CMainWindow session(tail.c_str());
    EXPECT_EQ(fakes.registry.calls,
              (std::vector<CString>{"init Suite", "get DocsDir", "set DocsDir E:\\New Place",
                                    "init Suite", "get DocsDir"}));
    EXPECT_EQ(session.LaunchDocument(), 1);  // found there now, and opened again
    fakes.registry.docsDirs.clear();         // the launcher's own locate fails: nothing more
    EXPECT_EQ(session.LaunchDocument(), 1);
    EXPECT_EQ(fakes.shell.opened, (std::vector<CString>(2, "E:\\New Place\\manual.pdf")));
    EXPECT_TRUE(fakes.ui.messages.empty());
}

// The path holds "%1" and "%." of its own: they are shown as they stand.
TEST(ShellResultTest, ShowsTheMessageForTheResult) {
    const char* const noReader =
        "Acrobat Reader is not installed.\nPlease install Acrobat Reader before executing this "
        "operation.";
    const char* const noApplication =
        "There is no application associated with the given file name extension.\n";
    const char* const failed = "Error occurred in excecuting the application";
    // The shell's result, the document's name and the message.
    const std::tuple<int, const char*, std::string> cases[] = {
        // clang-format off
        {0, "docs.pdf", "The operating system is out of memory or resources."},
        {2, "docs.pdf", "The specified file C:\\100%1 Done\\docs.pdf was not found."},
        {3, "docs.pdf", "The specified file C:\\100%1 Done\\docs.pdf was not found."},
        {11, "%.pdf", "The specified file C:\\100%1 Done\\%.pdf is invalid."},
        {5, "docs.pdf", "The operating system denied access to the specified file.\n"
                        "File Name: C:\\100%1 Done\\docs.pdf."},
        {27, "docs.pdf", "The file name association is incomplete or invalid.\n"
                         "File Name: C:\\100%1 Done\\docs.pdf."},
        {31, "DOCS.PDF", noReader}, {31, "docs.pdf", noReader}, {31, "manual.pdf.bak", noReader},
        {31, "docs.txt", noApplication + std::string("File Name: C:\\100%1 Done\\docs.txt.")},
        {31, ".pdf.pdf", noApplication + std::string("File Name: C:\\100%1 Done\\.pdf.pdf.")},
        {8, "docs.pdf", "There was not enough memory to complete the operation."},
        {26, "docs.pdf", "A sharing violation occurred.\nFile Name: C:\\100%1 Done\\docs.pdf."},
        {1, "docs.pdf", failed}, {29, "docs.pdf", failed}, {32, "docs.pdf", failed},
        {-5, "docs.pdf", failed}, {33, "docs.pdf", ""}, {42, "docs.pdf", ""},
        // clang-format on
    };
    for (const auto& [result, docFile, message] : cases) {
        const CString fullPath = CString("C:\\100%1 Done\\") + docFile;
        EXPECT_EQ(document::ShellResultMessage(result, docFile, fullPath), message)
            << "result " << result << ", " << docFile;
    }
}

}  // namespace
