#include "platform/framework.h"

#include "platform/entry.h"
#include "platform/services.h"

namespace {

CWinApp* g_app = nullptr;
CString g_executableName;

// The framework answers with the Windows button codes; a dialog that could not be shown counts as
// cancelled.
int ButtonCode(platform::DialogResult result) {
    return result == platform::DialogResult::Confirmed ? IDOK : IDCANCEL;
}

}  // namespace

CWinApp::CWinApp(const char* appName) : m_pszAppName(appName) {
    g_app = this;
}

CWinApp::~CWinApp() {
    delete m_pMainWnd;
    if (g_app == this) {
        g_app = nullptr;
    }
}

CWinApp* AfxGetApp() {
    return g_app;
}

int AfxWinMain(const char* executableName, const char* commandTail) {
    CWinApp* app = AfxGetApp();
    if (app == nullptr) {
        return 1;
    }
    g_executableName = executableName;
    if (app->m_pszAppName == nullptr) {
        app->m_pszAppName = g_executableName.c_str();
    }
    app->m_lpCmdLine = commandTail;
    // An initialisation that answers FALSE ends the application without a message loop; the
    // exit status does not tell how the help session went.
    app->InitInstance();
    return 0;
}

int CFrameWnd::MessageBox(const char* text, const char* caption, unsigned type) {
    return ButtonCode(platform::Current().ui->MessageBox(text, caption, type));
}

int AfxMessageBox(const char* text, unsigned type, unsigned /*helpContext*/) {
    const CWinApp* app = AfxGetApp();
    const char* caption = app != nullptr && app->m_pszAppName != nullptr ? app->m_pszAppName : "";
    return ButtonCode(platform::Current().ui->MessageBox(text, caption, type));
}

CFileDialog::CFileDialog(const char* defaultExt, const char* fileName, unsigned flags,
                         const char* filterLabel, const char* filterPattern, CFrameWnd* parent)
    : m_parent(parent) {
    m_request.defaultExt = defaultExt;
    m_request.fileName = fileName;
    m_request.filterLabel = filterLabel;
    m_request.filterPattern = filterPattern;
    m_request.fileMustExist = (flags & OFN_FILEMUSTEXIST) != 0;
    m_request.overwritePrompt = (flags & OFN_OVERWRITEPROMPT) != 0;
}

int CFileDialog::DoModal() {
    return ButtonCode(platform::Current().ui->ShowFileOpen(m_request, &m_pathName));
}
