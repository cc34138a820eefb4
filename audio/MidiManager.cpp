#include "audio/MidiManager.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "audio/SoundEngine.h"
#include "engine/Loading.h"
#include "engine/Log.h"

CMidiManager* g_MidiManager = nullptr;

namespace {

std::vector<CMidiSegment*> g_MidiSegments;
MUSIC_TIME g_MidiPausePosition = 0;
// Why the synthesiser did not start, for every song that then fails to load.
std::string g_MidiInitFailure;

// The platform's multibyte conversion, at most MAX_PATH characters with the
// terminating zero. A longer text fails rather than naming another file.
bool AnsiToWide(const char* text, WCHAR* out, int size) {
    if (!text || strlen(text) >= static_cast<size_t>(size)) return false;
    return MultiByteToWideChar(CP_ACP, 0, text, -1, out, size) > 0;
}

IDirectMusicPerformance8* Performance() { return g_MidiManager ? g_MidiManager->m_performance : nullptr; }

// The engine is reached without creating it: the MIDI player only runs inside one.
CSoundEngine* Engine() { return CSingleton<CSoundEngine>::GetInstancePtr(); }

}  // namespace

CMidiManager::CMidiManager() : m_loader(nullptr), m_performance(nullptr) { CoInitialize(nullptr); }

CMidiManager::~CMidiManager() {
    if (m_loader) m_loader->Release();
    m_loader = nullptr;
    if (m_performance) {
        m_performance->Stop(nullptr, nullptr, 0, 0);
        m_performance->CloseDown();
        m_performance->Release();
    }
    m_performance = nullptr;
    CoUninitialize();
}

HRESULT CMidiManager::Initialize(HWND window, DWORD performanceChannels, DWORD defaultPathType) {
    HRESULT hr = CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                  reinterpret_cast<void**>(&m_loader));
    if (FAILED(hr)) return hr;
    hr = CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC, IID_IDirectMusicPerformance8,
                          reinterpret_cast<void**>(&m_performance));
    if (FAILED(hr)) return hr;
    return m_performance->InitAudio(nullptr, nullptr, window, defaultPathType, performanceChannels, DMUS_AUDIOF_ALL,
                                    nullptr);
}

HRESULT CMidiManager::SetSearchDirectory(const char* folder) {
    if (!m_loader) return E_UNEXPECTED;
    WCHAR wide[MAX_PATH];
    if (!AnsiToWide(folder, wide, MAX_PATH)) return E_INVALIDARG;
    return m_loader->SetSearchDirectory(GUID_DirectMusicAllTypes, wide, FALSE);
}

HRESULT CMidiManager::CreateSegmentFromFile(CMidiSegment** out, const char* fileName, bool downloadNow,
                                            bool isMidiFile) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!m_loader) return E_UNEXPECTED;
    WCHAR wide[MAX_PATH];
    if (!AnsiToWide(fileName, wide, MAX_PATH)) return E_INVALIDARG;
    IDirectMusicSegment8* dmSegment = nullptr;
    HRESULT hr = m_loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, wide,
                                              reinterpret_cast<void**>(&dmSegment));
    if (FAILED(hr)) return hr;

    CMidiSegment* segment = new CMidiSegment(m_performance, m_loader, dmSegment);
    if (isMidiFile) hr = dmSegment->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr);
    if (SUCCEEDED(hr) && downloadNow) {
        if (segment->m_ownAudioPath)
            hr = dmSegment->Download(segment->m_ownAudioPath);
        else if (m_performance)
            hr = dmSegment->Download(m_performance);
        else
            hr = CO_E_NOTINITIALIZED;
        if (SUCCEEDED(hr)) segment->m_downloaded = true;
    }
    // A half-made segment is not handed out; deleting it frees what it holds.
    if (FAILED(hr)) {
        delete segment;
        return hr;
    }
    *out = segment;
    return S_OK;
}

bool MidiInit(HWND window) {
    if (g_MidiManager) MidiShutdown();  // a second start must not leak the first
    g_MidiSegments.clear();
    g_MidiManager = new CMidiManager();
    const HRESULT hr = g_MidiManager->Initialize(window, 128, DMUS_APATH_DYNAMIC_STEREO);
    g_MidiInitFailure.clear();
    if (SUCCEEDED(hr)) return true;
    const char* why = g_MidiManager->m_performance ? DMusicInitFailure(g_MidiManager->m_performance) : "";
    char code[32];
    snprintf(code, sizeof code, "code 0x%08X", static_cast<unsigned>(hr));
    g_MidiInitFailure = why && *why ? why : code;
    g_Log.PrintBold("red", "Error: (MidiManager) Couldn't start the MIDI synthesizer: %s", g_MidiInitFailure.c_str());
    return false;
}

CMidiSegment* MidiLoad(const std::string& name) {
    CountLoadedResource();
    if (!g_MidiManager) return nullptr;
    CSoundEngine* engine = Engine();
    const char* audioPath = engine ? engine->m_audioPath : ".\\";
    char dir[MAX_PATH];
    DWORD length = GetCurrentDirectoryA(sizeof dir, dir);
    std::string folder = std::string(dir) + "\\" + audioPath;
    // A current directory too long for the loader is named relatively: an empty
    // one would send the search to the root.
    if (length == 0 || length >= sizeof dir || folder.size() >= MAX_PATH) folder = std::string(".\\") + audioPath;
    g_MidiManager->SetSearchDirectory(folder.c_str());  // a failure leaves the previous folder

    CMidiSegment* segment = nullptr;
    const HRESULT hr = g_MidiManager->CreateSegmentFromFile(&segment, name.c_str(), true, true);
    if (FAILED(hr) || !segment) {
        // The song itself may be fine: say why there is nothing to play it on.
        if (hr == DMUS_E_NOT_INIT && !g_MidiInitFailure.empty())
            g_Log.Print("red", "midi music %s: no MIDI synthesizer: %s", name.c_str(), g_MidiInitFailure.c_str());
        return nullptr;
    }
    if (engine && engine->m_recording)
        engine->m_records.emplace_back(CSoundRecord::kMidiSegment, segment->GetHandle(), name);
    g_MidiSegments.push_back(segment);
    return segment;
}

