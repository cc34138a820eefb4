#include "Generators.h"

#include <sys/stat.h>

#include <cstdio>

namespace assetgen {

std::vector<Generator>& Registry() {
    static std::vector<Generator> generators;
    return generators;
}

std::string& SourceRoot() {
    static std::string root;
    return root;
}

std::string& ThemeRoot() {
    static std::string root;
    return root;
}

bool MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i) {
        if (i == path.size() || path[i] == '/') {
            std::string part = path.substr(0, i);
            struct stat st;
            if (stat(part.c_str(), &st) != 0 && mkdir(part.c_str(), 0755) != 0) return false;
        }
    }
    return true;
}

bool WriteBytes(const std::string& path, const void* data, size_t size) {
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && !MakeFolders(path.substr(0, slash))) return false;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data, 1, size, f) == size;
    return (fclose(f) == 0) && ok;
}

}  // namespace assetgen
