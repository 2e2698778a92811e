// Runs the built suitehelp.exe under Wine as the suite starts it, with the real registry, shell and
// dialogs, and plays the user through Win32. What the parts decide is proven against fakes by the
// core tests; these rows prove that the real parts are wired.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>
#include <optional>
#include <regex>
#include <string>

#include "support/win32.h"

namespace {

using namespace std::chrono_literals;
using support::PrintTo;

const std::string kBin = support::windowsPath(BIN_DIR) + "\\";
const std::string kProducts = "Software\\vlregut\\Products\\";
// Machine-wide: this Wine takes no per-user classes.
const std::string kClasses = "Software\\Classes\\";
constexpr int kFileNameBox = 0x480;   // edt1 of the common dialogs
constexpr int kMessageText = 0xFFFF;  // the message box's text

// Another process may be busy or hung: never wait on it for long. 0 when it did not answer.
LRESULT Ask(HWND window, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR answer = 0;
    return ::SendMessageTimeoutA(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &answer)
               ? static_cast<LRESULT>(answer)
               : 0;
}

std::string Text(HWND window) {
    std::string text(Ask(window, WM_GETTEXTLENGTH) + 1, '\0');
    text.resize(Ask(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    return text;
}

// Posted: the click may start a nested modal loop in the other process.
bool PressOk(HWND dialog) {
    const HWND ok = ::GetDlgItem(dialog, IDOK);
    return ok != nullptr && ::PostMessageA(ok, BM_CLICK, 0, 0);
}

// One launch. The product's DocsDir is "{docs}"; the document's name is DOCS.PDF, which matches
// any case and is handed over in lower case.
struct Row {
    const char* name;
    const char* document;  // where it is on disk
    bool associated;       // .pdf opens with record_handler.exe; else its class has no open verb
    const char* typed;     // into the File-Open dialog, the one window shown; null: none
    const char* message;   // of a message box captioned "suitehelp", the one window; null: none
    const char* stored;    // DocsDir afterwards
    const char* opened;    // what the viewer was given; empty: no viewer was started
};

constexpr char kNoReader[] =
    "Acrobat Reader is not installed.\n"
    "Please install Acrobat Reader before executing this operation.";

// clang-format off
const Row kRows[] = {
    {"FoundAtOnce",       "{docs}\\docs.pdf",      true,  nullptr, nullptr, "{docs}",
     "{docs}\\docs.pdf\n"},
    // Typed relative to the folder the dialog starts in, and without the default extension.
    {"AskedStoredOpened", "{docs}\\sub\\docs.pdf", true,  "sub\\docs", nullptr, "{docs}\\sub",
     "{docs}\\sub\\docs.pdf\n"},
    {"ShellFailureShown", "{docs}\\docs.pdf",      false, nullptr, kNoReader, "{docs}", ""},
};
// clang-format on

class Wine : public ::testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        ::SetEnvironmentVariableA("SUITEHELP_WINE_RECORD", record_.c_str());  // for the viewer
        const std::string verb = kClasses + progId_ + "\\shell\\open\\command";
        if (!support::setString(HKEY_LOCAL_MACHINE, kClasses + progId_, "", "no open verb") ||
            (GetParam().associated &&
             !support::setString(HKEY_LOCAL_MACHINE, verb, "",
                                 support::quote(kBin + "record_handler.exe") + " \"%1\"")) ||
            !support::setString(HKEY_LOCAL_MACHINE, kClasses + ".pdf", "", progId_)) {
            GTEST_SKIP() << "associating .pdf needs write access to "
                            "HKEY_LOCAL_MACHINE\\Software\\Classes (run elevated)";
        }
    }

    void TearDown() override {
        suitehelp_.reset();
        // A class name of "" is no association.
        support::setString(HKEY_LOCAL_MACHINE, kClasses + ".pdf", "", former_.value_or(""));
        support::deleteKey(HKEY_LOCAL_MACHINE, kClasses + progId_);
        support::deleteKey(HKEY_CURRENT_USER, kProducts + product_);
    }

    std::string Expand(const char* text) const {
        return support::Expand(text, {{"{docs}", docs_}});
    }

    // Watches suitehelp.exe's windows until one with this caption appears (returned) or, given
    // none, until it ends; null when that did not come in time. Any other window is a failure.
    HWND Await(const char* caption) {
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        do {
            for (HWND window = ::FindWindowExA(nullptr, nullptr, nullptr, nullptr);
                 window != nullptr; window = ::FindWindowExA(nullptr, window, nullptr, nullptr)) {
                DWORD owner = 0;
                ::GetWindowThreadProcessId(window, &owner);
                if (owner != suitehelp_->id() || !::IsWindowVisible(window)) {
                    continue;
                }
                // Judged once, by its first caption: a window being destroyed answers with none.
                std::string& shown = shown_[window];
                if (!shown.empty() || (shown = Text(window)).empty()) {
                    continue;
                }
                if (caption != nullptr && shown == caption) {
                    return window;
                }
                ADD_FAILURE() << "suitehelp.exe showed \"" << shown << "\"";
            }
        } while (!suitehelp_->waitForExit(20ms) && std::chrono::steady_clock::now() < deadline);
        return nullptr;
    }

    // The viewer may record itself after suitehelp.exe has ended.
    std::string Opened(const std::string& expected) const {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        std::string text;
        while ((text = support::ReadFile(record_)) != expected &&
               std::chrono::steady_clock::now() < deadline) {
            ::Sleep(20);
        }
        return text;
    }

    const support::TempFolder root_{"suitehelp-wine"};
    const std::string docs_ = root_ / "Suite Docs";
    const std::string record_ = root_ / "record.txt";
    const std::string product_ = support::UniqueName("WineE2E");
    const std::string progId_ = support::UniqueName("SuiteHelpWineTest");
    const std::optional<std::string> former_ =
        support::getString(HKEY_LOCAL_MACHINE, kClasses + ".pdf", "");  // the class of .pdf
    std::optional<support::Process> suitehelp_;
    std::map<HWND, std::string> shown_;  // its windows seen, with their captions
};

TEST_P(Wine, Launch) {
    const Row& row = GetParam();
    ASSERT_TRUE(support::WriteFile(Expand(row.document), support::kMinimalPdf));
    ASSERT_TRUE(support::setString(HKEY_CURRENT_USER, kProducts + product_, "DocsDir", docs_));
    // No document name file: the default name.
    const std::string cfg = root_ / "help.cfg";
    ASSERT_TRUE(support::WriteFile(cfg, (root_ / "absent.txt") + "\n\n" + product_ + "\n"));

    const std::string program = kBin + "suitehelp.exe";
    suitehelp_.emplace(program, support::quote(program) + " -vellum " + support::quote(cfg));
    ASSERT_TRUE(suitehelp_->started()) << "CreateProcessA failed: " << suitehelp_->startError();

    if (row.typed != nullptr) {
        std::string docs = docs_;
        ::CharLowerBuffA(docs.data(), static_cast<DWORD>(docs.size()));
        const std::string title =
            "Can't find " + docs + "\\docs.pdf. Specify the path for docs.pdf.";
        const HWND dialog = Await(title.c_str());
        ASSERT_NE(dialog, nullptr) << "no dialog \"" << title << "\"";
        const HWND fileName = ::GetDlgItem(dialog, kFileNameBox);
        EXPECT_EQ(Text(fileName), "*.pdf");
        ASSERT_TRUE(Ask(fileName, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(row.typed)));
        ASSERT_TRUE(PressOk(dialog));
    }
    if (row.message != nullptr) {
        const HWND box = Await("suitehelp");
        ASSERT_NE(box, nullptr) << "no message box";
        // Wine shows a line break as CR LF.
        EXPECT_EQ(support::Expand(Text(::GetDlgItem(box, kMessageText)), {{"\r\n", "\n"}}),
                  row.message);
        ASSERT_TRUE(PressOk(box));
    }
    Await(nullptr);

    EXPECT_TRUE(suitehelp_->waitForExit(0ms)) << "suitehelp.exe did not end in time";
    EXPECT_EQ(support::getString(HKEY_CURRENT_USER, kProducts + product_, "DocsDir"),
              Expand(row.stored));
    EXPECT_EQ(Opened(Expand(row.opened)), Expand(row.opened));
}

INSTANTIATE_TEST_SUITE_P(Table, Wine, ::testing::ValuesIn(kRows), support::CaseName);

TEST(SuiteHelpManifest, RunsAsInvokerAndIsDpiAware) {
    const std::unique_ptr<HINSTANCE__, decltype(&::FreeLibrary)> module(
        ::LoadLibraryExA((kBin + "suitehelp.exe").c_str(), nullptr,
                         LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE),
        &::FreeLibrary);
    const HRSRC resource =
        module ? ::FindResourceA(module.get(), MAKEINTRESOURCEA(1), RT_MANIFEST) : nullptr;
    ASSERT_NE(resource, nullptr) << "no RT_MANIFEST resource 1";
    const std::string manifest(
        static_cast<const char*>(::LockResource(::LoadResource(module.get(), resource))),
        ::SizeofResource(module.get(), resource));
    for (const char* pattern :
         {R"(<requestedExecutionLevel\s([^>]*\s)?level="asInvoker")",
          R"(<dpiAwareness(\s[^>]*)?>PerMonitorV2)", R"(<dpiAware(\s[^>]*)?>[Tt][Rr][Uu][Ee])"}) {
        EXPECT_TRUE(std::regex_search(manifest, std::regex(pattern))) << pattern << "\n"
                                                                      << manifest;
    }
}

}  // namespace
