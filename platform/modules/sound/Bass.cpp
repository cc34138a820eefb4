// The audio library's entry points and the mixer behind them. One lock guards
// every object; the SDL audio thread takes it for each block it mixes, so a
// call that returns has taken effect from the next block on. Syncs run on the
// mixer's thread with the lock held (it is recursive, so they may call back in).
#include <bass.h>
#include <mixer.h>

#include <SDL.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "SoundSources.h"

using namespace sound;

namespace {

enum class Kind { Sample, SampleChannel, Stream, Music };

struct CSync {
    HSYNC id;
    SYNCPROC proc;
    DWORD user;
};

struct CObject {
    explicit CObject(Kind k) : kind(k) {}
    virtual ~CObject() = default;
    Kind kind;
};

struct CSample : CObject {
    CSample() : CObject(Kind::Sample) {}
    SampleData data;
    DWORD max = 1;
    std::vector<DWORD> channels;  // live playbacks, oldest first
};

struct CChannel : CObject {
    explicit CChannel(Kind k) : CObject(k) {}
    std::unique_ptr<CSource> source;
    DWORD sample = 0;  // the sample of a sample playback
    bool playing = false;
    bool atEnd = false;  // ran out; the next play starts over
    bool loop = false;
    int volume = 100;  // 0..100
    int pan = 0;       // -100..100
    std::vector<CSync> syncs;
};

struct CSourceEntry {
    DWORD id;
    MIXERSOURCEPROC proc;
    void* user;
};

constexpr int kMaxVolume = 100;

std::recursive_mutex g_lock;
SDL_AudioDeviceID g_device = 0;
bool g_initialised = false;
bool g_paused = false;
int g_masterVolume = kMaxVolume;
// Decoded samples can be large (a theme brings its own): all held at once
// stay under this.
DWORD g_sampleBytesLimit = 256u << 20;
DWORD g_nextHandle = 1;
std::unordered_map<DWORD, std::unique_ptr<CObject>> g_objects;
std::vector<DWORD> g_playing;  // channels being mixed, in the order they started
std::vector<CSourceEntry> g_sources;
std::vector<float> g_scratch;
thread_local int g_error = BASS_OK;

BOOL Fail(int code) {
    g_error = code;
    return FALSE;
}

BOOL Ok() {
    g_error = BASS_OK;
    return TRUE;
}

// Handles are never 0 and are not reused while the counter lasts.
DWORD NewHandle() {
    while (g_nextHandle == 0 || g_objects.count(g_nextHandle)) ++g_nextHandle;
    return g_nextHandle++;
}

template <class T>
T* Find(DWORD handle, Kind kind) {
    if (handle == 0) return nullptr;
    auto it = g_objects.find(handle);
    if (it == g_objects.end() || it->second->kind != kind) return nullptr;
    return static_cast<T*>(it->second.get());
}

// What the loaded samples hold; called with the lock held.
size_t HeldSampleBytes() {
    size_t bytes = 0;
    for (const auto& entry : g_objects)
        if (entry.second->kind == Kind::Sample) bytes += static_cast<const CSample&>(*entry.second).data->Bytes();
    return bytes;
}

CChannel* FindChannel(DWORD handle) {
    if (handle == 0) return nullptr;
    auto it = g_objects.find(handle);
    if (it == g_objects.end() || it->second->kind == Kind::Sample) return nullptr;
    return static_cast<CChannel*>(it->second.get());
}

void StartPlaying(DWORD handle, CChannel* ch) {
    if (!ch->playing) g_playing.push_back(handle);
    ch->playing = true;
}

void StopPlaying(DWORD handle, CChannel* ch) {
    ch->playing = false;
    g_playing.erase(std::remove(g_playing.begin(), g_playing.end(), handle), g_playing.end());
}

// A sample playback lives only while it plays; its handle dies with it.
void DestroySampleChannel(DWORD handle) {
    CChannel* ch = Find<CChannel>(handle, Kind::SampleChannel);
    if (!ch) return;
    StopPlaying(handle, ch);
    if (CSample* s = Find<CSample>(ch->sample, Kind::Sample))
        s->channels.erase(std::remove(s->channels.begin(), s->channels.end(), handle), s->channels.end());
    g_objects.erase(handle);
}

void FireEndSyncs(DWORD handle, CChannel* ch) {
    std::vector<CSync> syncs = ch->syncs;  // a proc may change the list
    for (const CSync& s : syncs) s.proc(s.id, handle, 0, s.user);
}

void MixChannel(DWORD handle, float* out, int frames) {
    int done = 0;
    bool rewound = false;
    while (done < frames) {
        CChannel* ch = FindChannel(handle);
        if (!ch || !ch->playing) return;
        int want = frames - done;
        if (g_scratch.size() < static_cast<size_t>(want) * 2) g_scratch.resize(static_cast<size_t>(want) * 2);
        int got = ch->source->Read(g_scratch.data(), want);
        float gain = static_cast<float>(ch->volume) / kMaxVolume;
        float left = gain * (ch->pan > 0 ? 1.0f - ch->pan / 100.0f : 1.0f);
        float right = gain * (ch->pan < 0 ? 1.0f + ch->pan / 100.0f : 1.0f);
        float* o = out + 2 * done;
        for (int i = 0; i < got; ++i) {
            o[2 * i] += g_scratch[2 * i] * left;
            o[2 * i + 1] += g_scratch[2 * i + 1] * right;
        }
        done += got;
        if (got > 0) rewound = false;
        if (got == want) return;

        // The end of the sound.
        if (ch->loop && !rewound) {
            ch->source->Seek(0);
            rewound = true;  // an empty sound must not spin here
            FireEndSyncs(handle, ch);
            continue;
        }
        StopPlaying(handle, ch);
        ch->atEnd = true;
        const bool samplePlayback = ch->kind == Kind::SampleChannel;
        FireEndSyncs(handle, ch);  // may free the channel
        if (samplePlayback) DestroySampleChannel(handle);
        return;
    }
}

// A program may end with the device still open. The mixer thread must stop
// before exit destroys what it reads: ours, and the state of the players that
// added sources. Handlers registered later run earlier, so one is registered
// when the device opens and again with each source.
void CloseDeviceAtExit() {
    SDL_AudioDeviceID id;
    {
        std::lock_guard<std::recursive_mutex> lock(g_lock);
        id = g_device;
        g_device = 0;
        g_initialised = false;
    }
    if (id != 0) SDL_CloseAudioDevice(id);
}

void SDLCALL MixCallback(void*, Uint8* stream, int bytes) {
    float* out = reinterpret_cast<float*>(stream);
    int frames = bytes / static_cast<int>(2 * sizeof(float));
    std::memset(stream, 0, static_cast<size_t>(bytes));
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    std::vector<DWORD> playing = g_playing;
    for (DWORD h : playing) MixChannel(h, out, frames);
    std::vector<CSourceEntry> sources = g_sources;
    for (const CSourceEntry& s : sources) {
        // A source removed by an earlier one in this block is skipped.
        bool present = false;
        for (const CSourceEntry& e : g_sources) present = present || e.id == s.id;
        if (present) s.proc(out, frames, s.user);
    }
    float master = static_cast<float>(g_masterVolume) / kMaxVolume;
    for (int i = 0; i < 2 * frames; ++i) out[i] = std::clamp(out[i] * master, -1.0f, 1.0f);
}

int ClampVolume(int volume) { return std::clamp(volume, 0, kMaxVolume); }

void FreeEverything() {
    g_playing.clear();
    g_objects.clear();
    g_sources.clear();
}

DWORD AddObject(std::unique_ptr<CObject> object) {
    DWORD handle = NewHandle();
    g_objects[handle] = std::move(object);
    return handle;
}

bool ValidLoadArguments(BOOL memory, const void* file, DWORD offset, DWORD length) {
    // Only whole files by name: the game loads nothing from memory.
    return !memory && file && offset == 0 && length == 0;
}

// Plays a channel from where it is; one that ran out starts over.
void Play(DWORD handle, CChannel* ch) {
    if (ch->atEnd) {
        ch->source->Seek(0);
        ch->atEnd = false;
    }
    StartPlaying(handle, ch);
}

BOOL FreeChannelObject(DWORD handle, Kind kind) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = Find<CChannel>(handle, kind);
    if (!ch) return Fail(BASS_ERROR_HANDLE);
    StopPlaying(handle, ch);
    g_objects.erase(handle);
    return Ok();
}

}  // namespace

