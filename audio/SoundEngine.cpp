#include "audio/SoundEngine.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/Loading.h"
#include "engine/Log.h"
#include "engine/Settings.h"

#include "audio/MidiManager.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundTestView.h"

#include "engine/GraphicsEngine.h"

namespace {

const settings::Id kVolumeSettings[3] = {settings::Id::BackgroundVolume, settings::Id::GameVolume,
                                         settings::Id::MusicVolume};
const int kSampleMaxPlaybacks = 5;
// The game cannot run without its audio library: a failure, so not exit code 0.
const int kExitNoAudioLibrary = 1;

// The window the device belongs to: the graphics engine's, which is created
// here when the launcher reaches the sound engine first (it may have no window yet).
HWND EngineWindow() {
    return CGraphicsEngine::GetInstance()->GetWindow();
}

[[noreturn]] void EndWithoutAudioLibrary() {
    g_Log.PrintBold("red", "Error: (SoundEngine) Couldn't load temp file.");
    MessageBoxA(nullptr, "Couldn't load the audio library.\n See log.html for detail.", "Error !",
                MB_OK | MB_ICONERROR);
    exit(kExitNoAudioLibrary);
}

template <class T>
void Resolve(HMODULE library, const char* name, T& entry) {
    entry = reinterpret_cast<T>(GetProcAddress(library, name));
    if (!entry) {
        // A library without one of the calls cannot be used at all.
        g_Log.PrintBold("red", "Error: (SoundEngine) Missing entry point: %s", name);
        EndWithoutAudioLibrary();
    }
}

}  // namespace

CSoundEngine* CSoundEngine::GetInstance() { return CSingleton<CSoundEngine>::GetInstance(); }

CSoundEngine::CSoundEngine() : m_recording(false), m_musicPlayer(nullptr), m_library(nullptr) {
    g_Log.Print("blue", "Initializing sound engine");
    strcpy(m_audioPath, ".\\");
    m_musicPlayer = nullptr;
    for (auto& v : m_volumes) v = 0.0f;

    m_library = LoadLibraryA("sound.dll");
    if (!m_library) EndWithoutAudioLibrary();

    Resolve(m_library, "BASS_ErrorGetCode", BASS_ErrorGetCode);
    Resolve(m_library, "BASS_Init", BASS_Init);
    Resolve(m_library, "BASS_Free", BASS_Free);
    Resolve(m_library, "BASS_Start", BASS_Start);
    Resolve(m_library, "BASS_Stop", BASS_Stop);
    Resolve(m_library, "BASS_Pause", BASS_Pause);
    Resolve(m_library, "BASS_SampleLoad", BASS_SampleLoad);
    Resolve(m_library, "BASS_SamplePlay", BASS_SamplePlay);
    Resolve(m_library, "BASS_SampleStop", BASS_SampleStop);
    Resolve(m_library, "BASS_SamplePlayEx", BASS_SamplePlayEx);
    Resolve(m_library, "BASS_SampleFree", BASS_SampleFree);
    Resolve(m_library, "BASS_SetVolume", BASS_SetVolume);
    Resolve(m_library, "BASS_MusicLoad", BASS_MusicLoad);
    Resolve(m_library, "BASS_MusicPlay", BASS_MusicPlay);
    Resolve(m_library, "BASS_MusicFree", BASS_MusicFree);
    Resolve(m_library, "BASS_ChannelIsActive", BASS_ChannelIsActive);
    Resolve(m_library, "BASS_MusicSetAmplify", BASS_MusicSetAmplify);
    Resolve(m_library, "BASS_ChannelSetAttributes", BASS_ChannelSetAttributes);
    Resolve(m_library, "BASS_StreamCreateFile", BASS_StreamCreateFile);
    Resolve(m_library, "BASS_StreamPlay", BASS_StreamPlay);
    Resolve(m_library, "BASS_StreamFree", BASS_StreamFree);
    Resolve(m_library, "BASS_ChannelStop", BASS_ChannelStop);
    Resolve(m_library, "BASS_GetConfig", BASS_GetConfig);
    Resolve(m_library, "BASS_ChannelSetPosition", BASS_ChannelSetPosition);
    Resolve(m_library, "BASS_ChannelSetSync", BASS_ChannelSetSync);

    HWND window = EngineWindow();
    if (!BASS_Init(1, 44100, 0, window, nullptr))
        g_Log.PrintBold("red", "Error: (SoundEngine) Couldn't create sound device.");

    for (auto& v : m_volumes) v = 1.0f;
    for (int i = 0; i < 3; ++i) m_volumes[i] = settings::ReadFloat(kVolumeSettings[i]);

    MidiInit(window);

    m_musicPlayer = nullptr;
    m_recording = false;
    g_Log.Print("green", "Complete");
}

