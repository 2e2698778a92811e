#include <gtest/gtest.h>

#include "app/main_window.h"
#include "tests/fakes/fake_platform.h"

namespace {

class DocumentLauncherTest : public testing::Test {
  protected:
    void SetUp() override {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        window.m_strProductId = "SUITE";
        window.m_strDocFile = "DOCS.PDF";
        fakes.files.AddFile("C:\\Suite\\Docs\\docs.pdf");
        fakes.files.AddFile("C:\\Suite\\Docs\\docs.txt");
        fakes.files.AddFile("C:\\Suite\\Docs\\.pdf");
    }

    // The one message shown, or "" when none was.
    CString LaunchAndMessage() {
        EXPECT_EQ(window.LaunchDocument(), 1);
        EXPECT_LE(fakes.ui.messages.size(), 1u);
        if (fakes.ui.messages.empty()) {
            return "";
        }
        EXPECT_EQ(fakes.ui.messages[0].caption, "suitehelp-tests");
        EXPECT_EQ(fakes.ui.messages[0].type, 0u);
        return fakes.ui.messages[0].text;
    }

    FakePlatform fakes;
    CMainWindow window{""};
};

TEST_F(DocumentLauncherTest, HandsTheFullPathOverOnce) {
    EXPECT_EQ(LaunchAndMessage(), "");
    EXPECT_EQ(fakes.shell.opened, (std::vector<CString>{"C:\\Suite\\Docs\\docs.pdf"}));
    EXPECT_TRUE(fakes.ui.dialogs.empty());
}

TEST_F(DocumentLauncherTest, NothingIsOpenedWhenTheDocumentCannotBeLocated) {
    window.m_strProductId = "unknown";
    EXPECT_EQ(LaunchAndMessage(), "");
    EXPECT_TRUE(fakes.shell.opened.empty());
}

struct ResultCase {
    int result;
    const char* docFile;
    const char* message;
};

class ShellResultTest : public DocumentLauncherTest,
                        public testing::WithParamInterface<ResultCase> {};

TEST_P(ShellResultTest, ShowsTheMessageForTheResult) {
    window.m_strDocFile = GetParam().docFile;
    fakes.shell.result = GetParam().result;
    EXPECT_EQ(LaunchAndMessage(), GetParam().message)
        << "result " << GetParam().result << ", " << GetParam().docFile;
    EXPECT_EQ(fakes.shell.opened.size(), 1u);
}

constexpr char kDefault[] = "Error occurred in excecuting the application";

INSTANTIATE_TEST_SUITE_P(
    Cases, ShellResultTest,
    testing::Values(
        ResultCase{0, "docs.pdf", "The operating system is out of memory or resources."},
        ResultCase{2, "docs.pdf", "The specified file C:\\Suite\\Docs\\docs.pdf was not found."},
        ResultCase{3, "docs.pdf", "The specified file C:\\Suite\\Docs\\docs.pdf was not found."},
        ResultCase{11, "docs.pdf", "The specified file C:\\Suite\\Docs\\docs.pdf is invalid."},
        ResultCase{5, "docs.pdf",
                   "The operating system denied access to the specified file.\n"
                   "File Name: C:\\Suite\\Docs\\docs.pdf."},
        ResultCase{27, "docs.pdf",
                   "The file name association is incomplete or invalid.\n"
                   "File Name: C:\\Suite\\Docs\\docs.pdf."},
        ResultCase{31, "DOCS.PDF",
                   "Acrobat Reader is not installed.\n"
                   "Please install Acrobat Reader before executing this operation."},
        ResultCase{31, "docs.txt",
                   "There is no application associated with the given file name extension.\n"
                   "File Name: C:\\Suite\\Docs\\docs.txt."},
        ResultCase{31, ".pdf",
                   "There is no application associated with the given file name extension.\n"
                   "File Name: C:\\Suite\\Docs\\.pdf."},
        ResultCase{8, "docs.pdf", "There was not enough memory to complete the operation."},
        ResultCase{26, "docs.pdf",
                   "A sharing violation occurred.\nFile Name: C:\\Suite\\Docs\\docs.pdf."},
        ResultCase{1, "docs.pdf", kDefault}, ResultCase{28, "docs.pdf", kDefault},
        ResultCase{29, "docs.pdf", kDefault}, ResultCase{30, "docs.pdf", kDefault},
        ResultCase{32, "docs.pdf", kDefault}, ResultCase{-5, "docs.pdf", kDefault},
        ResultCase{33, "docs.pdf", ""}, ResultCase{42, "docs.pdf", ""}));

TEST_F(DocumentLauncherTest, NameTestTakesTheFirstOccurrenceOnly) {
    struct {
        const char* docFile;
        bool acrobat;
    } cases[] = {{"manual.pdf.bak", true}, {".pdf.pdf", false}, {"x.pdf", true}};
    for (const auto& c : cases) {
        fakes.files.AddFile(CString("C:\\Suite\\Docs\\") + c.docFile);
        window.m_strDocFile = c.docFile;
        fakes.shell.result = 31;
        fakes.ui.messages.clear();
        const CString message = LaunchAndMessage();
        EXPECT_EQ(message.rfind("Acrobat", 0) == 0, c.acrobat) << c.docFile;
    }
}

TEST_F(DocumentLauncherTest, PathIsShownAsItStandsAndKeepsTheFolderCase) {
    fakes.registry.docsDirs["suite"] = "C:\\100%1 Done\\%.";
    fakes.files.AddFile("C:\\100%1 Done\\%.\\docs.pdf");
    fakes.shell.result = 2;
    EXPECT_EQ(LaunchAndMessage(), "The specified file C:\\100%1 Done\\%.\\docs.pdf was not found.");
}

TEST_F(DocumentLauncherTest, OpensFromTheFolderJustChosen) {
    fakes.registry.docsDirs["suite"] = "C:\\Moved";
    fakes.files.AddFile("E:\\New Place\\Docs.PDF");
    fakes.ui.dialogResult = IDOK;
    fakes.ui.dialogPath = "E:\\New Place\\Docs.PDF";
    EXPECT_EQ(LaunchAndMessage(), "");
    EXPECT_EQ(fakes.shell.opened, (std::vector<CString>{"E:\\New Place\\docs.pdf"}));
}

}  // namespace
