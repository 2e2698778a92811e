#include <gtest/gtest.h>

#include "app/main_window.h"
#include "docs/document_launcher.h"
#include "tests/fakes/fake_platform.h"

namespace {

class DocumentLauncherTest : public testing::Test {
  protected:
    void SetUp() override {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        window.m_strProductId = "SUITE";
        window.m_strDocFile = "DOCS.PDF";
        fakes.files.AddFile("C:\\Suite\\Docs\\docs.pdf");
    }

    FakePlatform fakes;
    CMainWindow window;
};

TEST_F(DocumentLauncherTest, HandsTheFullPathOverOnceAndReportsAFailureOnce) {
    EXPECT_EQ(window.LaunchDocument(), 1);
    EXPECT_EQ(fakes.shell.opened, (std::vector<CString>{"C:\\Suite\\Docs\\docs.pdf"}));
    EXPECT_TRUE(fakes.ui.dialogs.empty());
    EXPECT_TRUE(fakes.ui.messages.empty());

    fakes.shell.result = 2;
    EXPECT_EQ(window.LaunchDocument(), 1);
    EXPECT_EQ(fakes.shell.opened.size(), 2u);
    EXPECT_EQ(
        fakes.ui.messages,
        (std::vector<ShownMessage>{{"The specified file C:\\Suite\\Docs\\docs.pdf was not found.",
                                    "suitehelp-tests", 0}}));
}

TEST_F(DocumentLauncherTest, NothingIsOpenedWhenTheDocumentCannotBeLocated) {
    window.m_strProductId = "unknown";
    EXPECT_EQ(window.LaunchDocument(), 1);
    EXPECT_TRUE(fakes.shell.opened.empty());
    EXPECT_TRUE(fakes.ui.messages.empty());
}

TEST_F(DocumentLauncherTest, OpensFromTheFolderJustChosen) {
    fakes.registry.docsDirs["suite"] = "C:\\Moved";
    fakes.files.AddFile("E:\\New Place\\Docs.PDF");
    fakes.ui.dialogResult = platform::DialogResult::Confirmed;
    fakes.ui.dialogPath = "E:\\New Place\\Docs.PDF";
    EXPECT_EQ(window.LaunchDocument(), 1);
    EXPECT_EQ(fakes.shell.opened, (std::vector<CString>{"E:\\New Place\\docs.pdf"}));
    EXPECT_TRUE(fakes.ui.messages.empty());
}

struct ResultCase {
    int result;
    const char* docFile;
    const char* message;
};

class ShellResultTest : public testing::TestWithParam<ResultCase> {};

TEST_P(ShellResultTest, ShowsTheMessageForTheResult) {
    const CString fullPath = CString("C:\\100%1 Done\\") + GetParam().docFile;
    EXPECT_EQ(docs::ShellResultMessage(GetParam().result, GetParam().docFile, fullPath),
              GetParam().message)
        << "result " << GetParam().result << ", " << GetParam().docFile;
}

constexpr char kDefault[] = "Error occurred in excecuting the application";
constexpr char kNoReader[] =
    "Acrobat Reader is not installed.\nPlease install Acrobat Reader before executing this "
    "operation.";

// The path holds "%1" and "%." of its own: they are shown as they stand.
INSTANTIATE_TEST_SUITE_P(
    Cases, ShellResultTest,
    testing::Values(
        ResultCase{0, "docs.pdf", "The operating system is out of memory or resources."},
        ResultCase{2, "docs.pdf", "The specified file C:\\100%1 Done\\docs.pdf was not found."},
        ResultCase{3, "docs.pdf", "The specified file C:\\100%1 Done\\docs.pdf was not found."},
        ResultCase{11, "%.pdf", "The specified file C:\\100%1 Done\\%.pdf is invalid."},
        ResultCase{5, "docs.pdf",
                   "The operating system denied access to the specified file.\n"
                   "File Name: C:\\100%1 Done\\docs.pdf."},
        ResultCase{27, "docs.pdf",
                   "The file name association is incomplete or invalid.\n"
                   "File Name: C:\\100%1 Done\\docs.pdf."},
        ResultCase{31, "DOCS.PDF", kNoReader}, ResultCase{31, "docs.pdf", kNoReader},
        ResultCase{31, "manual.pdf.bak", kNoReader},
        ResultCase{31, "docs.txt",
                   "There is no application associated with the given file name extension.\n"
                   "File Name: C:\\100%1 Done\\docs.txt."},
        ResultCase{31, ".pdf.pdf",
                   "There is no application associated with the given file name extension.\n"
                   "File Name: C:\\100%1 Done\\.pdf.pdf."},
        ResultCase{8, "docs.pdf", "There was not enough memory to complete the operation."},
        ResultCase{26, "docs.pdf",
                   "A sharing violation occurred.\nFile Name: C:\\100%1 Done\\docs.pdf."},
        ResultCase{1, "docs.pdf", kDefault}, ResultCase{28, "docs.pdf", kDefault},
        ResultCase{29, "docs.pdf", kDefault}, ResultCase{30, "docs.pdf", kDefault},
        ResultCase{32, "docs.pdf", kDefault}, ResultCase{-5, "docs.pdf", kDefault},
        ResultCase{33, "docs.pdf", ""}, ResultCase{42, "docs.pdf", ""}));

}  // namespace
