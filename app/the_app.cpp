#include "app/the_app.h"

#include "app/main_window.h"

BOOL CTheApp::InitInstance() {
    m_pMainWnd = new CMainWindow(m_lpCmdLine);
    return FALSE;
}
