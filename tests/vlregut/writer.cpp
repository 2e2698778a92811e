// Spawned several times at once by the Windows concurrency test.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "vlregut/vlregut.h"

namespace {

bool setFor(std::string product, const std::string& entry, const std::string& value) {
    return VlRegInitializeProduct(product.data(), 0) &&
           VlRegSetInstallDir(entry.c_str(), value.c_str());
}

}  // namespace

// Sets its own product, an entry of its own in the shared product, and in each round a new
// entry of the shared product that every writer adds at about the same time.
int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: vlregut_writer WRITER OWN-PRODUCT SHARED-PRODUCT ROUNDS START-EVENT\n",
                   stderr);
        return 2;
    }
    // All writers start together, so that their first writes race too.
    const HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, argv[5]);
    if (start == nullptr || WaitForSingleObject(start, 60000) != WAIT_OBJECT_0) {
        std::fputs("vlregut_writer: no start signal\n", stderr);
        return 2;
    }
    CloseHandle(start);
    const std::string me = argv[1];
    bool ok = true;
    for (int round = 0; round < std::atoi(argv[4]); ++round) {
        const std::string number = std::to_string(round);
        const std::string value = me + "-" + number;
        ok = setFor(argv[2], "DocsDir", "C:\\own\\" + value) && ok;
        ok = setFor(argv[3], "W" + me, value) && ok;
        ok = setFor(argv[3], "R" + number, me) && ok;
    }
    return ok ? 0 : 1;
}
