#include <gtest/gtest.h>

#include "app/main_window.h"
#include "tests/fakes/fake_platform.h"

namespace {

const ShownMessage kWrongFile{"Invalid file name specified.", "Error", 0};

class DocumentLocatorTest : public testing::Test {
  protected:
    void SetUp() override {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        window.m_strProductId = "SUITE";
        window.m_strDocFile = "DOCS.PDF";
    }

    void ChooseInDialog(const CString& path) {
        fakes.ui.dialogResult = platform::DialogResult::Confirmed;
        fakes.ui.dialogPath = path;
    }

    CString StoredFolder() { return fakes.registry.docsDirs["suite"]; }

    FakePlatform fakes;
    CMainWindow window;
};

TEST_F(DocumentLocatorTest, FindsDocumentWithoutAsking) {
    fakes.files.AddFile("C:\\SUITE\\docs\\Docs.pdf");
    EXPECT_EQ(window.LocateDocument(), 1);
    EXPECT_TRUE(fakes.ui.dialogs.empty());
    EXPECT_TRUE(fakes.ui.messages.empty());
    EXPECT_EQ(window.m_strDocsDir, "C:\\Suite\\Docs");
    EXPECT_EQ(window.m_strDocFile, "docs.pdf");
    EXPECT_EQ(fakes.registry.calls, (std::vector<CString>{"init SUITE", "get DocsDir"}));
}

TEST_F(DocumentLocatorTest, RefusedProductChangesNothing) {
    for (const CString& productId : {CString("OTHER"), CString(260, 'p')}) {
        fakes.registry.docsDirs[CString(259, 'p')] = "C:\\Suite\\Docs";
        window.m_strProductId = productId;
        window.m_strDocsDir = "before";
        EXPECT_EQ(window.LocateDocument(), 0);
        EXPECT_EQ(window.m_strDocFile, "DOCS.PDF");
        EXPECT_EQ(window.m_strDocsDir, "before");
        EXPECT_TRUE(fakes.ui.dialogs.empty());
        EXPECT_TRUE(fakes.ui.messages.empty());
    }
    // An id too long for the component's buffer never reaches it, not even cut.
    EXPECT_EQ(fakes.registry.calls, (std::vector<CString>{"init OTHER"}));
    window.m_strProductId = CString(259, 'p');
    fakes.files.AddFile("C:\\Suite\\Docs\\docs.pdf");
    EXPECT_EQ(window.LocateDocument(), 1);
}

TEST_F(DocumentLocatorTest, MissingDocumentAsksWithTheDialogAsSet) {
    fakes.files.AddFile("C:\\Suite\\Docs\\other.pdf");
    EXPECT_EQ(window.LocateDocument(), 0);
    ASSERT_EQ(fakes.ui.dialogs.size(), 1u);
    const platform::FileOpenRequest& dialog = fakes.ui.dialogs[0];
    EXPECT_EQ(dialog.title, "Can't find c:\\suite\\docs\\docs.pdf. Specify the path for docs.pdf.");
    EXPECT_EQ(dialog.filterLabel, "pdf Files (*.pdf)");
    EXPECT_EQ(dialog.filterPattern, "*.pdf");
    EXPECT_EQ(dialog.defaultExt, "pdf");
    EXPECT_EQ(dialog.fileName, "*.pdf");
    EXPECT_TRUE(dialog.fileMustExist && dialog.overwritePrompt);
    EXPECT_EQ(dialog.initialDir, "C:\\Suite\\Docs");
    EXPECT_TRUE(fakes.ui.messages.empty());
    EXPECT_EQ(StoredFolder(), "C:\\Suite\\Docs");
}

TEST_F(DocumentLocatorTest, FolderAsItComesFromTheComponent) {
    struct {
        CString docsDir;
        CString title;
    } cases[] = {
        {"", "Can't find \\docs.pdf. Specify the path for docs.pdf."},
        {"C:\\Gone", "Can't find c:\\gone\\docs.pdf. Specify the path for docs.pdf."},
        {"C:\\Suite\\", "Can't find c:\\suite\\\\docs.pdf. Specify the path for docs.pdf."},
    };
    for (const auto& c : cases) {
        fakes.registry.docsDirs["suite"] = c.docsDir;
        fakes.ui.dialogs.clear();
        EXPECT_EQ(window.LocateDocument(), 0);
        ASSERT_EQ(fakes.ui.dialogs.size(), 1u);
        EXPECT_EQ(fakes.ui.dialogs[0].title, c.title);
        EXPECT_EQ(fakes.ui.dialogs[0].initialDir, "") << c.docsDir;
    }
}

// The path buffer holds 255 characters: a joined path of 255 is looked up, one of 256 is never
// cut into another path; a folder of 300 does not fit the component's buffer and reads as empty.
TEST_F(DocumentLocatorTest, JoinedPathUpToTheBufferIsLookedUp) {
    struct {
        CString docsDir;
        int answer;
        CString docsDirAfter;
    } cases[] = {
        {"C:\\" + CString(243, 'd'), 1, "C:\\" + CString(243, 'd')},
        {"C:\\" + CString(244, 'd'), 0, "C:\\" + CString(244, 'd')},
        {"C:\\" + CString(300, 'x'), 1, ""},
    };
    fakes.files.AddFile("\\docs.pdf");
    for (const auto& c : cases) {
        fakes.registry.docsDirs["suite"] = c.docsDir;
        fakes.files.AddFile(c.docsDir + "\\docs.pdf");
        EXPECT_EQ(window.LocateDocument(), c.answer) << c.docsDir.size();
        EXPECT_EQ(window.m_strDocsDir, c.docsDirAfter);
    }
}

TEST_F(DocumentLocatorTest, ValidChoiceStoresItsFolderAndIsFoundNextTime) {
    struct {
        CString chosen;
        CString stored;
    } cases[] = {
        {"C:\\DOCS\\Docs.Pdf", "C:\\DOCS"},
        {"C:\\docs.pdf", "C:"},
        {"\\\\server\\share\\docs\\docs.pdf", "\\\\server\\share\\docs"},
        {"C:/Mixed/Slash/docs.pdf", "C:/Mixed/Slash/"},
        {"\\docs.pdf", ""},
        {"C:\\" + CString(243, 'd') + "\\docs.pdf", "C:\\" + CString(243, 'd')},
    };
    for (const auto& c : cases) {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        fakes.files.AddFile(c.chosen);
        ChooseInDialog(c.chosen);
        EXPECT_EQ(window.LocateDocument(), 1) << c.chosen;
        EXPECT_EQ(window.m_strDocsDir, c.stored);
        EXPECT_EQ(StoredFolder(), c.stored);
        EXPECT_EQ(fakes.registry.calls.back(), "set DocsDir " + c.stored);
        if (!c.stored.ends_with('/')) {  // the fake joins a slash and a backslash literally
            fakes.ui.dialogResult = platform::DialogResult::Cancelled;
            const std::size_t asked = fakes.ui.dialogs.size();
            EXPECT_EQ(window.LocateDocument(), 1) << c.chosen;
            EXPECT_EQ(fakes.ui.dialogs.size(), asked);
        }
    }
    EXPECT_TRUE(fakes.ui.messages.empty());
}

TEST_F(DocumentLocatorTest, RejectedChoicesStoreNothing) {
    const CString deep = "C:\\" + CString(244, 'd') + "\\docs.pdf";    // could not be found again
    const CString deeper = "C:\\" + CString(300, 'e') + "\\docs.pdf";  // beyond the split limits
    const CString longName = "C:\\x\\" + CString(200, 'n') + "." + CString(100, 'e');
    for (const CString& file : {CString("C:\\Other\\manual.pdf"), CString("C:\\Other\\docs.pdf"),
                                deep, deeper, longName}) {
        fakes.files.AddFile(file);
    }
    struct {
        const char* what;
        platform::DialogResult dialogResult;
        CString chosen;
        bool refuseSet;
        std::vector<ShownMessage> messages;
    } cases[] = {
        {"cancelled", platform::DialogResult::Cancelled, "", false, {}},
        {"vanished", platform::DialogResult::Confirmed, "C:\\Other\\gone.pdf", false, {}},
        {"other name",
         platform::DialogResult::Confirmed,
         "C:\\Other\\manual.pdf",
         false,
         {kWrongFile}},
        {"not stored", platform::DialogResult::Confirmed, "C:\\Other\\docs.pdf", true, {}},
        {"too deep to find again", platform::DialogResult::Confirmed, deep, false, {}},
        {"beyond the split limits", platform::DialogResult::Confirmed, deeper, false, {}},
        {"name beyond the buffer",
         platform::DialogResult::Confirmed,
         longName,
         false,
         {kWrongFile}},
    };
    for (const auto& c : cases) {
        fakes.ui.messages.clear();
        fakes.ui.dialogResult = c.dialogResult;
        fakes.ui.dialogPath = c.chosen;
        fakes.registry.refuseSet = c.refuseSet;
        EXPECT_EQ(window.LocateDocument(), 0) << c.what;
        EXPECT_EQ(fakes.ui.messages, c.messages) << c.what;
        EXPECT_EQ(StoredFolder(), "C:\\Suite\\Docs") << c.what;
    }
}

}  // namespace