void MidiPlay(CMidiSegment* segment) {
    if (!segment) return;
    MidiStop();
    segment->Play(DMUS_SEGF_BEAT, nullptr);
    CSoundEngine* engine = Engine();
    MidiSetVolume(segment, engine ? static_cast<float>(engine->m_volumes[kMusicSound]) : 1.0f);
}

void MidiStop() {
    if (IDirectMusicPerformance8* perf = Performance()) perf->Stop(nullptr, nullptr, 0, 0);
}

LONG MidiVolumeToMillibels(float volume) {
    double mb = std::trunc(static_cast<double>(volume) * 4500.0 - 3500.0);
    // A volume from a damaged config.ini must not overflow the conversion.
    if (!(mb > INT32_MIN)) return INT32_MIN;
    if (mb > INT32_MAX) return INT32_MAX;
    return static_cast<LONG>(mb);
}

void MidiSetVolume(CMidiSegment* segment, float volume) {
    (void)segment;  // the master volume belongs to the whole performance
    IDirectMusicPerformance8* perf = Performance();
    if (!perf) return;
    LONG mb = MidiVolumeToMillibels(volume);
    perf->SetGlobalParam(GUID_PerfMasterVolume, &mb, sizeof mb);
}

MUSIC_TIME MidiPausePosition(MUSIC_TIME now, MUSIC_TIME startTime, MUSIC_TIME startPoint, MUSIC_TIME loopStart,
                             MUSIC_TIME loopEnd, MUSIC_TIME length, DWORD repeats) {
    auto clamp = [](int64_t v) {
        return static_cast<MUSIC_TIME>(std::min<int64_t>(0x7FFFFFFF, std::max<int64_t>(0, v)));
    };
    int64_t offset = static_cast<int64_t>(now) - (static_cast<int64_t>(startTime) - startPoint);
    if (loopEnd == 0) loopEnd = length;
    if (repeats == 0 || loopStart >= loopEnd || loopEnd <= startPoint) return clamp(offset);
    int64_t loop = static_cast<int64_t>(loopEnd) - loopStart;
    if (repeats != DMUS_SEG_REPEAT_INFINITE && offset > loopStart + static_cast<int64_t>(repeats) * loop)
        return clamp(offset - static_cast<int64_t>(repeats) * loop);
    if (offset < loopStart) return clamp(offset);
    return clamp(loopStart + (offset - loopStart) % loop);
}

void MidiPause(CMidiSegment* segment) {
    IDirectMusicPerformance8* perf = Performance();
    if (!segment || !segment->m_segment || !perf) return;
    MUSIC_TIME now = 0;
    perf->GetTime(nullptr, &now);
    IDirectMusicSegmentState* state = nullptr;
    if (SUCCEEDED(perf->GetSegmentState(&state, now)) && state) {
        MUSIC_TIME startTime = 0, startPoint = 0, loopStart = 0, loopEnd = 0, length = 0;
        DWORD repeats = 0;
        state->GetStartTime(&startTime);
        state->GetStartPoint(&startPoint);
        state->Release();
        segment->m_segment->GetLoopPoints(&loopStart, &loopEnd);
        segment->m_segment->GetLength(&length);
        segment->m_segment->GetRepeats(&repeats);
        g_MidiPausePosition = MidiPausePosition(now, startTime, startPoint, loopStart, loopEnd, length, repeats);
    } else {
        // Nothing sounds yet (the song waits for its first beat) or any more:
        // resuming starts the song from its beginning.
        g_MidiPausePosition = 0;
    }
    MidiStop();
}

void MidiResume(CMidiSegment* segment) {
    IDirectMusicPerformance8* perf = Performance();
    if (!segment || !segment->m_segment || !perf) return;
    segment->m_segment->SetStartPoint(g_MidiPausePosition);
    perf->PlaySegment(segment->m_segment, DMUS_SEGF_BEAT, 0, nullptr);
    segment->m_segment->SetStartPoint(0);
}

bool MidiIsPlaying(CMidiSegment* segment) { return segment && segment->IsPlaying() == S_OK; }

void MidiUnload(CMidiSegment* segment) {
    if (!segment) return;
    auto it = std::find(g_MidiSegments.begin(), g_MidiSegments.end(), segment);
    if (it == g_MidiSegments.end()) return;
    *it = g_MidiSegments.back();
    g_MidiSegments.pop_back();
    delete segment;
}

void MidiShutdown() {
    MidiStop();
    for (CMidiSegment* segment : g_MidiSegments) delete segment;
    g_MidiSegments.clear();
    delete g_MidiManager;
    g_MidiManager = nullptr;
}

CMidiSegment* MidiSegmentFromHandle(DWORD handle) {
    if (handle == 0) return nullptr;
    for (CMidiSegment* segment : g_MidiSegments)
        if (segment->GetHandle() == handle) return segment;
    return nullptr;
}

const std::vector<CMidiSegment*>& MidiSegments() { return g_MidiSegments; }

MUSIC_TIME MidiRememberedPosition() { return g_MidiPausePosition; }
