// Runs the built suitehelp.exe under Wine as the suite starts it, each test in a throwaway world
// of its own: a folder with the launch configuration and the documents, a product in the install
// registry and record_handler.exe as the PDF viewer. The test plays the user through Win32.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <deque>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/win32.h"
#include "ui_driver.h"

namespace {

using namespace std::chrono_literals;
using support::expand;
using support::PrintTo;
using support::Process;
using support::quote;

// Wine starts programs and builds dialogs slowly on a busy machine.
constexpr auto kExitTimeout = 20s;
constexpr auto kWindowTimeout = 20s;
constexpr auto kRecordTimeout = 10s;

constexpr char kUserProducts[] = "Software\\vlregut\\Products\\";
constexpr char kMachineProducts[] = "SOFTWARE\\vlregut\\Products\\";
constexpr char kClasses[] = "Software\\Classes\\";

// The shell failure messages; "{path}" stands for the document's full path.
constexpr char kNotFound[] = "The specified file {path} was not found.";
constexpr char kInvalid[] = "The specified file {path} is invalid.";
constexpr char kDenied[] =
    "The operating system denied access to the specified file.\nFile Name: {path}.";
constexpr char kNoAssociation[] =
    "There is no application associated with the given file name extension.\nFile Name: {path}.";
constexpr char kNoReader[] =
    "Acrobat Reader is not installed.\n"
    "Please install Acrobat Reader before executing this operation.";
constexpr char kOtherFailure[] = "Error occurred in excecuting the application";

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// How a document type is opened: the open verb's command (empty: the type's class has no open
// verb) and, if any, the DDE server the verb also talks to.
struct Handler {
    std::string command;
    std::string ddeServer = {};
};

// File associations in the machine-wide classes (this Wine takes no per-user ones). Whatever
// is changed is put back on destruction.
class Associations {
  public:
    ~Associations() { Restore(); }

    // `extension` with its dot, e.g. ".pdf". False when the classes cannot be written.
    bool Set(const std::string& extension, const Handler& handler) {
        if (!saved_.contains(extension)) {
            saved_[extension] = support::getString(HKEY_LOCAL_MACHINE, kClasses + extension, "");
            if (!saved_[extension] &&
                support::keyExists(HKEY_LOCAL_MACHINE, kClasses + extension)) {
                saved_[extension] = "";
            }
        }
        // Unique per process, so a crashed run's leftovers are told apart from the prefix's own.
        const std::string progId =
            "SuiteHelpWineTest" + extension + "." + std::to_string(::GetCurrentProcessId());
        classes_.insert(progId);
        support::deleteKey(HKEY_LOCAL_MACHINE, kClasses + progId);
        const std::string verb = progId + "\\shell\\open";
        bool ok = handler.command.empty() ? Put(progId, "type without an open verb")
                                          : Put(verb + "\\command", handler.command);
        if (!handler.ddeServer.empty()) {
            ok = ok && Put(verb + "\\ddeexec", "[open(\"%1\")]") &&
                 Put(verb + "\\ddeexec\\application", handler.ddeServer);
        }
        return ok && Put(extension, progId);
    }

    void Restore() {
        for (const auto& [extension, former] : saved_) {
            if (former) {
                Put(extension, *former);
            } else {
                support::deleteKey(HKEY_LOCAL_MACHINE, kClasses + extension);
            }
        }
        for (const std::string& progId : classes_) {
            support::deleteKey(HKEY_LOCAL_MACHINE, kClasses + progId);
        }
        saved_.clear();
        classes_.clear();
    }

  private:
    static bool Put(const std::string& key, const std::string& value) {
        return support::setString(HKEY_LOCAL_MACHINE, kClasses + key, "", value);
    }

