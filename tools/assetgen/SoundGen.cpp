// The game's sound effects, synthesised: short, distinct, and the same bytes on
// every build. WAV files are 16-bit mono 44100 Hz; the bounce sounds are Ogg
// Vorbis through libsndfile.
#include <sndfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "Generators.h"

namespace {

const int kRate = 44100;
const double kPi = 3.14159265358979323846;

typedef std::vector<float> Wave;

Wave Silence(double seconds) { return Wave(static_cast<size_t>(seconds * kRate), 0.0f); }

// Deterministic white noise.
class CNoise {
public:
    explicit CNoise(uint32_t seed) : m_state(seed) {}
    float Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<float>((m_state >> 8) & 0xFFFF) / 32768.0f - 1.0f;
    }

private:
    uint32_t m_state;
};

// Resonant state-variable filter; low- or band-pass output.
class CFilter {
public:
    float Low(float in, double cutoff, double q) {
        Step(in, cutoff, q);
        return m_low;
    }
    float Band(float in, double cutoff, double q) {
        Step(in, cutoff, q);
        return m_band;
    }

private:
    void Step(float in, double cutoff, double q) {
        double f = 2.0 * std::sin(kPi * std::min(cutoff, kRate / 6.0) / kRate);
        m_low += static_cast<float>(f) * m_band;
        float high = in - m_low - static_cast<float>(1.0 / q) * m_band;
        m_band += static_cast<float>(f) * high;
    }
    float m_low = 0, m_band = 0;
};

double Envelope(double t, double attack, double decayRate) {
    if (t < attack) return t / attack;
    return std::exp(-(t - attack) * decayRate);
}

// A bell-like note: a few inharmonic partials with their own decays.
void AddBell(Wave& w, double start, double freq, double length, double gain) {
    static const double partials[][3] = {{1.0, 1.0, 3.0}, {2.0, 0.45, 5.0}, {3.01, 0.25, 8.0}, {4.2, 0.12, 12.0}};
    size_t from = static_cast<size_t>(start * kRate);
    size_t n = static_cast<size_t>(length * kRate);
    for (size_t i = 0; i < n && from + i < w.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double v = 0;
        for (const auto& p : partials) v += p[1] * std::sin(2 * kPi * freq * p[0] * t) * Envelope(t, 0.004, p[2]);
        w[from + i] += static_cast<float>(gain * v);
    }
}

// A soft triangle note with a short release, for jingles.
void AddTriangle(Wave& w, double start, double freq, double length, double gain, double vibrato = 0) {
    size_t from = static_cast<size_t>(start * kRate);
    size_t n = static_cast<size_t>(length * kRate);
    double phase = 0;
    for (size_t i = 0; i < n && from + i < w.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double f = freq * (1.0 + vibrato * std::sin(2 * kPi * 5.5 * t));
        phase += f / kRate;
        double x = phase - std::floor(phase);
        double tri = 4.0 * std::fabs(x - 0.5) - 1.0;
        double env = std::min(1.0, t / 0.01) * std::min(1.0, (length - t) / 0.06);
        w[from + i] += static_cast<float>(gain * tri * env);
    }
}

// A sine whose pitch glides exponentially from f0 to f1, with an exponential decay.
void AddGlide(Wave& w, double start, double f0, double f1, double length, double decay, double gain) {
    size_t from = static_cast<size_t>(start * kRate);
    size_t n = static_cast<size_t>(length * kRate);
    double phase = 0;
    for (size_t i = 0; i < n && from + i < w.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double f = f0 * std::pow(f1 / f0, t / length);
        phase += f / kRate;
        double env = Envelope(t, 0.002, decay) * std::min(1.0, (length - t) / 0.005);
        w[from + i] += static_cast<float>(gain * std::sin(2 * kPi * phase) * env);
    }
}

void AddNoiseBurst(Wave& w, double start, double length, double decay, double cutoff, double gain, uint32_t seed) {
    CNoise noise(seed);
    CFilter filter;
    size_t from = static_cast<size_t>(start * kRate);
    size_t n = static_cast<size_t>(length * kRate);
    for (size_t i = 0; i < n && from + i < w.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        w[from + i] += static_cast<float>(gain * filter.Low(noise.Next(), cutoff, 0.8) * Envelope(t, 0.001, decay));
    }
}

void Normalise(Wave& w, double peak) {
    float top = 0;
    for (float v : w) top = std::max(top, std::fabs(v));
    if (top <= 0) return;
    float k = static_cast<float>(peak / top);
    for (float& v : w) v *= k;
}

