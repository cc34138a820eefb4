// The DirectMusic stand-in's objects. Only this folder sees their insides.
#pragma once

#include "MidiFile.h"
#include "dmusic.h"

#include <fluidsynth.h>

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace dmusic {

class Segment final : public platform::ComObject<IDirectMusicSegment8> {
public:
    explicit Segment(std::shared_ptr<const MidiSong> song);
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT GetLength(MUSIC_TIME* length) override;
    HRESULT SetRepeats(DWORD repeats) override;
    HRESULT GetRepeats(DWORD* repeats) override;
    HRESULT SetStartPoint(MUSIC_TIME start) override;
    HRESULT SetLoopPoints(MUSIC_TIME start, MUSIC_TIME end) override;
    HRESULT GetLoopPoints(MUSIC_TIME* start, MUSIC_TIME* end) override;
    HRESULT SetParam(REFGUID type, DWORD group, DWORD index, MUSIC_TIME time, void* param) override;
    HRESULT GetAudioPathConfig(IUnknown** config) override;
    HRESULT Download(IUnknown* audioPath) override;
    HRESULT Unload(IUnknown* audioPath) override;

    const std::shared_ptr<const MidiSong>& Song() const { return m_song; }
    MUSIC_TIME StartPoint() const { return m_startPoint; }
    MUSIC_TIME LoopStart() const { return m_loopStart; }
    MUSIC_TIME LoopEnd() const { return m_loopEnd; }
    DWORD Repeats() const { return m_repeats; }

private:
    std::shared_ptr<const MidiSong> m_song;
    MUSIC_TIME m_startPoint = 0;
    MUSIC_TIME m_loopStart = 0;
    MUSIC_TIME m_loopEnd = 0;
    DWORD m_repeats = 0;
    std::map<IUnknown*, int> m_downloads;  // target -> count
};

// One playing (or waiting) instance of a segment. The times are fixed at play
// time; the rest is the performance's playback cursor, touched under its lock.
class SegmentState final : public platform::ComObject<IDirectMusicSegmentState8> {
public:
    SegmentState(Segment* segment, MUSIC_TIME start);
    ~SegmentState() override;
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT GetStartPoint(MUSIC_TIME* startPoint) override;
    HRESULT GetStartTime(MUSIC_TIME* startTime) override;

    Segment* m_segment;
    std::shared_ptr<const MidiSong> m_song;
    const MUSIC_TIME m_start;
    const MUSIC_TIME m_startPoint;
    MUSIC_TIME m_loopStart;
    MUSIC_TIME m_loopEnd;
    DWORD m_repeats;
    bool m_loops;
    bool m_started = false;
    double m_pos = 0.0;  // position in the segment
    size_t m_next = 0;   // next event to send
    DWORD m_repeatsDone = 0;
};

class Loader final : public platform::ComObject<IDirectMusicLoader8> {
public:
    ~Loader() override;
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT SetSearchDirectory(REFGUID objectClass, const WCHAR* path, BOOL clear) override;
    HRESULT ReleaseObjectByUnknown(IUnknown* object) override;
    HRESULT LoadObjectFromFile(REFCLSID classId, REFIID iid, const WCHAR* fileName, void** object) override;

private:
    void ClearCache();
    std::string m_searchDirectory;
    std::map<std::string, Segment*> m_cache;  // host path -> segment (one reference held)
};

class Performance final : public platform::ComObject<IDirectMusicPerformance8> {
public:
    ~Performance() override;
    HRESULT QueryInterface(REFIID iid, void** object) override;
    HRESULT PlaySegment(IDirectMusicSegment* segment, DWORD flags, LONGLONG startTime,
                        IDirectMusicSegmentState** state) override;
    HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* state, MUSIC_TIME time,
                 DWORD flags) override;
    HRESULT GetSegmentState(IDirectMusicSegmentState** state, MUSIC_TIME time) override;
    HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* state) override;
    HRESULT GetTime(REFERENCE_TIME* referenceTime, MUSIC_TIME* musicTime) override;
    HRESULT SetGlobalParam(REFGUID type, void* param, DWORD size) override;
    HRESULT CloseDown() override;
    HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window, DWORD defaultPathType,
                      DWORD performanceChannels, DWORD flags, DMUS_AUDIOPARAMS* params) override;
    HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition, DWORD flags,
                          LONGLONG startTime, IDirectMusicSegmentState** state, IUnknown* from,
                          IUnknown* audioPath) override;
    HRESULT CreateAudioPath(IUnknown* config, BOOL activate, IDirectMusicAudioPath** path) override;

    bool IsInitialized();
    const std::string& InitFailure() const { return m_initFailure; }
    // Adds the next frames (interleaved stereo) into out and advances music time.
    void Render(float* out, int frames);
    bool AttachedToMixer() const { return m_mixerSource != 0; }

private:
    void RenderLocked(float* out, int frames);
    void StartDueStates();
    void Dispatch(SegmentState* s);
    void Send(const MidiEvent& e);
    void EndState(size_t index);
    void NotesOff();
    void ReleaseAllStates();
    void AttachMixer();
    void DetachMixer();

    std::mutex m_lock;
    fluid_settings_t* m_settings = nullptr;
    fluid_synth_t* m_synth = nullptr;
    std::vector<SegmentState*> m_states;  // one reference each
    double m_now = 0.0;                    // music time
    uint64_t m_samples = 0;
    uint32_t m_tempo = 500000;  // microseconds per quarter note
    LONG m_masterVolume = 0;    // millibels
    std::vector<float> m_left, m_right;
    std::string m_initFailure;  // the synthesiser's messages when InitAudio failed

    void* m_soundModule = nullptr;
    DWORD m_mixerSource = 0;
    void* m_removeSource = nullptr;
};

}  // namespace dmusic
