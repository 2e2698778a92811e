#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/the_app.h"
#include "document/document_launcher.h"
#include "platform/entry.h"
#include "support/files.h"
#include "tests/fakes/fake_platform.h"

namespace {

class SessionTest : public testing::Test {
  protected:
    void SetUp() override {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        fakes.files.AddFile("C:\\Suite\\Docs\\manual.pdf");
        dir.Write("names.txt", "MANUAL.PDF\r\n");
        tail = "-vellum \"" +
               dir.Write("help.cfg", dir / "names.txt" + "\r\nskipped\r\nSuite\r\n") + "\"";
    }

    FakePlatform fakes;
    support::TempFolder dir;
    std::string tail;
};

// One launch locates twice (once to decide, once to open) and opens once, with no message loop;
// a failure is captioned with the executable's name and not tried again.
TEST_F(SessionTest, OneLaunchRunsTheWholeSession) {
    for (const int result : {platform::kShellHandedOver, platform::kShellFileNotFound}) {
        CTheApp app;
        fakes.registry.calls.clear();
        fakes.shell.opened.clear();
        fakes.shell.result = result;
        EXPECT_EQ(AfxWinMain("suitehelp", tail.c_str()), 0);
        ASSERT_NE(app.m_pMainWnd, nullptr);
        EXPECT_EQ(static_cast<CMainWindow*>(app.m_pMainWnd)->m_strProductId, "Suite");
        EXPECT_EQ(fakes.registry.calls,
                  (std::vector<CString>{"init Suite", "get DocsDir", "init Suite", "get DocsDir"}));
        EXPECT_EQ(fakes.shell.opened, (std::vector<CString>{"C:\\Suite\\Docs\\manual.pdf"}));
    }
    EXPECT_EQ(
        fakes.ui.messages,
        (std::vector<ShownMessage>{
            {"The specified file C:\\Suite\\Docs\\manual.pdf was not found.", "suitehelp", 0}}));
}

TEST_F(SessionTest, NothingIsOpenedUnlessTheDocumentIsLocated) {
    fakes.files = WindowsFileSystem{};  // the document is gone, and the dialog is cancelled
    CMainWindow session(tail.c_str());
    EXPECT_EQ(fakes.ui.dialogs.size(), 1u);
    CMainWindow empty("");
    EXPECT_EQ(fakes.registry.calls.back(), "init ");
    EXPECT_EQ(empty.m_strDocFile, "DOCS.PDF");
    EXPECT_TRUE(fakes.shell.opened.empty());
    EXPECT_TRUE(fakes.ui.messages.empty());
}

TEST_F(SessionTest, OpensFromTheFolderJustChosen) {
    fakes.files.AddFile("E:\\New Place\\Manual.PDF");
    fakes.ui.chosen = "E:\\New Place\\Manual.PDF";
    fakes.registry.docsDirs["suite"] = "C:\\Moved";
    CMainWindow session(tail.c_str());
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
