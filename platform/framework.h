// The small application framework the help module is written against: the application and
// window-less frame classes, message boxes and the File-Open dialog; its file class is in
// platform/file.h.
#pragma once

#include "platform/file.h"
#include "platform/text.h"
#include "platform/user_interface.h"

using BOOL = int;
inline constexpr BOOL FALSE = 0;

inline constexpr unsigned MB_OK = 0x0;
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;

inline constexpr unsigned OFN_OVERWRITEPROMPT = 0x2;
inline constexpr unsigned OFN_HIDEREADONLY = 0x4;
inline constexpr unsigned OFN_FILEMUSTEXIST = 0x1000;

// A frame window that never gets a window: boxes it owns are shown without an owner.
class CFrameWnd {
  public:
    virtual ~CFrameWnd() = default;

    // Shows a modal message box and returns when the user has closed it.
    int MessageBox(const char* text, const char* caption, unsigned type);
};

// The application: its one object registers itself for the framework's entry
// (platform/entry.h), which calls InitInstance once.
class CWinApp {
  public:
    CWinApp();
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance() { return FALSE; }

    const char* m_lpCmdLine = "";
    CFrameWnd* m_pMainWnd = nullptr;  // owned: deleted with the application
};

// Shows a modal message box captioned with the application's name: the executable's. No help
// file goes with the module, so the help context is always 0.
int AfxMessageBox(const char* text, unsigned type = MB_OK, unsigned helpContext = 0);

// The Vista-style File-Open dialog, reduced to what the module asks of it. It is an open dialog:
// of the flags only OFN_FILEMUSTEXIST changes anything. Its parent never has a window, so the
// dialog has no owner.
class CFileDialog {
  public:
    CFileDialog(const char* defaultExt, const char* fileName, unsigned flags,
                const char* filterLabel, const char* filterPattern, CFrameWnd* parent);

    int DoModal();
    CString GetPathName() const { return m_pathName; }

    // What the dialog shows; title and initialDir empty: the platform's own.
    platform::FileOpenRequest m_request;

  private:
    CString m_pathName;
};
