#include "platform/framework.h"

#include <string_view>

#include "platform/entry.h"
#include "platform/services.h"

namespace {

constexpr char kUsage[] =
    "usage: suitehelp -vellum FILE\n"
    "       suitehelp -dax FILE\n"
    "       suitehelp --help | --version\n"
    "Opens a product's documentation as a program of the suite asks: FILE is the\n"
    "launch-configuration file (line 1: the document-name file, line 3: the product id in\n"
    "the install registry). SUITEHELP_DEBUG=1 tells each step on standard error.\n";

CWinApp* g_app = nullptr;
CString g_appName;

// The framework answers with the Windows button codes; a dialog that could not be shown counts as
// cancelled.
int ButtonCode(platform::DialogResult result) {
    return result == platform::DialogResult::Confirmed ? IDOK : IDCANCEL;
}

}  // namespace

CWinApp::CWinApp() {
    g_app = this;
}

CWinApp::~CWinApp() {
    delete m_pMainWnd;
    g_app = nullptr;
}

int AfxWinMain(const char* executableName, const char* commandTail) {
    g_appName = executableName;
    // An initialisation that answers FALSE ends the application without a message loop; the
    // exit status does not tell how the help session went.
    if (g_app != nullptr) {
        g_app->m_lpCmdLine = commandTail;
        g_app->InitInstance();
    }
    return 0;
}

const char* HelpOrVersionText(const char* commandTail) {
    std::string_view tail = commandTail;
    tail = tail.substr(0, tail.find_last_not_of(" \t\n\v\f\r") + 1);
    // By the module's own rules a quotation mark opens an argument and the next one closes it.
    if (tail.starts_with('"')) {
        tail.remove_prefix(1);
        tail.remove_suffix(tail.ends_with('"') ? 1 : 0);
    }
    return tail == "--help"      ? kUsage
           : tail == "--version" ? "suitehelp " SUITEHELP_VERSION "\n"
                                 : nullptr;
}

int CFrameWnd::MessageBox(const char* text, const char* caption, unsigned type) {
    return ButtonCode(platform::Current().ui->MessageBox(text, caption, type));
}

int AfxMessageBox(const char* text, unsigned type, unsigned /*helpContext*/) {
    return ButtonCode(platform::Current().ui->MessageBox(text, g_appName, type));
}

CFileDialog::CFileDialog(const char* defaultExt, const char* fileName, unsigned flags,
                         const char* filterLabel, const char* filterPattern,
                         CFrameWnd* /*parent*/) {
    m_request.filterLabel = filterLabel;
    m_request.filterPattern = filterPattern;
    m_request.defaultExt = defaultExt;
    m_request.fileName = fileName;
    m_request.fileMustExist = (flags & OFN_FILEMUSTEXIST) != 0;
}

int CFileDialog::DoModal() {
    return ButtonCode(platform::Current().ui->ShowFileOpen(m_request, &m_pathName));
}