CSoundEngine::~CSoundEngine() {
    for (int i = 0; i < 3; ++i) settings::WriteFloat(kVolumeSettings[i], m_volumes[i]);
    delete m_musicPlayer;
    m_musicPlayer = nullptr;
    MidiShutdown();
    if (m_library) {
        BASS_Free();
        FreeLibrary(m_library);
        m_library = nullptr;
    }
    m_records.clear();
}

int CSoundEngine::ConvertVolume(float volume) const {
    // Extended precision, truncated toward zero; the low 32 bits are passed on.
    const float scale = static_cast<float>(static_cast<DWORD>(BASS_GetConfig(BASS_CONFIG_MAXVOL)));
    long double value = std::trunc(static_cast<long double>(scale) * static_cast<long double>(volume));
    if (!(std::fabs(value) < 9.2e18L)) return 0;  // NaN or out of any range: silence
    return static_cast<int>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}

int CSoundEngine::ConvertVolume(float volume, float factor) const {
    const float scale = static_cast<float>(static_cast<DWORD>(BASS_GetConfig(BASS_CONFIG_MAXVOL)));
    long double value = std::trunc(static_cast<long double>(volume) * static_cast<long double>(factor) *
                                   static_cast<long double>(scale));
    if (!(std::fabs(value) < 9.2e18L)) return 0;
    return static_cast<int>(static_cast<uint32_t>(static_cast<int64_t>(value)));
}

bool CSoundEngine::ValidCategory(int category) const {
    if (category >= 0 && category < 3) return true;
    g_Log.PrintBold("red", "Error: (SoundEngine) Invalid volume category: %d", category);
    return false;
}

bool CSoundEngine::FullPath(const char* name, std::string& path) const {
    path = m_audioPath;
    path += name ? name : "";
    return path.size() < MAX_PATH;
}

std::string CSoundEngine::HandleName(DWORD handle) const {
    auto it = m_handleNames.find(handle);
    return it == m_handleNames.end() ? std::string() : it->second;
}

DWORD CSoundEngine::Played(DWORD handle, DWORD channel, int category, float volume) const {
    CSoundTestView::OnPlay(HandleName(handle), channel, category, volume);
    return channel;
}

DWORD CSoundEngine::LoadSound(const char* name) {
    CountLoadedResource();
    std::string path;
    DWORD handle = 0;
    if (FullPath(name, path)) handle = BASS_SampleLoad(FALSE, path.c_str(), 0, 0, kSampleMaxPlaybacks, 0);
    if (!handle) {
        g_Log.PrintBold("red", "Error: (SoundEngine) Couldn't load sound file: %s", path.c_str());
        return 0;
    }
    g_Log.Print("darkgray", "Loading sound: (%s) complete.", path.c_str());
    m_handleNames[handle] = name;
    if (m_recording) m_records.emplace_back(CSoundRecord::kSample, handle, path);
    return handle;
}

DWORD CSoundEngine::PlaySound(DWORD sample, int category) {
    if (!ValidCategory(category)) return Played(sample, 0, category, 0.0f);
    return Played(sample, BASS_SamplePlayEx(sample, 0, -1, ConvertVolume(m_volumes[category]), -101, -1), category,
                  m_volumes[category]);
}

DWORD CSoundEngine::PlaySoundScaled(DWORD sample, float factor, int category) {
    if (!ValidCategory(category)) return Played(sample, 0, category, 0.0f);
    return Played(sample, BASS_SamplePlayEx(sample, 0, -1, ConvertVolume(m_volumes[category], factor), -101, -1),
                  category, m_volumes[category] * factor);
}

DWORD CSoundEngine::PlaySoundLooped(DWORD sample, int category) {
    if (!ValidCategory(category)) return Played(sample, 0, category, 0.0f);
    return Played(sample, BASS_SamplePlayEx(sample, 0, -1, ConvertVolume(m_volumes[category]), -101, 1), category,
                  m_volumes[category]);
}

void CSoundEngine::StopSample(DWORD sample) {
    CSoundTestView::OnStop(sample, HandleName(sample));
    BASS_SampleStop(sample);
}