    std::map<std::string, std::optional<std::string>> saved_;  // extension -> former class
    std::set<std::string> classes_;                            // the ones made here
};

// Where the product is registered. Which layer wins is the library's business, proven by its
// own tests.
enum class Layer { None, User, Machine };

// What a viewer was started with: its process and "<arg>\t<arg>...".
struct Opening {
    DWORD processId;
    std::string args;
};

class SuiteHelpWine : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        // One folder, so that the loader finds the library beside the program.
        bin_.emplace("suitehelp-wine-bin");
        copied_ = true;
        for (const auto& [from, name] :
             {std::pair{SUITEHELP_EXE, "suitehelp.exe"}, std::pair{VLREGUT_DLL, "vlregut.dll"},
              std::pair{RECORD_HANDLER_EXE, "record_handler.exe"}}) {
            const std::string source = support::windowsPath(from);
            if (!::CopyFileA(source.c_str(), (*bin_ / name).c_str(), FALSE)) {
                std::cerr << "cannot copy " << source << ": error " << ::GetLastError() << "\n";
                copied_ = false;
            }
        }
    }

    static void TearDownTestSuite() { bin_.reset(); }

    void SetUp() override {
        ASSERT_TRUE(copied_) << "the programs under test could not be put into the bin folder";
        // Wine starts its desktop process for the first program that needs one: this one, so
        // that it is not taken for a process that suitehelp.exe started.
        ::GetDesktopWindow();
        ::SetEnvironmentVariableA("SUITEHELP_WINE_RECORD", record_.c_str());  // for the viewer
        if (!associations_.Set(".pdf", {quote(*bin_ / "record_handler.exe") + " \"%1\""})) {
            GTEST_SKIP() << "associating .pdf needs write access to "
                            "HKEY_LOCAL_MACHINE\\Software\\Classes (run elevated)";
        }
    }

    void TearDown() override {
        associations_.Restore();
        support::writeFile(record_ + ".release", "");
        for (const Opening& opening : Openings()) {
            support::endProcess(opening.processId, 5s);
        }
        for (const Process& launcher : launched_) {
            support::endProcess(launcher.id(), 0ms);
            for (DWORD child : support::childrenOf(launcher)) {
                support::endProcess(child, 0ms);
            }
        }
        launched_.clear();
        support::deleteKey(HKEY_CURRENT_USER, kUserProducts + product_);
        support::deleteKey(HKEY_LOCAL_MACHINE, kMachineProducts + product_);
    }

    std::string At(const std::string& relative) const { return root_ / relative; }

    void RegisterProduct(Layer layer, const std::string& docsDir) {
        if (layer != Layer::None) {
            ASSERT_TRUE(support::setString(
                layer == Layer::User ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE,
                (layer == Layer::User ? kUserProducts : kMachineProducts) + product_, "DocsDir",
                docsDir));
        }
    }

    std::optional<std::string> DocsDir(HKEY layer) const {
        return support::getString(
            layer, (layer == HKEY_CURRENT_USER ? kUserProducts : kMachineProducts) + product_,
            "DocsDir");
    }

    // The launch configuration names the doc-name file, which names the document.
    void Configure(const std::string& docNameFile = {}, const std::string& product = {}) {
        support::writeFile(cfg_, names_ + "\n\n" + (product.empty() ? product_ : product) + "\n");
        if (!docNameFile.empty()) {
            support::writeFile(names_, docNameFile);
        }
    }

    const Process& Launch(const std::string& option = "-vellum") {
        const std::string program = *bin_ / "suitehelp.exe";
        const Process& process =
            launched_.emplace_back(program, quote(program) + " " + option + " " + quote(cfg_));
        EXPECT_TRUE(process.started()) << "CreateProcessA failed: " << process.startError();
        return process;
    }

    // Waits for the process to end with nobody at the screen; returns what it showed meanwhile,
    // apart from the windows already handled.
    std::vector<std::string> WatchUntilExit(const Process& process,
                                            const std::set<HWND>& handled = {}) {
        std::set<HWND> seen(handled);
        std::vector<std::string> shown;
        const auto deadline = std::chrono::steady_clock::now() + kExitTimeout;
        while (process.started() && !process.waitForExit(20ms) &&
               std::chrono::steady_clock::now() < deadline) {
            for (HWND window : uidriver::TopLevelWindows(process.id())) {
                if (seen.insert(window).second) {
                    shown.push_back(uidriver::Describe(window));
                }
            }
        }
        EXPECT_TRUE(process.ended()) << "suitehelp.exe did not end within the timeout";
        return shown;
    }

    // Its dialog with this caption, which no window of its own owns.
    HWND AwaitWindow(const Process& process, const std::string& caption) {
        HWND window = uidriver::WaitForWindow(process.id(), caption, "#32770", kWindowTimeout,
                                              process.handle());
        std::string shown;
        for (HWND other : uidriver::TopLevelWindows(process.id())) {
            shown += uidriver::Describe(other);
        }
        EXPECT_NE(window, nullptr)
            << "no dialog \"" << caption << "\" appeared; "
            << (process.ended() ? "suitehelp.exe ended" : "shown:\n" + shown);
        EXPECT_EQ(window ? ::GetWindow(window, GW_OWNER) : nullptr, nullptr) << caption;
        return window;
    }

    // A message box with exactly this text (Wine shows a line break as CR LF) and an OK button
    // alone, which is then pressed.
    void AnswerMessageBox(HWND box, const std::string& expected) {
        EXPECT_EQ(expand(uidriver::StaticText(box), {{"\r\n", "\n"}}), expected);
        const auto buttons = uidriver::Children(box, "Button");
        EXPECT_TRUE(buttons.size() == 1 && ::GetDlgCtrlID(buttons[0]) == IDOK)
            << uidriver::Describe(box);
        EXPECT_TRUE(uidriver::Press(box, IDOK));
    }

    // The record's lines "<pid>\t<arg>\t...", but for one still being written.
    std::vector<Opening> Openings() const {
        std::vector<Opening> openings;
        std::string text = support::readFile(record_);
        std::istringstream lines(text.erase(text.rfind('\n') + 1));
        for (std::string line; std::getline(lines, line);) {
            const auto tab = line.find('\t');
            openings.push_back({static_cast<DWORD>(std::stoul(line)),
                                tab == std::string::npos ? "" : line.substr(tab + 1)});
        }
        return openings;
    }

    // The viewer may record itself only after suitehelp.exe has ended.
    void ExpectOpened(const std::string& path, const Process& launcher) {
        const auto deadline = std::chrono::steady_clock::now() + kRecordTimeout;
        auto openings = Openings();
        while (openings.size() <= opened_ && std::chrono::steady_clock::now() < deadline) {
            ::Sleep(20);
            openings = Openings();
        }
        ASSERT_EQ(openings.size(), ++opened_) << "the handler was not started exactly once";
        EXPECT_EQ(openings.back().args, path);
        // Also proves that childrenOf sees the launcher's children, which ExpectNothingOpened
        // relies on.
        const auto children = support::childrenOf(launcher);
        EXPECT_NE(std::find(children.begin(), children.end(), openings.back().processId),
                  children.end())
            << "the viewer was not started by suitehelp.exe";
        EXPECT_TRUE(launcher.ended());
        EXPECT_TRUE(support::isRunning(openings.back().processId))
            << "suitehelp.exe waited for the viewer to end";
    }

    void ExpectNothingOpened(const Process& launcher) {
        const auto openings = Openings();
        EXPECT_EQ(openings.size(), opened_) << "a document was handed to the handler";
        for (DWORD child : support::childrenOf(launcher)) {
            EXPECT_TRUE(std::any_of(openings.begin(), openings.end(),
                                    [&](const Opening& o) { return o.processId == child; }))
                << "suitehelp.exe started process " << child;
        }
    }

    static inline std::optional<support::TempFolder> bin_;
    static inline bool copied_ = false;
    const support::TempFolder root_{"suitehelp-wine"};
    const std::string product_ = support::uniqueName("WineE2E");
    const std::string cfg_ = At("help.cfg");
    const std::string names_ = At("docname.txt");
    const std::string record_ = At("record.txt");
    Associations associations_;
    std::deque<Process> launched_;
    std::size_t opened_ = 0;
};

