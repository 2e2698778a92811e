#pragma once

#include "platform/framework.h"

// The help-session object. It never gets a window: constructing it with a command tail runs the
// whole help session once, and its fields are the session's state. Each step delegates to the
// functions of config/ and document/, which work on plain strings.
class CMainWindow : public CFrameWnd {
  public:
    // Runs the help session on the command tail (the command line without the program's name).
    explicit CMainWindow(const char* commandTail);

    // Reads the launch option and the two small text files into the session state.
    void ReadLaunchConfiguration(char** arguments, int count);

    // Moves the first line of text into destination; an empty text leaves destination as it is.
    static void TakeFirstLine(CString& text, CString& destination);

    // 1 when the documentation file is in the registered documents folder, or the user pointed
    // at it and its folder has been stored; otherwise 0.
    int LocateDocument();

    // Locates the document again and hands it to its application, reporting a failure in a
    // message box. Answers 1.
    int LaunchDocument();

    CString m_strDocNameFile;
    CString m_strDocFile;
    CString m_strProductId;
    CString m_strDocsDir;
};
