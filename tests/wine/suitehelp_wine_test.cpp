// Runs suitehelp.exe under Wine as the suite starts it, with the real registry, shell and dialogs,
// and plays the user through Win32. What the parts decide is proven against fakes by the core
// tests; these rows prove that the real parts are wired, the installed ones too.
#include <windows.h>

#include <msi.h>

#include <gtest/gtest.h>

#include <future>

#include "support/win32.h"

namespace {

using namespace std::chrono_literals;
using support::PrintTo;

const std::string kBin = support::WindowsPath(BIN_DIR) + "\\";
const std::string kProducts = "Software\\vlregut\\Products\\";
const std::string kInstalled = "C:\\Program Files\\suitehelp\\";
const std::string kWindows = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kUninstall = kWindows + "Uninstall\\";
const std::string kAppPaths = kWindows + "App Paths\\suitehelp.exe";
// Machine-wide: this Wine takes no per-user classes.
const std::string kPdf = "Software\\Classes\\.pdf";
const std::string kProgId = "Software\\Classes\\SuiteHelpWineTest";

// Another process may be busy or hung: never wait on it for long. 0 when it did not answer.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &answer);
    return static_cast<LRESULT>(answer);
}

int Msi(const char* action, const std::string& package) {
    const std::vector<std::string> args{action, support::WindowsPath(package), "/qn"};
    return support::Run("C:\\windows\\system32\\msiexec.exe", args).status;
}

// One launch. The product's DocsDir is "{docs}"; the document's name is DOCS.PDF, which matches
// any case and is handed over in lower case. With no document, suitehelp's installer has installed
// the program, and the test product's installer its manual and product, WineMsiProduct.
struct Row {
    const char* name;
    const char* document;        // where it is on disk
    const char* window;          // the caption of a window shown once; null: none
    const char* text;            // in that window: the File-Open dialog's file name, or the message
    const char* typed;           // as the file name, then OK is clicked
    const char* stored;          // the user's DocsDir afterwards; null: none
    const char* opened;          // what the viewer was given; empty: .pdf's class has no open verb
    const char* folder = "";     // after {docs}
    const char* docName = "";    // in the document-name file; empty: none
    unsigned codePage = 0;       // the ANSI code page it needs, and all its texts are in
    const char* only = nullptr;  // the only argument, in place of the option and file
};

// clang-format off
const Row kRows[] = {
    {"FoundAtOnce", "{docs}\\docs.pdf", nullptr, nullptr, nullptr, "{docs}", "{docs}\\docs.pdf\n"},
    // In code page 932 a trail byte may lie in A-Z: KI is 83 4C, the A of MANYUARU 83 41.
    {"CodePage932Names", "{docs}\\\x83}\x83j\x83\x85\x83\x41\x83\x8b.PDF", nullptr, nullptr,
     nullptr, "{docs}", "{docs}\\\x83}\x83j\x83\x85\x83\x41\x83\x8b.pdf\n", "\\\x83L",
     "\x83}\x83j\x83\x85\x83\x41\x83\x8b.PDF", 932},
    // Typed relative to the folder the dialog starts in, and without the default extension.
    {"AskedStoredOpened", "{docs}\\sub\\docs.pdf",
     "Can't find {lower}\\docs.pdf. Specify the path for docs.pdf.", "*.pdf", "sub\\docs",
     "{docs}\\sub", "{docs}\\sub\\docs.pdf\n"},
    {"ShellFailureShown", "{docs}\\docs.pdf", "suitehelp", "Acrobat Reader is not installed.\n"
     "Please install Acrobat Reader before executing this operation.", nullptr, "{docs}", ""},
    {"InstalledByMsi", nullptr, nullptr, nullptr, nullptr, nullptr,
     "C:\\Program Files\\suitehelp test product\\Docs\\docs.pdf\n"},
    {"Help", "{docs}\\docs.pdf", nullptr, nullptr, nullptr, "{docs}", "", "", "", 0, "--help"},
};
// clang-format on

