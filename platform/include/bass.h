// The audio library the game loads at run time ("sound.dll" -> sound.so): a
// mixer over SDL2 audio with samples and streams decoded by libsndfile and
// module music rendered by libopenmpt. Only the calls the game makes.
//
// Handles are 32-bit, 0 means none; a stream or music handle is also its
// channel handle. Every call on 0 or on a freed handle fails harmlessly.
#pragma once

#include "win32.h"

typedef uint64_t QWORD;
typedef DWORD HSAMPLE;   // a loaded sample
typedef DWORD HCHANNEL;  // one playback of a sample
typedef DWORD HSTREAM;   // a file decoded while it plays
typedef DWORD HMUSIC;    // module music
typedef DWORD HSYNC;

// Called on the mixer's thread; user is the value given to BASS_ChannelSetSync.
typedef void (*SYNCPROC)(HSYNC sync, DWORD channel, DWORD data, DWORD user);

// BASS_GetConfig option: the top of the volume scale (100).
#define BASS_CONFIG_MAXVOL 3
// BASS_GetConfig and BASS_SetConfig option (ours): the most bytes the decoded
// samples held at once may take (256 MB); a load past it fails with BASS_ERROR_MEM.
#define BASS_CONFIG_SAMPLEBYTES 0x10000
// BASS_StreamPlay flag.
#define BASS_SAMPLE_LOOP 4
// BASS_ChannelSetSync type: the channel reached its end (each loop of a looping stream).
#define BASS_SYNC_END 2
// BASS_ChannelIsActive results.
#define BASS_ACTIVE_STOPPED 0
#define BASS_ACTIVE_PLAYING 1
#define BASS_ACTIVE_STALLED 2
#define BASS_ACTIVE_PAUSED 3

// BASS_ErrorGetCode results (ours; the game only resolves the call).
#define BASS_OK 0
#define BASS_ERROR_MEM 1
#define BASS_ERROR_FILEOPEN 2
#define BASS_ERROR_DRIVER 3
#define BASS_ERROR_HANDLE 5
#define BASS_ERROR_FORMAT 6
#define BASS_ERROR_INIT 8
#define BASS_ERROR_ALREADY 14
#define BASS_ERROR_NOCHAN 18
#define BASS_ERROR_ILLPARAM 20
#define BASS_ERROR_FILEFORM 41
#define BASS_ERROR_UNKNOWN -1

#if defined(KOLVAR_SOUND_MODULE)
#define BASSDEF __attribute__((visibility("default")))
#else
#define BASSDEF
#endif

extern "C" {
BASSDEF int BASS_ErrorGetCode();
// device -1 or 1 is the default output; freq must be 44100 or 0.
BASSDEF BOOL BASS_Init(int device, DWORD freq, DWORD flags, HWND window, const GUID* clsid);
BASSDEF BOOL BASS_Free();
BASSDEF BOOL BASS_Start();
BASSDEF BOOL BASS_Stop();
BASSDEF BOOL BASS_Pause();
BASSDEF BOOL BASS_SetVolume(DWORD volume);
BASSDEF DWORD BASS_GetConfig(DWORD option);
BASSDEF BOOL BASS_SetConfig(DWORD option, DWORD value);

BASSDEF HSAMPLE BASS_SampleLoad(BOOL memory, const void* file, DWORD offset, DWORD length, DWORD max,
                                DWORD flags);
BASSDEF HCHANNEL BASS_SamplePlay(HSAMPLE sample);
// freq -1, volume -1 and pan -101 leave the defaults; loop -1 is the sample's default (once).
BASSDEF HCHANNEL BASS_SamplePlayEx(HSAMPLE sample, DWORD start, int freq, int volume, int pan, int loop);
BASSDEF BOOL BASS_SampleStop(HSAMPLE sample);
BASSDEF BOOL BASS_SampleFree(HSAMPLE sample);

BASSDEF HSTREAM BASS_StreamCreateFile(BOOL memory, const void* file, DWORD offset, DWORD length, DWORD flags);
BASSDEF BOOL BASS_StreamPlay(HSTREAM stream, BOOL flush, DWORD flags);
BASSDEF BOOL BASS_StreamFree(HSTREAM stream);

BASSDEF HMUSIC BASS_MusicLoad(BOOL memory, const void* file, DWORD offset, DWORD length, DWORD flags,
                              DWORD freq);
BASSDEF BOOL BASS_MusicPlay(HMUSIC music);
BASSDEF BOOL BASS_MusicFree(HMUSIC music);
BASSDEF BOOL BASS_MusicSetAmplify(HMUSIC music, DWORD amp);

BASSDEF DWORD BASS_ChannelIsActive(DWORD channel);
// volume 0..100 (-1 leaves it); freq -1 and pan -101 leave those.
BASSDEF BOOL BASS_ChannelSetAttributes(DWORD channel, int freq, int volume, int pan);
BASSDEF BOOL BASS_ChannelStop(DWORD channel);
// Position in bytes of the decoded output; 0 rewinds (modules: order 0, row 0).
BASSDEF BOOL BASS_ChannelSetPosition(DWORD channel, QWORD position);
BASSDEF HSYNC BASS_ChannelSetSync(DWORD channel, DWORD type, QWORD param, SYNCPROC proc, DWORD user);
}
