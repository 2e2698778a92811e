// Runs the built suitehelp as the suite starts it, each test in a throwaway desktop environment
// of its own: a private install registry, MIME database view and default-application setup
// whose PDF handler is record_handler.
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "support/files.h"
#include "support/process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using namespace std::string_literals;

namespace {

constexpr char kProduct[] = "SuiteWriter";
constexpr char kRetry[] = ": no such file; type another path, or an empty line to cancel.\n";
constexpr char kNoAssociation[] =
    "suitehelp: There is no application associated with the given file name extension.\n"
    "File Name: {path}.\n";
constexpr char kNoReader[] =
    "suitehelp: Acrobat Reader is not installed.\n"
    "Please install Acrobat Reader before executing this operation.\n";
constexpr char kBadAssociation[] =
    "suitehelp: The file name association is incomplete or invalid.\nFile Name: {path}.\n";
constexpr char kDenied[] =
    "suitehelp: The operating system denied access to the specified file.\nFile Name: {path}.\n";

using support::expand;
using support::PrintTo;
using support::readFile;
using support::writeFile;

// The processes whose parent is this one, from /proc.
std::vector<pid_t> ourChildren() {
    std::vector<pid_t> children;
    for (const auto& entry : fs::directory_iterator("/proc")) {
        const std::string name = entry.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const std::string stat = readFile(entry.path() / "stat");
        std::istringstream fields(stat.substr(std::min(stat.rfind(')') + 1, stat.size())));
        char state = 0;
        pid_t parent = 0;
        if (fields >> state >> parent && parent == getpid()) {
            children.push_back(std::stoi(name));
        }
    }
    return children;
}

// Orphans become this process's children, which it reaps here.
bool running(pid_t pid) {
    const pid_t reaped = waitpid(pid, nullptr, WNOHANG);
    return reaped == 0 || (reaped < 0 && kill(pid, 0) == 0);
}

// Waits a bounded time for a process to end, then kills it.
void finish(pid_t pid, std::chrono::milliseconds grace) {
    const auto deadline = std::chrono::steady_clock::now() + grace;
    while (running(pid) && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
    }
    if (running(pid)) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
    }
}

// The world's folders, as "VARIABLE=folder" of the environment.
// clang-format off
constexpr std::string_view kFolders[] = {
    "HOME=home", "XDG_CONFIG_HOME=config", "XDG_CONFIG_DIRS=etc-xdg", "XDG_DATA_HOME=data",
    "XDG_DATA_DIRS=share", "XDG_CACHE_HOME=cache", "XDG_STATE_HOME=state", "XDG_RUNTIME_DIR=run"};
// clang-format on

struct Launch {
    pid_t pid;
    std::string path;
};

enum class Viewer { Recorder, None, Missing };

