#include "SoundSources.h"

#include <libopenmpt/libopenmpt.h>
#include <sndfile.h>

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "platform.h"

namespace sound {

namespace {

// Nothing the game plays is longer than this; it bounds what a bad file can allocate.
constexpr uint64_t kMaxSampleSeconds = 60 * 30;
constexpr uint64_t kMaxSampleFrames = uint64_t(kRate) * kMaxSampleSeconds;
constexpr int kChunk = 1024;

bool Exists(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

// libsndfile reads an open descriptor, which stays ours to close.
struct SoundFile {
    SNDFILE* file = nullptr;
    int fd = -1;
    SF_INFO info{};
    SoundFile() = default;
    SoundFile(const SoundFile&) = delete;
    SoundFile& operator=(const SoundFile&) = delete;
    ~SoundFile() { Close(); }
    void Close() {
        if (file) sf_close(file);
        if (fd >= 0) close(fd);
        file = nullptr;
        fd = -1;
    }
    // False when the file is refused or missing (fd < 0) or not a sound libsndfile knows.
    bool Open(const std::string& path) {
        Close();
        fd = OpenGameFile(path);
        if (fd < 0) return false;
        std::memset(&info, 0, sizeof(info));
        file = sf_open_fd(fd, SFM_READ, &info, SF_FALSE);
        return file != nullptr;
    }
};

// The shapes the mixer takes: any channel count, a rate it can resample.
bool Playable(const SF_INFO& info) {
    return info.channels >= 1 && info.samplerate >= 1000 && info.samplerate <= 768000;
}

// Mono is doubled; beyond two channels only the front pair is kept.
void ToStereo(const float* in, int channels, int frames, float* out) {
    for (int i = 0; i < frames; ++i) {
        const float* f = in + static_cast<size_t>(i) * channels;
        out[2 * i] = f[0];
        out[2 * i + 1] = channels > 1 ? f[1] : f[0];
    }
}

}  // namespace

int OpenGameFile(const std::string& hostPath) {
    // Non-blocking, so a FIFO cannot hang the mixer's caller.
    int fd = open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<uint64_t>(st.st_size) > platform::kMaxReadFileSize) {
        std::fprintf(stderr, "refusing to read \"%s\": not a regular file of at most %llu bytes\n", hostPath.c_str(),
                     static_cast<unsigned long long>(platform::kMaxReadFileSize));
        close(fd);
        return -1;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

std::string HostFilePath(const char* path) {
    if (!path) return std::string();
    std::string p(path);
    std::replace(p.begin(), p.end(), '\\', '/');
    if (p.size() >= 2 && p[1] == ':' && isalpha(static_cast<unsigned char>(p[0]))) p.erase(0, 2);
    if (p.empty() || Exists(p)) return p;

    // Walk the components, taking the first case-insensitive match where the exact name is missing.
    std::string built = p[0] == '/' ? "/" : "";
    size_t start = p[0] == '/' ? 1 : 0;
    while (start <= p.size()) {
        size_t end = p.find('/', start);
        if (end == std::string::npos) end = p.size();
        std::string part = p.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        std::string candidate = built + part;
        if (!Exists(candidate) && part != "." && part != "..") {
            if (DIR* d = opendir(built.empty() ? "." : built.c_str())) {
                while (dirent* e = readdir(d)) {
                    if (strcasecmp(e->d_name, part.c_str()) == 0) {
                        candidate = built + e->d_name;
                        break;
                    }
                }
                closedir(d);
            }
        }
        built = candidate;
        if (end < p.size()) built += "/";
    }
    return built;
}

// ---- CResampler ----

CResampler::CResampler(int sourceRate, PullProc pull, void* user)
    : m_step(static_cast<double>(sourceRate) / kRate), m_pull(pull), m_user(user), m_buffer(kChunk * 2) {}

void CResampler::Reset() {
    m_phase = 0.0;
    m_primed = false;
    m_ended = false;
    m_bufferFrames = m_bufferPos = 0;
}

bool CResampler::NextSourceFrame(float frame[2]) {
    if (m_bufferPos >= m_bufferFrames) {
        m_bufferFrames = m_pull(m_user, m_buffer.data(), kChunk);
        m_bufferPos = 0;
        if (m_bufferFrames <= 0) {
            m_bufferFrames = 0;
            return false;
        }
    }
    frame[0] = m_buffer[2 * m_bufferPos];
    frame[1] = m_buffer[2 * m_bufferPos + 1];
    ++m_bufferPos;
    return true;
}

int CResampler::Read(float* out, int frames) {
    if (!m_primed) {
        m_primed = true;
        if (!NextSourceFrame(m_prev)) {
            m_ended = true;
            return 0;
        }
        if (!NextSourceFrame(m_next)) {
            m_next[0] = m_prev[0];
            m_next[1] = m_prev[1];
        }
    }
    int n = 0;
    while (n < frames && !m_ended) {
        const float t = static_cast<float>(m_phase);
        out[2 * n] = m_prev[0] + (m_next[0] - m_prev[0]) * t;
        out[2 * n + 1] = m_prev[1] + (m_next[1] - m_prev[1]) * t;
        ++n;
        m_phase += m_step;
        while (m_phase >= 1.0) {
            m_phase -= 1.0;
            m_prev[0] = m_next[0];
            m_prev[1] = m_next[1];
            if (!NextSourceFrame(m_next)) {
                m_ended = true;
                break;
            }
        }
    }
    return n;
}

void SampleFrames::Read(size_t from, size_t n, float* out) const {
    if (!pcmChannels) {
        std::memcpy(out, stereo.data() + 2 * from, n * 2 * sizeof(float));
        return;
    }
    const int16_t* in = pcm.data() + from * static_cast<size_t>(pcmChannels);
    for (size_t i = 0; i < n; ++i, in += pcmChannels) {
        out[2 * i] = in[0] / 32768.0f;
        out[2 * i + 1] = in[pcmChannels - 1] / 32768.0f;
    }
}

// ---- samples ----

CSampleSource::CSampleSource(SampleData data, uint64_t startFrame)
    : m_data(std::move(data)), m_pos(std::min<uint64_t>(startFrame, m_data->Frames())) {}

int CSampleSource::Read(float* out, int frames) {
    size_t n = std::min<size_t>(frames, m_data->Frames() - m_pos);
    m_data->Read(m_pos, n, out);
    m_pos += n;
    return static_cast<int>(n);
}

bool CSampleSource::Seek(uint64_t frame) {
    m_pos = std::min<uint64_t>(frame, m_data->Frames());
    return true;
}

// ---- streams ----

namespace {

class CFileSource : public CSource {
public:
    CFileSource(std::unique_ptr<SoundFile> sound, std::string path)
        : m_sound(std::move(sound)), m_info(m_sound->info), m_path(std::move(path)),
          m_raw(static_cast<size_t>(kChunk) * m_info.channels) {
        if (m_info.samplerate != kRate) m_resampler.reset(new CResampler(m_info.samplerate, &PullNative, this));
    }

    int Read(float* out, int frames) override {
        if (m_resampler) return m_resampler->Read(out, frames);
        int done = 0;
        while (done < frames) {
            int n = ReadNative(out + 2 * done, std::min(frames - done, kChunk));
            if (n <= 0) break;
            done += n;
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        sf_count_t native = static_cast<sf_count_t>(frame * static_cast<uint64_t>(m_info.samplerate) / kRate);
        if (m_resampler) m_resampler->Reset();
        if (m_sound->file && sf_seek(m_sound->file, native, SEEK_SET) >= 0) return true;
        // Formats that cannot seek are opened again and read forward.
        if (!m_sound->Open(m_path)) {
            m_sound->Close();
            return false;
        }
        while (native > 0) {
            sf_count_t got = sf_readf_float(m_sound->file, m_raw.data(), std::min<sf_count_t>(native, kChunk));
            if (got <= 0) break;
            native -= got;
        }
        return true;
    }

    // Frames taken from the file so far, at its own rate.
    uint64_t NativeFramesRead() const { return m_nativeRead; }

private:
    static int PullNative(void* user, float* out, int frames) {
        return static_cast<CFileSource*>(user)->ReadNative(out, frames);
    }

    int ReadNative(float* out, int frames) {
        if (!m_sound->file) return 0;
        frames = std::min(frames, kChunk);
        sf_count_t got = sf_readf_float(m_sound->file, m_raw.data(), frames);
        if (got <= 0) return 0;
        ToStereo(m_raw.data(), m_info.channels, static_cast<int>(got), out);
        m_nativeRead += static_cast<uint64_t>(got);
        return static_cast<int>(got);
    }

    std::unique_ptr<SoundFile> m_sound;
    SF_INFO m_info;
    std::string m_path;
    std::vector<float> m_raw;
    std::unique_ptr<CResampler> m_resampler;
    uint64_t m_nativeRead = 0;
};

class CMusicSource : public CSource {
public:
    explicit CMusicSource(openmpt_module* module) : m_module(module) {}
    ~CMusicSource() override { openmpt_module_destroy(m_module); }

    int Read(float* out, int frames) override {
        int done = 0;
        while (done < frames) {
            size_t n = openmpt_module_read_interleaved_float_stereo(m_module, kRate, frames - done, out + 2 * done);
            if (n == 0) break;
            done += static_cast<int>(n);
        }
        return done;
    }

    bool Seek(uint64_t frame) override {
        if (frame == 0)
            openmpt_module_set_position_order_row(m_module, 0, 0);
        else
            openmpt_module_set_position_seconds(m_module, static_cast<double>(frame) / kRate);
        return true;
    }

    void SetAmplify(int amp) {
        // 50 is unity gain, as the setting's middle.
        int32_t millibel = amp <= 0 ? -10000 : static_cast<int32_t>(std::lround(2000.0 * std::log10(amp / 50.0)));
        openmpt_module_set_render_param(m_module, OPENMPT_MODULE_RENDER_MASTERGAIN_MILLIBEL, millibel);
    }

private:
    openmpt_module* m_module;
};

}  // namespace

// ---- whole-file decoding ----

namespace {

// Room for the whole decode when the header's length is right, so the store
// is written once instead of copied as it grows; never past what the decode
// may hold, and a header can only ask for address space, which stays untouched.
size_t ReserveFor(const SF_INFO& info, int perFrame, size_t valueBytes, size_t maxBytes) {
    if (info.frames <= 0) return 0;
    const uint64_t frames = std::min<uint64_t>(static_cast<uint64_t>(info.frames), kMaxSampleFrames);
    const uint64_t rate = static_cast<uint64_t>(info.samplerate);
    // The resampler may give a frame or two past the exact ratio.
    const uint64_t values = (frames * kRate / rate + (rate == kRate ? 0 : 2)) * static_cast<uint64_t>(perFrame);
    const uint64_t most = std::min<uint64_t>(maxBytes, kMaxSampleFrames * 2 * sizeof(float)) / valueBytes;
    return static_cast<size_t>(std::min(values, most));
}

// The file's own 16-bit samples, when it has them at the output rate and in
// one or two channels: read as shorts they scale to exactly the floats a
// float read gives (value / 32768).
bool DecodePcm16(SoundFile& sound, SampleFrames& frames, std::string& error, size_t maxBytes) {
    const int channels = sound.info.channels;
    std::vector<int16_t> raw(static_cast<size_t>(kChunk) * channels);
    frames.pcm.reserve(ReserveFor(sound.info, channels, sizeof(int16_t), maxBytes));
    for (;;) {
        const sf_count_t got = sf_readf_short(sound.file, raw.data(), kChunk);
        if (got <= 0) break;
        frames.pcm.insert(frames.pcm.end(), raw.begin(), raw.begin() + got * channels);
        if (frames.pcm.size() / static_cast<size_t>(channels) > kMaxSampleFrames) {
            error = "file too long";
            return false;
        }
        if (frames.pcm.size() * sizeof(int16_t) > maxBytes) {
            error = kOverSampleMemory;
            return false;
        }
    }
    if (frames.pcm.empty()) {
        error = "no audio data";
        return false;
    }
    frames.pcm.shrink_to_fit();
    frames.pcmChannels = channels;
    return true;
}

bool Decode(const std::string& hostPath, SampleFrames& frames, std::string& error, bool* opened, size_t maxBytes) {
    std::unique_ptr<SoundFile> sound(new SoundFile);
    const bool ok = sound->Open(hostPath);
    if (opened) *opened = sound->fd >= 0;
    if (!ok) {
        error = sound->fd >= 0 ? sf_strerror(nullptr) : "cannot open the file";
        return false;
    }
    const SF_INFO info = sound->info;
    if (!Playable(info)) {
        error = "unsupported channel count or rate";
        return false;
    }
    // By time too: a long file at a low rate would grow many times over in
    // the resampling to the output rate. A header that says so is believed;
    // one that says less is checked as the file is read.
    const uint64_t maxFrames = std::min(kMaxSampleFrames, uint64_t(info.samplerate) * kMaxSampleSeconds);
    if (info.frames > 0 && static_cast<uint64_t>(info.frames) > maxFrames) {
        error = "file too long";
        return false;
    }
    if ((info.format & SF_FORMAT_SUBMASK) == SF_FORMAT_PCM_16 && info.samplerate == kRate && info.channels <= 2)
        return DecodePcm16(*sound, frames, error, maxBytes);
    // Read as a stream plays it, so no copy at the file's own rate is held
    // beside the result. The frame count of compressed files is only an
    // estimate: read until nothing comes.
    frames.stereo.reserve(ReserveFor(info, 2, sizeof(float), maxBytes));
    CFileSource source(std::move(sound), hostPath);
    std::vector<float> chunk(kChunk * 2);
    for (;;) {
        const int n = source.Read(chunk.data(), kChunk);
        if (source.NativeFramesRead() > maxFrames) {
            error = "file too long";
            return false;
        }
        if (n <= 0) break;
        if ((frames.stereo.size() + 2 * static_cast<size_t>(n)) * sizeof(float) > maxBytes) {
            error = kOverSampleMemory;
            return false;
        }
        frames.stereo.insert(frames.stereo.end(), chunk.begin(), chunk.begin() + 2 * n);
    }
    if (frames.stereo.empty()) {
        error = "no audio data";
        return false;
    }
    return true;
}

}  // namespace

bool DecodeWholeFile(const std::string& hostPath, SampleFrames& frames, std::string& error, bool* opened,
                     size_t maxBytes) {
    frames = SampleFrames();
    if (Decode(hostPath, frames, error, opened, maxBytes)) return true;
    frames = SampleFrames();  // a failed decode keeps nothing
    return false;
}

std::unique_ptr<CSource> OpenStreamSource(const std::string& hostPath) {
    std::unique_ptr<SoundFile> sound(new SoundFile);
    if (!sound->Open(hostPath)) return nullptr;
    if (!Playable(sound->info)) return nullptr;
    return std::unique_ptr<CSource>(new CFileSource(std::move(sound), hostPath));
}

std::unique_ptr<CSource> OpenMusicSource(const std::string& hostPath) {
    const int fd = OpenGameFile(hostPath);
    if (fd < 0) return nullptr;
    // Read to the end within the bound: the file may have changed since it was checked.
    std::vector<char> bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0 || bytes.size() + static_cast<size_t>(n) > platform::kMaxReadFileSize) {
            if (n != 0) bytes.clear();
            break;
        }
        bytes.insert(bytes.end(), buffer, buffer + n);
    }
    close(fd);
    if (bytes.empty()) return nullptr;
    int error = 0;
    const char* message = nullptr;
    openmpt_module* module = openmpt_module_create_from_memory2(bytes.data(), bytes.size(), &openmpt_log_func_silent,
                                                                nullptr, &openmpt_error_func_ignore, nullptr, &error,
                                                                &message, nullptr);
    if (message) openmpt_free_string(message);
    if (!module) return nullptr;
    // Played once: a backward jump ends the song instead of looping it for ever.
    openmpt_module_set_repeat_count(module, 0);
    return std::unique_ptr<CSource>(new CMusicSource(module));
}

void SetMusicAmplify(CSource* music, int amp) {
    if (CMusicSource* m = dynamic_cast<CMusicSource*>(music)) m->SetAmplify(amp);
}

}  // namespace sound