// Short fades at both ends so no file starts or stops with a click.
void Fade(Wave& w, double in, double out) {
    size_t a = static_cast<size_t>(in * kRate), b = static_cast<size_t>(out * kRate);
    for (size_t i = 0; i < a && i < w.size(); ++i) w[i] *= static_cast<float>(i) / a;
    for (size_t i = 0; i < b && i < w.size(); ++i) w[w.size() - 1 - i] *= static_cast<float>(i) / b;
}

void Put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    Put16(out, v & 0xFFFF);
    Put16(out, v >> 16);
}

bool WriteWav(const std::string& path, const Wave& w) {
    std::vector<uint8_t> out;
    uint32_t dataBytes = static_cast<uint32_t>(w.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    Put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    Put32(out, 16);
    Put16(out, 1);  // PCM
    Put16(out, 1);  // mono
    Put32(out, kRate);
    Put32(out, kRate * 2);
    Put16(out, 2);
    Put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    Put32(out, dataBytes);
    for (float v : w) {
        long s = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
        Put16(out, static_cast<uint16_t>(static_cast<int16_t>(s)));
    }
    return assetgen::WriteBytes(path, out.data(), out.size());
}

uint32_t OggCrc(const uint8_t* data, size_t size) {
    uint32_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= static_cast<uint32_t>(data[i]) << 24;
        for (int b = 0; b < 8; ++b) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
    }
    return crc;
}

// libsndfile picks a random stream serial number; a fixed one keeps the build reproducible.
bool FixOggSerial(std::vector<uint8_t>& ogg, uint32_t serial) {
    size_t pos = 0;
    while (pos + 27 <= ogg.size()) {
        if (memcmp(&ogg[pos], "OggS", 4) != 0) return false;
        size_t segments = ogg[pos + 26];
        if (pos + 27 + segments > ogg.size()) return false;
        size_t body = 0;
        for (size_t s = 0; s < segments; ++s) body += ogg[pos + 27 + s];
        size_t length = 27 + segments + body;
        if (pos + length > ogg.size()) return false;
        for (int i = 0; i < 4; ++i) ogg[pos + 14 + i] = static_cast<uint8_t>(serial >> (8 * i));
        for (int i = 0; i < 4; ++i) ogg[pos + 22 + i] = 0;
        uint32_t crc = OggCrc(&ogg[pos], length);
        for (int i = 0; i < 4; ++i) ogg[pos + 22 + i] = static_cast<uint8_t>(crc >> (8 * i));
        pos += length;
    }
    return pos == ogg.size();
}

bool WriteOgg(const std::string& path, const Wave& w) {
    size_t slash = path.rfind('/');
    if (slash != std::string::npos && !assetgen::MakeFolders(path.substr(0, slash))) return false;
    SF_INFO info;
    std::memset(&info, 0, sizeof(info));
    info.samplerate = kRate;
    info.channels = 1;
    info.format = SF_FORMAT_OGG | SF_FORMAT_VORBIS;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!file) return false;
    double quality = 0.6;
    sf_command(file, SFC_SET_VBR_ENCODING_QUALITY, &quality, sizeof(quality));
    bool ok = sf_writef_float(file, w.data(), static_cast<sf_count_t>(w.size())) == static_cast<sf_count_t>(w.size());
    ok = (sf_close(file) == 0) && ok;
    if (!ok) return false;
    FILE* f = fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, f)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(f);
    return FixOggSerial(bytes, 0x4B4F4C56u) && assetgen::WriteBytes(path, bytes.data(), bytes.size());
}

// ---- the sounds ----

Wave MenuMove() {  // a light tick
    Wave w = Silence(0.06);
    AddGlide(w, 0, 1500, 1300, 0.06, 70, 0.8);
    AddNoiseBurst(w, 0, 0.01, 400, 6000, 0.3, 11);
    return w;
}

Wave MenuClick() {  // a firmer click with a body
    Wave w = Silence(0.08);
    AddNoiseBurst(w, 0, 0.015, 300, 4000, 0.6, 12);
    AddGlide(w, 0, 900, 700, 0.08, 45, 0.7);
    return w;
}

Wave MenuChange() {  // a rising blip
    Wave w = Silence(0.1);
    AddGlide(w, 0, 620, 940, 0.1, 18, 0.8);
    AddGlide(w, 0, 1240, 1880, 0.1, 30, 0.2);
    return w;
}

Wave BlockPop() {  // a round pop
    Wave w = Silence(0.15);
    AddGlide(w, 0, 950, 220, 0.12, 25, 0.9);
    AddNoiseBurst(w, 0, 0.02, 250, 3000, 0.4, 13);
    return w;
}

