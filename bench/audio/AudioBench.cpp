// Runs the audio library's mixer as fast as it goes (SDL's disk driver writing
// to /dev/null with no delay) and reports CPU time per second of audio.
#include <bass.h>
#include <mixer.h>
#include <win32.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

namespace {

struct Api {
    decltype(&::BASS_Init) Init;
    decltype(&::BASS_Free) Free;
    decltype(&::BASS_SampleLoad) SampleLoad;
    decltype(&::BASS_SamplePlayEx) SamplePlayEx;
    decltype(&::BASS_MusicLoad) MusicLoad;
    decltype(&::BASS_MusicPlay) MusicPlay;
    decltype(&::BASS_ChannelIsActive) ChannelIsActive;
    decltype(&::BASS_ChannelSetPosition) ChannelSetPosition;
    PFN_MIXER_ADDSOURCE AddSource;
    PFN_MIXER_REMOVESOURCE RemoveSource;
};

template <class T>
bool Resolve(HMODULE module, const char* name, T& entry) {
    entry = reinterpret_cast<T>(GetProcAddress(module, name));
    if (!entry) fprintf(stderr, "bench_audio: %s missing\n", name);
    return entry != nullptr;
}

void Put16(std::string& s, uint32_t v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& s, uint32_t v) {
    Put16(s, v & 0xFFFF);
    Put16(s, v >> 16);
}

bool WriteFile(const std::string& path, const std::string& data) {
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = fwrite(data.data(), 1, data.size(), f) == data.size();
    return fclose(f) == 0 && ok;
}

// Two seconds of a stereo chord, 16-bit.
bool WriteTone(const std::string& path, double freq) {
    const int frames = 88200;
    std::string s = "RIFF";
    Put32(s, 36 + frames * 4);
    s += "WAVEfmt ";
    Put32(s, 16);
    Put16(s, 1);
    Put16(s, 2);
    Put32(s, 44100);
    Put32(s, 44100 * 4);
    Put16(s, 4);
    Put16(s, 16);
    s += "data";
    Put32(s, frames * 4);
    for (int i = 0; i < frames; ++i) {
        double t = i / 44100.0;
        double v = 0.3 * std::sin(2 * M_PI * freq * t) + 0.2 * std::sin(2 * M_PI * freq * 1.5 * t);
        int16_t x = static_cast<int16_t>(v * 32767);
        Put16(s, static_cast<uint16_t>(x));
        Put16(s, static_cast<uint16_t>(x));
    }
    return WriteFile(path, s);
}

// A four-channel module: four instruments, a note on every channel on every row
// of one 64-row pattern (about eight seconds).
bool WriteModule(const std::string& path) {
    std::string m(20, '\0');
    memcpy(&m[0], "bench", 5);
    const int sampleWords = 512;
    for (int s = 0; s < 31; ++s) {
        std::string h(30, '\0');
        if (s < 4) {
            h[22] = static_cast<char>(sampleWords >> 8);
            h[23] = static_cast<char>(sampleWords & 0xFF);
            h[25] = 48;
            h[28] = static_cast<char>(sampleWords >> 8);
            h[29] = static_cast<char>(sampleWords & 0xFF);
        }
        m += h;
    }
    m.push_back(1);
    m.push_back(127);
    m += std::string(128, '\0');
    m += "M.K.";
    const int periods[] = {428, 381, 339, 320, 285, 254, 226, 214};
    for (int row = 0; row < 64; ++row) {
        for (int ch = 0; ch < 4; ++ch) {
            int period = periods[(row * 3 + ch * 5) % 8] * (ch == 0 ? 2 : 1);
            int sample = ch + 1;
            m.push_back(static_cast<char>((sample & 0xF0) | (period >> 8)));
            m.push_back(static_cast<char>(period & 0xFF));
            m.push_back(static_cast<char>((sample & 0x0F) << 4));
            m.push_back(0);
        }
    }
    uint32_t noise = 1;
    for (int s = 0; s < 4; ++s) {
        for (int i = 0; i < sampleWords * 2; ++i) {
            double x = static_cast<double>(i % 64) / 64.0;
            double v = s == 0 ? (x < 0.5 ? 0.6 : -0.6) : s == 1 ? 2 * x - 1 : s == 2 ? std::sin(2 * M_PI * x) : 0;
            if (s == 3) {
                noise = noise * 1664525u + 1013904223u;
                v = ((noise >> 16) & 0xFF) / 128.0 - 1.0;
            }
            m.push_back(static_cast<char>(static_cast<int8_t>(v * 100)));
        }
    }
    return WriteFile(path, m);
}

std::atomic<uint64_t> g_frames{0};
void CountFrames(float*, int frames, void*) { g_frames += static_cast<uint64_t>(frames); }

double CpuSeconds() {
    rusage u;
    getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Result {
    double audioSeconds;
    double cpuSeconds;
    double wallSeconds;
};

// Mixes until audioSeconds of output exist and returns what it cost.
Result Run(const Api& api, const std::string& folder, int sampleChannels, bool music, double audioSeconds) {
    Result r{0, 0, 0};
    if (!api.Init(1, 44100, 0, nullptr, nullptr)) {
        fprintf(stderr, "bench_audio: no device\n");
        return r;
    }
    std::vector<DWORD> samples;
    for (int i = 0; i < 8; ++i) {
        std::string path = folder + "/tone" + std::to_string(i) + ".wav";
        samples.push_back(api.SampleLoad(FALSE, path.c_str(), 0, 0, 5, 0));
    }
    DWORD module = 0;
    if (music) {
        std::string path = folder + "/bench.mod";
        module = api.MusicLoad(FALSE, path.c_str(), 0, 0, 0, 0);
        if (!module) fprintf(stderr, "bench_audio: module did not load\n");
    }
    g_frames = 0;
    DWORD counter = api.AddSource(&CountFrames, nullptr);
    for (int i = 0; i < sampleChannels; ++i)
        if (!api.SamplePlayEx(samples[i % 8], 0, -1, 20, -101, 1)) fprintf(stderr, "bench_audio: play %d refused\n", i);
    if (module) api.MusicPlay(module);

    double cpu0 = CpuSeconds();
    auto wall0 = std::chrono::steady_clock::now();
    const uint64_t target = static_cast<uint64_t>(audioSeconds * 44100);
    while (g_frames < target) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (module && api.ChannelIsActive(module) == 0) {
            api.ChannelSetPosition(module, 0);
            api.MusicPlay(module);
        }
    }
    r.cpuSeconds = CpuSeconds() - cpu0;
    r.wallSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - wall0).count();
    r.audioSeconds = static_cast<double>(g_frames.load()) / 44100.0;
    api.RemoveSource(counter);
    api.Free();
    return r;
}

