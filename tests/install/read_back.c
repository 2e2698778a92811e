/* A program of the suite, built against the installed component: prints a product's DocsDir. */
#include <stdio.h>
#include <vlregut/vlregut.h>

int main(int argc, char** argv) {
    char folder[256];
    if (argc != 2 || !VlRegInitializeProduct(argv[1], 0) ||
        !VlRegGetInstallDir("DocsDir", folder, (int)sizeof folder)) {
        return 1;
    }
    return puts(folder) < 0;
}