// Praise: rising chimes, each with its own shape.
Wave Praise(const double* notes, int count, double spacing, double tail, double gain) {
    Wave w = Silence(spacing * (count - 1) + tail);
    for (int i = 0; i < count; ++i) AddBell(w, i * spacing, notes[i], tail, gain);
    return w;
}

Wave Voice1() {  // "outstanding !": a full major arpeggio to the octave
    static const double notes[] = {523.25, 659.25, 783.99, 1046.50};
    return Praise(notes, 4, 0.11, 0.6, 0.5);
}

Wave Voice2() {  // "impressive!": a fourth up, then a fifth
    static const double notes[] = {392.00, 523.25, 783.99};
    Wave w = Praise(notes, 3, 0.14, 0.6, 0.5);
    AddTriangle(w, 0.28, 392.00, 0.4, 0.15);
    return w;
}

Wave Voice3() {  // "excellent !": quick bright triad with a shimmer on top
    static const double notes[] = {659.25, 830.61, 987.77, 1318.51};
    Wave w = Praise(notes, 4, 0.07, 0.55, 0.45);
    AddGlide(w, 0.28, 2637.0, 2637.0, 0.3, 8, 0.08);
    return w;
}

Wave Voice4() {  // "Rotation bonus!": a swirl up into two chimes
    Wave w = Silence(0.9);
    AddGlide(w, 0, 300, 1200, 0.3, 3, 0.35);
    AddBell(w, 0.3, 698.46, 0.6, 0.45);
    AddBell(w, 0.42, 1046.50, 0.48, 0.45);
    return w;
}

Wave Timer() {  // a woodblock tick
    Wave w = Silence(0.05);
    AddGlide(w, 0, 2100, 1900, 0.05, 90, 0.8);
    AddGlide(w, 0, 780, 760, 0.05, 70, 0.4);
    return w;
}

Wave Drop() {  // a falling whoosh
    Wave w = Silence(0.5);
    CNoise noise(21);
    CFilter filter;
    for (size_t i = 0; i < w.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double cutoff = 3000.0 * std::pow(200.0 / 3000.0, t / 0.5);
        double env = std::sin(kPi * t / 0.5);
        w[i] = static_cast<float>(filter.Band(noise.Next(), cutoff, 2.5) * env * env);
    }
    return w;
}

Wave NextLevel() {  // an upbeat jingle ending on a held chord
    Wave w = Silence(1.0);
    const double notes[] = {523.25, 659.25, 783.99};
    for (int i = 0; i < 3; ++i) AddTriangle(w, i * 0.12, notes[i], 0.14, 0.4);
    AddTriangle(w, 0.36, 1046.50, 0.62, 0.35, 0.004);
    AddTriangle(w, 0.36, 783.99, 0.62, 0.25);
    AddTriangle(w, 0.36, 659.25, 0.62, 0.2);
    AddBell(w, 0.36, 2093.0, 0.6, 0.1);
    return w;
}

Wave BoxHit() {  // a dull thud
    Wave w = Silence(0.15);
    AddGlide(w, 0, 110, 48, 0.15, 22, 1.0);
    AddNoiseBurst(w, 0, 0.05, 70, 700, 0.6, 31);
    return w;
}

Wave Bounce(double base) {  // a springy boing
    Wave w = Silence(0.2);
    double phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double f = base * (1.0 + 0.6 * t / 0.2) * (1.0 + 0.08 * std::sin(2 * kPi * 28 * t));
        phase += f / kRate;
        w[i] = static_cast<float>(0.8 * std::sin(2 * kPi * phase) * Envelope(t, 0.003, 14));
    }
    return w;
}

Wave Bounce4() {  // a hollow knock
    Wave w = Silence(0.12);
    AddGlide(w, 0, 320, 300, 0.12, 40, 0.7);
    AddGlide(w, 0, 650, 630, 0.12, 60, 0.4);
    AddNoiseBurst(w, 0, 0.01, 500, 2500, 0.4, 41);
    return w;
}

