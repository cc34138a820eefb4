#include "audio/MusicPlayer.h"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "audio/MidiManager.h"
#include "audio/SoundEngine.h"
#include "engine/Ini.h"
#include "engine/Loading.h"
#include "engine/Log.h"

#include "engine/GraphicsEngine.h"

#include <platform.h>
#include <psapi.h>

namespace {

const char* const kSection = "playlist";
const float kMidiGraceSeconds = 5.0f;

// A MIDI song is not asked whether it ended for a while after it was started or
// resumed: it begins only on the performance's next beat.
bool g_MidiGuard = false;
float g_MidiGuardTime = 0.0f;

float DefaultEngineTime() {
    if (CGraphicsEngine::GetInstancePtr()) return EngineTime();
    return static_cast<float>(timeGetTime() * 0.001);
}

enum SongKind { kNone, kMidi, kMod, kStream };

SongKind KindOf(const std::string& extension) {
    static const char* const kMods[] = {"mo3", "it", "xm", "s3m", "mtm", "mod", "umx"};
    static const char* const kStreams[] = {"mp3", "mp2", "mp1", "ogg", "wav"};
    if (extension == "mid") return kMidi;
    for (const char* e : kMods)
        if (extension == e) return kMod;
    for (const char* e : kStreams)
        if (extension == e) return kStream;
    return kNone;
}

void StartGuard() {
    g_MidiGuard = true;
    g_MidiGuardTime = CMusicPlayer::ms_engineTime();
}

// What a song holds once loaded is what the process grew by while loading it.
uint64_t ResidentBytes() {
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return counters.WorkingSetSize;
}

}  // namespace

float (*CMusicPlayer::ms_engineTime)() = DefaultEngineTime;

CMusicPlayer::CMusicPlayer(const std::string& playlistFile)
    : m_paused(false), m_playlistFile(playlistFile), m_current(0) {
    int64_t current = ReadIniInt(m_playlistFile, kSection, "current");
    m_current = static_cast<int>(std::max<int64_t>(INT_MIN, current - 1));
}

CMusicPlayer::CMusicPlayer() : m_paused(false), m_current(0) {}

CMusicPlayer::~CMusicPlayer() {
    // The preview player has no file to remember its song in.
    if (!m_playlistFile.empty())
        WriteIniInt(m_playlistFile, kSection, "current", static_cast<int>(std::min<int64_t>(INT_MAX, int64_t(m_current) + 1)));
    m_songs.clear();
}

bool CMusicPlayer::CurrentValid() const {
    return !m_songs.empty() && static_cast<unsigned>(m_current) < m_songs.size();
}

int CMusicPlayer::SongCount(const std::string& playlistFile) {
    int num = ReadIniInt(playlistFile, kSection, "num");
    if (num > kMaxSongs) {
        g_Log.PrintBold("error", "Playlist %s: num=%d, only the first %d songs are read.", playlistFile.c_str(), num,
                        kMaxSongs);
        num = kMaxSongs;
    }
    return num;
}

void CMusicPlayer::LoadPlaylist() {
    g_Log.Print("blue", "Loading playlist:");
    m_songs.clear();
    m_tried.clear();
    m_decodedBytes = 0;
    const int num = SongCount(m_playlistFile);
    for (int i = 1; i <= num; ++i) {
        if (m_decodedBytes > kMaxDecodedBytes) {
            g_Log.PrintBold("error", "Playlist %s: the songs loaded hold more than %llu MiB, songs %d to %d are left out.",
                            m_playlistFile.c_str(), static_cast<unsigned long long>(kMaxDecodedBytes >> 20), i, num);
            break;
        }
        char key[32];
        snprintf(key, sizeof key, "song%d", i);
        LoadSong(ReadIniString(m_playlistFile, kSection, key));
    }
    g_Log.Print("green", "complete:");
}

void CMusicPlayer::LoadSong(const std::string& name) {
    // Drive, folder, base name and extension.
    size_t slash = name.find_last_of("\\/");
    size_t fileStart = slash == std::string::npos ? 0 : slash + 1;
    bool hasDrive = name.size() >= 2 && name[1] == ':' && isalpha(static_cast<unsigned char>(name[0]));
    // The text after the last dot; without a dot the whole name stands for it.
    size_t dot = name.find_last_of('.');
    std::string extension = dot == std::string::npos ? name : name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    SongKind kind = KindOf(extension);
    if (kind == kNone) return;

    static const char* const kKindNames[] = {"", "midi", "mod", "stream"};
    static const DWORD kRecordKinds[] = {0, CSoundRecord::kMidiSegment, CSoundRecord::kModMusic,
                                         CSoundRecord::kStream};
    const char* kindName = kKindNames[kind];
    auto failed = [&](const std::string& loaded) {
        g_Log.PrintBold("error", "Loading %s music: (%s) failed.", kindName, loaded.c_str());
    };
    // A song refused before its loader still counts for the loading screen, as
    // the loader would have counted it.
    auto refused = [&]() {
        CountLoadedResource();
        failed(name);
    };
    // Paths past MAX_PATH do not fit the loaders' buffers; cutting them would
    // name another file.
    if (name.size() >= MAX_PATH) {
        refused();
        return;
    }

    // A full path (a drive letter, or a host path from the file dialog) loads
    // from its own folder, by its base name.
    std::string loadName = name;
    std::vector<char> savedDir;
    bool changedDir = false;
    if ((hasDrive || name[0] == '/') && fileStart > 0) {
        // Remembered whole, however long: a cut one could not be gone back to.
        DWORD needed = GetCurrentDirectoryA(0, nullptr);
        savedDir.resize(needed ? needed : 1);
        if (!needed || GetCurrentDirectoryA(needed, savedDir.data()) >= needed ||
            !SetCurrentDirectoryA(name.substr(0, fileStart).c_str())) {
            refused();
            return;
        }
        changedDir = true;
        loadName = name.substr(fileStart);
    } else if (hasDrive) {
        // A drive without a folder names its current folder, which is ours.
        loadName = name.substr(2);
    }

    CSoundEngine* engine = CSoundEngine::GetInstance();
    // A file named again, under any name, shares what its first load gave.
    std::tuple<uint64_t, uint64_t, int> file(0, 0, kind);
    const bool known = platform::FileIdentity(platform::HostPath((engine->m_audioPath + loadName).c_str()),
                                              std::get<0>(file), std::get<1>(file));
    auto tried = known ? m_tried.find(file) : m_tried.end();
    DWORD handle = 0;
    if (tried != m_tried.end()) {
        // No load, so nothing for the loading screen to count or draw.
        handle = tried->second;
    } else {
        const uint64_t before = ResidentBytes();
        switch (kind) {
            case kMidi:
                if (CMidiSegment* segment = MidiLoad(loadName)) handle = segment->GetHandle();
                break;
            case kMod: handle = engine->LoadModMusic(loadName.c_str()); break;
            case kStream: handle = engine->LoadStream(loadName); break;
            case kNone: break;
        }
        const uint64_t after = ResidentBytes();
        if (after > before) m_decodedBytes += after - before;
        if (known) m_tried[file] = handle;
    }
    if (handle) {
        m_songs.emplace_back(kRecordKinds[kind], handle, loadName);
        g_Log.Print("darkgray", "Loading %s music: (%s) complete.", kindName, loadName.c_str());
    } else {
        failed(loadName);
    }
    if (changedDir) SetCurrentDirectoryA(savedDir.data());
}

