#include <gtest/gtest.h>

#include "app/main_window.h"
#include "app/the_app.h"
#include "platform/entry.h"
#include "tests/fakes/fake_platform.h"
#include "tests/fakes/temp_dir.h"

namespace {

class SessionTest : public testing::Test {
  protected:
    void SetUp() override {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        fakes.files.AddFile("C:\\Suite\\Docs\\manual.pdf");
        dir.Write("names.txt", "MANUAL.PDF\r\n");
        config = dir.Write("help.cfg", dir / "names.txt" + "\r\nskipped\r\nSuite\r\n");
    }

    FakePlatform fakes;
    TempDir dir;
    std::string config;
};

TEST_F(SessionTest, OneLaunchRunsTheWholeSessionAndEndsWithoutMessageLoop) {
    CTheApp app;
    const std::string tail = "-vellum \"" + config + "\"";
    EXPECT_EQ(AfxWinMain("suitehelp", tail.c_str()), 0);
    EXPECT_STREQ(app.m_pszAppName, "suitehelp");
    ASSERT_NE(app.m_pMainWnd, nullptr);
    const auto* session = static_cast<CMainWindow*>(app.m_pMainWnd);
    EXPECT_EQ(session->m_strProductId, "Suite");
    EXPECT_EQ(fakes.shell.opened, (std::vector<CString>{"C:\\Suite\\Docs\\manual.pdf"}));
    EXPECT_TRUE(fakes.ui.dialogs.empty());
    EXPECT_TRUE(fakes.ui.messages.empty());
}

TEST_F(SessionTest, MessagesAreCaptionedWithTheExecutableName) {
    CTheApp app;
    fakes.shell.result = 2;
    const std::string tail = "-dax " + config;
    AfxWinMain("suitehelp", tail.c_str());
    ASSERT_EQ(fakes.ui.messages.size(), 1u);
    EXPECT_EQ(fakes.ui.messages[0].caption, "suitehelp");
    EXPECT_EQ(fakes.shell.opened.size(), 1u);  // no second attempt after a failure
}

TEST_F(SessionTest, LaunchIsSkippedWhenTheDocumentIsNotLocated) {
    fakes.ui.dialogResult = platform::DialogResult::Cancelled;
    const std::string tail = "-vellum " + config;
    fakes.files = WindowsFileSystem{};  // the document is gone
    CMainWindow session(tail.c_str());
    EXPECT_EQ(fakes.ui.dialogs.size(), 1u);
    EXPECT_TRUE(fakes.shell.opened.empty());
    EXPECT_TRUE(fakes.ui.messages.empty());
}

TEST_F(SessionTest, EmptyTailStillLocatesWithAnEmptyProduct) {
    CMainWindow session("");
    EXPECT_EQ(fakes.registry.calls, (std::vector<CString>{"init "}));
    EXPECT_EQ(session.m_strDocFile, "DOCS.PDF");
    EXPECT_TRUE(fakes.shell.opened.empty());
}

TEST_F(SessionTest, EachRunLocatesTwiceAndOpensOnce) {
    const std::string tail = "-vellum " + config;
    CMainWindow session(tail.c_str());
    EXPECT_EQ(fakes.registry.calls,
              (std::vector<CString>{"init Suite", "get DocsDir", "init Suite", "get DocsDir"}));
    EXPECT_EQ(fakes.shell.opened.size(), 1u);
}

}  // namespace