class SuiteHelp : public ::testing::Test {
  protected:
    void SetUp() override {
        // Orphaned viewers become our children, so we can tell whether they still run and
        // reap them.
        ASSERT_EQ(prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
        for (const std::string_view folder : kFolders) {
            fs::create_directories(root_ / folder.substr(folder.find('=') + 1));
        }
        fs::permissions(root_ / "run", fs::perms::owner_all);
        // Without the MIME database every file would be application/octet-stream.
        fs::create_directory_symlink("/usr/share/mime", root_ / "share" / "mime");
        associate(Viewer::Recorder);
    }

    void TearDown() override {
        writeFile(record_.string() + ".release", "");
        for (const auto& launch : launches()) {
            finish(launch.pid, 2s);
        }
        for (pid_t child : ourChildren()) {
            finish(child, 0ms);
        }
    }

    fs::path userRegistry() const { return root_ / "config" / "vlregut" / "registry.ini"; }
    fs::path machineRegistry() const { return root_ / "etc-xdg" / "vlregut" / "registry.ini"; }

    void associate(Viewer handler) {
        const fs::path desktop = root_ / "data" / "applications" / "rec.desktop";
        const fs::path mimeapps = root_ / "config" / "mimeapps.list";
        fs::remove(desktop);
        fs::remove(mimeapps);
        if (handler == Viewer::None) {
            return;
        }
        const std::string exec =
            handler == Viewer::Recorder ? RECORD_HANDLER_EXE : (root_ / "no-such-viewer").string();
        writeFile(desktop, "[Desktop Entry]\nType=Application\nName=Recorder\nExec=" + exec +
                               " %f\nMimeType=application/pdf;\n");
        writeFile(mimeapps, "[Default Applications]\napplication/pdf=rec.desktop\n");
    }

    void registerProduct(const std::string& product, const fs::path& docsDir,
                         bool machineWide = false) {
        const fs::path ini = machineWide ? machineRegistry() : userRegistry();
        writeFile(ini, readFile(ini) + "[" + product + "]\nDocsDir=" + docsDir.string() + "\n");
    }

    // The launch configuration names the doc-name file ("{names}"), which names the document.
    // "{pad}" fills the configuration's first 1024 bytes up to the product id's first line.
    void configure(const std::optional<std::string>& docName,
                   const std::string& config = "{names}\n\nSuiteWriter\n") {
        std::string text = expand(config, {{"{names}", names_.string()}});
        if (const auto at = text.find("{pad}"); at != std::string::npos) {
            text.replace(at, 5, std::string(1024 - at - 1 - std::strlen(kProduct), 'x'));
        }
        writeFile(cfg_, text);
        if (docName) {
            writeFile(names_, *docName);
        }
    }

    std::vector<std::string> environment() const {
        std::vector<std::string> env{"PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C.UTF-8",
                                     "SUITEHELP_UI=console",
                                     "SUITEHELP_E2E_RECORD=" + record_.string()};
        for (const std::string_view folder : kFolders) {
            const auto equals = folder.find('=') + 1;
            env.push_back(std::string(folder.substr(0, equals)) +
                          (root_ / folder.substr(equals)).string());
        }
        return env;
    }

    // Arguments are split at spaces; "{cfg}" stands for the launch configuration's path.
    e2e::RunResult suitehelp(const std::string& args = "-vellum {cfg}",
                             const std::string& input = "", const fs::path& cwd = {}) {
        std::vector<std::string> argv{SUITEHELP_EXE};
        std::istringstream words(args);
        for (std::string word; words >> word;) {
            argv.push_back(expand(word, {{"{cfg}", cfg_.string()}}));
        }
        auto result = e2e::run({argv, environment(), input, cwd.string(), 5s});
        EXPECT_FALSE(result.timedOut) << "suitehelp did not end within 5 s";
        return result;
    }

    std::optional<std::string> docsDir(const std::string& product) {
        const auto result =
            e2e::run({{VLREG_EXE, "get", product, "DocsDir"}, environment(), "", "", 5s});
        if (result.exitCode != 0 || result.out.empty() || result.out.back() != '\n') {
            return std::nullopt;
        }
        return result.out.substr(0, result.out.size() - 1);
    }

    std::vector<Launch> launches() const {
        std::vector<Launch> result;
        std::istringstream lines(readFile(record_));
        for (std::string line; std::getline(lines, line);) {
            const size_t space = line.find(' ');
            result.push_back({std::stoi(line.substr(0, space)),
                              space == std::string::npos ? "" : line.substr(space + 1)});
        }
        return result;
    }

    // The viewer starts after suitehelp's launch returns, so its record may come later, seconds
    // later on a loaded machine.
    void expectOpened(const fs::path& expected) {
        ++opened_;
        const auto deadline = std::chrono::steady_clock::now() + 20s;
        auto seen = launches();
        while (seen.size() < opened_ && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(5ms);
            seen = launches();
        }
        ASSERT_EQ(seen.size(), opened_) << "the handler was not started exactly once";
        EXPECT_EQ(seen.back().path, expected.string());
        EXPECT_TRUE(running(seen.back().pid)) << "suitehelp waited for the viewer to end";
    }

    void expectNothingOpened() {
        const auto seen = launches();
        EXPECT_EQ(seen.size(), opened_) << "a document was handed to the handler";
        std::set<pid_t> handlers;
        for (const auto& launch : seen) {
            handlers.insert(launch.pid);
        }
        for (pid_t child : ourChildren()) {
            EXPECT_TRUE(handlers.count(child)) << "suitehelp left process " << child << " behind";
        }
    }

    const support::TempFolder temp_{"suitehelp-e2e"};
    const fs::path root_ = temp_.path();
    const fs::path cfg_ = root_ / "help.cfg";
    const fs::path names_ = root_ / "docname.txt";
    const fs::path record_ = root_ / "record.txt";
    size_t opened_ = 0;
};

void expectQuiet(const e2e::RunResult& result) {
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.out, "");
}

