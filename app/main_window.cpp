#include "app/main_window.h"

#include "app/command_line.h"

CMainWindow::CMainWindow(const char* commandTail) {
    CommandLine arguments = SplitCommandLine(commandTail);
    ReadLaunchConfiguration(arguments.Arguments(), arguments.Count());
    if (LocateDocument() != 0) {
        LaunchDocument();
    }
}