DWORD CSoundEngine::LoadStream(const std::string& name) {
    CountLoadedResource();
    std::string path;
    DWORD handle = 0;
    if (FullPath(name.c_str(), path)) handle = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, 0);
    if (handle) m_handleNames[handle] = name;
    if (m_recording) m_records.emplace_back(CSoundRecord::kStream, handle, path);
    return handle;
}

void CSoundEngine::PlayStream(DWORD stream, int category, bool loop) {
    if (!ValidCategory(category)) {
        Played(stream, 0, category, 0.0f);
        return;
    }
    Played(stream, stream, category, m_volumes[category]);
    BASS_ChannelSetAttributes(stream, -1, ConvertVolume(m_volumes[category]), -101);
    BASS_ChannelSetPosition(stream, 0);
    if (loop) {
        BASS_StreamPlay(stream, FALSE, BASS_SAMPLE_LOOP);
        BASS_ChannelSetSync(stream, BASS_SYNC_END, 0, &CSoundEngine::StreamEndSyncProc, static_cast<DWORD>(category));
    } else {
        BASS_StreamPlay(stream, FALSE, 0);
    }
}

DWORD CSoundEngine::LoadModMusic(const char* name) {
    CountLoadedResource();
    std::string path;
    if (!FullPath(name, path)) return 0;
    DWORD handle = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, 0, 0);
    if (!handle) return 0;
    m_handleNames[handle] = name;
    if (m_recording) m_records.emplace_back(CSoundRecord::kModMusic, handle, path);
    return handle;
}

void CSoundEngine::StopChannel(DWORD channel) {
    CSoundTestView::OnStop(channel, HandleName(channel));
    BASS_ChannelStop(channel);
}

void CSoundEngine::SetChannelVolume(DWORD channel, float volume) {
    BASS_ChannelSetAttributes(channel, -1, ConvertVolume(volume), -101);
}

void CSoundEngine::SetModMusicVolume(DWORD music, float volume) {
    BASS_ChannelSetAttributes(music, -1, ConvertVolume(volume), -101);
}

bool CSoundEngine::Start() {
    if (BASS_Start() != 1) {
        g_Log.PrintBold("red", "Error: (SoundEngine) Couldn't start sound device.");
        return false;
    }
    return true;
}

bool CSoundEngine::Pause() {
    if (BASS_Pause() != 1) {
        g_Log.PrintBold("red", "Error: (SoundEngine) Couldn't pause sound device.");
        return false;
    }
    return true;
}

void CSoundEngine::SetAudioPath(const char* folder) {
    g_Log.Print("blue", "Setting audio path:");
    if (!folder) folder = "";
    if (strlen(folder) + 1 >= sizeof m_audioPath) {
        // The old folder stays rather than a cut one.
        g_Log.PrintBold("red", "Error: (SoundEngine) Audio path too long: %s", folder);
        return;
    }
    snprintf(m_audioPath, sizeof m_audioPath, "%s\\", folder);
    g_Log.Print("darkgray", "path = %s", folder);
    g_Log.Print("green", "Complete");
}

void CSoundEngine::Update() {
    if (m_musicPlayer) m_musicPlayer->Update();
}

void CSoundEngine::BeginSoundList() {
    m_records.clear();
    m_recording = true;
}

void CSoundEngine::EndSoundList() { m_recording = false; }

void CSoundEngine::UnloadAll() {
    for (const CSoundRecord& record : m_records) {
        switch (record.m_kind) {
            case CSoundRecord::kSample:
                BASS_SampleStop(record.m_handle);
                BASS_SampleFree(record.m_handle);
                break;
            case CSoundRecord::kModMusic:
                BASS_ChannelStop(record.m_handle);
                BASS_MusicFree(record.m_handle);
                break;
            case CSoundRecord::kStream:
                BASS_ChannelStop(record.m_handle);
                BASS_StreamFree(record.m_handle);
                break;
            case CSoundRecord::kMidiSegment:
                MidiStop();
                MidiUnload(MidiSegmentFromHandle(record.m_handle));
                break;
        }
        m_handleNames.erase(record.m_handle);
        g_Log.Print("darkgray", "unloading sound file: (%s) complete", record.m_name.c_str());
    }
}

void CSoundEngine::StreamEndSyncProc(HSYNC, DWORD channel, DWORD, DWORD user) {
    // Never creates the engine from the mixer's thread: a stream only plays while it exists.
    CSoundEngine* engine = CSingleton<CSoundEngine>::GetInstancePtr();
    if (!engine || user >= 3) return;
    engine->SetChannelVolume(channel, engine->m_volumes[user]);
}
