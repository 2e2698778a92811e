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
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "ui_driver.h"
#include "wine_support.h"

namespace {

using namespace std::chrono_literals;
using winetest::Process;

// Wine starts programs and builds dialogs slowly on a busy machine.
constexpr auto kExitTimeout = 20s;
constexpr auto kWindowTimeout = 20s;
constexpr auto kRecordTimeout = 10s;

constexpr char kUserProducts[] = "Software\\vlregut\\Products\\";
constexpr char kMachineProducts[] = "SOFTWARE\\vlregut\\Products\\";
constexpr char kDialogClass[] = "#32770";

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

// Only the header matters to anyone who sniffs the type.
constexpr char kPdf[] =
    "%PDF-1.4\n1 0 obj\n<< /Type /Catalog /Pages 2 0 R >>\nendobj\n"
    "2 0 obj\n<< /Type /Pages /Kids [] /Count 0 >>\nendobj\n"
    "trailer\n<< /Root 1 0 R >>\n%%EOF\n";

std::string Replace(std::string text, const std::string& key, const std::string& value) {
    for (std::size_t at = text.find(key); at != std::string::npos;
         at = text.find(key, at + value.size())) {
        text.replace(at, key.size(), value);
    }
    return text;
}

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

// Wine's message box shows a line break of its text as CR LF.
std::string Normalised(const std::string& text) {
    return Replace(text, "\r\n", "\n");
}

std::string ExtensionOf(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(dot);
}

// Unique among runs that share the prefix: "<stem>-<pid>-<serial>".
std::string UniqueName(const std::string& stem) {
    static int serial = 0;
    return stem + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++serial);
}

std::string NewTempFolder(const std::string& stem) {
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    const std::string folder = temp + UniqueName(stem);
    std::filesystem::create_directories(folder);
    return folder;
}

// Tests and failure reports are named after their table row.
template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& row) {
    return row.param.name;
}

template <typename Case>
requires requires(const Case& c) {
    c.name;
}
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// Where the product is registered. Both: the user's layer names the folder, the machine-wide
// one a decoy that has the document too.
enum class Layer { User, Machine, Both };

struct Opening {
    DWORD processId;
    std::vector<std::string> args;
};