extern "C" {

BASSDEF int BASS_ErrorGetCode() { return g_error; }

BASSDEF BOOL BASS_Init(int device, DWORD freq, DWORD, HWND, const GUID*) {
    SDL_AudioDeviceID id;
    {
        std::lock_guard<std::recursive_mutex> lock(g_lock);
        if (g_initialised) return Fail(BASS_ERROR_ALREADY);
        if (device != -1 && device != 1) return Fail(BASS_ERROR_DRIVER);
        if (freq != 0 && freq != static_cast<DWORD>(kRate)) return Fail(BASS_ERROR_ILLPARAM);
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return Fail(BASS_ERROR_DRIVER);
        SDL_AudioSpec want;
        SDL_zero(want);
        want.freq = kRate;
        want.format = AUDIO_F32SYS;
        want.channels = 2;
        want.samples = 1024;
        want.callback = &MixCallback;
        SDL_AudioSpec have;
        // SDL converts to whatever the device takes, so the mixer always sees this format.
        id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
        if (id == 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return Fail(BASS_ERROR_DRIVER);
        }
        g_device = id;
        g_initialised = true;
        static const bool registered = std::atexit(&CloseDeviceAtExit) == 0;
        (void)registered;
        g_paused = false;
        g_masterVolume = kMaxVolume;
    }
    // Outside the lock, as every pause and resume of the device.
    SDL_PauseAudioDevice(id, 0);
    return Ok();
}

BASSDEF BOOL BASS_Free() {
    SDL_AudioDeviceID id;
    {
        std::lock_guard<std::recursive_mutex> lock(g_lock);
        if (!g_initialised) return Fail(BASS_ERROR_INIT);
        id = g_device;
        g_device = 0;
        g_initialised = false;
    }
    // Not under the lock: closing waits for the mixer thread, which takes it.
    SDL_CloseAudioDevice(id);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    FreeEverything();
    return Ok();
}

// SDL's pause takes the device lock that the mixer thread holds while it
// waits for ours, so the device is paused and resumed outside our lock.
namespace {
BOOL SetDevicePaused(bool paused, bool stopChannels) {
    SDL_AudioDeviceID id;
    {
        std::lock_guard<std::recursive_mutex> lock(g_lock);
        if (!g_initialised) return Fail(BASS_ERROR_INIT);
        g_paused = paused;
        id = g_device;
        if (stopChannels) {
            std::vector<DWORD> playing = g_playing;
            for (DWORD h : playing) {
                if (CChannel* ch = FindChannel(h)) {
                    if (ch->kind == Kind::SampleChannel)
                        DestroySampleChannel(h);
                    else
                        StopPlaying(h, ch);
                }
            }
        }
    }
    SDL_PauseAudioDevice(id, paused ? 1 : 0);
    return Ok();
}
}  // namespace

BASSDEF BOOL BASS_Start() { return SetDevicePaused(false, false); }

BASSDEF BOOL BASS_Pause() { return SetDevicePaused(true, false); }

BASSDEF BOOL BASS_Stop() { return SetDevicePaused(true, true); }

BASSDEF BOOL BASS_SetVolume(DWORD volume) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!g_initialised) return Fail(BASS_ERROR_INIT);
    if (volume > static_cast<DWORD>(kMaxVolume)) return Fail(BASS_ERROR_ILLPARAM);
    g_masterVolume = static_cast<int>(volume);
    return Ok();
}