// Which document gets opened, driven by the launch option and the two files.
struct LaunchCase {
    const char* name;
    const char* args;
    std::string config;                  // as for configure()
    std::optional<std::string> docName;  // the doc-name file's text; none: no such file
    const char* onDisk;                  // the document as stored in the product's folder
    bool opens;
};

const std::string kPlain = "{names}\nignored\nSuiteWriter\n";

// clang-format off
const LaunchCase kLaunchCases[] = {
    {"DefaultName",          "-vellum {cfg}",    kPlain, std::nullopt,     "docs.pdf",  true},
    {"EmptyNameFile",        "-vellum {cfg}",    kPlain, "",               "DOCS.pdf",  true},
    {"NameMatchedCaseBlind", "-vellum {cfg}",    kPlain, "DOCS.PDF\n",     "Docs.PDF",  true},
    {"NameFileLineOneOnly",  "-vellum {cfg}",    kPlain, "Guide.PDF\nx\n", "guide.pdf", true},
    {"OptionUpperDax",       "-DAX {cfg}",       kPlain, std::nullopt,     "docs.pdf",  true},
    {"OptionMixedVellum",    "-Vellum {cfg}",    kPlain, std::nullopt,     "docs.pdf",  true},
    {"OptionLowerDax",       "-dax {cfg}",       kPlain, std::nullopt,     "docs.pdf",  true},
    {"OptionHelp",           "-help {cfg}",      kPlain, std::nullopt,     "docs.pdf",  false},
    {"NoArguments",          "",                 kPlain, std::nullopt,     "docs.pdf",  false},
    {"OptionWithoutConfig",  "-vellum",          kPlain, std::nullopt,     "docs.pdf",  false},
    {"MissingConfig",        "-vellum {cfg}.no", kPlain, std::nullopt,     "docs.pdf",  false},
    {"CrLfConfig",           "-vellum {cfg}", "{names}\r\nignored\r\nSuiteWriter\r\n", "Guide.PDF\n",
     "guide.pdf", true},
    {"NoFinalLineFeed",      "-vellum {cfg}", "{names}\n\nSuiteWriter", std::nullopt, "docs.pdf", true},
    {"ProductIdCaseBlind",   "-vellum {cfg}", "{names}\nignored\nsuiteWRITER\n", std::nullopt,
     "docs.pdf", true},
    // Only the first 1024 bytes count: they end right after "SuiteWriter" of "SuiteWriterTail".
    {"ConfigCutAt1024",      "-vellum {cfg}",
     "{names}\n{pad}\nSuiteWriterTail\nmore\n" + std::string(200, 'y') + "\n", std::nullopt,
     "docs.pdf", true},
    {"NulEndsProductId",     "-vellum {cfg}", "{names}\nignored\nSuiteWriter\0Tail\n"s,
     std::nullopt, "docs.pdf", true},
    {"NulBeforeProductLine", "-vellum {cfg}", "{names}\nig\0nored\nSuiteWriter\n"s, std::nullopt,
     "docs.pdf", false},
    {"UnknownProduct",       "-vellum {cfg}", "{names}\nignored\nNoSuchProduct\n", std::nullopt,
     "docs.pdf", false},
};
// clang-format on

class Launching : public SuiteHelp, public ::testing::WithParamInterface<LaunchCase> {};

TEST_P(Launching, OpensTheConfiguredDocumentOrNothing) {
    const auto& c = GetParam();
    // Mixed case and a space in the folder: it must reach the viewer untouched.
    const fs::path folder = root_ / "Help Files";
    writeFile(folder / c.onDisk, support::kMinimalPdf);
    registerProduct(kProduct, folder);
    // The product a wrongly cut or wrongly ended id would select.
    writeFile(root_ / "wrong" / c.onDisk, support::kMinimalPdf);
    registerProduct(std::string(kProduct) + "Tail", root_ / "wrong");
    configure(c.docName, c.config);
    const std::string registry = readFile(userRegistry());

    const auto result = suitehelp(c.args);

    expectQuiet(result);
    if (c.opens) {
        expectOpened(folder / c.onDisk);
    } else {
        expectNothingOpened();
    }
    EXPECT_EQ(readFile(userRegistry()), registry);
}

