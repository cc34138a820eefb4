#pragma once

#include <dmusic.h>

// One loaded MIDI file on the shared DirectMusic performance.
class CMidiSegment {
public:
    CMidiSegment(IDirectMusicPerformance8* performance, IDirectMusicLoader8* loader, IDirectMusicSegment8* segment);
    virtual ~CMidiSegment();

    // Plays on the given path, else the segment's own, else the performance's default.
    HRESULT Play(DWORD flags, IDirectMusicAudioPath8* audioPath);
    // The performance's answer: S_OK while the segment plays.
    HRESULT IsPlaying();
    // Record handles are 32-bit, a pointer is not: the segment's id stands in for it.
    DWORD GetHandle() const { return m_handle; }

    IDirectMusicSegment8* m_segment;
    IDirectMusicLoader8* m_loader;
    IDirectMusicPerformance8* m_performance;
    IDirectMusicAudioPath8* m_ownAudioPath;
    bool m_downloaded;

private:
    DWORD m_handle;
};
