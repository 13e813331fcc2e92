// databuild OUT_DIR [--contact-sheet FILE]: makes every file of the game's dat/ folder in
// OUT_DIR, running the registered producers in order.
#include <cstdio>
#include <cstring>
#include <string>

#include "tools/databuild/databuild.h"

int main(int argc, char** argv) {
    std::string outDir;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--contact-sheet") == 0) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "databuild: --contact-sheet needs a file name\n");
                return 2;
            }
            databuild::SetContactSheetPath(argv[++i]);
        } else if (argv[i][0] == '-' || !outDir.empty()) {
            std::fprintf(stderr, "usage: databuild OUT_DIR [--contact-sheet FILE]\n");
            return 2;
        } else {
            outDir = argv[i];
        }
    }
    if (outDir.empty()) {
        std::fprintf(stderr, "usage: databuild OUT_DIR [--contact-sheet FILE]\n");
        return 2;
    }
    if (!databuild::MakeDirectories(outDir)) return 1;
    for (const databuild::Producer& producer : databuild::RegisteredProducers()) {
        if (!producer.run(outDir)) {
            std::fprintf(stderr, "databuild: the %s producer failed; %s is incomplete\n",
                         producer.name, outDir.c_str());
            return 1;
        }
    }
    return 0;
}
