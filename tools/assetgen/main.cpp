// assetgen <data folder> [<source folder> [<theme folder>]]: writes every generated
// asset below the data folder, the generated C++ sources into the source folder
// and the shipped themes' files into the theme folder.
// Each generator is deterministic: the same build writes the same bytes.
#include "Generators.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: assetgen <data folder> [<source folder>]\n");
        return 2;
    }
    std::string root = argv[1];
    if (argc > 2) assetgen::SourceRoot() = argv[2];
    if (argc > 3) assetgen::ThemeRoot() = argv[3];
    int failures = 0;
    for (const assetgen::Generator& g : assetgen::Registry()) {
        if (!g.run(root)) {
            fprintf(stderr, "assetgen: %s failed\n", g.name);
            ++failures;
        }
    }
    return failures ? 1 : 0;
}
