// Test hooks of the music layer: pulls sound out of a performance that is not
// attached to the sound module's mixer (no audio device), so music time only moves with it.
#pragma once

#include "dmusic.h"

namespace dmusic {

// Adds frames of interleaved stereo float at 44100 Hz into out. False when the
// performance is not initialised or the mixer drives it.
bool RenderPerformance(IDirectMusicPerformance8* performance, float* out, int frames);

}  // namespace dmusic