class Wine : public testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        ASSERT_TRUE(!GetParam().codePage || GetACP() == GetParam().codePage)
            << "ANSI code page " << GetACP() << ", not " << GetParam().codePage << " (LANG)";
        SetEnvironmentVariableA("SUITEHELP_WINE_RECORD", m_record.c_str());  // for the viewer
        const std::string open = support::Quote(kBin + "record_handler.exe") + " \"%1\"";
        if (!support::SetString(HKEY_LOCAL_MACHINE, kProgId, "", "no open verb") ||
            (*GetParam().opened &&
             !support::SetString(HKEY_LOCAL_MACHINE, kProgId + "\\shell\\open\\command", "",
                                 open)) ||
            !support::SetString(HKEY_LOCAL_MACHINE, kPdf, "", "SuiteHelpWineTest")) {
            GTEST_SKIP() << "associating .pdf needs write access to "
                            "HKEY_LOCAL_MACHINE\\Software\\Classes (run elevated)";
        }
    }

    void TearDown() override {
        support::SetString(HKEY_LOCAL_MACHINE, kPdf, "", m_former.value_or(""));  // "": none
        support::DeleteKey(HKEY_LOCAL_MACHINE, kProgId);
        support::DeleteKey(HKEY_CURRENT_USER, kProducts + m_product);
        support::DeleteKey(HKEY_CURRENT_USER, kProducts + m_folded);
        if (GetParam().document == nullptr) {
            EXPECT_EQ(Msi("/x", BIN_DIR "/product.msi"), 0);
            EXPECT_EQ(Msi("/x", SUITEHELP_MSI), 0);
            EXPECT_FALSE(support::GetString(HKEY_LOCAL_MACHINE, kAppPaths, "Path"));
            EXPECT_EQ(GetFileAttributesA((kInstalled + "suitehelp.exe").c_str()),
                      INVALID_FILE_ATTRIBUTES);
        }
    }

    std::string Expand(const char* text) const {
        std::string lower = m_docs;
        CharLowerBuffA(lower.data(), static_cast<DWORD>(lower.size()));
        // Wine shows a line break as CR LF.
        return support::Expand(text, {{"{docs}", m_docs}, {"{lower}", lower}, {"\r\n", "\n"}});
    }

    // Once the window is shown: its text read, the typed text put in, and OK clicked.
    void Answer(const Row& row) const {
        HWND window = nullptr;
        for (int i = 0; i < 1000 && !IsWindowVisible(window); ++i, Sleep(20)) {
            window = FindWindowA(nullptr, Expand(row.window).c_str());
        }
        ASSERT_TRUE(IsWindowVisible(window)) << "not shown: " << row.window;
        // The file name box of the common dialogs, or a message box's text.
        const HWND control = GetDlgItem(window, row.typed ? 0x480 : 0xFFFF);
        std::string text(Ask(control, WM_GETTEXTLENGTH) + 1, '\0');
        text.resize(Ask(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
        EXPECT_EQ(Expand(text.c_str()), row.text);
        ASSERT_TRUE(!row.typed || Ask(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.typed)));
        // Posted: the click may start a nested modal loop in the other process.
        ASSERT_TRUE(PostMessageA(GetDlgItem(window, IDOK), BM_CLICK, 0, 0));
    }

    const support::TempFolder m_root{"suitehelp-wine"};
    // In a double-byte code page, KI (83 4C), beside a product NE (83 6C) that its trail byte
    // would fold to.
    const std::string m_product =
        m_root.Path().filename().string() + (GetParam().codePage ? "\x83L" : "");
    const std::string m_folded = m_product.substr(0, m_product.size() - 1) + "l";
    const std::string m_docs = m_root / "Suite Docs" + GetParam().folder;
    const std::string m_record = m_root / "record.txt";
    const std::optional<std::string> m_former = support::GetString(HKEY_LOCAL_MACHINE, kPdf, "");
};

