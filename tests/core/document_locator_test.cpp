#include <gtest/gtest.h>

#include "app/main_window.h"
#include "tests/fakes/fake_platform.h"

namespace {

class DocumentLocatorTest : public testing::Test {
  protected:
    void SetUp() override {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        window.m_strProductId = "SUITE";
        window.m_strDocFile = "DOCS.PDF";
    }

    void ChooseInDialog(const CString& path) {
        fakes.ui.dialogResult = IDOK;
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
    window.m_strProductId = "OTHER";
    window.m_strDocsDir = "before";
    EXPECT_EQ(window.LocateDocument(), 0);
    EXPECT_EQ(window.m_strDocFile, "DOCS.PDF");
    EXPECT_EQ(window.m_strDocsDir, "before");
    EXPECT_TRUE(fakes.ui.dialogs.empty());
    EXPECT_TRUE(fakes.ui.messages.empty());
}

TEST_F(DocumentLocatorTest, ProductIdBeyondTheBufferIsRefusedUncut) {
    const CString longId(260, 'p');
    fakes.registry.docsDirs[CString(259, 'p')] = "C:\\Docs";
    window.m_strProductId = longId;
    EXPECT_EQ(window.LocateDocument(), 0);
    EXPECT_TRUE(fakes.registry.calls.empty());

    window.m_strProductId = CString(259, 'p');
    fakes.files.AddFile("C:\\Docs\\docs.pdf");
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
    EXPECT_EQ(dialog.flags, 0x1006u);
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

TEST_F(DocumentLocatorTest, ValidChoiceStoresItsFolder) {
    struct {
        CString chosen;
        CString stored;
    } cases[] = {
        {"C:\\DOCS\\Docs.Pdf", "C:\\DOCS"},
        {"C:\\docs.pdf", "C:"},
        {"\\\\server\\share\\docs\\docs.pdf", "\\\\server\\share\\docs"},
        {"C:/Mixed/Slash/docs.pdf", "C:/Mixed/Slash/"},
        {"\\docs.pdf", ""},
    };
    for (const auto& c : cases) {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        fakes.files.AddFile(c.chosen);
        ChooseInDialog(c.chosen);
        EXPECT_EQ(window.LocateDocument(), 1) << c.chosen;
        EXPECT_EQ(window.m_strDocsDir, c.stored);
        EXPECT_EQ(StoredFolder(), c.stored);
        EXPECT_EQ(fakes.registry.calls.back(), "set DocsDir " + c.stored);
    }
    EXPECT_TRUE(fakes.ui.messages.empty());
}

TEST_F(DocumentLocatorTest, StoredFolderIsFoundOnTheNextRun) {
    fakes.files.AddFile("D:\\Elsewhere\\DOCS.PDF");
    ChooseInDialog("D:\\Elsewhere\\DOCS.PDF");
    ASSERT_EQ(window.LocateDocument(), 1);
    fakes.ui.dialogResult = 2;
    EXPECT_EQ(window.LocateDocument(), 1);
    EXPECT_EQ(fakes.ui.dialogs.size(), 1u);
}

TEST_F(DocumentLocatorTest, RejectedChoicesStoreNothing) {
    fakes.files.AddFile("C:\\Other\\manual.pdf");
    fakes.files.AddFile("C:\\Other\\docs.pdf");
    struct {
        const char* what;
        int dialogResult;
        CString chosen;
        bool refuseSet;
        std::vector<ShownMessage> messages;
    } cases[] = {
        {"cancelled", 2, "", false, {}},
        {"vanished", IDOK, "C:\\Other\\gone.pdf", false, {}},
        {"other name",
         IDOK,
         "C:\\Other\\manual.pdf",
         false,
         {{"Invalid file name specified.", "Error", 0}}},
        {"not stored", IDOK, "C:\\Other\\docs.pdf", true, {}},
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

TEST_F(DocumentLocatorTest, PathsBeyondTheBuffersAreNeverCut) {
    // A joined path over 255 characters is not looked up under a cut-off name: the user is asked.
    const CString deep = "C:\\" + CString(248, 'd');
    fakes.registry.docsDirs["suite"] = deep;
    fakes.files.AddFile(deep + "\\docs.pdf");
    EXPECT_EQ(window.LocateDocument(), 0);
    EXPECT_EQ(fakes.ui.dialogs.size(), 1u);

    // Nor is a folder stored in which the document could not be looked up again.
    ChooseInDialog(deep + "\\docs.pdf");
    EXPECT_EQ(window.LocateDocument(), 0);
    EXPECT_EQ(StoredFolder(), deep);
    EXPECT_TRUE(fakes.ui.messages.empty());

    // A directory beyond the split limits is refused as well.
    const CString deeper = "C:\\" + CString(300, 'e') + "\\docs.pdf";
    fakes.files.AddFile(deeper);
    ChooseInDialog(deeper);
    EXPECT_EQ(window.LocateDocument(), 0);
    EXPECT_EQ(StoredFolder(), deep);

    // A name and extension too long together cannot be the document's.
    const CString longName = "C:\\x\\" + CString(200, 'n') + "." + CString(100, 'e');
    fakes.files.AddFile(longName);
    ChooseInDialog(longName);
    EXPECT_EQ(window.LocateDocument(), 0);
    EXPECT_EQ(fakes.ui.messages,
              (std::vector<ShownMessage>{{"Invalid file name specified.", "Error", 0}}));
}

TEST_F(DocumentLocatorTest, OverlongFolderFromTheComponentCountsAsEmpty) {
    fakes.registry.docsDirs["suite"] = "C:\\" + CString(300, 'x');
    fakes.files.AddFile("\\docs.pdf");
    EXPECT_EQ(window.LocateDocument(), 1);
    EXPECT_EQ(window.m_strDocsDir, "");
}

}  // namespace