Wave BombWait() {  // a fizzing fuse that loops without a seam
    const size_t n = kRate;  // one second
    const size_t cross = kRate / 10;
    Wave raw(n + cross);
    CNoise noise(51), crackle(52);
    CFilter filter, soften;
    for (size_t i = 0; i < raw.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        // Band-passed noise, its top rounded off so the fizz is not shrill.
        float hiss = soften.Low(filter.Band(noise.Next(), 4200 + 900 * std::sin(2 * kPi * 3 * t), 1.2), 6500, 0.7);
        float pop = crackle.Next();
        raw[i] = hiss * 0.6f + (std::fabs(pop) > 0.9985f ? pop * 0.8f : 0.0f);
    }
    // The tail past the loop point fades into the head, so the wrap is continuous.
    Wave w(raw.begin(), raw.begin() + n);
    for (size_t i = 0; i < cross; ++i) {
        float a = static_cast<float>(i) / cross;
        w[i] = w[i] * a + raw[n + i] * (1.0f - a);
    }
    return w;
}

Wave BombExplode() {  // a deep boom with a rumbling tail
    Wave w = Silence(1.5);
    CNoise noise(61);
    CFilter filter;
    for (size_t i = 0; i < w.size(); ++i) {
        double t = static_cast<double>(i) / kRate;
        double cutoff = 120 + 3500 * std::exp(-t * 6);
        double v = filter.Low(noise.Next(), cutoff, 0.9) * Envelope(t, 0.003, 2.6);
        w[i] = static_cast<float>(std::tanh(2.5 * v));
    }
    AddGlide(w, 0, 70, 32, 1.2, 3.5, 0.7);
    return w;
}

Wave Empty() {  // a short double buzz: nothing to launch
    Wave w = Silence(0.32);
    for (int k = 0; k < 2; ++k) {
        CFilter filter;
        size_t from = static_cast<size_t>(k * 0.17 * kRate);
        size_t n = static_cast<size_t>(0.13 * kRate);
        for (size_t i = 0; i < n && from + i < w.size(); ++i) {
            double t = static_cast<double>(i) / kRate;
            double x = 110.0 * t - std::floor(110.0 * t);
            double saw = 2 * x - 1;
            double env = std::min(1.0, t / 0.005) * std::min(1.0, (0.13 - t) / 0.02);
            w[from + i] += static_cast<float>(filter.Low(static_cast<float>(saw), 1400, 1.5) * env * 0.7);
        }
    }
    return w;
}

Wave GameOver() {  // a slow descending line to a low, wavering end
    Wave w = Silence(2.0);
    const double notes[] = {587.33, 523.25, 466.16, 392.00};
    for (int i = 0; i < 4; ++i) AddTriangle(w, i * 0.28, notes[i], 0.3, 0.45);
    AddTriangle(w, 1.12, 293.66, 0.88, 0.45, 0.01);
    AddTriangle(w, 1.12, 146.83, 0.88, 0.25, 0.01);
    return w;
}

struct SoundSpec {
    const char* name;
    Wave (*make)();
};

Wave Bounce1() { return Bounce(220); }
Wave Bounce2() { return Bounce(277); }
Wave Bounce3() { return Bounce(330); }

const SoundSpec kSounds[] = {
    {"menu_move.wav", MenuMove},     {"menu_click.wav", MenuClick},
    {"menu_change.wav", MenuChange}, {"animal_block_destroy.wav", BlockPop},
    {"voice1.wav", Voice1},          {"voice2.wav", Voice2},
    {"voice3.wav", Voice3},          {"voice4.wav", Voice4},
    {"timer.wav", Timer},            {"drop.wav", Drop},
    {"next_level.wav", NextLevel},   {"boxhit.wav", BoxHit},
    {"bounce1.ogg", Bounce1},        {"bounce2.ogg", Bounce2},
    {"bounce3.ogg", Bounce3},        {"bounce4.wav", Bounce4},
    {"bombwait.wav", BombWait},      {"bombexplode.wav", BombExplode},
    {"empty.wav", Empty},            {"gameover.wav", GameOver},
};

bool GenerateSounds(const std::string& dataRoot) {
    std::string folder = dataRoot + "/audio";
    if (!assetgen::MakeFolders(folder)) return false;
    bool ok = true;
    for (const SoundSpec& s : kSounds) {
        Wave w = s.make();
        Normalise(w, 0.7);
        // The loop must not fade: its ends meet each other.
        if (strcmp(s.name, "bombwait.wav") != 0) Fade(w, 0.001, 0.004);
        std::string path = folder + "/" + s.name;
        bool isOgg = path.size() > 4 && path.compare(path.size() - 4, 4, ".ogg") == 0;
        if (!(isOgg ? WriteOgg(path, w) : WriteWav(path, w))) {
            fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
            ok = false;
        }
    }
    return ok;
}

assetgen::Registrar g_SoundRegistrar("sounds", &GenerateSounds);

}  // namespace
