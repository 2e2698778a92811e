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

    CString StoredFolder() { return fakes.registry.docsDirs["suite"]; }

    FakePlatform fakes;
    CMainWindow window;
};

// The path buffer holds 255 characters: a joined path of 255 is looked up, one of 256 is never
// cut into another path; a folder the component's buffer cannot hold reads as empty. A product
// id the component's buffer cannot hold never reaches it, not even cut.
TEST_F(DocumentLocatorTest, RegisteredFolderIsLookedUpWithoutAsking) {
    const CString longId(259, 'p');
    fakes.registry.docsDirs[longId] = "C:\\Suite\\Docs";
    fakes.files.AddFile("C:\\SUITE\\docs\\Docs.pdf");
    fakes.files.AddFile("\\docs.pdf");
    struct {
        CString productId;
        CString docsDir;
        int answer;
        CString docsDirAfter;
        CString docFileAfter;
    } cases[] = {
        {"SUITE", "C:\\Suite\\Docs", 1, "C:\\Suite\\Docs", "docs.pdf"},
        {longId, "C:\\Suite\\Docs", 1, "C:\\Suite\\Docs", "docs.pdf"},
        {"OTHER", "C:\\Suite\\Docs", 0, "before", "DOCS.PDF"},
        {longId + "p", "C:\\Suite\\Docs", 0, "before", "DOCS.PDF"},
        {"SUITE", "C:\\" + CString(243, 'd'), 1, "C:\\" + CString(243, 'd'), "docs.pdf"},
        {"SUITE", "C:\\" + CString(244, 'd'), 0, "C:\\" + CString(244, 'd'), "docs.pdf"},
        {"SUITE", "C:\\" + CString(300, 'x'), 1, "", "docs.pdf"},
    };
    for (const auto& c : cases) {
        fakes.registry.docsDirs["suite"] = c.docsDir;
        fakes.files.AddFile(c.docsDir + "\\docs.pdf");
        fakes.registry.calls.clear();
        window.m_strProductId = c.productId;
        window.m_strDocsDir = "before";
        window.m_strDocFile = "DOCS.PDF";
        EXPECT_EQ(window.LocateDocument(), c.answer) << c.productId << " " << c.docsDir.size();
        EXPECT_EQ(window.m_strDocsDir, c.docsDirAfter);
        EXPECT_EQ(window.m_strDocFile, c.docFileAfter);
        EXPECT_EQ(fakes.registry.calls.empty(), c.productId.size() >= 260);
    }
    EXPECT_TRUE(fakes.ui.messages.empty());
    EXPECT_EQ(fakes.ui.dialogs.size(), 1u);  // the 256-character path only
}

TEST_F(DocumentLocatorTest, MissingDocumentAsksWithTheDialogAsSet) {
    fakes.files.AddFile("C:\\Suite\\Docs\\other.pdf");
    struct {
        CString docsDir;
        CString title;
        CString initialDir;  // only a folder that exists
    } cases[] = {
        {"C:\\Suite\\Docs", "Can't find c:\\suite\\docs\\docs.pdf. Specify the path for docs.pdf.",
         "C:\\Suite\\Docs"},
        {"", "Can't find \\docs.pdf. Specify the path for docs.pdf.", ""},
        {"C:\\Gone", "Can't find c:\\gone\\docs.pdf. Specify the path for docs.pdf.", ""},
        {"C:\\Suite\\", "Can't find c:\\suite\\\\docs.pdf. Specify the path for docs.pdf.", ""},
    };
    for (const auto& c : cases) {
        fakes.registry.docsDirs["suite"] = c.docsDir;
        fakes.ui.dialogs.clear();
        EXPECT_EQ(window.LocateDocument(), 0);
        ASSERT_EQ(fakes.ui.dialogs.size(), 1u);
        const platform::FileOpenRequest& dialog = fakes.ui.dialogs[0];
        EXPECT_EQ(dialog.title, c.title);
        EXPECT_EQ(dialog.initialDir, c.initialDir);
        EXPECT_EQ(dialog.filterLabel + dialog.filterPattern + dialog.defaultExt + dialog.fileName,
                  "pdf Files (*.pdf)*.pdfpdf*.pdf");
        EXPECT_TRUE(dialog.fileMustExist && dialog.overwritePrompt);
        EXPECT_EQ(StoredFolder(), c.docsDir);
    }
    EXPECT_TRUE(fakes.ui.messages.empty());
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
        fakes.ui.Choose(c.chosen);
        EXPECT_EQ(window.LocateDocument(), 1) << c.chosen;
        EXPECT_EQ(window.m_strDocsDir, c.stored);
        EXPECT_EQ(fakes.registry.calls.back(), "set DocsDir " + c.stored);
        if (!c.stored.ends_with('/')) {  // the fake joins a slash and a backslash literally
            fakes.ui.Cancel();
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
        CString chosen;  // empty: cancelled
        bool refuseSet;
        std::vector<ShownMessage> messages;
    } cases[] = {
        {"cancelled", "", false, {}},
        {"vanished", "C:\\Other\\gone.pdf", false, {}},
        {"other name", "C:\\Other\\manual.pdf", false, {kWrongFile}},
        {"not stored", "C:\\Other\\docs.pdf", true, {}},
        {"too deep to find again", deep, false, {}},
        {"beyond the split limits", deeper, false, {}},
        {"name beyond the buffer", longName, false, {kWrongFile}},
    };
    for (const auto& c : cases) {
        fakes.ui.messages.clear();
        c.chosen.empty() ? fakes.ui.Cancel() : fakes.ui.Choose(c.chosen);
        fakes.registry.refuseSet = c.refuseSet;
        EXPECT_EQ(window.LocateDocument(), 0) << c.what;
        EXPECT_EQ(fakes.ui.messages, c.messages) << c.what;
        EXPECT_EQ(StoredFolder(), "C:\\Suite\\Docs") << c.what;
    }
}

}  // namespace
