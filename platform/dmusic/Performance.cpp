#include "dmusichooks.h"
#include "Objects.h"
#include "mixer.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace dmusic {

namespace {

constexpr int kSampleRate = 44100;
constexpr int kVoices = 64;
constexpr int kChunk = 512;
constexpr uint32_t kDefaultTempo = 500000;  // 120 beats per minute
constexpr LONG kMinVolume = -10000;
constexpr LONG kMaxVolume = 2000;
constexpr const char* kSoundFont = "/usr/share/sounds/sf2/TimGM6mb.sf2";

// The game's loudest setting (+10 dB) renders at five times FluidSynth's
// default level: about as loud as the module and stream songs, short of clipping.
constexpr double kFullScaleMillibels = 1000.0;
constexpr double kFullScaleGain = 5.0;

MUSIC_TIME ClampMusicTime(double t) {
    if (t >= 2147483647.0) return 0x7FFFFFFF;
    return static_cast<MUSIC_TIME>(std::floor(t));
}

void QuietFluidLog(int, const char*, void*) {}

// The synthesiser's errors while it starts, joined into one text for the game's
// log; a reason would otherwise only reach standard error.
void CaptureFluidLog(int, const char* message, void* text) {
    std::string& out = *static_cast<std::string*>(text);
    if (!message || !*message || out.size() > 700) return;
    if (!out.empty()) out += "; ";
    out += message;
}

// Routes the synthesiser's errors into a text for the lifetime of the object,
// then gives them back to the handlers before.
class FluidErrorCapture {
public:
    explicit FluidErrorCapture(std::string& text) {
        text.clear();
        for (int i = 0; i < 2; ++i) m_saved[i] = fluid_set_log_function(kLevels[i], CaptureFluidLog, &text);
    }
    ~FluidErrorCapture() {
        for (int i = 0; i < 2; ++i) fluid_set_log_function(kLevels[i], m_saved[i], nullptr);
    }

private:
    static constexpr int kLevels[2] = {FLUID_PANIC, FLUID_ERR};
    fluid_log_function_t m_saved[2];
};

void MixerProc(float* out, int frameCount, void* user) { static_cast<Performance*>(user)->Render(out, frameCount); }

}  // namespace

Performance::~Performance() { CloseDown(); }

HRESULT Performance::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectMusicPerformance8) {
        *object = static_cast<IDirectMusicPerformance8*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

bool Performance::IsInitialized() {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_synth != nullptr;
}

HRESULT Performance::InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window,
                               DWORD defaultPathType, DWORD performanceChannels, DWORD flags,
                               DMUS_AUDIOPARAMS* params) {
    (void)window, (void)defaultPathType, (void)flags, (void)params;
    if (directMusic) *directMusic = nullptr;
    if (directSound) *directSound = nullptr;
    if (performanceChannels == 0) return E_INVALIDARG;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_synth) return DMUS_E_ALREADY_INITED;
        for (int level : {FLUID_WARN, FLUID_INFO, FLUID_DBG}) fluid_set_log_function(level, QuietFluidLog, nullptr);
        m_settings = new_fluid_settings();
        if (!m_settings) return E_OUTOFMEMORY;
        fluid_settings_setnum(m_settings, "synth.sample-rate", kSampleRate);
        fluid_settings_setint(m_settings, "synth.cpu-cores", 1);
        // The voices of the default synthesizer without audio parameters; each
        // voice more is memory held for the whole run.
        fluid_settings_setint(m_settings, "synth.polyphony", kVoices);
        // The font stays loaded, but only the samples of the instruments a
        // song picks come into memory (a song uses a few of the 128).
        fluid_settings_setint(m_settings, "synth.dynamic-sample-loading", 1);
        const char* font = getenv("KOLVAR_SOUNDFONT");
        bool started = false;
        {
            FluidErrorCapture capture(m_initFailure);
            m_synth = new_fluid_synth(m_settings);
            started = m_synth && fluid_synth_sfload(m_synth, font && *font ? font : kSoundFont, 1) != FLUID_FAILED;
        }
        if (!started) {
            if (m_initFailure.empty()) m_initFailure = m_synth ? "the sound font did not load" : "no synthesizer";
            if (m_synth) delete_fluid_synth(m_synth);
            delete_fluid_settings(m_settings);
            m_synth = nullptr;
            m_settings = nullptr;
            return E_FAIL;
        }
        m_left.assign(kChunk, 0.0f);
        m_right.assign(kChunk, 0.0f);
        m_now = 0.0;
        m_samples = 0;
        m_tempo = kDefaultTempo;
    }
    AttachMixer();
    return S_OK;
}