// The document is where the registry says: it is handed over at once; nothing happens for an
// unknown product.
struct DirectCase {
    const char* name;
    const char* option;
    Layer layer;
    const char* folder;       // DocsDir, under the root
    const char* docNameFile;  // its text; empty: no such file
    const char* onDisk;       // the document's name in the folder; handed over in lower case
};

// clang-format off
const DirectCase kDirectCases[] = {
    {"DefaultName",        "-vellum", Layer::User,    "Suite Docs", "",               "DOCS.PDF"},
    {"NameFromNameFile",   "-vellum", Layer::User,    "Suite Docs", "Guide.PDF\nx\n", "Guide.pdf"},
    {"UpperCaseDaxOption", "-DAX",    Layer::User,    "Suite Docs", "",               "docs.pdf"},
    {"MachineWideProduct", "-dax",    Layer::Machine, "Suite Docs", "",               "docs.pdf"},
    {"PercentInFolder",    "-vellum", Layer::User,    "100%1 done", "",               "docs.pdf"},
    {"UnknownProduct",     "-vellum", Layer::None,    "Suite Docs", "",               "docs.pdf"},
};
// clang-format on

class Direct : public SuiteHelpWine, public ::testing::WithParamInterface<DirectCase> {};

TEST_P(Direct, HandsTheDocumentOverWithoutAnyWindow) {
    const DirectCase& c = GetParam();
    const std::string folder = At(c.folder);
    support::writeFile(folder + "\\" + c.onDisk, support::kMinimalPdf);
    ASSERT_NO_FATAL_FAILURE(RegisterProduct(c.layer, folder));
    Configure(c.docNameFile);
    const auto userBefore = DocsDir(HKEY_CURRENT_USER);

    const Process& suitehelp = Launch(c.option);

    EXPECT_EQ(WatchUntilExit(suitehelp), std::vector<std::string>{});
    if (c.layer == Layer::None) {
        ExpectNothingOpened(suitehelp);
        EXPECT_FALSE(support::keyExists(HKEY_CURRENT_USER, kUserProducts + product_));
    } else {
        ExpectOpened(folder + "\\" + Lower(c.onDisk), suitehelp);
    }
    EXPECT_EQ(DocsDir(HKEY_CURRENT_USER), userBefore) << "nothing is stored when nothing was asked";
}

