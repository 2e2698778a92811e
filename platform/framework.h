// The small application framework the help module is written against: an 8-bit string type,
// the application and window-less frame classes, message boxes, the File-Open dialog and a
// file class that reports file-system failures by throwing.
#pragma once

#include "platform/file.h"
#include "platform/text.h"
#include "platform/user_interface.h"

using BOOL = int;
inline constexpr BOOL TRUE = 1;
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
    CFrameWnd() = default;
    CFrameWnd(const CFrameWnd&) = delete;
    CFrameWnd& operator=(const CFrameWnd&) = delete;
    virtual ~CFrameWnd() = default;

    // Shows a modal message box and returns when the user has closed it.
    int MessageBox(const char* text, const char* caption, unsigned type);
};

class CWinApp {
  public:
    // Without a name the application is named after its executable.
    explicit CWinApp(const char* appName = nullptr);
    CWinApp(const CWinApp&) = delete;
    CWinApp& operator=(const CWinApp&) = delete;
    virtual ~CWinApp();

    virtual BOOL InitInstance() { return FALSE; }

    const char* m_pszAppName = nullptr;
    const char* m_lpCmdLine = "";
    CFrameWnd* m_pMainWnd = nullptr;  // owned: deleted with the application
};

// The one application object, or nullptr before it is constructed.
CWinApp* AfxGetApp();

// Shows a modal message box captioned with the application's name.
int AfxMessageBox(const char* text, unsigned type = MB_OK, unsigned helpContext = 0);

// The Vista-style File-Open dialog (an open dialog, never a save dialog), reduced to what the
// module asks of it.
class CFileDialog {
  public:
    // The OFN_ flags are translated here, once; OFN_HIDEREADONLY needs nothing, as no dialog
    // here shows a read-only box.
    CFileDialog(const char* defaultExt, const char* fileName, unsigned flags,
                const char* filterLabel, const char* filterPattern, CFrameWnd* parent);

    int DoModal();
    CString GetPathName() const { return m_pathName; }

    CFrameWnd* m_parent;  // window-less: the dialog has no owner window
    // What the dialog shows; title and initialDir empty: the platform's own.
    platform::FileOpenRequest m_request;

  private:
    CString m_pathName;
};
