#include "platform/win32/shell.h"

#include <windows.h>
// after windows.h, which it builds on
#include <shellapi.h>

#include "platform/win32/scoped.h"

namespace platform {

int Win32Shell::OpenDocument(const CString& path) {
    // Shell extensions that open documents may need COM on the calling thread.
    const ComApartment com(COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const HINSTANCE result =
        ::ShellExecuteA(nullptr, nullptr, path.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    // The result is a code, not a handle: its low 32 bits, signed.
    return static_cast<int>(reinterpret_cast<INT_PTR>(result));
}

}  // namespace platform