INSTANTIATE_TEST_SUITE_P(Table, Launching, ::testing::ValuesIn(kLaunchCases), support::caseName);

// The console question asked when the document is not in its folder.
struct DialogCase {
    const char* name;
    const char* docsDir;  // registered folder, under the world's root
    bool docsDirExists;
    const char* cwd;                 // under the root
    std::vector<const char*> files;  // PDFs made under the root
    const char* typed;               // standard input; "{root}" stands for the root
    const char* err;                 // "{title}" stands for the question's title line
    const char* stored;              // DocsDir afterwards; null: unchanged
    const char* opened;              // the handler's path; null: nothing opened
    bool machineWide = false;        // where the product is registered
};

// clang-format off
const DialogCase kDialogCases[] = {
    {"AbsolutePath", "Help", true, "", {"Other/docs.pdf"},
     "{root}/Other/docs.pdf\n", "{title}", "{root}/Other", "{root}/Other/docs.pdf"},
    {"NameMatchedCaseBlind", "Help", true, "", {"Other Place/Docs.PDF"},
     "{root}/Other Place/Docs.PDF\n", "{title}", "{root}/Other Place",
     "{root}/Other Place/Docs.PDF"},
    {"NoExtensionGetsPdf", "Help", true, "", {"v1.2/docs.pdf"},
     "{root}/v1.2/docs\n", "{title}", "{root}/v1.2", "{root}/v1.2/docs.pdf"},
    {"RelativeToDocsDir", "Help", true, "", {"Help/sub/docs.pdf"},
     "sub/docs\n", "{title}", "{root}/Help/sub", "{root}/Help/sub/docs.pdf"},
    {"RelativeToCwdWithoutDocsDir", "Gone", false, "Work", {"Work/docs.pdf"},
     "docs.pdf\n", "{title}", "{root}/Work", "{root}/Work/docs.pdf"},
    {"PercentInDocsDir", "100%done %s", true, "", {"Other/docs.pdf"},
     "{root}/Other/docs.pdf\n", "{title}", "{root}/Other", "{root}/Other/docs.pdf"},
    {"RetryAfterMissingPath", "Help", true, "", {"Other/docs.pdf"},
     "{root}/nope/docs.pdf\n{root}/Other/docs.pdf\n", "{title}{root}/nope/docs.pdf{retry}{title}",
     "{root}/Other", "{root}/Other/docs.pdf"},
    {"CancelByEmptyLine", "Help", true, "", {"Other/docs.pdf"},
     "\n{root}/Other/docs.pdf\n", "{title}", nullptr, nullptr},
    {"CancelByEndOfInput", "Help", true, "", {"Other/docs.pdf"},
     "", "{title}", nullptr, nullptr},
    {"CancelAfterRetry", "Help", true, "", {},
     "{root}/nope.pdf\n", "{title}{root}/nope.pdf{retry}{title}", nullptr, nullptr},
    {"WrongName", "Help", true, "", {"Other/manual.pdf"},
     "{root}/Other/manual.pdf\n", "{title}Error: Invalid file name specified.\n", nullptr, nullptr},
    {"WrongExtension", "Help", true, "", {"Other/docs.txt"},
     "{root}/Other/docs.txt\n", "{title}Error: Invalid file name specified.\n", nullptr, nullptr},
    // The answer goes to the user's layer.
    {"MachineWideProduct", "Help", true, "", {"Other/docs.pdf"},
     "{root}/Other/docs.pdf\n", "{title}", "{root}/Other", "{root}/Other/docs.pdf", true},
};
// clang-format on

class Asking : public SuiteHelp, public ::testing::WithParamInterface<DialogCase> {};

TEST_P(Asking, StoresTheAnsweredFolderAndOpensTheDocument) {
    const auto& c = GetParam();
    const support::Substitutions where{{"{root}", root_.string()}};
    const std::string folder = (root_ / c.docsDir).string();
    if (c.docsDirExists) {
        fs::create_directories(folder);
    }
    for (const char* file : c.files) {
        writeFile(root_ / file, support::kMinimalPdf);
    }
    registerProduct(kProduct, folder, c.machineWide);
    configure("DOCS.PDF\n");
    const std::string machine = readFile(machineRegistry());
    const std::string title =
        "Can't find " + folder + "/docs.pdf. Specify the path for docs.pdf.\n";

    const auto result =
        suitehelp("-vellum {cfg}", expand(c.typed, where), c.cwd[0] ? root_ / c.cwd : fs::path());

    EXPECT_EQ(result.err, expand(c.err, {{"{title}", title}, {"{retry}", kRetry}, where.front()}));
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(docsDir(kProduct), c.stored ? expand(c.stored, where) : folder);
    EXPECT_EQ(readFile(machineRegistry()), machine);
    if (!c.opened) {
        expectNothingOpened();
        return;
    }
    expectOpened(expand(c.opened, where));
    // The stored folder spares the next run the question.
    const auto again = suitehelp();
    expectQuiet(again);
    expectOpened(expand(c.opened, where));
}