class SuiteHelpWine : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        bin_ = NewTempFolder("suitehelp-wine-bin");
        // One folder, so that the loader finds the library beside the program.
        copied_ = true;
        for (const auto& [from, name] :
             {std::pair{SUITEHELP_EXE, "suitehelp.exe"}, std::pair{VLREGUT_DLL, "vlregut.dll"},
              std::pair{RECORD_HANDLER_EXE, "record_handler.exe"}}) {
            const std::string source = winetest::WindowsPath(from);
            if (!::CopyFileA(source.c_str(), (bin_ + "\\" + name).c_str(), FALSE)) {
                std::cerr << "cannot copy " << source << ": error " << ::GetLastError() << "\n";
                copied_ = false;
            }
        }
    }

    static void TearDownTestSuite() {
        std::error_code ignored;
        std::filesystem::remove_all(bin_, ignored);
    }

    void SetUp() override {
        ASSERT_TRUE(copied_) << "the programs under test could not be put into " << bin_;
        root_ = NewTempFolder("suitehelp-wine");
        product_ = UniqueName("WineE2E");
        cfg_ = root_ + "\\help.cfg";
        names_ = root_ + "\\docname.txt";
        record_ = root_ + "\\record.txt";
        if (!associations_.Set(".pdf", {Quoted(bin_ + "\\record_handler.exe") + " \"%1\"", ""})) {
            GTEST_SKIP() << "associating .pdf needs write access to "
                            "HKEY_LOCAL_MACHINE\\Software\\Classes (run elevated)";
        }
    }

    void TearDown() override {
        associations_.Restore();
        if (root_.empty()) {
            return;  // SetUp stopped before making anything
        }
        winetest::WriteText(record_ + ".release", "");
        for (const Opening& opening : Openings()) {
            winetest::EndProcess(opening.processId, 5s);
        }
        std::vector<DWORD> launchers;
        for (const Process& process : launched_) {
            launchers.push_back(process.id());
        }
        launched_.clear();  // ends any that still run
        for (DWORD launcher : launchers) {
            for (DWORD child : winetest::ChildrenOf(launcher)) {
                winetest::EndProcess(child, 0ms);
            }
        }
        winetest::DeleteKey(HKEY_CURRENT_USER, kUserProducts + product_);
        winetest::DeleteKey(HKEY_LOCAL_MACHINE, kMachineProducts + product_);
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }

    std::string At(const std::string& relative) const { return root_ + "\\" + relative; }

    void RegisterProduct(Layer layer, const std::string& docsDir) {
        if (layer != Layer::Machine) {
            ASSERT_TRUE(winetest::SetString(HKEY_CURRENT_USER, kUserProducts + product_, "DocsDir",
                                            docsDir));
        }
        if (layer != Layer::User) {
            const std::string machineDir = layer == Layer::Both ? At("Decoy") : docsDir;
            if (layer == Layer::Both) {
                winetest::WriteText(machineDir + "\\docs.pdf", kPdf);
            }
            ASSERT_TRUE(winetest::SetString(HKEY_LOCAL_MACHINE, kMachineProducts + product_,
                                            "DocsDir", machineDir));
        }
    }

    std::optional<std::string> UserDocsDir() const {
        return winetest::GetString(HKEY_CURRENT_USER, kUserProducts + product_, "DocsDir");
    }
    std::optional<std::string> MachineDocsDir() const {
        return winetest::GetString(HKEY_LOCAL_MACHINE, kMachineProducts + product_, "DocsDir");
    }

    // The launch configuration names the doc-name file, which names the document.
    void Configure(const char* docNameFile) {
        winetest::WriteText(cfg_, names_ + "\n\n" + product_ + "\n");
        if (docNameFile != nullptr) {
            winetest::WriteText(names_, docNameFile);
        }
    }

    void Associate(const std::string& extension, const winetest::Handler& handler) {
        ASSERT_TRUE(handler.command.empty() ? associations_.Unassociate(extension)
                                            : associations_.Set(extension, handler));
    }

    const Process& Launch(const std::string& option = "-vellum") {
        const std::string program = bin_ + "\\suitehelp.exe";
        const Process& process =
            launched_.emplace_back(program, Quoted(program) + " " + option + " " + Quoted(cfg_),
                                   winetest::EnvironmentWith("SUITEHELP_WINE_RECORD", record_));
        EXPECT_TRUE(process.started()) << "CreateProcessA failed: " << process.startError();
        return process;
    }

    // Waits for the process to end with nobody at the screen; returns what it showed meanwhile,
    // apart from the windows already handled.
    std::vector<std::string> WatchUntilExit(const Process& process,
                                            const std::set<HWND>& handled = {}) {
        std::set<HWND> seen;
        std::vector<std::string> shown;
        if (!process.started()) {
            return shown;
        }
        const auto deadline = std::chrono::steady_clock::now() + kExitTimeout;
        while (!process.WaitForExit(20ms) && std::chrono::steady_clock::now() < deadline) {
            for (HWND window : uidriver::TopLevelWindows(process.id())) {
                if (handled.count(window) == 0 && seen.insert(window).second) {
                    shown.push_back(uidriver::Describe(window));
                }
            }
        }
        EXPECT_TRUE(process.Ended()) << "suitehelp.exe did not end within the timeout";
        return shown;
    }

    HWND AwaitWindow(const Process& process, const std::string& caption) {
        if (!process.started()) {
            return nullptr;
        }
        HWND window = uidriver::WaitForWindow(process.id(), {caption, kDialogClass}, kWindowTimeout,
                                              process.handle());
        if (window == nullptr) {
            std::string shown;
            for (HWND other : uidriver::TopLevelWindows(process.id())) {
                shown += uidriver::Describe(other);
            }
            ADD_FAILURE() << "no dialog \"" << caption << "\" appeared; "
                          << (process.Ended() ? "suitehelp.exe ended" : "shown:\n" + shown);
            return nullptr;
        }
        // suitehelp.exe has no window of its own to own its dialogs.
        EXPECT_EQ(::GetWindow(window, GW_OWNER), nullptr) << caption;
        return window;
    }

    // A message box with exactly this text and an OK button alone, which is then pressed.
    void AnswerMessageBox(HWND box, const std::string& expected) {
        const std::string text = uidriver::StaticText(box);
        EXPECT_EQ(Normalised(text), expected);
        if (text.find('\n') != std::string::npos) {
            std::cout << "[ observed ] line break shown as "
                      << (text.find("\r\n") != std::string::npos ? "CR LF" : "LF") << "\n";
        }
        const auto buttons = uidriver::Children(box, "Button");
        EXPECT_TRUE(buttons.size() == 1 && ::GetDlgCtrlID(buttons[0]) == IDOK)
            << uidriver::Describe(box);
        EXPECT_TRUE(uidriver::Press(box, IDOK));
    }

    std::vector<Opening> Openings() const {
        std::vector<Opening> openings;
        // A line still being written is left for the next look.
        std::string text = winetest::ReadText(record_);
        text.erase(text.rfind('\n') + 1);
        std::istringstream lines(text);
        for (std::string line; std::getline(lines, line);) {
            std::istringstream fields(line);
            std::string field;
            std::getline(fields, field, '\t');
            Opening opening{static_cast<DWORD>(std::stoul(field)), {}};
            while (std::getline(fields, field, '\t')) {
                opening.args.push_back(field);
            }
            openings.push_back(opening);
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
        ASSERT_EQ(openings.size(), opened_ + 1) << "the handler was not started exactly once";
        ++opened_;
        EXPECT_EQ(openings.back().args, std::vector<std::string>{path});
        // Also proves that ChildrenOf sees the launcher's children, which ExpectNothingOpened
        // relies on.
        const auto children = winetest::ChildrenOf(launcher.id());
        EXPECT_NE(std::find(children.begin(), children.end(), openings.back().processId),
                  children.end())
            << "the viewer was not started by suitehelp.exe";
        EXPECT_TRUE(launcher.Ended());
        EXPECT_TRUE(winetest::IsRunning(openings.back().processId))
            << "suitehelp.exe waited for the viewer to end";
    }

    void ExpectNothingOpened(const Process& launcher) {
        EXPECT_EQ(Openings().size(), opened_) << "a document was handed to the handler";
        std::set<DWORD> viewers;
        for (const Opening& opening : Openings()) {
            viewers.insert(opening.processId);
        }
        for (DWORD child : winetest::ChildrenOf(launcher.id())) {
            EXPECT_EQ(viewers.count(child), 1u) << "suitehelp.exe started process " << child;
        }
    }

    static inline std::string bin_;
    static inline bool copied_ = false;
    std::string root_, product_, cfg_, names_, record_;
    winetest::Associations associations_;
    std::deque<Process> launched_;
    std::size_t opened_ = 0;
};