TEST_P(Wine, Launch) {
    const Row& row = GetParam();
    const std::string product = row.document ? m_product : "WineMsiProduct";
    if (row.document == nullptr) {
        ASSERT_EQ(Msi("/i", SUITEHELP_MSI), 0);
        // A rebuild of this version is this product (Windows refuses it, Wine reinstalls it).
        Msi("/i", SUITEHELP_REBUILT_MSI);
        char second[39];  // the ProductCode of a second suitehelp installed: none
        EXPECT_EQ(MsiEnumRelatedProductsA(SUITEHELP_UPGRADE, 0, 1, second), ERROR_NO_MORE_ITEMS);
        EXPECT_EQ(support::GetString(HKEY_LOCAL_MACHINE, kUninstall + SUITEHELP_PRODUCT,
                                     "InstallLocation"),
                  kInstalled);
        EXPECT_EQ(support::GetString(HKEY_LOCAL_MACHINE, kAppPaths, "Path"), kInstalled);
        // Away from the built suitehelp.exe, which ShellExecute would find first.
        ASSERT_TRUE(SetCurrentDirectoryA("C:\\"));
        ASSERT_EQ(Msi("/i", BIN_DIR "/product.msi"), 0);
        // As written by the include: the folder without a trailing backslash.
        const support::Outcome list =
            support::Run(kInstalled + "vlreg.exe", {"--system", "list", "WineMsiProduct"});
        EXPECT_EQ(list.out, "DocsDir=C:\\Program Files\\suitehelp test product\\Docs\r\n")
            << list.err;
    } else {
        ASSERT_TRUE(support::WriteFile(support::Wide(Expand(row.document)), support::kMinimalPdf));
        ASSERT_TRUE(support::SetString(HKEY_CURRENT_USER, kProducts + product, "DocsDir", m_docs));
        ASSERT_TRUE(!row.codePage ||
                    support::CreateKey(HKEY_CURRENT_USER, kProducts + m_folded) == 0);
    }
    // Without a document-name file, the default name.
    const std::string names =
        *row.docName ? m_root.Write("names.txt", row.docName) : m_root / "absent.txt";
    const std::string cfg = m_root.Write("help.cfg", names + "\n\n" + product);
    const std::vector<std::string> arguments =
        row.only ? std::vector<std::string>{row.only} : std::vector<std::string>{"-vellum", cfg};
    // The installed one by name alone, as a program of the suite starts it: ShellExecute (here
    // through Wine's start.exe, in a folder of its own) finds it by its App Paths key.
    std::vector<std::string> byName{"/wait", "suitehelp.exe"};
    byName.insert(byName.end(), arguments.begin(), arguments.end());
    auto launch = std::async(std::launch::async, [&] {
        return row.document ? support::Run(kBin + "suitehelp.exe", arguments)
                            : support::Run("C:\\windows\\system32\\start.exe", byName);
    });
    if (row.window != nullptr) {
        Answer(row);
    }
    // Any other window would hold it up.
    ASSERT_EQ(launch.wait_for(20s), std::future_status::ready) << "suitehelp.exe did not end";
    EXPECT_EQ(launch.get().out.starts_with("usage: suitehelp "), row.only != nullptr);
    EXPECT_EQ(support::GetString(HKEY_CURRENT_USER, kProducts + product, "DocsDir"),
              row.stored ? std::optional(Expand(row.stored)) : std::nullopt);
    // The viewer may record itself after suitehelp.exe has ended.
    std::string opened;
    for (int i = 0; i < 500 && (opened = support::ReadFile(m_record)) != Expand(row.opened); ++i) {
        Sleep(20);
    }
    EXPECT_EQ(opened, Expand(row.opened));
}

INSTANTIATE_TEST_SUITE_P(Table, Wine, testing::ValuesIn(kRows), support::CaseName);

}  // namespace