BASSDEF DWORD BASS_GetConfig(DWORD option) {
    if (option == BASS_CONFIG_MAXVOL) {
        g_error = BASS_OK;
        return kMaxVolume;
    }
    if (option == BASS_CONFIG_SAMPLEBYTES) {
        std::lock_guard<std::recursive_mutex> lock(g_lock);
        g_error = BASS_OK;
        return g_sampleBytesLimit;
    }
    g_error = BASS_ERROR_ILLPARAM;
    return static_cast<DWORD>(-1);
}

BASSDEF BOOL BASS_SetConfig(DWORD option, DWORD value) {
    if (option != BASS_CONFIG_SAMPLEBYTES) return Fail(BASS_ERROR_ILLPARAM);
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    g_sampleBytesLimit = value;
    return Ok();
}

// ---- samples ----

BASSDEF HSAMPLE BASS_SampleLoad(BOOL memory, const void* file, DWORD offset, DWORD length, DWORD max, DWORD) {
    if (!ValidLoadArguments(memory, file, offset, length) || max < 1 || max > 65535) {
        Fail(BASS_ERROR_ILLPARAM);
        return 0;
    }
    size_t room = 0;  // what this sample may take
    {
        std::lock_guard<std::recursive_mutex> lock(g_lock);
        if (!g_initialised) {
            Fail(BASS_ERROR_INIT);
            return 0;
        }
        room = g_sampleBytesLimit - std::min<size_t>(g_sampleBytesLimit, HeldSampleBytes());
    }
    std::string path = HostFilePath(static_cast<const char*>(file));
    SampleFrames frames;
    std::string error;
    bool opened = false;
    if (!DecodeWholeFile(path, frames, error, &opened, room)) {
        Fail(!opened ? BASS_ERROR_FILEOPEN : error == kOverSampleMemory ? BASS_ERROR_MEM : BASS_ERROR_FILEFORM);
        return 0;
    }
    const size_t bytes = frames.Bytes();
    std::unique_ptr<CSample> sample(new CSample);
    sample->data = std::make_shared<const SampleFrames>(std::move(frames));
    sample->max = max;
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!g_initialised) {
        Fail(BASS_ERROR_INIT);
        return 0;
    }
    // Another load may have taken the room while this one decoded.
    if (HeldSampleBytes() + bytes > g_sampleBytesLimit) {
        Fail(BASS_ERROR_MEM);
        return 0;
    }
    g_error = BASS_OK;
    return AddObject(std::move(sample));
}

