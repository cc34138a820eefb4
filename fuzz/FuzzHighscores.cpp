// libFuzzer entry point for the high-score file: each input is the stored
// table, loaded and saved again as the game does. Aborts when a loaded name
// has no end, when the saved file is not the table in memory, when a file of
// the wrong size or with a name without its end was not kept aside whole, or
// when an intact one was.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

#include "app/Highscores.h"

#include "FuzzSupport.h"

namespace {

std::string ReadAll(const char* path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A file the reader rejects: not ten whole records, or a name that fills its field without an end.
bool Damaged(const uint8_t* data, size_t size) {
    if (size != sizeof(HighscoreEntry) * CHighscores::kPlaces) return true;
    for (size_t at = 0; at < size; at += sizeof(HighscoreEntry))
        if (!memchr(data + at, '\0', sizeof HighscoreEntry::name)) return true;
    return false;
}

using fuzzsupport::WriteInput;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        // TMPDIR=/dev/shm spares the disk the save's sync on every input.
        const char* tmp = getenv("TMPDIR");
        std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/kolvar-fuzz-scores-XXXXXX";
        if (!mkdtemp(&dir[0]) || chdir(dir.c_str()) != 0) abort();
        const char config[] = "[highscores]\r\nlocal_scores_file=highscores.dat\r\n";
        WriteInput("config.ini", reinterpret_cast<const uint8_t*>(config), sizeof config - 1);
        return true;
    }();
    (void)ready;
    remove("highscores.dat.bad");
    WriteInput("highscores.dat", data, size);

    CHighscores* table = CHighscores::GetInstance();
    table->Load();
    for (const HighscoreEntry& entry : table->m_entries)
        if (!memchr(entry.name, '\0', sizeof entry.name)) abort();
    table->Save();
    const std::string saved = ReadAll("highscores.dat");
    if (saved.size() != sizeof table->m_entries || memcmp(saved.data(), table->m_entries, saved.size()) != 0) abort();
    const std::string input(reinterpret_cast<const char*>(data), size);
    const bool keptAside = access("highscores.dat.bad", F_OK) == 0;
    if (keptAside != Damaged(data, size) || (keptAside && ReadAll("highscores.dat.bad") != input)) abort();
    delete table;
    return 0;
}