INSTANTIATE_TEST_SUITE_P(Table, Direct, ::testing::ValuesIn(kDirectCases), support::caseName);

// The document is not in DocsDir: the File-Open dialog asks for it.
enum class Answer { Open, Cancel, Close };

struct DialogCase {
    const char* name;
    Layer layer;
    const char* file;  // the PDF made under the root
    Answer answer;
    const char* typed;   // "{root}" stands for the root; a relative path starts in DocsDir
    const char* stored;  // the user's DocsDir afterwards, "{root}" as above; null: unchanged,
                         // and an error box follows a name typed
};

// clang-format off
const DialogCase kDialogCases[] = {
    {"FullPath",           Layer::User,    "Elsewhere\\docs.pdf",   Answer::Open,
     "{root}\\Elsewhere\\docs.pdf",   "{root}\\Elsewhere"},
    {"NameMatchedCaseBlind", Layer::User,  "Other Place\\Docs.PDF", Answer::Open,
     "{root}\\Other Place\\Docs.PDF", "{root}\\Other Place"},
    {"DefaultExtension",   Layer::User,    "v1.2\\docs.pdf",        Answer::Open,
     "{root}\\v1.2\\docs",            "{root}\\v1.2"},
    {"RelativeToDocsDir",  Layer::User,    "Suite Docs\\sub\\docs.pdf", Answer::Open,
     "sub\\docs.pdf",                 "{root}\\Suite Docs\\sub"},
    {"MachineWideProduct", Layer::Machine, "Elsewhere\\docs.pdf",   Answer::Open,
     "{root}\\Elsewhere\\docs.pdf",   "{root}\\Elsewhere"},
    {"PercentInFolder",    Layer::User,    "100%1 done\\docs.pdf",  Answer::Open,
     "{root}\\100%1 done\\docs.pdf",  "{root}\\100%1 done"},
    {"WrongName",          Layer::User,    "Elsewhere\\manual.pdf", Answer::Open,
     "{root}\\Elsewhere\\manual.pdf", nullptr},
    {"Cancel",             Layer::User,    "Elsewhere\\docs.pdf",   Answer::Cancel, nullptr, nullptr},
    {"CloseBox",           Layer::User,    "Elsewhere\\docs.pdf",   Answer::Close,  nullptr, nullptr},
};
// clang-format on

