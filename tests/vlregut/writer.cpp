// Started by the store tests as `vlregut_writer WRITER PRODUCT ROUNDS`, several at once or to be
// killed mid-write: in each round, sets entry W<WRITER> of the product to the round's number and
// entry R<round> to WRITER; ROUNDS 0 runs on until killed.
#include <string>

#include "vlregut/vlregut.h"

int main(int, char** argv) {
    const std::string own = std::string("W").append(argv[1]);
    const long rounds = std::stol(argv[3]);
    for (long round = 0; rounds == 0 || round < rounds; ++round) {
        const std::string number = std::to_string(round);
        if (!VlRegInitializeProduct(argv[2], 0) ||
            !VlRegSetInstallDir(own.c_str(), number.c_str()) ||
            !VlRegSetInstallDir(std::string("R").append(number).c_str(), argv[1])) {
            return 1;
        }
    }
    return 0;
}
