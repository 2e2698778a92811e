// Started several times at once by the concurrency test. Sets its own product, an entry of its
// own in the shared product, and in each round a new entry of the shared product that every
// writer adds at about the same time.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <thread>

#include "support/files.h"
#include "vlregut/vlregut.h"

namespace {

bool setFor(std::string product, const std::string& entry, const std::string& value) {
    return VlRegInitializeProduct(product.data(), 0) &&
           VlRegSetInstallDir(entry.c_str(), value.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::fputs("usage: vlregut_writer WRITER OWN-PRODUCT SHARED-PRODUCT ROUNDS START-FILE\n",
                   stderr);
        return 2;
    }
    // Says it is ready, then waits for the file that starts all writers together.
    const std::string me = argv[1];
    support::writeFile(std::string(argv[5]) + "." + me, "");
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!std::filesystem::exists(argv[5])) {
        if (std::chrono::steady_clock::now() > deadline) {
            std::fputs("vlregut_writer: no start signal\n", stderr);
            return 2;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    bool ok = true;
    for (int round = 0; round < std::atoi(argv[4]); ++round) {
        const std::string number = std::to_string(round);
        const std::string value = me + "-" + number;
        ok = setFor(argv[2], "DocsDir", "/own/" + value) && ok;
        ok = setFor(argv[3], "W" + me, value) && ok;
        ok = setFor(argv[3], "R" + number, me) && ok;
    }
    return ok ? 0 : 1;
}
