#include "app/main_window.h"

#include <utility>

#include "app/command_line.h"
#include "config/launch_configuration.h"
#include "docs/document_launcher.h"
#include "docs/document_locator.h"

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
    CString joinedPath;
    switch (docs::FindInRegisteredFolder(m_strProductId, m_strDocFile, m_strDocsDir, joinedPath)) {
        case docs::Lookup::ProductRefused:
            return 0;
        case docs::Lookup::Found:
            return 1;
        case docs::Lookup::Missing:
            break;
    }
    CString chosenPath;
    if (!docs::AskForDocument(*this, joinedPath, m_strDocFile, m_strDocsDir, chosenPath)) {
        return 0;
    }
    return docs::StoreChosenFolder(*this, chosenPath, m_strDocFile, m_strDocsDir) ? 1 : 0;
}

int CMainWindow::LaunchDocument() {
    if (LocateDocument() == 0) {
        return 1;
    }
    docs::OpenDocument(m_strDocsDir, m_strDocFile);
    return 1;
}
