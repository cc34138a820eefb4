#include "Objects.h"

namespace dmusic {

Segment::Segment(std::shared_ptr<const MidiSong> song) : m_song(std::move(song)) {}

HRESULT Segment::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectMusicSegment8) {
        *object = static_cast<IDirectMusicSegment8*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT Segment::GetLength(MUSIC_TIME* length) {
    if (!length) return E_POINTER;
    *length = m_song->length;
    return S_OK;
}

HRESULT Segment::SetRepeats(DWORD repeats) {
    m_repeats = repeats;
    return S_OK;
}

HRESULT Segment::GetRepeats(DWORD* repeats) {
    if (!repeats) return E_POINTER;
    *repeats = m_repeats;
    return S_OK;
}

HRESULT Segment::SetStartPoint(MUSIC_TIME start) {
    // Zero is always allowed, so an empty song can be reset too.
    if (start < 0 || (start != 0 && start >= m_song->length)) return DMUS_E_OUT_OF_RANGE;
    m_startPoint = start;
    return S_OK;
}

HRESULT Segment::SetLoopPoints(MUSIC_TIME start, MUSIC_TIME end) {
    if (!(start == 0 && end == 0) && (start < 0 || start >= end || end > m_song->length))
        return DMUS_E_OUT_OF_RANGE;
    m_loopStart = start;
    m_loopEnd = end;
    return S_OK;
}

HRESULT Segment::GetLoopPoints(MUSIC_TIME* start, MUSIC_TIME* end) {
    if (!start || !end) return E_POINTER;
    *start = m_loopStart;
    *end = m_loopEnd;
    return S_OK;
}

HRESULT Segment::SetParam(REFGUID type, DWORD group, DWORD index, MUSIC_TIME time, void* param) {
    (void)group, (void)index, (void)time, (void)param;
    // Marking a segment as a standard MIDI file is the only parameter there is;
    // every segment here is one already.
    return type == GUID_StandardMIDIFile ? S_OK : DMUS_E_TYPE_UNSUPPORTED;
}

HRESULT Segment::GetAudioPathConfig(IUnknown** config) {
    if (!config) return E_POINTER;
    *config = nullptr;
    return DMUS_E_NO_AUDIOPATH_CONFIG;  // a standard MIDI file never carries one
}

HRESULT Segment::Download(IUnknown* target) {
    if (!target) return E_POINTER;
    Performance* perf = dynamic_cast<Performance*>(target);
    if (!perf) return E_INVALIDARG;
    // The sound font holds every General MIDI instrument already; downloading
    // only needs a synthesiser to go to.
    if (!perf->IsInitialized()) return DMUS_E_NOT_INIT;
    ++m_downloads[target];
    return S_OK;
}

HRESULT Segment::Unload(IUnknown* target) {
    if (!target) return E_POINTER;
    auto it = m_downloads.find(target);
    if (it == m_downloads.end()) return S_FALSE;
    if (--it->second == 0) m_downloads.erase(it);
    return S_OK;
}

SegmentState::SegmentState(Segment* segment, MUSIC_TIME start)
    : m_segment(segment),
      m_song(segment->Song()),
      m_start(start),
      m_startPoint(segment->StartPoint()),
      m_loopStart(segment->LoopStart()),
      m_loopEnd(segment->LoopEnd() == 0 ? segment->Song()->length : segment->LoopEnd()),
      m_repeats(segment->Repeats()) {
    m_segment->AddRef();
    m_loops = m_repeats != 0 && m_loopStart < m_loopEnd && m_loopEnd > m_startPoint;
}

SegmentState::~SegmentState() { m_segment->Release(); }

HRESULT SegmentState::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    if (iid == IID_IUnknown || iid == IID_IDirectMusicSegmentState8) {
        *object = static_cast<IDirectMusicSegmentState8*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT SegmentState::GetStartPoint(MUSIC_TIME* startPoint) {
    if (!startPoint) return E_POINTER;
    *startPoint = m_startPoint;
    return S_OK;
}

HRESULT SegmentState::GetStartTime(MUSIC_TIME* startTime) {
    if (!startTime) return E_POINTER;
    *startTime = m_start;
    return S_OK;
}

}  // namespace dmusic
