// The sound module owns the one audio device and its mixer (44100 Hz, stereo,
// float). Other players (the MIDI synthesiser) add their output through these
// two entry points, which the module exports beside the audio library's own.
#pragma once

#include "win32.h"

extern "C" {
// Adds frameCount stereo frames (interleaved L, R) into out; called on the mixer's thread.
typedef void (*MIXERSOURCEPROC)(float* out, int frameCount, void* user);
// Returns a source id (> 0), or 0 when no device is open.
typedef DWORD (*PFN_MIXER_ADDSOURCE)(MIXERSOURCEPROC proc, void* user);
typedef BOOL (*PFN_MIXER_REMOVESOURCE)(DWORD id);
}

#define MIXER_ADDSOURCE_NAME "MIXER_AddSource"
#define MIXER_REMOVESOURCE_NAME "MIXER_RemoveSource"
#define MIXER_SAMPLE_RATE 44100