// The document is where the registry says: it is handed over at once.
struct DirectCase {
    const char* name;
    const char* option;
    Layer layer;
    const char* folder;       // DocsDir, under the root
    const char* docNameFile;  // its text; null: no such file
    const char* onDisk;       // the document's name in the folder; handed over in lower case
};

// clang-format off
const DirectCase kDirectCases[] = {
    {"DefaultName",        "-vellum", Layer::User,    "Suite Docs", nullptr,          "DOCS.PDF"},
    {"NameFromNameFile",   "-vellum", Layer::User,    "Suite Docs", "Guide.PDF\nx\n", "Guide.pdf"},
    {"UpperCaseDaxOption", "-DAX",    Layer::User,    "Suite Docs", nullptr,          "docs.pdf"},
    {"MixedVellumOption",  "-Vellum", Layer::User,    "Suite Docs", nullptr,          "docs.pdf"},
    {"MachineWideProduct", "-dax",    Layer::Machine, "Suite Docs", nullptr,          "docs.pdf"},
    {"UserLayerReadFirst", "-vellum", Layer::Both,    "Suite Docs", nullptr,          "docs.pdf"},
    {"PercentInFolder",    "-vellum", Layer::User,    "100%1 done", nullptr,          "docs.pdf"},
};
// clang-format on

