#include "AudioTestUtil.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <iterator>

#include <unistd.h>

#include <filesystem>

#include "support/TestUtil.h"

namespace audiotest {

namespace {

void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

template <class T>
void Resolve(HMODULE module, const char* name, T& entry) {
    entry = reinterpret_cast<T>(GetProcAddress(module, name));
}

}  // namespace

void WaitFor(const std::function<bool()>& done, int maxMs) {
    for (int i = 0; i < maxMs / 5 && !done(); ++i) usleep(5000);
}

std::string MidiBeats(int count, int key) {
    std::string track;
    for (int i = 0; i < count; ++i) {
        track += std::string("\x00\x90", 2) + char(key + i % 12) + char(100);
        track += std::string("\x60\x80", 2) + char(key + i % 12) + char(0);
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    std::string out("MThd\0\0\0\x06\0\0\0\x01\0\x60MTrk", 18);
    uint32_t n = static_cast<uint32_t>(track.size());
    out += {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    return out + track;
}

double Rms(const std::vector<float>& pcm, size_t from, size_t to) {
    double sum = 0;
    to = std::min(to, pcm.size());
    for (size_t i = from; i < to; ++i) sum += double(pcm[i]) * pcm[i];
    return to > from ? std::sqrt(sum / (to - from)) : 0.0;
}

void WriteWav(const std::string& path, const std::vector<float>& samples, int channels, int rate) {
    std::string out = "RIFF";
    uint32_t dataBytes = static_cast<uint32_t>(samples.size() * 2);
    Put32(out, 36 + dataBytes);
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, static_cast<uint32_t>(channels));
    Put32(out, static_cast<uint32_t>(rate));
    Put32(out, static_cast<uint32_t>(rate * channels * 2));
    Put16(out, static_cast<uint32_t>(channels * 2));
    Put16(out, 16);
    out += "data";
    Put32(out, dataBytes);
    for (float v : samples) {
        long s = std::lround(std::max(-1.0f, std::min(1.0f, v)) * 32768.0f);
        s = std::max(-32768L, std::min(32767L, s));
        Put16(out, static_cast<uint16_t>(static_cast<int16_t>(s)));
    }
    testutil::WriteFile(path, out);
}

void WriteConstantWav(const std::string& path, float value, int frames, int rate) {
    WriteWav(path, std::vector<float>(static_cast<size_t>(frames), value), 1, rate);
}

void WriteTinyModule(const std::string& path) {
    std::string mod(20, '\0');
    memcpy(&mod[0], "tiny", 4);
    // Sample 1: 64 words of square wave, looped; the other 30 are empty.
    for (int s = 0; s < 31; ++s) {
        std::string header(30, '\0');
        if (s == 0) {
            memcpy(&header[0], "square", 6);
            header[22] = 0;
            header[23] = 32;  // length in words
            header[24] = 0;   // finetune
            header[25] = 64;  // volume
            header[26] = 0;
            header[27] = 0;  // loop start
            header[28] = 0;
            header[29] = 32;  // loop length in words
        }
        mod += header;
    }
    mod.push_back(1);     // song length: one order
    mod.push_back(127);
    std::string orders(128, '\0');
    mod += orders;
    mod += "M.K.";
    std::string pattern(64 * 4 * 4, '\0');
    // Row 0, channel 0: sample 1 at period 428 (C-2), effect F01 (speed 1).
    pattern[0] = static_cast<char>(0x00 | (428 >> 8));
    pattern[1] = static_cast<char>(428 & 0xFF);
    pattern[2] = static_cast<char>(0x10 | 0x0F);
    pattern[3] = 0x01;
    // Row 3, channel 0: pattern break D00, which ends the one-order song.
    size_t row3 = 3 * 16;
    pattern[row3 + 2] = 0x0D;
    pattern[row3 + 3] = 0x00;
    mod += pattern;
    for (int i = 0; i < 64; ++i) mod.push_back(static_cast<char>(i < 32 ? 0x60 : 0xA0));
    testutil::WriteFile(path, mod);
}

DiskCapture::DiskCapture(const std::string& file)
    : m_File(file),
      m_Driver("SDL_AUDIODRIVER", "disk"),
      m_Path("SDL_DISKAUDIOFILE", file.c_str()),
      // A block every 5 ms instead of every 23: faster than real time, still paced.
      m_Delay("SDL_DISKAUDIODELAY", "5") {}

std::vector<float> DiskCapture::Read() const {
    std::string bytes = testutil::ReadFile(m_File);
    std::vector<float> out(bytes.size() / sizeof(float));
    memcpy(out.data(), bytes.data(), out.size() * sizeof(float));
    return out;
}

std::vector<float> LeftFromFirstSound(const std::vector<float>& stereo, float threshold) {
    std::vector<float> left;
    bool started = false;
    for (size_t i = 0; i + 1 < stereo.size(); i += 2) {
        if (!started && std::fabs(stereo[i]) <= threshold) continue;
        started = true;
        left.push_back(stereo[i]);
    }
    return left;
}

FrameCounter::FrameCounter(HMODULE library) {
    PFN_MIXER_ADDSOURCE add = reinterpret_cast<PFN_MIXER_ADDSOURCE>(GetProcAddress(library, MIXER_ADDSOURCE_NAME));
    m_remove = reinterpret_cast<PFN_MIXER_REMOVESOURCE>(GetProcAddress(library, MIXER_REMOVESOURCE_NAME));
    if (add) m_id = add(&FrameCounter::Count, this);
}

FrameCounter::~FrameCounter() {
    if (m_id && m_remove) m_remove(m_id);
}

void FrameCounter::Count(float*, int frames, void* user) {
    static_cast<FrameCounter*>(user)->m_frames += static_cast<uint64_t>(frames);
}

uint64_t FrameCounter::Frames() const { return m_frames; }

bool FrameCounter::WaitMore(uint64_t frames, int maxMs) const {
    uint64_t target = m_frames + frames;
    for (int i = 0; i < maxMs && m_frames < target; ++i) usleep(1000);
    return m_frames >= target;
}

size_t FileSize(const std::string& path) {
    std::error_code ec;
    auto size = std::filesystem::file_size(path, ec);
    return ec ? 0 : static_cast<size_t>(size);
}

Bass::Bass() {
    module = LoadLibraryA("sound.dll");
    if (!module) return;
    Resolve(module, "BASS_ErrorGetCode", ErrorGetCode);
    Resolve(module, "BASS_Init", Init);
    Resolve(module, "BASS_Free", Free);
    Resolve(module, "BASS_Start", Start);
    Resolve(module, "BASS_Pause", Pause);
    Resolve(module, "BASS_GetConfig", GetConfig);
    Resolve(module, "BASS_SetConfig", SetConfig);
    Resolve(module, "BASS_SampleLoad", SampleLoad);
    Resolve(module, "BASS_SamplePlayEx", SamplePlayEx);
    Resolve(module, "BASS_SampleStop", SampleStop);
    Resolve(module, "BASS_SampleFree", SampleFree);
    Resolve(module, "BASS_StreamCreateFile", StreamCreateFile);
    Resolve(module, "BASS_StreamPlay", StreamPlay);
    Resolve(module, "BASS_StreamFree", StreamFree);
    Resolve(module, "BASS_MusicLoad", MusicLoad);
    Resolve(module, "BASS_MusicPlay", MusicPlay);
    Resolve(module, "BASS_MusicFree", MusicFree);
    Resolve(module, "BASS_ChannelIsActive", ChannelIsActive);
    Resolve(module, "BASS_ChannelSetAttributes", ChannelSetAttributes);
    Resolve(module, "BASS_ChannelStop", ChannelStop);
    Resolve(module, "BASS_ChannelSetPosition", ChannelSetPosition);
    Resolve(module, "BASS_ChannelSetSync", ChannelSetSync);
    Resolve(module, MIXER_ADDSOURCE_NAME, AddSource);
    Resolve(module, MIXER_REMOVESOURCE_NAME, RemoveSource);
}

Bass::~Bass() {
    // A device left open by a failed test must not outlive the module's code.
    if (Free) Free();
    if (module) FreeLibrary(module);
}

}  // namespace audiotest
