// Stand-in document viewer: appends its argument and a line end to the file named by
// SUITEHELP_WINE_RECORD, then stays, as a viewer does, until that file is gone (30 s at most):
// a launcher that waited for its viewer would not end in time.
#include <windows.h>

#include <cstdlib>
#include <fstream>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* record = std::getenv("SUITEHELP_WINE_RECORD");
    if (record == nullptr || __argc != 2) {
        return 2;
    }
    std::ofstream(record, std::ios::app | std::ios::binary) << __argv[1] << '\n';
    for (int i = 0; i < 300 && GetFileAttributesA(record) != INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(100);
    }
    return 0;
}
