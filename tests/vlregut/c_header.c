/* Compiled as C: the public header must stay usable from C callers. */
#include "vlregut/vlregut.h"

int vlregutSelectFromC(const char* product) {
    char copy[260] = {0};
    for (int i = 0; i < 259 && product[i] != '\0'; ++i) {
        copy[i] = product[i];
    }
    return VlRegInitializeProduct(copy, 0);
}
