// Helpers for the audio tests: WAV fixtures, disk-driver capture, the log tail
// and the audio library's entry points loaded the way the game loads them.
#pragma once

#include <bass.h>
#include <mixer.h>
#include <win32.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "audio/SoundEngine.h"
#include "support/EngineScope.h"
#include "support/EngineSupport.h"
#include "tests/platform/ScopedEnv.h"

namespace audiotest {

using testutil::LogTail;

// One step of 16-bit PCM as a float sample.
const float kQuantum = 1.0f / 32768.0f;

// Polls until done() holds or the time is up.
void WaitFor(const std::function<bool()>& done, int maxMs = 3000);

// A format-0 MIDI file, 96 ticks per quarter: one note on every beat from the key up.
std::string MidiBeats(int count, int key = 60);

// Root mean square of the samples from..to (to is clamped to the size).
double Rms(const std::vector<float>& pcm, size_t from, size_t to);

// 16-bit PCM WAV, interleaved frames of the given channel count.
void WriteWav(const std::string& path, const std::vector<float>& samples, int channels, int rate = 44100);
// A mono WAV holding one value for the given number of frames.
void WriteConstantWav(const std::string& path, float value, int frames, int rate = 44100);
// A tiny ProTracker module: one square-wave note, a few rows, then the song ends.
void WriteTinyModule(const std::string& path);

using ::ScopedEnv;

// Switches SDL to its disk driver writing into a file for the lifetime of the object.
class DiskCapture {
public:
    explicit DiskCapture(const std::string& file);
    // Interleaved stereo floats written so far (read after the device is closed).
    std::vector<float> Read() const;

private:
    std::string m_File;
    ScopedEnv m_Driver;
    ScopedEnv m_Path;
    ScopedEnv m_Delay;
};

// Left-channel frames of a capture with the leading silence removed.
std::vector<float> LeftFromFirstSound(const std::vector<float>& stereo, float threshold = 1e-4f);

// Counts the frames the mixer produces, through a mixer source, so tests wait
// for output instead of for time.
class FrameCounter {
public:
    explicit FrameCounter(HMODULE library);
    ~FrameCounter();
    uint64_t Frames() const;
    // True once at least frames more than now have been mixed.
    bool WaitMore(uint64_t frames, int maxMs = 5000) const;

private:
    static void Count(float* out, int frames, void* user);
    PFN_MIXER_REMOVESOURCE m_remove = nullptr;
    DWORD m_id = 0;
    std::atomic<uint64_t> m_frames{0};
};

// Size of a file now (0 when missing).
size_t FileSize(const std::string& path);

// The audio library's entry points, loaded by name from "sound.dll".
struct Bass {
    Bass();
    ~Bass();
    bool Loaded() const { return module != nullptr; }

    HMODULE module = nullptr;
    decltype(&::BASS_ErrorGetCode) ErrorGetCode = nullptr;
    decltype(&::BASS_Init) Init = nullptr;
    decltype(&::BASS_Free) Free = nullptr;
    decltype(&::BASS_Start) Start = nullptr;
    decltype(&::BASS_Pause) Pause = nullptr;
    decltype(&::BASS_GetConfig) GetConfig = nullptr;
    decltype(&::BASS_SetConfig) SetConfig = nullptr;
    decltype(&::BASS_SampleLoad) SampleLoad = nullptr;
    decltype(&::BASS_SamplePlayEx) SamplePlayEx = nullptr;
    decltype(&::BASS_SampleStop) SampleStop = nullptr;
    decltype(&::BASS_SampleFree) SampleFree = nullptr;
    decltype(&::BASS_StreamCreateFile) StreamCreateFile = nullptr;
    decltype(&::BASS_StreamPlay) StreamPlay = nullptr;
    decltype(&::BASS_StreamFree) StreamFree = nullptr;
    decltype(&::BASS_MusicLoad) MusicLoad = nullptr;
    decltype(&::BASS_MusicPlay) MusicPlay = nullptr;
    decltype(&::BASS_MusicFree) MusicFree = nullptr;
    decltype(&::BASS_ChannelIsActive) ChannelIsActive = nullptr;
    decltype(&::BASS_ChannelSetAttributes) ChannelSetAttributes = nullptr;
    decltype(&::BASS_ChannelStop) ChannelStop = nullptr;
    decltype(&::BASS_ChannelSetPosition) ChannelSetPosition = nullptr;
    decltype(&::BASS_ChannelSetSync) ChannelSetSync = nullptr;
    PFN_MIXER_ADDSOURCE AddSource = nullptr;
    PFN_MIXER_REMOVESOURCE RemoveSource = nullptr;
};

// Background, game and music volumes that tell the three apart: a quarter, a half, three quarters.
const char kVolumes[] = "[sound]\r\nbackground_volume=0.25000\r\ngame_volume=0.50000\r\nmusic_volume=0.75000\r\n";

// A fresh folder made current, and on the way out the singletons a test made there: the sound
// engine writes its volumes into the folder as it goes.
class FolderTest : public ::testing::Test {
protected:
    FolderTest() : m_cwd(m_dir.path()) {}
    // The sound engine, started on this config.ini when one is given.
    CSoundEngine* MakeEngine(const char* config = kVolumes) {
        if (config) testutil::WriteFile(m_dir.file("config.ini"), config);
        return CSoundEngine::GetInstance();
    }

    testutil::TempDir m_dir;
    testutil::ScopedCwd m_cwd;
    enginescope::Sweep m_Singletons;
};

}  // namespace audiotest