INSTANTIATE_TEST_SUITE_P(Table, Asking, ::testing::ValuesIn(kDialogCases), support::caseName);

// Failures of the hand-over to the default application, each with its message box.
struct FailureCase {
    const char* name;
    const char* folder;    // under the world's root
    const char* document;  // named by the doc-name file and stored in the folder
    bool pdfContent;
    Viewer handler;
    std::vector<const char*> errs;  // any one of them; "{path}" stands for the document's path
    bool needsUnprivileged = false;
};

// clang-format off
const FailureCase kFailureCases[] = {
    {"TextUnassociated", "Help",        "docs.txt",      false, Viewer::Recorder, {kNoAssociation}},
    {"PercentInPath",    "100%done %s", "docs.txt",      false, Viewer::Recorder, {kNoAssociation}},
    {"PdfUnassociated",  "Help",        "docs.pdf",      true,  Viewer::None,     {kNoReader}},
    {"PdfLaterInName",   "Help",        "notes.pdf.txt", false, Viewer::Recorder, {kNoReader}},
    {"PdfAtStartOfName", "Help",        ".pdf",          true,  Viewer::None,     {kNoAssociation}},
    // GIO may drop an application whose program is missing: then it is no association.
    {"ViewerMissing",    "Help",        "docs.pdf",      true,  Viewer::Missing,
     {kBadAssociation, kNoReader}},
    {"Unreadable",       "Help",        "docs.pdf",      true,  Viewer::Recorder, {kDenied}, true},
};
// clang-format on

class Failing : public SuiteHelp, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(Failing, ShowsTheShellError) {
    const auto& c = GetParam();
    if (c.needsUnprivileged && geteuid() == 0) {
        GTEST_SKIP() << "root reads any file, so access cannot be denied";
    }
    const fs::path document = root_ / c.folder / c.document;
    writeFile(document, c.pdfContent ? support::kMinimalPdf : "plain text\n");
    if (c.needsUnprivileged) {
        fs::permissions(document, fs::perms::none);
    }
    associate(c.handler);
    registerProduct(kProduct, root_ / c.folder);
    configure(std::string(c.document) + "\n");

    const auto result = suitehelp();

    std::vector<std::string> expected;
    for (const char* err : c.errs) {
        expected.push_back(expand(err, {{"{path}", document.string()}}));
    }
    EXPECT_NE(std::find(expected.begin(), expected.end(), result.err), expected.end())
        << "stderr: " << result.err;
    if (c.errs.size() > 1) {
        std::cout << "[ observed ] " << result.err;
    }
    EXPECT_EQ(result.out, "");
    expectNothingOpened();
    EXPECT_EQ(docsDir(kProduct), (root_ / c.folder).string());
}

INSTANTIATE_TEST_SUITE_P(Table, Failing, ::testing::ValuesIn(kFailureCases), support::caseName);

// A registry the component cannot use: suitehelp asks nothing, opens nothing, leaves the file
// alone and ends; the component's one line about the store is all it prints.
struct BadStoreCase {
    const char* name;
    std::string bytes;  // "{docs}": a registered folder without the document
    enum Shape { File, Folder, Unreadable } shape = File;
    std::size_t size = 0;  // padded with comment lines to this many bytes
    bool machineWide = false;
};

const std::string kStore = "[SuiteWriter]\nDocsDir={docs}\n";