class Direct : public SuiteHelpWine, public ::testing::WithParamInterface<DirectCase> {};

TEST_P(Direct, HandsTheDocumentOverWithoutAnyWindow) {
    const DirectCase& c = GetParam();
    const std::string folder = At(c.folder);
    winetest::WriteText(folder + "\\" + c.onDisk, kPdf);
    ASSERT_NO_FATAL_FAILURE(RegisterProduct(c.layer, folder));
    Configure(c.docNameFile);
    const auto userBefore = UserDocsDir();

    const Process& suitehelp = Launch(c.option);

    EXPECT_EQ(WatchUntilExit(suitehelp), std::vector<std::string>{});
    ExpectOpened(folder + "\\" + Lower(c.onDisk), suitehelp);
    EXPECT_EQ(UserDocsDir(), userBefore) << "nothing is stored when nothing was asked";
}

INSTANTIATE_TEST_SUITE_P(Table, Direct, ::testing::ValuesIn(kDirectCases), CaseName<DirectCase>);

TEST_F(SuiteHelpWine, UnknownProductShowsAndOpensNothing) {
    winetest::WriteText(At("Suite Docs\\docs.pdf"), kPdf);
    Configure(nullptr);

    const Process& suitehelp = Launch();

    EXPECT_EQ(WatchUntilExit(suitehelp), std::vector<std::string>{});
    ExpectNothingOpened(suitehelp);
    EXPECT_FALSE(winetest::KeyExists(HKEY_CURRENT_USER, kUserProducts + product_));
}

// The document is not in DocsDir: the File-Open dialog asks for it.
enum class Answer { Open, Cancel, Close };

struct DialogCase {
    const char* name;
    Layer layer;
    const char* file;  // the PDF made under the root
    Answer answer;
    const char* typed;   // "{root}" stands for the root; a relative path starts in DocsDir
    const char* stored;  // the user's DocsDir afterwards, "{root}" as above; null: unchanged
    bool wrongName;      // an error box follows
};

// clang-format off
const DialogCase kDialogCases[] = {
    {"FullPath",           Layer::User,    "Elsewhere\\docs.pdf",   Answer::Open,
     "{root}\\Elsewhere\\docs.pdf",   "{root}\\Elsewhere",        false},
    {"NameMatchedCaseBlind", Layer::User,  "Other Place\\Docs.PDF", Answer::Open,
     "{root}\\Other Place\\Docs.PDF", "{root}\\Other Place",      false},
    {"DefaultExtension",   Layer::User,    "v1.2\\docs.pdf",        Answer::Open,
     "{root}\\v1.2\\docs",            "{root}\\v1.2",             false},
    {"RelativeToDocsDir",  Layer::User,    "Suite Docs\\sub\\docs.pdf", Answer::Open,
     "sub\\docs.pdf",                 "{root}\\Suite Docs\\sub",  false},
    {"MachineWideProduct", Layer::Machine, "Elsewhere\\docs.pdf",   Answer::Open,
     "{root}\\Elsewhere\\docs.pdf",   "{root}\\Elsewhere",        false},
    {"PercentInFolder",    Layer::User,    "100%1 done\\docs.pdf",  Answer::Open,
     "{root}\\100%1 done\\docs.pdf",  "{root}\\100%1 done",       false},
    {"WrongName",          Layer::User,    "Elsewhere\\manual.pdf", Answer::Open,
     "{root}\\Elsewhere\\manual.pdf", nullptr,                    true},
    {"Cancel",             Layer::User,    "Elsewhere\\docs.pdf",   Answer::Cancel,
     nullptr,                         nullptr,                    false},
    {"CloseBox",           Layer::User,    "Elsewhere\\docs.pdf",   Answer::Close,
     nullptr,                         nullptr,                    false},
};
// clang-format on

