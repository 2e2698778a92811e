// Stand-in document viewer: appends its arguments, one a line, to the file named by
// SUITEHELP_WINE_RECORD. Then it stays, as a viewer does, until that file is gone (at most 30 s):
// a launcher that waited for its viewer would not end in time.
#include <windows.h>

#include <cstdlib>
#include <fstream>
#include <string>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    const char* record = std::getenv("SUITEHELP_WINE_RECORD");
    if (record == nullptr || __argc != 2) {
        return 2;
    }
    std::ofstream(record, std::ios::app | std::ios::binary) << std::string(__argv[1]) + '\n';
    for (int i = 0; i < 300 && GetFileAttributesA(record) != INVALID_FILE_ATTRIBUTES; ++i) {
        Sleep(100);
    }
    return 0;
}