// clang-format off
const BadStoreCase kBadStoreCases[] = {
    {"CutInsideLine",       kStore + "[Oth"},
    {"NulBytes",            "[SuiteWriter]\nDocsDir={docs}\0\n"s},
    {"RandomBytes",         support::randomBytes(1, 4096)},
    {"TenMegabytes",        kStore, BadStoreCase::File, 10'000'000},
    {"Folder",              "", BadStoreCase::Folder},
    {"Unreadable",          kStore, BadStoreCase::Unreadable},
    {"MachineWideNulBytes", "[SuiteWriter]\nDocsDir={docs}\0\n"s, BadStoreCase::File, 0, true},
};
// clang-format on

class BadStore : public SuiteHelp, public ::testing::WithParamInterface<BadStoreCase> {};

TEST_P(BadStore, EndsQuietlyWithTheStoresErrorLine) {
    const auto& c = GetParam();
    if (c.shape == BadStoreCase::Unreadable && geteuid() == 0) {
        GTEST_SKIP() << "root reads any file, so a store cannot be made unreadable";
    }
    const fs::path store = c.machineWide ? machineRegistry() : userRegistry();
    registerProduct(kProduct, root_ / "Help", !c.machineWide);
    fs::create_directories(root_ / "Help");
    configure(std::nullopt);
    if (c.shape == BadStoreCase::Folder) {
        fs::create_directories(store);
    } else {
        writeFile(store, support::padded(expand(c.bytes, {{"{docs}", (root_ / "Help").string()}}),
                                         c.size));
    }
    if (c.shape == BadStoreCase::Unreadable) {
        fs::permissions(store, fs::perms::none);
    }
    fs::last_write_time(store, fs::file_time_type::clock::now() - 24h);
    const std::string before = support::fileState(store);
    // The store's fault as the admin tool reports it.
    const auto tool = e2e::run({{VLREG_EXE, "list"}, environment(), "", "", 5s});
    ASSERT_EQ(tool.exitCode, 2) << tool.err;
    ASSERT_TRUE(tool.err.starts_with("vlreg: " + store.string() + ":")) << tool.err;

    const auto result = suitehelp();

    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.err, "vlregut: " + tool.err.substr(std::strlen("vlreg: ")));
    EXPECT_EQ(result.out, "");
    expectNothingOpened();
    EXPECT_EQ(support::fileState(store), before);
}

INSTANTIATE_TEST_SUITE_P(Table, BadStore, ::testing::ValuesIn(kBadStoreCases), support::caseName);

// Inputs longer than the buffers behind them are refused whole, never cut into another product
// or path; the longest that fit still work.
TEST_F(SuiteHelp, OverlongInputsAreRefusedNotCut) {
    const std::string longestId(259, 'p');
    writeFile(root_ / "Help" / "docs.pdf", support::kMinimalPdf);
    registerProduct(longestId, root_ / "Help");
    configure(std::nullopt, "{names}\n\n" + longestId + "\n");
    expectQuiet(suitehelp());
    expectOpened(root_ / "Help" / "docs.pdf");

    configure(std::nullopt, "{names}\n\n" + longestId + "q\n");
    expectQuiet(suitehelp());
    expectQuiet(suitehelp("-vellum /" + std::string(5000, 'c')));
    expectNothingOpened();

    // The document's path in this folder is longer than 255: it is not looked up but asked for.
    fs::path deep = root_;
    while (deep.string().size() < 247) {
        deep /= std::string(std::min<std::size_t>(100, 247 - deep.string().size()), 'd');
    }
    writeFile(deep / "docs.pdf", support::kMinimalPdf);
    registerProduct(kProduct, deep);
    configure(std::nullopt);
    const auto result = suitehelp();
    EXPECT_EQ(result.err,
              "Can't find " + (deep / "docs.pdf").string() + ". Specify the path for docs.pdf.\n");
    expectNothingOpened();
    EXPECT_EQ(docsDir(kProduct), deep.string());
}

// A registry cut inside a value is no fault: the folder left in it is the one used.
TEST_F(SuiteHelp, CutRegistryIsReadAsItStands) {
    writeFile(root_ / "Help" / "docs.pdf", support::kMinimalPdf);
    writeFile(root_ / "Help Files" / "docs.pdf", support::kMinimalPdf);
    const std::string whole = "[SuiteWriter]\nDocsDir=" + (root_ / "Help Files").string() + "\n";
    writeFile(userRegistry(), whole.substr(0, whole.rfind(" Files")));
    configure(std::nullopt);

    expectQuiet(suitehelp());
    expectOpened(root_ / "Help" / "docs.pdf");
}

}  // namespace