BASSDEF HCHANNEL BASS_SamplePlayEx(HSAMPLE handle, DWORD start, int, int volume, int pan, int loop) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CSample* sample = Find<CSample>(handle, Kind::Sample);
    if (!sample) {
        Fail(BASS_ERROR_HANDLE);
        return 0;
    }
    // With every playback in use a new one is refused, not stolen from the oldest.
    if (sample->channels.size() >= sample->max) {
        Fail(BASS_ERROR_NOCHAN);
        return 0;
    }
    std::unique_ptr<CChannel> ch(new CChannel(Kind::SampleChannel));
    // start is a byte offset into the decoded data as two floats a frame,
    // however the sample is held.
    ch->source.reset(new CSampleSource(sample->data, start / (2 * sizeof(float))));
    ch->sample = handle;
    // Out-of-range values are clipped, as for a playing channel.
    ch->volume = volume == -1 ? kMaxVolume : ClampVolume(volume);
    ch->pan = pan == -101 ? 0 : std::clamp(pan, -100, 100);
    ch->loop = loop == 1;
    CChannel* raw = ch.get();
    DWORD channel = AddObject(std::move(ch));
    sample->channels.push_back(channel);
    StartPlaying(channel, raw);
    g_error = BASS_OK;
    return channel;
}

BASSDEF HCHANNEL BASS_SamplePlay(HSAMPLE handle) { return BASS_SamplePlayEx(handle, 0, -1, -1, -101, -1); }

BASSDEF BOOL BASS_SampleStop(HSAMPLE handle) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CSample* sample = Find<CSample>(handle, Kind::Sample);
    if (!sample) return Fail(BASS_ERROR_HANDLE);
    std::vector<DWORD> channels = sample->channels;
    for (DWORD c : channels) DestroySampleChannel(c);
    return Ok();
}

BASSDEF BOOL BASS_SampleFree(HSAMPLE handle) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!BASS_SampleStop(handle)) return FALSE;
    g_objects.erase(handle);
    return Ok();
}

// ---- streams ----

// Opens a file channel of the kind: arguments checked, the file decoded outside
// the lock (it may be slow), the channel added only if the device still exists.
static HCHANNEL CreateFileChannel(BOOL memory, const void* file, DWORD offset, DWORD length, Kind kind, bool loop) {
    if (!ValidLoadArguments(memory, file, offset, length)) {
        Fail(BASS_ERROR_ILLPARAM);
        return 0;
    }
    {
        std::lock_guard<std::recursive_mutex> lock(g_lock);
        if (!g_initialised) {
            Fail(BASS_ERROR_INIT);
            return 0;
        }
    }
    std::string path = HostFilePath(static_cast<const char*>(file));
    std::unique_ptr<CSource> source = kind == Kind::Stream ? OpenStreamSource(path) : OpenMusicSource(path);
    if (!source) {
        Fail(BASS_ERROR_FILEFORM);
        return 0;
    }
    std::unique_ptr<CChannel> ch(new CChannel(kind));
    ch->source = std::move(source);
    ch->loop = loop;
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!g_initialised) {
        Fail(BASS_ERROR_INIT);
        return 0;
    }
    g_error = BASS_OK;
    return AddObject(std::move(ch));
}

BASSDEF HSTREAM BASS_StreamCreateFile(BOOL memory, const void* file, DWORD offset, DWORD length, DWORD flags) {
    return CreateFileChannel(memory, file, offset, length, Kind::Stream, (flags & BASS_SAMPLE_LOOP) != 0);
}

BASSDEF BOOL BASS_StreamPlay(HSTREAM handle, BOOL flush, DWORD flags) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = Find<CChannel>(handle, Kind::Stream);
    if (!ch) return Fail(BASS_ERROR_HANDLE);
    ch->loop = (flags & BASS_SAMPLE_LOOP) != 0;
    if (flush) {
        ch->source->Seek(0);
        ch->atEnd = false;
    }
    Play(handle, ch);
    return Ok();
}

