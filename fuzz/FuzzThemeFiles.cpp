// libFuzzer entry points for what a downloaded theme brings: its archive
// through the installer, its playlist through the music player, and its sound
// files through the sound engine. One binary
// each, chosen at build time. A broken promise (a half install, a file written
// beside the themes folder, a handle that would be freed twice) aborts, so the
// fuzzer keeps the input like a crash.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "FuzzSupport.h"
#include <utility>
#include <vector>

namespace fs = std::filesystem;

namespace {

// A private folder for the whole run.
const std::string& Scratch() {
    static const std::string path = fuzzsupport::MakeScratch();
    return path;
}

using fuzzsupport::WriteInput;

}  // namespace

#if defined(KOLVAR_FUZZ_ARCHIVE)

#include <unzip.h>

extern "C" int WINAPI Wiz_SingleEntryUnzip(int, char**, int, char**, LPDCL, LPUSERFUNCTIONS);

namespace {

int WINAPI Quiet(LPSTR, unsigned long length) { return static_cast<int>(length); }

// The launcher answers every request with the theme archives' password.
int WINAPI Password(LPSTR buffer, int size, LPCSTR, LPCSTR) {
    snprintf(buffer, static_cast<size_t>(size), "%s", "brunal7284sivoxe");
    return 0;
}

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string archive = Scratch() + "/input.kvr";
    std::string themes = Scratch() + "/themes";
    fs::create_directories(themes);
    WriteInput(archive, data, size);

    DCL options = {};
    options.ndflag = 1;
    options.noflag = 1;
    std::string zip = archive;
    options.lpszZipFN = &zip[0];
    options.lpszExtractDir = &themes[0];
    USERFUNCTIONS callbacks = {};
    callbacks.print = Quiet;
    callbacks.password = Password;
    const int result = Wiz_SingleEntryUnzip(0, nullptr, 0, nullptr, &options, &callbacks);

    // All or nothing, no staging folder left, nothing beside the themes folder.
    const std::set<std::string> installed = Names(themes);
    if (result != PK_OK && !installed.empty()) abort();
    for (const std::string& name : installed)
        if (name.rfind(".unzip-staging-", 0) == 0) abort();
    if (Names(Scratch()) != std::set<std::string>{"input.kvr", "themes"}) abort();
    fs::remove_all(themes);
    return 0;
}

#elif defined(KOLVAR_FUZZ_PLAYLIST)

#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"

namespace {

// The sound engine, and the theme folder the list is read in with one song of
// each kind under the names the tests' lists use.
CSoundEngine* SoundEngine() {
    static CSoundEngine* engine = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        const std::string songs = std::string(KOLVAR_GAME_DIR) + "/themes/simple/";
        fs::copy_file(songs + "dusk.mid", Scratch() + "/a.mid");
        fs::copy_file(songs + "drift.mod", Scratch() + "/b.mod");
        // A short silent wave: 16-bit mono, 44100 Hz, 64 frames.
        const uint8_t wave[] = {'R', 'I', 'F', 'F', 164, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ', 16, 0, 0, 0,
                                1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 1, 0, 2, 0, 16, 0, 'd', 'a', 't', 'a', 128, 0, 0, 0};
        std::vector<uint8_t> bytes(wave, wave + sizeof wave);
        bytes.resize(bytes.size() + 128, 0);
        WriteInput(Scratch() + "/c.wav", bytes.data(), bytes.size());
        fs::create_directories(Scratch() + "/sub");
        CSoundEngine* e = CSoundEngine::GetInstance();
        e->SetAudioPath(".");
        return e;
    }();
    return engine;
}

// In the theme folder while it lives; libFuzzer reads its inputs by the names it was given.
class InThemeFolder {
public:
    InThemeFolder() : m_saved(fs::current_path()) { fs::current_path(Scratch()); }
    ~InThemeFolder() { fs::current_path(m_saved); }

private:
    fs::path m_saved;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CSoundEngine* engine = SoundEngine();
    InThemeFolder folder;
    WriteInput("playlist.ini", data, size);
    // The log would grow with every run; only this run's lines matter.
    std::error_code ignored;
    fs::resize_file("log.html", 0, ignored);

    // Loaded as a theme's list is, so that everything it loads is freed below.
    engine->BeginSoundList();
    CMusicPlayer* player = new CMusicPlayer("playlist.ini");
    player->LoadPlaylist();
    engine->EndSoundList();
    player->NextSong();
    player->Update();
    player->PreviousSong();
    player->Stop();

    // Every song is one of the loads recorded, and no load is recorded twice
    // (it would be freed twice).
    std::set<std::pair<DWORD, DWORD>> loads;
    for (const CSoundRecord& record : engine->m_records)
        if (record.m_handle && !loads.insert({record.m_kind, record.m_handle}).second) abort();
    for (const CSoundRecord& song : player->m_songs)
        if (!loads.count({song.m_kind, song.m_handle})) abort();
    if (fs::current_path() != fs::path(Scratch())) abort();

    delete player;
    engine->UnloadAll();
    return 0;
}

#elif defined(KOLVAR_FUZZ_SOUND)

#include "audio/SoundEngine.h"

// A theme's sound file, loaded as the theme script loads a sound and as the
// playlist loads a wave, and played while the mixer runs.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static CSoundEngine* engine = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        CSoundEngine* e = CSoundEngine::GetInstance();
        e->SetAudioPath(Scratch().c_str());
        return e;
    }();
    WriteInput(Scratch() + "/s.wav", data, size);
    std::error_code ignored;
    fs::resize_file("log.html", 0, ignored);  // only this run's lines matter
    engine->BeginSoundList();
    if (const DWORD sample = engine->LoadSound("s.wav")) engine->PlaySound(sample, 0);
    if (const DWORD stream = engine->LoadStream("s.wav")) engine->PlayStream(stream, 0, false);
    engine->EndSoundList();
    engine->Update();
    engine->UnloadAll();
    return 0;
}

#else
#error "choose a harness with KOLVAR_FUZZ_ARCHIVE, KOLVAR_FUZZ_PLAYLIST or KOLVAR_FUZZ_SOUND"
#endif
