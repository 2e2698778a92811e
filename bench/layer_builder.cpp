// Builds a registry layer of N products, each with its DocsDir, as the Windows store reads it:
// `bench_layer_builder N` prints the microseconds BuildLayer took. bench/run counts the
// instructions of BuildLayer alone under callgrind.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "vlregut/layer_builder.h"

int main(int argc, char** argv) {
    const long products = argc == 2 ? std::stol(argv[1]) : 0;
    std::vector<vlregut::ProductKey> keys;
    for (long i = 0; i < products; ++i) {
        const std::string number = std::to_string(i);
        keys.push_back(
            {"Product" + number, {{"DocsDir", "C:\\Suite\\Product" + number + "\\Docs"}}});
    }
    vlregut::ini::Document doc;
    std::string error;
    const auto start = std::chrono::steady_clock::now();
    const bool built =
        vlregut::BuildLayer("HKEY_CURRENT_USER\\Software\\vlregut\\Products", keys, doc, error);
    const std::chrono::duration<double, std::micro> took = std::chrono::steady_clock::now() - start;
    std::printf("%.0f\n", took.count());
    if (!built) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return vlregut::ini::FindValue(doc, "Product0", "DocsDir").has_value() == (products > 0) ? 0
                                                                                             : 1;
}
