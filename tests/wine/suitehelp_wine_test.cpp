// Runs suitehelp.exe under Wine as the suite starts it, with the real registry, shell and dialogs,
// and plays the user through Win32. What the parts decide is proven against fakes by the core
// tests; these rows prove that the real parts are wired, the installed ones too.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <regex>

#include "support/win32.h"

namespace {

using namespace std::chrono_literals;
using support::PrintTo;

const std::string kBin = support::WindowsPath(BIN_DIR) + "\\";
const std::string kInstalled = "C:\\Program Files\\suitehelp\\";
const std::string kProducts = "Software\\vlregut\\Products\\";
// Machine-wide: this Wine takes no per-user classes.
const std::string kPdf = "Software\\Classes\\.pdf";
const std::string kProgId = "Software\\Classes\\SuiteHelpWineTest";
constexpr int kFileNameBox = 0x480;   // edt1 of the common dialogs
constexpr int kMessageText = 0xFFFF;  // the message box's text

// Another process may be busy or hung: never wait on it for long. 0 when it did not answer.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR answer = 0;
    return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &answer)
               ? static_cast<LRESULT>(answer)
               : 0;
}

std::string Text(HWND window) {
    std::string text(Ask(window, WM_GETTEXTLENGTH) + 1, '\0');
    text.resize(Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

// The window with this caption once it is shown; null when that did not come in time.
HWND Await(const std::string& caption) {
    for (int i = 0; i < 1000; ++i, Sleep(20)) {
        if (const HWND window = FindWindowA(nullptr, caption.c_str()); IsWindowVisible(window)) {
            return window;
        }
    }
    return nullptr;
}

int Msi(const char* action, const std::string& package) {
    return support::Run("C:\\windows\\system32\\msiexec.exe",
                        {action, support::WindowsPath(package), "/qn"})
        .status;
}

// One launch. The product's DocsDir is "{docs}"; the document's name is DOCS.PDF, which matches
// any case and is handed over in lower case. With `msi`, suitehelp's installer has installed the
// program, and the test product's installer its manual and product, WineMsiProduct.
struct Row {
    const char* name;
    bool msi;
    const char* document;  // where it is on disk
    bool associated;       // .pdf opens with record_handler.exe; else its class has no open verb
    const char* typed;     // into the File-Open dialog; null: no dialog
    const char* message;   // of a message box captioned "suitehelp"; null: none
    const char* stored;    // the user's DocsDir afterwards; null: none
    const char* opened;    // what the viewer was given; empty: no viewer was started
};

constexpr char kNoReader[] =
    "Acrobat Reader is not installed.\n"
    "Please install Acrobat Reader before executing this operation.";

// clang-format off
const Row kRows[] = {
    {"FoundAtOnce",       false, "{docs}\\docs.pdf",      true,  nullptr, nullptr, "{docs}",
     "{docs}\\docs.pdf\n"},
    // Typed relative to the folder the dialog starts in, and without the default extension.
    {"AskedStoredOpened", false, "{docs}\\sub\\docs.pdf", true,  "sub\\docs", nullptr,
     "{docs}\\sub", "{docs}\\sub\\docs.pdf\n"},
    {"ShellFailureShown", false, "{docs}\\docs.pdf",      false, nullptr, kNoReader, "{docs}", ""},
    {"InstalledByMsi",    true,  nullptr,                 true,  nullptr, nullptr, nullptr,
     "C:\\Program Files\\suitehelp test product\\Docs\\docs.pdf\n"},
};
// clang-format on

class Wine : public testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        SetEnvironmentVariableA("SUITEHELP_WINE_RECORD", m_record.c_str());  // for the viewer
        if (!support::SetString(HKEY_LOCAL_MACHINE, kProgId, "", "no open verb") ||
            (GetParam().associated &&
             !support::SetString(HKEY_LOCAL_MACHINE, kProgId + "\\shell\\open\\command", "",
                                 support::Quote(kBin + "record_handler.exe") + " \"%1\"")) ||
            !support::SetString(HKEY_LOCAL_MACHINE, kPdf, "", "SuiteHelpWineTest")) {
            GTEST_SKIP() << "associating .pdf needs write access to "
                            "HKEY_LOCAL_MACHINE\\Software\\Classes (run elevated)";
        }
    }

    void TearDown() override {
        support::SetString(HKEY_LOCAL_MACHINE, kPdf, "", m_former.value_or(""));  // "": none
        support::DeleteKey(HKEY_LOCAL_MACHINE, kProgId);
        support::DeleteKey(HKEY_CURRENT_USER, kProducts + m_product);
        if (m_installed) {  // both removed, with the files they installed
            EXPECT_EQ(Msi("/x", BIN_DIR "/product.msi"), 0);
            EXPECT_EQ(Msi("/x", SUITEHELP_MSI), 0);
            EXPECT_EQ(GetFileAttributesA((kInstalled + "suitehelp.exe").c_str()),
                      INVALID_FILE_ATTRIBUTES);
        }
    }

    std::string Expand(const char* text) const {
        return support::Expand(text, {{"{docs}", m_docs}});
    }

    // The viewer may record itself after suitehelp.exe has ended.
    std::string Opened(const std::string& expected) const {
        std::string text;
        for (int i = 0; i < 500 && (text = support::ReadFile(m_record)) != expected; ++i) {
            Sleep(20);
        }
        return text;
    }

    const support::TempFolder m_root{"suitehelp-wine"};
    const std::string m_docs = m_root / "Suite Docs";
    const std::string m_record = m_root / "record.txt";
    const std::string m_product = support::UniqueName("WineE2E");
    const std::optional<std::string> m_former = support::GetString(HKEY_LOCAL_MACHINE, kPdf, "");
    bool m_installed = false;
};