class Asking : public SuiteHelpWine, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(Asking, StoresTheChosenFolderAndOpensTheDocument) {
    const DialogCase& c = GetParam();
    const std::string docsDir = At("Suite Docs");
    std::filesystem::create_directories(docsDir);
    winetest::WriteText(At(c.file), kPdf);
    ASSERT_NO_FATAL_FAILURE(RegisterProduct(c.layer, docsDir));
    Configure("DOCS.PDF\n");
    const auto userBefore = UserDocsDir();
    const auto machineBefore = MachineDocsDir();

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
    switch (c.answer) {
        case Answer::Open:
            ASSERT_TRUE(uidriver::AnswerFileOpen(dialog, Replace(c.typed, "{root}", root_)));
            break;
        case Answer::Cancel:
            ASSERT_TRUE(uidriver::Press(dialog, IDCANCEL));
            break;
        case Answer::Close:
            ASSERT_TRUE(uidriver::Close(dialog));
            break;
    }
    if (c.wrongName) {
        HWND error = AwaitWindow(suitehelp, "Error");
        ASSERT_NE(error, nullptr);
        handled.insert(error);
        AnswerMessageBox(error, "Invalid file name specified.");
    }

    EXPECT_EQ(WatchUntilExit(suitehelp, handled), std::vector<std::string>{});
    EXPECT_EQ(MachineDocsDir(), machineBefore) << "the machine-wide layer is never written";
    if (c.stored == nullptr) {
        EXPECT_EQ(UserDocsDir(), userBefore);
        ExpectNothingOpened(suitehelp);
        return;
    }
    const std::string stored = Replace(c.stored, "{root}", root_);
    EXPECT_EQ(UserDocsDir(), stored);
    ExpectOpened(stored + "\\docs.pdf", suitehelp);

    // The repaired folder spares the next launch the question.
    const Process& again = Launch();
    EXPECT_EQ(WatchUntilExit(again), std::vector<std::string>{});
    ExpectOpened(stored + "\\docs.pdf", again);
}

INSTANTIATE_TEST_SUITE_P(Table, Asking, ::testing::ValuesIn(kDialogCases), CaseName<DialogCase>);

// The shell refuses the document: a message box tells why. How the document's type is set up,
// and what Wine's shell answers: None, no open verb (31); Missing, the verb names no program (2);
// Folder, it names a folder (5); NotAProgram, a file that is no program (11); SilentDde, a DDE verb
// whose server never answers (30).
enum class Viewer { None, Missing, Folder, NotAProgram, SilentDde };

struct FailureCase {
    const char* name;
    const char* folder;    // DocsDir, under the root
    const char* document;  // named by the doc-name file and stored in the folder
    Viewer viewer;         // set for the document's type
    const char* text;      // the box's text
    bool started = false;  // the verb's program was started all the same
};

// clang-format off
const FailureCase kFailureCases[] = {
    {"PdfUnassociated",    "Help",       "docs.pdf",      Viewer::None,        kNoReader},
    {"PdfAtStartOfName",   "Help",       ".pdf",          Viewer::None,        kNoAssociation},
    {"PdfInsideOtherType", "Help",       "notes.pdf.qqq", Viewer::None,        kNoReader},
    {"QqqUnassociated",    "Help",       "docs.qqq",      Viewer::None,        kNoAssociation},
    {"PercentInPath",      "100%1 done", "docs.qqq",      Viewer::None,        kNoAssociation},
    {"ViewerMissing",      "Help",       "docs.pdf",      Viewer::Missing,     kNotFound},
    {"ViewerIsAFolder",    "Help",       "docs.pdf",      Viewer::Folder,      kDenied},
    {"ViewerNotAProgram",  "Help",       "docs.pdf",      Viewer::NotAProgram, kInvalid},
    {"DdeServerSilent",    "Help",       "docs.pdf",      Viewer::SilentDde,   kOtherFailure, true},
};
// clang-format on

