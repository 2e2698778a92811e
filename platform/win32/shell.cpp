#include "platform/win32/shell.h"

#include <shellapi.h>
#include <windows.h>

namespace platform {

int Win32Shell::OpenDocument(const CString& path) {
    const HINSTANCE result =
        ::ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // The result is a code, not a handle: its low 32 bits, signed.
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace platform
