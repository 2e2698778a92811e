#include <gtest/gtest.h>

#include "document/document_locator.h"
#include "tests/fakes/fake_platform.h"

namespace {

const ShownMessage kWrongFile{"Invalid file name specified.", "Error", 0};

class DocumentLocatorTest : public testing::Test {
  protected:
    void SetUp() override { fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs"; }

    int Locate() { return document::LocateDocument(owner, productId, docFile, docsDir); }
    FakePlatform fakes;
    CFrameWnd owner;
    CString productId = "SUITE", docFile = "DOCS.PDF", docsDir;
};

// The path buffer holds 255 characters: a joined path of 255 is looked up, one of 256 is never
// cut into another path; a folder the component's buffer cannot hold reads as empty. A product
// id the component's buffer cannot hold never reaches it, not even cut.
TEST_F(DocumentLocatorTest, RegisteredFolderIsLookedUpWithoutAsking) {
    const CString longId(259, 'p');
    fakes.registry.docsDirs[longId] = "C:\\Suite\\Docs";
    fakes.files.AddFile("C:\\SUITE\\docs\\Docs.pdf");
    fakes.files.AddFile("\\docs.pdf");
    // Columns: the product id, its DocsDir, the answer, DocsDir and the document's name after.
    const std::tuple<CString, CString, int, CString, CString> cases[] = {
        {"SUITE", "C:\\Suite\\Docs", 1, "C:\\Suite\\Docs", "docs.pdf"},
        {longId, "C:\\Suite\\Docs", 1, "C:\\Suite\\Docs", "docs.pdf"},
        {"OTHER", "C:\\Suite\\Docs", 0, "before", "DOCS.PDF"},
        {longId + "p", "C:\\Suite\\Docs", 0, "before", "DOCS.PDF"},
        {"SUITE", "C:\\" + CString(243, 'd'), 1, "C:\\" + CString(243, 'd'), "docs.pdf"},
        {"SUITE", "C:\\" + CString(244, 'd'), 0, "C:\\" + CString(244, 'd'), "docs.pdf"},
        {"SUITE", "C:\\" + CString(300, 'x'), 1, "", "docs.pdf"},
    };
    for (const auto& [id, registered, answer, docsDirAfter, docFileAfter] : cases) {
        fakes.registry.docsDirs["suite"] = registered;
        fakes.files.AddFile(registered + "\\docs.pdf");
        fakes.registry.calls.clear();
        productId = id;
        docsDir = "before";
        docFile = "DOCS.PDF";
        EXPECT_EQ(Locate(), answer) << id << " " << registered.size();
        EXPECT_EQ(docsDir + "|" + docFile, docsDirAfter + "|" + docFileAfter);
        EXPECT_EQ(fakes.registry.calls.empty(), id.size() >= 260);
    }
    EXPECT_EQ(fakes.ui.dialogs.size(), 1u);  // the 256-character path only
}

TEST_F(DocumentLocatorTest, MissingDocumentAsksWithTheDialogAsSet) {
    fakes.files.AddFile("C:\\Suite\\Docs\\other.pdf");
    // Columns: DocsDir, the dialog's title and the folder it starts in (only one that exists).
    const std::tuple<CString, CString, CString> cases[] = {
        {"C:\\Suite\\Docs", "Can't find c:\\suite\\docs\\docs.pdf. Specify the path for docs.pdf.",
         "C:\\Suite\\Docs"},
        {"", "Can't find \\docs.pdf. Specify the path for docs.pdf.", ""},
        {"C:\\Gone", "Can't find c:\\gone\\docs.pdf. Specify the path for docs.pdf.", ""},
        {"C:\\Suite\\", "Can't find c:\\suite\\\\docs.pdf. Specify the path for docs.pdf.", ""},
    };
    for (const auto& [registered, title, initialDir] : cases) {
        fakes.registry.docsDirs["suite"] = registered;
        fakes.ui.dialogs.clear();
        EXPECT_EQ(Locate(), 0);
        ASSERT_EQ(fakes.ui.dialogs.size(), 1u);
        const platform::FileOpenRequest& dialog = fakes.ui.dialogs[0];
        EXPECT_EQ(dialog.title + "|" + dialog.initialDir, title + "|" + initialDir);
        EXPECT_EQ(dialog.filterLabel + dialog.filterPattern + dialog.defaultExt + dialog.fileName,
                  "pdf Files (*.pdf)*.pdfpdf*.pdf");
        EXPECT_TRUE(dialog.fileMustExist);
    }
}

TEST_F(DocumentLocatorTest, ValidChoiceStoresItsFolderAndIsFoundNextTime) {
    // The path chosen and the folder stored.
    const std::pair<CString, CString> cases[] = {
        {"C:\\DOCS\\Docs.Pdf", "C:\\DOCS"},
        {"C:\\docs.pdf", "C:"},
        {"\\\\server\\share\\docs\\docs.pdf", "\\\\server\\share\\docs"},
        {"C:/Mixed/Slash/docs.pdf", "C:/Mixed/Slash/"},
        {"\\docs.pdf", ""},
        {"C:\\" + CString(243, 'd') + "\\docs.pdf", "C:\\" + CString(243, 'd')},
    };
    for (const auto& [chosen, stored] : cases) {
        fakes.registry.docsDirs["suite"] = "C:\\Suite\\Docs";
        fakes.files.AddFile(chosen);
        fakes.ui.chosen = chosen;
        EXPECT_EQ(Locate(), 1) << chosen;
        EXPECT_EQ(docsDir, stored);
        EXPECT_EQ(fakes.registry.calls.back(), "set DocsDir " + stored);
        if (!stored.ends_with('/')) {  // the fake joins a slash and a backslash literally
            fakes.ui.chosen.clear();
            const std::size_t asked = fakes.ui.dialogs.size();
            EXPECT_EQ(Locate(), 1) << chosen;
            EXPECT_EQ(fakes.ui.dialogs.size(), asked);
        }
    }
}

TEST_F(DocumentLocatorTest, RejectedChoicesStoreNothing) {
    const CString deep = "C:\\" + CString(244, 'd') + "\\docs.pdf";    // could not be found again
    const CString deeper = "C:\\" + CString(300, 'e') + "\\docs.pdf";  // beyond the split limits
    const CString longName = "C:\\x\\" + CString(200, 'n') + "." + CString(100, 'e');
    for (const CString& file : {CString("C:\\Other\\manual.pdf"), CString("C:\\Other\\docs.pdf"),
                                deep, deeper, longName}) {
        fakes.files.AddFile(file);
    }
    // Columns: what, the path chosen ("": cancelled), whether storing fails, the messages shown.
    const std::tuple<const char*, CString, bool, std::vector<ShownMessage>> cases[] = {
        {"cancelled", "", false, {}},
        {"vanished", "C:\\Other\\gone.pdf", false, {}},
        {"other name", "C:\\Other\\manual.pdf", false, {kWrongFile}},
        {"not stored", "C:\\Other\\docs.pdf", true, {}},
        {"too deep to find again", deep, false, {}},
        {"beyond the split limits", deeper, false, {}},
        {"name beyond the buffer", longName, false, {kWrongFile}},
    };
    for (const auto& [what, chosen, refuseSet, messages] : cases) {
        fakes.ui.messages.clear();
        fakes.ui.chosen = chosen;
        fakes.registry.refuseSet = refuseSet;
        EXPECT_EQ(Locate(), 0) << what;
        EXPECT_EQ(fakes.ui.messages, messages) << what;
        EXPECT_EQ(fakes.registry.docsDirs["suite"], "C:\\Suite\\Docs") << what;
    }
}

}  // namespace