BASSDEF BOOL BASS_StreamFree(HSTREAM handle) { return FreeChannelObject(handle, Kind::Stream); }

// ---- module music ----

BASSDEF HMUSIC BASS_MusicLoad(BOOL memory, const void* file, DWORD offset, DWORD length, DWORD, DWORD) {
    return CreateFileChannel(memory, file, offset, length, Kind::Music, false);
}

BASSDEF BOOL BASS_MusicPlay(HMUSIC handle) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = Find<CChannel>(handle, Kind::Music);
    if (!ch) return Fail(BASS_ERROR_HANDLE);
    Play(handle, ch);
    return Ok();
}

BASSDEF BOOL BASS_MusicFree(HMUSIC handle) { return FreeChannelObject(handle, Kind::Music); }

BASSDEF BOOL BASS_MusicSetAmplify(HMUSIC handle, DWORD amp) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = Find<CChannel>(handle, Kind::Music);
    if (!ch) return Fail(BASS_ERROR_HANDLE);
    if (amp > 100) return Fail(BASS_ERROR_ILLPARAM);
    SetMusicAmplify(ch->source.get(), static_cast<int>(amp));
    return Ok();
}

// ---- channels ----

BASSDEF DWORD BASS_ChannelIsActive(DWORD handle) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = FindChannel(handle);
    if (!ch) {
        g_error = BASS_ERROR_HANDLE;
        return BASS_ACTIVE_STOPPED;
    }
    g_error = BASS_OK;
    if (!ch->playing) return BASS_ACTIVE_STOPPED;
    return g_paused ? BASS_ACTIVE_PAUSED : BASS_ACTIVE_PLAYING;
}

BASSDEF BOOL BASS_ChannelSetAttributes(DWORD handle, int, int volume, int pan) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = FindChannel(handle);
    if (!ch) return Fail(BASS_ERROR_HANDLE);
    // Out-of-range values are clipped: a volume slider past its end must not silence a channel.
    if (volume != -1) ch->volume = ClampVolume(volume);
    if (pan != -101) ch->pan = std::clamp(pan, -100, 100);
    return Ok();
}

BASSDEF BOOL BASS_ChannelStop(DWORD handle) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = FindChannel(handle);
    if (!ch) return Fail(BASS_ERROR_HANDLE);
    if (ch->kind == Kind::SampleChannel)
        DestroySampleChannel(handle);
    else
        StopPlaying(handle, ch);
    return Ok();
}

BASSDEF BOOL BASS_ChannelSetPosition(DWORD handle, QWORD position) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = FindChannel(handle);
    if (!ch) return Fail(BASS_ERROR_HANDLE);
    if (!ch->source->Seek(position / (2 * sizeof(float)))) return Fail(BASS_ERROR_FILEFORM);
    ch->atEnd = false;
    return Ok();
}

BASSDEF HSYNC BASS_ChannelSetSync(DWORD handle, DWORD type, QWORD, SYNCPROC proc, DWORD user) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    CChannel* ch = FindChannel(handle);
    if (!ch) {
        Fail(BASS_ERROR_HANDLE);
        return 0;
    }
    if (type != BASS_SYNC_END || !proc) {
        Fail(BASS_ERROR_ILLPARAM);
        return 0;
    }
    static HSYNC nextSync = 0;
    if (++nextSync == 0) ++nextSync;
    ch->syncs.push_back({nextSync, proc, user});
    g_error = BASS_OK;
    return nextSync;
}

// ---- the mixer contract: other players add their output to the device ----

BASSDEF DWORD MIXER_AddSource(MIXERSOURCEPROC proc, void* user) {
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    if (!g_initialised || !proc) return 0;
    static DWORD nextId = 0;
    if (++nextId == 0) ++nextId;
    g_sources.push_back({nextId, proc, user});
    std::atexit(&CloseDeviceAtExit);
    return nextId;
}

BASSDEF BOOL MIXER_RemoveSource(DWORD id) {
    // Once this returns, the source's proc is not running and will not run again.
    std::lock_guard<std::recursive_mutex> lock(g_lock);
    auto it = std::find_if(g_sources.begin(), g_sources.end(), [id](const CSourceEntry& e) { return e.id == id; });
    if (it == g_sources.end()) return FALSE;
    g_sources.erase(it);
    return TRUE;
}

}  // extern "C"