void CMusicPlayer::Play() {
    if (!CurrentValid()) return;
    const CSoundRecord& song = m_songs[m_current];
    CSoundEngine* engine = CSoundEngine::GetInstance();
    float volume = engine->m_volumes[2];
    switch (song.m_kind) {
        case CSoundRecord::kMidiSegment:
            MidiPlay(MidiSegmentFromHandle(song.m_handle));
            StartGuard();
            break;
        case CSoundRecord::kModMusic: {
            // The fixed scale 100 here, not the library's maximum volume.
            long double v = std::trunc(static_cast<long double>(volume) * 100.0L);
            int libraryVolume = std::fabs(v) < 2147483647.0L ? static_cast<int>(v) : 0;
            engine->BASS_ChannelSetAttributes(song.m_handle, -1, libraryVolume, -101);
            engine->BASS_ChannelSetPosition(song.m_handle, 0);
            engine->BASS_MusicPlay(song.m_handle);
            break;
        }
        case CSoundRecord::kStream:
            engine->BASS_ChannelSetAttributes(song.m_handle, -1, engine->ConvertVolume(volume), -101);
            engine->BASS_ChannelSetPosition(song.m_handle, 0);
            engine->BASS_StreamPlay(song.m_handle, FALSE, 0);  // never looped: its end is the song's end
            break;
    }
}

void CMusicPlayer::Stop() {
    if (!CurrentValid()) return;
    const CSoundRecord& song = m_songs[m_current];
    if (song.m_kind == CSoundRecord::kMidiSegment)
        MidiStop();
    else
        CSoundEngine::GetInstance()->BASS_ChannelStop(song.m_handle);
}

void CMusicPlayer::NextSong() {
    Stop();
    int64_t next = int64_t(m_current) + 1;
    m_current = next < static_cast<int64_t>(m_songs.size()) ? static_cast<int>(next) : 0;
    Play();
}

void CMusicPlayer::PreviousSong() {
    Stop();
    int64_t previous = int64_t(m_current) - 1;
    m_current = previous < 0 ? static_cast<int>(m_songs.size()) - 1 : static_cast<int>(previous);
    if (m_current >= 0) Play();
}

void CMusicPlayer::Pause() {
    m_paused = true;
    // Streams and modules are held by the paused device; MIDI pauses itself.
    if (CurrentValid() && m_songs[m_current].m_kind == CSoundRecord::kMidiSegment)
        MidiPause(MidiSegmentFromHandle(m_songs[m_current].m_handle));
}

void CMusicPlayer::Resume() {
    if (!m_paused) return;
    m_paused = false;
    if (CurrentValid() && m_songs[m_current].m_kind == CSoundRecord::kMidiSegment) {
        MidiResume(MidiSegmentFromHandle(m_songs[m_current].m_handle));
        StartGuard();
    }
}

void CMusicPlayer::SetVolume(float volume) {
    if (!CurrentValid()) return;
    const CSoundRecord& song = m_songs[m_current];
    switch (song.m_kind) {
        case CSoundRecord::kMidiSegment: MidiSetVolume(MidiSegmentFromHandle(song.m_handle), volume); break;
        case CSoundRecord::kModMusic: CSoundEngine::GetInstance()->SetModMusicVolume(song.m_handle, volume); break;
        case CSoundRecord::kStream: CSoundEngine::GetInstance()->SetChannelVolume(song.m_handle, volume); break;
    }
}

void CMusicPlayer::Update() {
    if (g_MidiGuard) {
        if (ms_engineTime() - g_MidiGuardTime < kMidiGraceSeconds) return;
        g_MidiGuard = false;
    }
    if (!CurrentValid()) return;
    const CSoundRecord& song = m_songs[m_current];
    bool going;
    if (song.m_kind == CSoundRecord::kMidiSegment)
        going = MidiIsPlaying(MidiSegmentFromHandle(song.m_handle));
    else
        going = CSoundEngine::GetInstance()->BASS_ChannelIsActive(song.m_handle) != 0;
    if (!going) NextSong();
}