void Report(const char* label, const Result& r) {
    if (r.audioSeconds <= 0) return;
    printf("%-28s %8.2f s audio  %8.3f s CPU  %7.2f ms CPU per audio second  (%.1fx real time)\n", label,
           r.audioSeconds, r.cpuSeconds, 1000.0 * r.cpuSeconds / r.audioSeconds, r.audioSeconds / r.wallSeconds);
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = argc > 1 ? atof(argv[1]) : 120.0;
    char folder[] = "/tmp/kolvar-bench-audio-XXXXXX";
    if (!mkdtemp(folder)) return 1;
    for (int i = 0; i < 8; ++i)
        if (!WriteTone(std::string(folder) + "/tone" + std::to_string(i) + ".wav", 220.0 * (1 + i * 0.25))) return 1;
    if (!WriteModule(std::string(folder) + "/bench.mod")) return 1;

    // As fast as the mixer goes: no pacing, output thrown away.
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", "/dev/null", 1);
    setenv("SDL_DISKAUDIODELAY", "0", 1);

    HMODULE library = LoadLibraryA("sound.dll");
    if (!library) {
        fprintf(stderr, "bench_audio: sound.dll (sound.so) not found\n");
        return 1;
    }
    Api api{};
    bool ok = Resolve(library, "BASS_Init", api.Init) && Resolve(library, "BASS_Free", api.Free) &&
              Resolve(library, "BASS_SampleLoad", api.SampleLoad) &&
              Resolve(library, "BASS_SamplePlayEx", api.SamplePlayEx) &&
              Resolve(library, "BASS_MusicLoad", api.MusicLoad) && Resolve(library, "BASS_MusicPlay", api.MusicPlay) &&
              Resolve(library, "BASS_ChannelIsActive", api.ChannelIsActive) &&
              Resolve(library, "BASS_ChannelSetPosition", api.ChannelSetPosition) &&
              Resolve(library, MIXER_ADDSOURCE_NAME, api.AddSource) &&
              Resolve(library, MIXER_REMOVESOURCE_NAME, api.RemoveSource);
    if (!ok) return 1;

    Report("empty mixer (baseline)", Run(api, folder, 0, false, seconds));
    Report("32 sample channels", Run(api, folder, 32, false, seconds));
    Report("one module", Run(api, folder, 0, true, seconds));
    Report("32 samples + one module", Run(api, folder, 32, true, seconds));

    FreeLibrary(library);
    std::error_code ec;
    std::filesystem::remove_all(folder, ec);
    return 0;
}
