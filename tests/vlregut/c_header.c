/* Compiled as C: the public header must stay usable from C callers. */
#include "vlregut/vlregut.h"

int SelectFromC(const char* product) {
    return VlRegInitializeProduct(product, 0);
}