HRESULT Performance::CloseDown() {
    DetachMixer();  // outside the lock: the mixer may be inside Render
    std::lock_guard<std::mutex> guard(m_lock);
    ReleaseAllStates();
    if (m_synth) delete_fluid_synth(m_synth);
    if (m_settings) delete_fluid_settings(m_settings);
    m_synth = nullptr;
    m_settings = nullptr;
    return S_OK;
}

HRESULT Performance::PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition, DWORD flags,
                                   LONGLONG startTime, IDirectMusicSegmentState** state, IUnknown* from,
                                   IUnknown* audioPath) {
    (void)segmentName, (void)transition, (void)from, (void)audioPath;
    if (state) *state = nullptr;
    if (!source) return E_POINTER;
    Segment* segment = dynamic_cast<Segment*>(source);
    if (!segment) return E_INVALIDARG;
    std::lock_guard<std::mutex> guard(m_lock);
    if (!m_synth) return DMUS_E_NOT_INIT;
    int64_t now = ClampMusicTime(m_now);
    int64_t start = std::max<int64_t>(now, startTime);
    if (flags & DMUS_SEGF_BEAT) start = (start + DMUS_PPQ - 1) / DMUS_PPQ * DMUS_PPQ;
    start = std::min<int64_t>(start, 0x7FFFFFFF);
    SegmentState* s = new SegmentState(segment, static_cast<MUSIC_TIME>(start));
    m_states.push_back(s);
    if (state) {
        s->AddRef();
        *state = s;
    }
    return S_OK;
}

HRESULT Performance::PlaySegment(IDirectMusicSegment* segment, DWORD flags, LONGLONG startTime,
                                 IDirectMusicSegmentState** state) {
    return PlaySegmentEx(segment, nullptr, nullptr, flags, startTime, state, nullptr, nullptr);
}

HRESULT Performance::Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* state, MUSIC_TIME time,
                          DWORD flags) {
    (void)time, (void)flags;  // everything stops at once
    std::lock_guard<std::mutex> guard(m_lock);
    for (size_t i = m_states.size(); i-- > 0;) {
        SegmentState* s = m_states[i];
        bool match = (!segment && !state) || (segment && static_cast<IDirectMusicSegment*>(s->m_segment) == segment) ||
                     (state && static_cast<IDirectMusicSegmentState*>(s) == state);
        if (match) EndState(i);
    }
    return S_OK;
}

HRESULT Performance::GetSegmentState(IDirectMusicSegmentState** state, MUSIC_TIME time) {
    if (!state) return E_POINTER;
    *state = nullptr;
    std::lock_guard<std::mutex> guard(m_lock);
    // The latest segment begun by that time is the one playing then.
    for (size_t i = m_states.size(); i-- > 0;) {
        if (m_states[i]->m_start <= time) {
            m_states[i]->AddRef();
            *state = m_states[i];
            return S_OK;
        }
    }
    return DMUS_E_NOT_FOUND;
}

HRESULT Performance::IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* state) {
    if (!segment && !state) return E_POINTER;
    std::lock_guard<std::mutex> guard(m_lock);
    for (SegmentState* s : m_states) {
        if (!s->m_started) continue;
        if ((segment && static_cast<IDirectMusicSegment*>(s->m_segment) == segment) ||
            (state && static_cast<IDirectMusicSegmentState*>(s) == state))
            return S_OK;
    }
    return S_FALSE;
}

HRESULT Performance::GetTime(REFERENCE_TIME* referenceTime, MUSIC_TIME* musicTime) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (referenceTime) *referenceTime = static_cast<REFERENCE_TIME>(m_samples * 10000000ull / kSampleRate);
    if (musicTime) *musicTime = ClampMusicTime(m_now);
    return S_OK;
}