TEST_P(Wine, Launch) {
    const Row& row = GetParam();
    const std::string program = (row.msi ? kInstalled : kBin) + "suitehelp.exe";
    const std::string product = row.msi ? "WineMsiProduct" : m_product;
    if (row.msi) {
        m_installed = true;
        ASSERT_EQ(Msi("/i", SUITEHELP_MSI), 0);
        ASSERT_EQ(Msi("/i", BIN_DIR "/product.msi"), 0);
        // As written by the include: the folder without a trailing backslash.
        const support::Outcome list =
            support::Run(kInstalled + "vlreg.exe", {"--system", "list", "WineMsiProduct"});
        EXPECT_EQ(list.out, "DocsDir=C:\\Program Files\\suitehelp test product\\Docs\r\n")
            << list.err;
    } else {
        ASSERT_TRUE(support::WriteFile(Expand(row.document), support::kMinimalPdf));
        ASSERT_TRUE(support::SetString(HKEY_CURRENT_USER, kProducts + product, "DocsDir", m_docs));
    }
    // No document name file: the default name.
    const std::string cfg = m_root.Write("help.cfg", (m_root / "absent.txt") + "\n\n" + product);
    auto launch = std::async(std::launch::async, [&] {
        return support::Run(program, {"-vellum", cfg});
    });

    if (row.typed != nullptr) {
        std::string docs = m_docs;
        CharLowerBuffA(docs.data(), static_cast<DWORD>(docs.size()));
        const HWND dialog =
            Await("Can't find " + docs + "\\docs.pdf. Specify the path for docs.pdf.");
        ASSERT_NE(dialog, nullptr) << "no File-Open dialog";
        const HWND fileName = GetDlgItem(dialog, kFileNameBox);
        EXPECT_EQ(Text(fileName), "*.pdf");
        ASSERT_TRUE(Ask(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.typed)));
        // Posted: the click may start a nested modal loop in the other process.
        ASSERT_TRUE(PostMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0));
    }
    if (row.message != nullptr) {
        const HWND box = Await("suitehelp");
        ASSERT_NE(box, nullptr) << "no message box";
        // Wine shows a line break as CR LF.
        EXPECT_EQ(support::Expand(Text(GetDlgItem(box, kMessageText)), {{"\r\n", "\n"}}),
                  row.message);
        ASSERT_TRUE(PostMessageA(GetDlgItem(box, IDOK), BM_CLICK, 0, 0));
    }
    // Any other window would hold it up.
    ASSERT_EQ(launch.wait_for(20s), std::future_status::ready) << "suitehelp.exe did not end";
    EXPECT_EQ(support::GetString(HKEY_CURRENT_USER, kProducts + product, "DocsDir"),
              row.stored ? std::optional(Expand(row.stored)) : std::nullopt);
    EXPECT_EQ(Opened(Expand(row.opened)), Expand(row.opened));
}

INSTANTIATE_TEST_SUITE_P(Table, Wine, testing::ValuesIn(kRows), support::CaseName);

TEST(SuiteHelpManifest, RunsAsInvokerAndIsDpiAware) {
    const std::unique_ptr<HINSTANCE__, decltype(&FreeLibrary)> module(
        LoadLibraryExA((kBin + "suitehelp.exe").c_str(), nullptr,
                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE),
        &FreeLibrary);
    const HRSRC resource =
        module ? FindResourceA(module.get(), MAKEINTRESOURCEA(1), RT_MANIFEST) : nullptr;
    ASSERT_NE(resource, nullptr) << "no RT_MANIFEST resource 1";
    const std::string manifest(
        static_cast<const char*>(LockResource(LoadResource(module.get(), resource))),
        SizeofResource(module.get(), resource));
    for (const char* pattern :
         {R"(<requestedExecutionLevel\s([^>]*\s)?level="asInvoker")",
          R"(<dpiAwareness(\s[^>]*)?>PerMonitorV2)", R"(<dpiAware(\s[^>]*)?>[Tt][Rr][Uu][Ee])"}) {
        EXPECT_TRUE(std::regex_search(manifest, std::regex(pattern))) << pattern << "\n"
                                                                      << manifest;
    }
}

}  // namespace