class Asking : public SuiteHelpWine, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(Asking, StoresTheChosenFolderAndOpensTheDocument) {
    const DialogCase& c = GetParam();
    const std::string docsDir = At("Suite Docs");
    std::filesystem::create_directories(docsDir);
    support::writeFile(At(c.file), support::kMinimalPdf);
    ASSERT_NO_FATAL_FAILURE(RegisterProduct(c.layer, docsDir));
    Configure("DOCS.PDF\n");
    const auto userBefore = DocsDir(HKEY_CURRENT_USER);
    const auto machineBefore = DocsDir(HKEY_LOCAL_MACHINE);

    const Process& suitehelp = Launch();

    const std::string title =
        "Can't find " + Lower(docsDir) + "\\docs.pdf. Specify the path for docs.pdf.";
    HWND dialog = AwaitWindow(suitehelp, title);
    ASSERT_NE(dialog, nullptr);
    std::set<HWND> handled{dialog};
    EXPECT_EQ(uidriver::ComboItems(::GetDlgItem(dialog, 0x470)),  // the types box, cmb1
              std::vector<std::string>{"pdf Files (*.pdf)"})
        << uidriver::Describe(dialog);
    const HWND fileName = uidriver::FileNameBox(dialog);
    ASSERT_NE(fileName, nullptr) << uidriver::Describe(dialog);
    EXPECT_EQ(uidriver::Text(fileName), "*.pdf");
    ASSERT_TRUE(
        c.answer == Answer::Open
            ? uidriver::AnswerFileOpen(dialog, expand(c.typed, {{"{root}", root_.path().string()}}))
        : c.answer == Answer::Cancel ? uidriver::Press(dialog, IDCANCEL)
                                     : uidriver::Close(dialog));
    if (c.answer == Answer::Open && c.stored == nullptr) {
        HWND error = AwaitWindow(suitehelp, "Error");
        ASSERT_NE(error, nullptr);
        handled.insert(error);
        AnswerMessageBox(error, "Invalid file name specified.");
    }

    EXPECT_EQ(WatchUntilExit(suitehelp, handled), std::vector<std::string>{});
    EXPECT_EQ(DocsDir(HKEY_LOCAL_MACHINE), machineBefore)
        << "the machine-wide layer is never written";
    if (c.stored == nullptr) {
        EXPECT_EQ(DocsDir(HKEY_CURRENT_USER), userBefore);
        ExpectNothingOpened(suitehelp);
        return;
    }
    const std::string stored = expand(c.stored, {{"{root}", root_.path().string()}});
    EXPECT_EQ(DocsDir(HKEY_CURRENT_USER), stored);
    ExpectOpened(stored + "\\docs.pdf", suitehelp);

    // The repaired folder spares the next launch the question.
    const Process& again = Launch();
    EXPECT_EQ(WatchUntilExit(again), std::vector<std::string>{});
    ExpectOpened(stored + "\\docs.pdf", again);
}

INSTANTIATE_TEST_SUITE_P(Table, Asking, ::testing::ValuesIn(kDialogCases), support::caseName);

// The shell refuses the document: a message box tells why. How the document's type is set up,
// and what Wine's shell answers: no open verb (31); a verb naming no program (2), a folder (5)
// or a file that is no program (11); a DDE verb whose server never answers (30).
struct FailureCase {
    const char* name;
    const char* folder;    // DocsDir, under the root
    const char* document;  // named by the doc-name file and stored in the folder
    const char* viewer;    // the open verb's program, "{root}" and "{bin}" standing for their
                           // folders; empty: no open verb
    const char* text;      // the box's text
    bool dde = false;      // the verb also talks DDE to a server that never answers
};

// clang-format off
const FailureCase kFailureCases[] = {
    {"PdfUnassociated",    "Help",       "docs.pdf",      "",                     kNoReader},
    {"PdfInsideOtherType", "Help",       "notes.pdf.qqq", "",                     kNoReader},
    {"QqqUnassociated",    "Help",       "docs.qqq",      "",                     kNoAssociation},
    {"PercentInPath",      "100%1 done", "docs.qqq",      "",                     kNoAssociation},
    {"ViewerMissing",      "Help",       "docs.pdf",      "{root}\\no-such-viewer.exe", kNotFound},
    {"ViewerIsAFolder",    "Help",       "docs.pdf",      "{root}\\Viewer",       kDenied},
    {"ViewerNotAProgram",  "Help",       "docs.pdf",      "{root}\\viewer.exe",   kInvalid},
    {"DdeServerSilent",    "Help",       "docs.pdf",      "{bin}\\record_handler.exe",
     kOtherFailure, true},
};
// clang-format on