HRESULT Performance::SetGlobalParam(REFGUID type, void* param, DWORD size) {
    if (type != GUID_PerfMasterVolume) return DMUS_E_TYPE_UNSUPPORTED;
    if (!param) return E_POINTER;
    if (size != sizeof(LONG)) return E_INVALIDARG;
    LONG value;
    memcpy(&value, param, sizeof value);
    std::lock_guard<std::mutex> guard(m_lock);
    m_masterVolume = std::min(kMaxVolume, std::max(kMinVolume, value));
    return S_OK;
}

HRESULT Performance::CreateAudioPath(IUnknown* config, BOOL activate, IDirectMusicAudioPath** path) {
    (void)activate;
    if (path) *path = nullptr;
    // Configurations come only from segment files that carry one; standard MIDI
    // files never do, so there is nothing to build a path from.
    return config ? DMUS_E_TYPE_UNSUPPORTED : E_POINTER;
}

void Performance::Render(float* out, int frames) {
    std::lock_guard<std::mutex> guard(m_lock);
    RenderLocked(out, frames);
}

void Performance::NotesOff() {
    if (m_synth) fluid_synth_all_notes_off(m_synth, -1);
}

void Performance::EndState(size_t index) {
    SegmentState* s = m_states[index];
    if (s->m_started) NotesOff();
    m_states.erase(m_states.begin() + static_cast<ptrdiff_t>(index));
    s->Release();
}

void Performance::ReleaseAllStates() {
    for (SegmentState* s : m_states) s->Release();
    m_states.clear();
    NotesOff();
}

void Performance::Send(const MidiEvent& e) {
    int ch = e.status & 0x0F;
    switch (e.status & 0xF0) {
        case 0x80: fluid_synth_noteoff(m_synth, ch, e.data1); break;
        case 0x90:
            if (e.data2 == 0)
                fluid_synth_noteoff(m_synth, ch, e.data1);
            else
                fluid_synth_noteon(m_synth, ch, e.data1, e.data2);
            break;
        case 0xA0: fluid_synth_key_pressure(m_synth, ch, e.data1, e.data2); break;
        case 0xB0: fluid_synth_cc(m_synth, ch, e.data1, e.data2); break;
        case 0xC0: fluid_synth_program_change(m_synth, ch, e.data1); break;
        case 0xD0: fluid_synth_channel_pressure(m_synth, ch, e.data1); break;
        case 0xE0: fluid_synth_pitch_bend(m_synth, ch, e.data1 | (e.data2 << 7)); break;
        case 0xF0: m_tempo = e.tempo; break;
    }
}

// A segment that reaches its start time replaces whatever played before it.
// Starting in the middle replays the controls and tempo before the start point.
void Performance::StartDueStates() {
    for (size_t i = 0; i < m_states.size(); ++i) {
        SegmentState* s = m_states[i];
        if (s->m_started || s->m_start > m_now) continue;
        while (i > 0) {
            EndState(0);
            --i;
        }
        fluid_synth_system_reset(m_synth);
        m_tempo = kDefaultTempo;
        const std::vector<MidiEvent>& ev = s->m_song->events;
        size_t n = 0;
        for (; n < ev.size() && ev[n].tick < s->m_startPoint; ++n) {
            uint8_t kind = ev[n].status & 0xF0;
            if (kind != 0x80 && kind != 0x90 && kind != 0xA0) Send(ev[n]);
        }
        s->m_next = n;
        s->m_pos = s->m_startPoint + (m_now - s->m_start);
        s->m_started = true;
    }
}

void Performance::Dispatch(SegmentState* s) {
    const std::vector<MidiEvent>& ev = s->m_song->events;
    for (;;) {
        while (s->m_next < ev.size() && ev[s->m_next].tick <= s->m_pos) Send(ev[s->m_next++]);
        if (s->m_loops && s->m_pos >= s->m_loopEnd &&
            (s->m_repeats == DMUS_SEG_REPEAT_INFINITE || s->m_repeatsDone < s->m_repeats)) {
            s->m_pos -= s->m_loopEnd - s->m_loopStart;
            ++s->m_repeatsDone;
            NotesOff();
            s->m_next = static_cast<size_t>(
                std::lower_bound(ev.begin(), ev.end(), s->m_loopStart,
                                 [](const MidiEvent& e, MUSIC_TIME t) { return e.tick < t; }) -
                ev.begin());
            continue;
        }
        return;
    }
}

