// Inside the audio module: everything that produces 44100 Hz stereo float
// frames for the mixer. Decoding runs on the mixer's thread for streams and
// modules; samples are decoded once, at load.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sound {

constexpr int kRate = 44100;

// Windows path as the game passes it -> a host path (separators, drive letter,
// case-insensitive fallback per component).
std::string HostFilePath(const char* path);

// Opens a file the way the platform reads game data: a regular file within
// the read bound, without blocking on a FIFO; -1 otherwise (a refused file
// says so on standard error). The descriptor is the caller's to close.
int OpenGameFile(const std::string& hostPath);

class CSource {
public:
    virtual ~CSource() = default;
    // Writes up to frames stereo frames; fewer only at the end of the sound.
    virtual int Read(float* out, int frames) = 0;
    // Moves to a frame of the 44100 Hz output; 0 is the start.
    virtual bool Seek(uint64_t frame) = 0;
};

// Linear interpolation from any rate to kRate, pulling frames from a reader.
class CResampler {
public:
    // Fills stereo frames at the source rate; returns how many (0 at the end).
    typedef int (*PullProc)(void* user, float* out, int frames);

    CResampler(int sourceRate, PullProc pull, void* user);
    int Read(float* out, int frames);
    void Reset();

private:
    bool NextSourceFrame(float frame[2]);

    double m_step;
    double m_phase = 0.0;
    bool m_primed = false;
    bool m_ended = false;
    float m_prev[2] = {0, 0};
    float m_next[2] = {0, 0};
    PullProc m_pull;
    void* m_user;
    std::vector<float> m_buffer;
    int m_bufferFrames = 0;
    int m_bufferPos = 0;
};

// A sample fully decoded at load, shared by its playbacks: stereo floats at
// the output rate, or the file's own 16-bit samples (mono or stereo) when it
// had them at that rate, which hold the same values in a quarter or half the
// memory.
struct SampleFrames {
    std::vector<float> stereo;
    std::vector<int16_t> pcm;
    int pcmChannels = 0;  // 1 or 2 when pcm holds the sample
    size_t Frames() const { return pcmChannels ? pcm.size() / static_cast<size_t>(pcmChannels) : stereo.size() / 2; }
    size_t Bytes() const { return pcm.size() * sizeof(int16_t) + stereo.size() * sizeof(float); }
    // Stereo float frames [from, from + n).
    void Read(size_t from, size_t n, float* out) const;
};
typedef std::shared_ptr<const SampleFrames> SampleData;

// The error of a decode stopped by its byte limit.
constexpr const char* kOverSampleMemory = "over the memory left for samples";

// Decodes a whole file (WAV, OGG, MP3 ... through libsndfile) to kRate.
// An empty result with error text on failure.
// `opened` tells a file that could not be opened (or was refused) from one that did not decode.
// Decoding stops, and fails, once what it holds would pass `maxBytes`.
bool DecodeWholeFile(const std::string& hostPath, SampleFrames& frames, std::string& error,
                     bool* opened = nullptr, size_t maxBytes = SIZE_MAX);

class CSampleSource : public CSource {
public:
    CSampleSource(SampleData data, uint64_t startFrame);
    int Read(float* out, int frames) override;
    bool Seek(uint64_t frame) override;

private:
    SampleData m_data;
    size_t m_pos;
};

// A file decoded while it plays; null when libsndfile cannot open it.
std::unique_ptr<CSource> OpenStreamSource(const std::string& hostPath);
// Module music through libopenmpt, played once; null when it is not a module.
std::unique_ptr<CSource> OpenMusicSource(const std::string& hostPath);
// For the amplification setting (0..100, 50 is unity).
void SetMusicAmplify(CSource* music, int amp);

}  // namespace sound