class Failing : public SuiteHelpWine, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failing, ShowsWhyTheShellRefused) {
    const FailureCase& c = GetParam();
    const std::string folder = At(c.folder);
    const std::string path = folder + "\\" + c.document;
    support::writeFile(path, support::kMinimalPdf);
    std::filesystem::create_directories(At("Viewer"));
    support::writeFile(At("viewer.exe"), "not a program\n");
    const std::string viewer =
        expand(c.viewer, {{"{root}", root_.path().string()}, {"{bin}", bin_->path().string()}});
    const std::string extension = path.substr(path.rfind('.'));
    // Without an open verb the type has no association; one without a class is left so.
    if (!viewer.empty() || support::keyExists(HKEY_LOCAL_MACHINE, kClasses + extension)) {
        ASSERT_TRUE(associations_.Set(extension, {viewer.empty() ? "" : quote(viewer) + " \"%1\"",
                                                  c.dde ? "SuiteHelpWineNoSuchServer" : ""}));
    }
    ASSERT_NO_FATAL_FAILURE(RegisterProduct(Layer::User, folder));
    Configure(std::string(c.document) + "\n");

    const Process& suitehelp = Launch();

    HWND box = AwaitWindow(suitehelp, "suitehelp");
    ASSERT_NE(box, nullptr);
    AnswerMessageBox(box, expand(c.text, {{"{path}", path}}));
    EXPECT_EQ(WatchUntilExit(suitehelp, {box}), std::vector<std::string>{});
    EXPECT_EQ(DocsDir(HKEY_CURRENT_USER), folder);
    if (c.dde) {
        ExpectOpened(path, suitehelp);  // the verb's program was started all the same
    } else {
        ExpectNothingOpened(suitehelp);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Failing, ::testing::ValuesIn(kFailureCases), support::caseName);

// Inputs longer than the buffers behind them end the session quietly; none is cut short into
// another product id or another file's name.
TEST_F(SuiteHelpWine, OverlongInputsShowNothingAndOpenNothing) {
    const std::string folder = At("Suite Docs");
    support::writeFile(folder + "\\docs.pdf", support::kMinimalPdf);
    ASSERT_NO_FATAL_FAILURE(RegisterProduct(Layer::User, folder));
    for (const std::string& product : {product_ + std::string(260, 'x'), std::string(300, 'p')}) {
        Configure({}, product);
        const Process& suitehelp = Launch();
        EXPECT_EQ(WatchUntilExit(suitehelp), std::vector<std::string>{});
        ExpectNothingOpened(suitehelp);
    }
    Configure();
    const Process& suitehelp = Launch("-vellum C:\\" + std::string(3000, 'c'));
    EXPECT_EQ(WatchUntilExit(suitehelp), std::vector<std::string>{});
    ExpectNothingOpened(suitehelp);
    EXPECT_EQ(DocsDir(HKEY_CURRENT_USER), folder);
}

TEST(SuiteHelpManifest, RunsAsInvokerAndIsDpiAware) {
    const std::string exe = support::windowsPath(SUITEHELP_EXE);
    const HMODULE module = ::LoadLibraryExA(
        exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module, nullptr) << exe << ": error " << ::GetLastError();
    const HRSRC resource = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));
    std::string manifest;
    if (resource != nullptr) {
        const auto* data =
            static_cast<const char*>(::LockResource(::LoadResource(module, resource)));
        manifest.assign(data, ::SizeofResource(module, resource));
    }
    ::FreeLibrary(module);
    ASSERT_FALSE(manifest.empty()) << "no RT_MANIFEST resource 1";

    for (const char* pattern :
         {R"(<requestedExecutionLevel\s([^>]*\s)?level="asInvoker")",
          R"(<dpiAwareness(\s[^>]*)?>PerMonitorV2)", R"(<dpiAware(\s[^>]*)?>[Tt][Rr][Uu][Ee])"}) {
        EXPECT_TRUE(std::regex_search(manifest, std::regex(pattern))) << pattern << "\n"
                                                                      << manifest;
    }
}

}  // namespace
