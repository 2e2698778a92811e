// Stand-in document viewer: appends its arguments, one a line, to the file named by
// SUITEHELP_WINE_RECORD. Then it stays, as a viewer does, until that file is gone (at most 30 s):
// a launcher that waited for its viewer would not end in time.
#include <windows.h>

#include <cstdlib>
#include <fstream>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* record = std::getenv("SUITEHELP_WINE_RECORD");
    if (record == nullptr) {
        return 2;
    }
    {
        std::ofstream out(record, std::ios::app | std::ios::binary);
        for (int i = 1; i < __argc; ++i) {
            out << __argv[i] << '\n';
        }
    }
    // A launcher may wait until this process waits for input, as a viewer with a window would.
    MSG message;
    ::PeekMessageA(&message, nullptr, 0, 0, PM_NOREMOVE);
    for (int i = 0; i < 300 && ::GetFileAttributesA(record) != INVALID_FILE_ATTRIBUTES; ++i) {
        ::Sleep(100);
    }
    return 0;
}