void Performance::RenderLocked(float* out, int frames) {
    if (!m_synth || frames <= 0) return;
    double gain = kFullScaleGain * std::pow(10.0, (m_masterVolume - kFullScaleMillibels) / 2000.0);
    int done = 0;
    while (done < frames) {
        StartDueStates();
        SegmentState* active = nullptr;
        for (size_t i = 0; i < m_states.size(); ++i) {
            SegmentState* s = m_states[i];
            if (!s->m_started) continue;
            Dispatch(s);
            if (s->m_pos >= s->m_song->length) {
                EndState(i);
                break;
            }
            active = s;
            break;
        }
        double ticksPerSample = DMUS_PPQ * 1e6 / (static_cast<double>(m_tempo) * kSampleRate);
        double horizon = -1.0;  // music ticks to the next thing that must happen
        if (active) {
            const std::vector<MidiEvent>& ev = active->m_song->events;
            bool loopsAgain = active->m_loops && (active->m_repeats == DMUS_SEG_REPEAT_INFINITE ||
                                                  active->m_repeatsDone < active->m_repeats);
            double next = loopsAgain ? active->m_loopEnd : active->m_song->length;
            if (active->m_next < ev.size()) next = std::min<double>(next, ev[active->m_next].tick);
            horizon = next - active->m_pos;
        }
        for (SegmentState* s : m_states)
            if (!s->m_started) {
                double wait = s->m_start - m_now;
                horizon = horizon < 0 ? wait : std::min(horizon, wait);
            }
        int n = std::min(frames - done, kChunk);
        if (horizon >= 0) {
            // Clamped while still a double: a far horizon does not fit an int.
            double samples = std::min<double>(n, std::ceil(horizon / ticksPerSample));
            n = std::max(1, static_cast<int>(samples));
        }

        fluid_synth_write_float(m_synth, n, m_left.data(), 0, 1, m_right.data(), 0, 1);
        float* o = out + 2 * done;
        for (int i = 0; i < n; ++i) {
            o[2 * i] += static_cast<float>(m_left[i] * gain);
            o[2 * i + 1] += static_cast<float>(m_right[i] * gain);
        }
        double advance = n * ticksPerSample;
        m_now += advance;
        if (active) active->m_pos += advance;
        m_samples += static_cast<uint64_t>(n);
        done += n;
    }
}

// The sound module owns the one audio device; the synthesiser is one more
// source of its mixer. Without a device (or without the module) nothing drives
// the performance but RenderPerformance.
void Performance::AttachMixer() {
    HMODULE module = LoadLibraryA("sound.dll");
    if (!module) return;
    auto add = reinterpret_cast<PFN_MIXER_ADDSOURCE>(GetProcAddress(module, MIXER_ADDSOURCE_NAME));
    auto remove = reinterpret_cast<PFN_MIXER_REMOVESOURCE>(GetProcAddress(module, MIXER_REMOVESOURCE_NAME));
    DWORD id = add && remove ? add(MixerProc, this) : 0;
    if (!id) {
        FreeLibrary(module);
        return;
    }
    m_soundModule = module;
    m_removeSource = reinterpret_cast<void*>(remove);
    m_mixerSource = id;
}

void Performance::DetachMixer() {
    if (m_mixerSource) reinterpret_cast<PFN_MIXER_REMOVESOURCE>(m_removeSource)(m_mixerSource);
    if (m_soundModule) FreeLibrary(static_cast<HMODULE>(m_soundModule));
    m_mixerSource = 0;
    m_soundModule = nullptr;
    m_removeSource = nullptr;
}

bool RenderPerformance(IDirectMusicPerformance8* performance, float* out, int frames) {
    Performance* p = dynamic_cast<Performance*>(performance);
    if (!p || p->AttachedToMixer() || !p->IsInitialized()) return false;
    p->Render(out, frames);
    return true;
}

}  // namespace dmusic

const char* DMusicInitFailure(IDirectMusicPerformance8* performance) {
    dmusic::Performance* perf = dynamic_cast<dmusic::Performance*>(performance);
    return perf ? perf->InitFailure().c_str() : "";
}
