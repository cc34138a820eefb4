#pragma once

#include <dmusic.h>

#include <string>
#include <vector>

#include "audio/MidiSegment.h"

// Owns the DirectMusic loader and the one performance every MIDI song plays on.
class CMidiManager {
public:
    CMidiManager();
    ~CMidiManager();

    HRESULT Initialize(HWND window, DWORD performanceChannels, DWORD defaultPathType);
    HRESULT SetSearchDirectory(const char* folder);
    HRESULT CreateSegmentFromFile(CMidiSegment** segment, const char* fileName, bool downloadNow, bool isMidiFile);

    IDirectMusicLoader8* m_loader;
    IDirectMusicPerformance8* m_performance;
};

// Set by MidiInit, cleared by MidiShutdown.
extern CMidiManager* g_MidiManager;

// The MIDI player the sound engine and the music player call.
bool MidiInit(HWND window);
CMidiSegment* MidiLoad(const std::string& name);
void MidiPlay(CMidiSegment* segment);
void MidiStop();
void MidiPause(CMidiSegment* segment);
void MidiResume(CMidiSegment* segment);
void MidiSetVolume(CMidiSegment* segment, float volume);
bool MidiIsPlaying(CMidiSegment* segment);
void MidiUnload(CMidiSegment* segment);
void MidiShutdown();

// The listed segment with this record handle, or null.
CMidiSegment* MidiSegmentFromHandle(DWORD handle);
// Every loaded segment, in list order.
const std::vector<CMidiSegment*>& MidiSegments();

// Master volume in hundredths of a decibel for a 0..1 volume: vol x 4500 - 3500,
// in double and truncated toward zero (0.3 gives -2149, not -2150).
LONG MidiVolumeToMillibels(float volume);
// Where a paused segment resumes, from the performance's time and the segment
// state's start time and point, and the segment's loop points, length and repeats.
MUSIC_TIME MidiPausePosition(MUSIC_TIME now, MUSIC_TIME startTime, MUSIC_TIME startPoint, MUSIC_TIME loopStart,
                             MUSIC_TIME loopEnd, MUSIC_TIME length, DWORD repeats);
// The position the last MidiPause remembered.
MUSIC_TIME MidiRememberedPosition();
