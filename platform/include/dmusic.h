// DirectMusic subset: a loader that reads standard MIDI files and a performance
// that plays them through a General MIDI synthesiser (FluidSynth) mixed into the
// sound module's output. Music time counts 768 ticks per quarter note.
#pragma once

#include "objbase.h"

typedef LONG MUSIC_TIME;
typedef LONGLONG REFERENCE_TIME;

#define DMUS_PPQ 768

extern const CLSID CLSID_DirectMusicLoader;
extern const CLSID CLSID_DirectMusicPerformance;
extern const CLSID CLSID_DirectMusicSegment;
extern const IID IID_IDirectMusicLoader8;
extern const IID IID_IDirectMusicPerformance8;
extern const IID IID_IDirectMusicSegment8;
extern const IID IID_IDirectMusicSegmentState8;
extern const IID IID_IDirectMusicAudioPath8;
extern const GUID GUID_DirectMusicAllTypes;
extern const GUID GUID_StandardMIDIFile;
extern const GUID GUID_PerfMasterVolume;

#define DMUS_APATH_DYNAMIC_STEREO 8
#define DMUS_AUDIOF_ALL 0x3F
#define DMUS_SEGF_BEAT 0x1000
#define DMUS_SEG_REPEAT_INFINITE 0xFFFFFFFF

#define DMUS_E_NOT_FOUND ((HRESULT)0x88781193)
#define DMUS_E_NOT_INIT ((HRESULT)0x88781194)
#define DMUS_E_TYPE_UNSUPPORTED ((HRESULT)0x88781196)
#define DMUS_E_ALREADY_INITED ((HRESULT)0x888100A5)
#define DMUS_E_LOADER_FAILEDOPEN ((HRESULT)0x88781201)
#define DMUS_E_LOADER_BADPATH ((HRESULT)0x88781202)
#define DMUS_E_UNSUPPORTED_STREAM ((HRESULT)0x88781207)
#define DMUS_E_NO_AUDIOPATH_CONFIG ((HRESULT)0x88781226)
#define DMUS_E_OUT_OF_RANGE ((HRESULT)0x8878120A)

struct IDirectMusic;
struct IDirectSound;
struct DMUS_AUDIOPARAMS;

struct IDirectMusicAudioPath : IUnknown {};
typedef IDirectMusicAudioPath IDirectMusicAudioPath8;

struct IDirectMusicSegmentState : IUnknown {
    virtual HRESULT GetStartPoint(MUSIC_TIME* startPoint) = 0;
    virtual HRESULT GetStartTime(MUSIC_TIME* startTime) = 0;
};
typedef IDirectMusicSegmentState IDirectMusicSegmentState8;

struct IDirectMusicSegment : IUnknown {
    virtual HRESULT GetLength(MUSIC_TIME* length) = 0;
    virtual HRESULT SetRepeats(DWORD repeats) = 0;
    virtual HRESULT GetRepeats(DWORD* repeats) = 0;
    virtual HRESULT SetStartPoint(MUSIC_TIME start) = 0;
    virtual HRESULT SetLoopPoints(MUSIC_TIME start, MUSIC_TIME end) = 0;
    virtual HRESULT GetLoopPoints(MUSIC_TIME* start, MUSIC_TIME* end) = 0;
    virtual HRESULT SetParam(REFGUID type, DWORD group, DWORD index, MUSIC_TIME time, void* param) = 0;
};
struct IDirectMusicSegment8 : IDirectMusicSegment {
    virtual HRESULT GetAudioPathConfig(IUnknown** config) = 0;
    virtual HRESULT Download(IUnknown* audioPath) = 0;
    virtual HRESULT Unload(IUnknown* audioPath) = 0;
};

struct IDirectMusicLoader8 : IUnknown {
    virtual HRESULT SetSearchDirectory(REFGUID objectClass, const WCHAR* path, BOOL clear) = 0;
    virtual HRESULT ReleaseObjectByUnknown(IUnknown* object) = 0;
    virtual HRESULT LoadObjectFromFile(REFCLSID classId, REFIID iid, const WCHAR* fileName, void** object) = 0;
};

struct IDirectMusicPerformance8 : IUnknown {
    virtual HRESULT PlaySegment(IDirectMusicSegment* segment, DWORD flags, LONGLONG startTime,
                                IDirectMusicSegmentState** state) = 0;
    virtual HRESULT Stop(IDirectMusicSegment* segment, IDirectMusicSegmentState* state, MUSIC_TIME time,
                         DWORD flags) = 0;
    virtual HRESULT GetSegmentState(IDirectMusicSegmentState** state, MUSIC_TIME time) = 0;
    virtual HRESULT IsPlaying(IDirectMusicSegment* segment, IDirectMusicSegmentState* state) = 0;
    virtual HRESULT GetTime(REFERENCE_TIME* referenceTime, MUSIC_TIME* musicTime) = 0;
    virtual HRESULT SetGlobalParam(REFGUID type, void* param, DWORD size) = 0;
    virtual HRESULT CloseDown() = 0;
    virtual HRESULT InitAudio(IDirectMusic** directMusic, IDirectSound** directSound, HWND window,
                              DWORD defaultPathType, DWORD performanceChannels, DWORD flags,
                              DMUS_AUDIOPARAMS* params) = 0;
    virtual HRESULT PlaySegmentEx(IUnknown* source, WCHAR* segmentName, IUnknown* transition, DWORD flags,
                                  LONGLONG startTime, IDirectMusicSegmentState** state, IUnknown* from,
                                  IUnknown* audioPath) = 0;
    virtual HRESULT CreateAudioPath(IUnknown* config, BOOL activate, IDirectMusicAudioPath** path) = 0;
};

// Not DirectMusic: why the last InitAudio of this performance failed, in the
// synthesiser's own words (a sound font it could not load, say); empty when it
// did not fail. Valid while the performance lives and is not started again.
const char* DMusicInitFailure(IDirectMusicPerformance8* performance);