class Failing : public SuiteHelpWine, public ::testing::WithParamInterface<FailureCase> {
  protected:
    winetest::Handler HandlerFor(Viewer viewer) {
        const std::string recorder = Quoted(bin_ + "\\record_handler.exe") + " \"%1\"";
        switch (viewer) {
            case Viewer::Missing:
                return {Quoted(At("no-such-viewer.exe")) + " \"%1\"", ""};
            case Viewer::Folder:
                std::filesystem::create_directories(At("Viewer"));
                return {Quoted(At("Viewer")) + " \"%1\"", ""};
            case Viewer::NotAProgram:
                winetest::WriteText(At("viewer.exe"), "not a program\n");
                return {Quoted(At("viewer.exe")) + " \"%1\"", ""};
            case Viewer::SilentDde:
                return {recorder, "SuiteHelpWineNoSuchServer"};
            case Viewer::None:
                break;
        }
        return {};
    }
};

TEST_P(Failing, ShowsWhyTheShellRefused) {
    const FailureCase& c = GetParam();
    const std::string folder = At(c.folder);
    const std::string path = folder + "\\" + c.document;
    winetest::WriteText(path, kPdf);
    ASSERT_NO_FATAL_FAILURE(Associate(ExtensionOf(c.document), HandlerFor(c.viewer)));
    ASSERT_NO_FATAL_FAILURE(RegisterProduct(Layer::User, folder));
    Configure((std::string(c.document) + "\n").c_str());

    const Process& suitehelp = Launch();

    HWND box = AwaitWindow(suitehelp, "suitehelp");
    ASSERT_NE(box, nullptr);
    AnswerMessageBox(box, Replace(c.text, "{path}", path));
    EXPECT_EQ(WatchUntilExit(suitehelp, {box}), std::vector<std::string>{});
    EXPECT_EQ(UserDocsDir(), folder);
    if (c.started) {
        ExpectOpened(path, suitehelp);
    } else {
        ExpectNothingOpened(suitehelp);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Failing, ::testing::ValuesIn(kFailureCases), CaseName<FailureCase>);

// The text of an element, or of an attribute when `attribute` is given; empty when absent.
std::string XmlField(const std::string& xml, const std::string& element,
                     const std::string& attribute = "") {
    // "<dpiAware" must not match "<dpiAwareness".
    const auto endsName = [&](std::size_t at) {
        const std::size_t next = at + element.size() + 1;
        return next < xml.size() && std::string(" \t\r\n>/").find(xml[next]) != std::string::npos;
    };
    std::size_t open = xml.find("<" + element);
    while (open != std::string::npos && !endsName(open)) {
        open = xml.find("<" + element, open + 1);
    }
    const std::size_t end = open == std::string::npos ? open : xml.find('>', open);
    if (end == std::string::npos) {
        return {};
    }
    if (attribute.empty()) {
        const std::size_t close = xml.find("</" + element + ">", end);
        return close == std::string::npos ? std::string() : xml.substr(end + 1, close - end - 1);
    }
    const std::string tag = xml.substr(open, end - open);
    const std::size_t at = tag.find(" " + attribute + "=\"");
    if (at == std::string::npos) {
        return {};
    }
    const std::size_t from = at + attribute.size() + 3;
    return tag.substr(from, tag.find('"', from) - from);
}

TEST(SuiteHelpManifest, RunsAsInvokerAndIsDpiAware) {
    const std::string exe = winetest::WindowsPath(SUITEHELP_EXE);
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

    EXPECT_EQ(XmlField(manifest, "requestedExecutionLevel", "level"), "asInvoker") << manifest;
    EXPECT_EQ(XmlField(manifest, "dpiAwareness").rfind("PerMonitorV2", 0), 0u) << manifest;
    EXPECT_EQ(Lower(XmlField(manifest, "dpiAware")).rfind("true", 0), 0u) << manifest;
}

}  // namespace
