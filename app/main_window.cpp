#include "app/main_window.h"

#include <utility>

#include "app/command_line.h"
#include "config/launch_configuration.h"
#include "document/document_launcher.h"
#include "document/document_locator.h"

CMainWindow::CMainWindow(const char* commandTail) {
    CommandLine arguments = SplitCommandLine(commandTail);
    ReadLaunchConfiguration(arguments.Arguments(), arguments.Count());
    if (LocateDocument() != 0) {
        LaunchDocument();
    }
}

void CMainWindow::ReadLaunchConfiguration(char** arguments, int count) {
    config::LaunchSettings settings = config::ReadLaunchSettings(arguments, count);
    m_strDocNameFile = std::move(settings.docNameFile);
    m_strDocFile = std::move(settings.docFile);
    m_strProductId = std::move(settings.productId);
}

void CMainWindow::TakeFirstLine(CString& text, CString& destination) {
    config::TakeFirstLine(text, destination);
}

int CMainWindow::LocateDocument() {
    return document::LocateDocument(*this, m_strProductId, m_strDocFile, m_strDocsDir);
}

int CMainWindow::LaunchDocument() {
    if (LocateDocument() != 0) {
        document::OpenDocument(m_strDocsDir, m_strDocFile);
    }
    return 1;
}
