// Started several times at once by the concurrency test. Sets its own product, an entry of its
// own in the shared product, and in each round a new entry of the shared product that every
// writer adds at about the same time.
//
// With "toggle", started by the crash test to be killed mid-write: flips the first byte of each
// product's DocsDir between 'A' and 'B', product after product, until it is killed.
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

int toggle(const std::string& prefix, int products) {
    for (int k = 0;; k = (k + 1) % products) {
        std::string product = prefix + std::to_string(k);
        char value[256] = {};
        if (!VlRegInitializeProduct(product.data(), 0) ||
            !VlRegGetInstallDir("DocsDir", value, sizeof value)) {
            return 1;
        }
        value[0] = value[0] == 'A' ? 'B' : 'A';
        if (!VlRegSetInstallDir("DocsDir", value)) {
            return 1;
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "toggle") {
        return toggle(argv[2], std::atoi(argv[3]));
    }
    if (argc != 6) {
        std::fputs(
            "usage: vlregut_writer WRITER OWN-PRODUCT SHARED-PRODUCT ROUNDS START-FILE\n"
            "       vlregut_writer toggle PRODUCT-PREFIX PRODUCTS\n",
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
