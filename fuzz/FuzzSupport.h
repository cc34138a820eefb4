// What every fuzz target needs: a private folder for the run and a way to put
// the input there as a file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzzsupport {

// A new folder under TMPDIR (else /tmp), so a runner can clear away what a run
// leaves; with a game folder, it sees that game's data/.
inline std::string MakeScratch(const char* gameFolder = nullptr) {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/kolvar-fuzz-XXXXXX";
    if (!mkdtemp(&dir[0])) abort();
    if (gameFolder)
        std::filesystem::create_directory_symlink(std::string(gameFolder) + "/data", std::string(dir) + "/data");
    return dir;
}

inline void WriteInput(const std::string& path, const uint8_t* data, size_t size) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) abort();
    if (size) fwrite(data, 1, size, f);  // libFuzzer may pass no data at all
    fclose(f);
}

}  // namespace fuzzsupport
