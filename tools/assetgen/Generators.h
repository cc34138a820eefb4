#pragma once

#include <string>
#include <vector>

namespace assetgen {

struct Generator {
    const char* name;
    bool (*run)(const std::string& dataRoot);
};

// Every generator registers itself with a static Registrar in its own file.
std::vector<Generator>& Registry();

struct Registrar {
    Registrar(const char* name, bool (*run)(const std::string&)) { Registry().push_back({name, run}); }
};

// Where generated C++ sources go (the second argument of assetgen), "" when not asked for.
std::string& SourceRoot();

// Creates the folder and its parents; writes a file in one go.
bool MakeFolders(const std::string& path);
bool WriteBytes(const std::string& path, const void* data, size_t size);

}  // namespace assetgen
