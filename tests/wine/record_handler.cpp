// Stand-in document viewer: appends "<pid>\t<arg>..." to the file named by SUITEHELP_WINE_RECORD,
// then lingers so that a test can see the launcher did not wait for it.
#include <windows.h>

#include <cstdlib>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    char record[MAX_PATH] = {};
    const DWORD length = ::GetEnvironmentVariableA("SUITEHELP_WINE_RECORD", record, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 2;
    }
    std::string line = std::to_string(::GetCurrentProcessId());
    for (int i = 1; i < __argc; ++i) {
        line += '\t';
        line += __argv[i];
    }
    line += '\n';
    // One appending write keeps lines from concurrent handlers whole.
    const HANDLE file = ::CreateFileA(record, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return 3;
    }
    DWORD written = 0;
    const BOOL ok =
        ::WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    ::CloseHandle(file);
    if (!ok || written != line.size()) {
        return 3;
    }

    // Bounded, so a test that dies early leaves nothing behind for long. Messages are pumped as a
    // real viewer's would be: a launcher may wait for this process to become idle.
    const std::string release = std::string(record) + ".release";
    const ULONGLONG deadline = ::GetTickCount64() + 30'000;
    while (::GetFileAttributesA(release.c_str()) == INVALID_FILE_ATTRIBUTES &&
           ::GetTickCount64() < deadline) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::DispatchMessageA(&message);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return 0;
}
