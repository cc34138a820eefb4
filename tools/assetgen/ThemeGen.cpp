// The shipped themes' binary files: backgrounds, sprites, logos, the night's
// sounds and each theme's two songs. Written into the theme staging folder,
// from which the build installs each theme whole.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "Generators.h"
#include "TextureGen.h"

namespace {

using namespace texgen;
const double kPi = 3.14159265358979323846;
const int kRate = 44100;

bool Report(bool ok, const std::string& path) {
    if (!ok) fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
    return ok;
}

// ---- Simple: dusk ----

Canvas DuskSky(int size) {
    Canvas c(size, size);
    const Color top = Hex(0x4A5A78), middle = Hex(0x6E6590), bottom = Hex(0xA8708F);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float t = fy / size;
        Color base = t < 0.6f ? Mix(top, middle, t / 0.6f) : Mix(middle, bottom, (t - 0.6f) / 0.4f);
        float haze = Fbm(fx / 180.0f, fy / 90.0f, 7, 4) - 0.5f;
        c.at(x, y) = Scale(base, 1.0f + 0.12f * haze);
        c.at(x, y).a = 1.0f;
    });
    return c;
}

Canvas Cloud() {
    Canvas c(256, 128);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float dx = (fx - 128.0f) / 118.0f, dy = (fy - 70.0f) / 52.0f;
        float body = 1.0f - (dx * dx + dy * dy);
        float puff = Fbm(fx / 40.0f, fy / 40.0f, 21, 4);
        float a = Clamp01((body + 0.55f * (puff - 0.5f)) * 1.6f);
        float shade = 0.88f + 0.12f * Clamp01(1.0f - fy / 128.0f);
        c.at(x, y) = Rgba(shade, shade * 0.97f, shade, a * a);
    });
    return c;
}

// 16 frames of a glow swelling and fading, 4 x 4 cells of 64 x 64.
Canvas GlowSheet() {
    Canvas c(256, 256);
    for (int frame = 0; frame < 16; ++frame) {
        float phase = 0.5f - 0.5f * std::cos(static_cast<float>(2 * kPi * frame / 16.0));
        float cx = (frame % 4) * 64 + 32.0f, cy = (frame / 4) * 64 + 32.0f;
        float radius = 14.0f + 10.0f * phase;
        c.ForEach(
            [&](int x, int y, float fx, float fy) {
                float d = std::hypot(fx - cx, fy - cy), r = d / radius;
                float a = std::exp(-r * r) * (0.55f + 0.45f * phase) * FadeOut(d, 20.0f, 30.0f);
                c.at(x, y) = Rgba(1.0f, 0.86f, 0.95f, a);
            },
            (frame % 4) * 64, (frame / 4) * 64, (frame % 4) * 64 + 64, (frame / 4) * 64 + 64);
    }
    return c;
}

// ---- Night Sky ----

Canvas StarrySky(int size) {
    Canvas c(size, size);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float t = fy / size;
        Color base = Mix(Hex(0x050A24), Hex(0x14285A), t);
        float veil = Fbm(fx / 260.0f + 3.0f, fy / 140.0f, 5, 5);
        c.at(x, y) = Mix(base, Hex(0x2A3C78), 0.35f * Smoothstep(0.45f, 0.9f, veil));
        c.at(x, y).a = 1.0f;
    });
    for (uint32_t i = 0; i < 900; ++i) {
        float x = Hash(i, 1, 77) * size, y = Hash(i, 2, 77) * size;
        float bright = 0.25f + 0.75f * std::pow(Hash(i, 3, 77), 3.0f);
        AddGlow(c, x, y, 0.8f + 1.2f * bright, Rgba(0.85f, 0.9f, 1.0f), bright);
    }
    return c;
}

// Frame n of a star's twinkle: the rays lengthen and shorten over eight frames.
Canvas Star(int frame) {
    Canvas c(32, 32);
    float phase = 0.5f - 0.5f * std::cos(static_cast<float>(2 * kPi * frame / 8.0));
    c.ForEach([&](int x, int y, float fx, float fy) {
        float dx = std::fabs(fx - 16.0f), dy = std::fabs(fy - 16.0f);
        float core = std::exp(-(dx * dx + dy * dy) / (4.0f + 4.0f * phase));
        float rays = std::exp(-dy * dy / 0.8f) * std::exp(-dx / (3.0f + 9.0f * phase)) +
                     std::exp(-dx * dx / 0.8f) * std::exp(-dy / (3.0f + 9.0f * phase));
        float a = Clamp01(core + 0.7f * rays) * FadeOut(std::hypot(dx, dy), 9.0f, 14.0f);
        c.at(x, y) = Rgba(0.9f, 0.95f, 1.0f, a);
    });
    return c;
}

Canvas Moon() {
    Canvas c(128, 128);
    c.ForEach([&](int x, int y, float fx, float fy) {
        float d = SdCircle(fx, fy, 64, 64, 44);
        float halo = std::exp(-std::pow(std::max(0.0f, d) / 14.0f, 2.0f)) * 0.35f * FadeOut(d, 6.0f, 17.0f);
        float crater = Fbm(fx / 14.0f, fy / 14.0f, 31, 3);
        float shade = 0.82f + 0.18f * crater - 0.2f * Clamp01((fx - 40.0f) / 90.0f);
        Color disc = Rgba(shade, shade * 0.97f, shade * 0.86f, 1.0f);
        float cover = Coverage(d);
        c.at(x, y) = Rgba(disc.r * cover + 0.9f * (1 - cover), disc.g * cover + 0.9f * (1 - cover),
                          disc.b * cover + 0.8f * (1 - cover), Clamp01(cover + halo));
    });
    return c;
}

// The theme page draws the logo at 0.9 of its size on an 800 x 600 screen from
// (0.61, 0.4): 256 x 128 ends well above "Random theme on startup" at 0.75.
Canvas Logo(bool night, int w, int h) {
    Canvas c = night ? StarrySky(w > h ? w : h) : DuskSky(w > h ? w : h);
    Canvas out(w, h);
    out.ForEach([&](int x, int y, float fx, float fy) {
        out.at(x, y) = c.at(x, y);
        float r = std::min(w, h) * 0.28f;
        if (night) {
            out.at(x, y) = Mix(out.at(x, y), Hex(0xF2EEDC), Coverage(SdCircle(fx, fy, w * 0.65f, h * 0.4f, r)));
        } else {
            float d = SdCircle(fx, fy, w * 0.5f, h * 0.62f, r);
            out.at(x, y) = Mix(out.at(x, y), Hex(0xFFD8B0), Coverage(d) * 0.9f);
            out.at(x, y).a = 1.0f;
        }
    });
    return out;
}

// ---- sounds ----

std::vector<float> Owl() {
    std::vector<float> w(static_cast<size_t>(1.6 * kRate), 0.0f);
    const double starts[3] = {0.0, 0.45, 0.7};
    const double lengths[3] = {0.35, 0.18, 0.5};
    for (int k = 0; k < 3; ++k) {
        for (size_t i = 0; i < static_cast<size_t>(lengths[k] * kRate); ++i) {
            double t = static_cast<double>(i) / kRate;
            double env = std::sin(kPi * t / lengths[k]);
            double f = 390.0 - 30.0 * t / lengths[k];
            double v = env * env * (std::sin(2 * kPi * f * t) + 0.2 * std::sin(4 * kPi * f * t));
            w[static_cast<size_t>(starts[k] * kRate) + i] += static_cast<float>(0.5 * v);
        }
    }
    return w;
}

bool WriteWav(const std::string& path, const std::vector<float>& w) {
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    const uint32_t data = static_cast<uint32_t>(w.size() * 2);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put(36 + data, 4);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put(16, 4), put(1, 2), put(1, 2), put(kRate, 4), put(kRate * 2, 4), put(2, 2), put(16, 2);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put(data, 4);
    for (float v : w) put(static_cast<uint16_t>(static_cast<int16_t>(std::lround(std::fmax(-1.0f, std::fmin(1.0f, v)) * 32767))), 2);
    return assetgen::WriteBytes(path, out.data(), out.size());
}

// Wind: filtered noise swelling in gusts; the loop's ends meet.
bool WriteWind(const std::string& path) {
    const size_t n = static_cast<size_t>(8.0 * kRate);
    std::vector<float> left(n), right(n);
    uint32_t state = 99;
    float lowL = 0, lowR = 0, bandL = 0, bandR = 0;
    for (int pass = 0; pass < 2; ++pass) {  // the second pass starts from the first's end state
        for (size_t i = 0; i < n; ++i) {
            state = state * 1664525u + 1013904223u;
            float a = static_cast<float>((state >> 8) & 0xFFFF) / 32768.0f - 1.0f;
            state = state * 1664525u + 1013904223u;
            float b = static_cast<float>((state >> 8) & 0xFFFF) / 32768.0f - 1.0f;
            double t = static_cast<double>(i) / n;
            double gust = 0.55 + 0.45 * std::sin(2 * kPi * t) * std::sin(2 * kPi * 3 * t + 1.0);
            float f = static_cast<float>(0.01 + 0.02 * gust);
            lowL += f * bandL, bandL += f * (a - lowL - 1.4f * bandL);
            lowR += f * bandR, bandR += f * (b - lowR - 1.4f * bandR);
            left[i] = static_cast<float>(gust * lowL * 3.0);
            right[i] = static_cast<float>(gust * lowR * 3.0);
        }
    }
    std::string bytes;
    return assetgen::EncodeOgg(left, right, "Wind", bytes) && assetgen::WriteBytes(path, bytes.data(), bytes.size());
}

// A soft pad song for the night, as a stream.
bool WriteNightStream(const std::string& path) {
    const int chords[4][4] = {{45, 52, 57, 60}, {41, 48, 53, 57}, {43, 50, 55, 59}, {40, 47, 52, 56}};
    const double chordSeconds = 5.0;
    const size_t n = static_cast<size_t>((4 * chordSeconds + 2.0) * kRate);
    std::vector<float> left(n, 0.0f), right(n, 0.0f);
    for (int c = 0; c < 4; ++c) {
        for (int k = 0; k < 4; ++k) {
            double hz = 440.0 * std::pow(2.0, (chords[c][k] - 69) / 12.0);
            double pan = 0.25 + 0.17 * k;
            size_t from = static_cast<size_t>(c * chordSeconds * kRate);
            size_t count = static_cast<size_t>((chordSeconds + 2.0) * kRate);
            for (size_t i = 0; i < count && from + i < n; ++i) {
                double t = static_cast<double>(i) / kRate;
                double env = std::min(1.0, t / 1.2) * std::exp(-std::max(0.0, t - chordSeconds) * 2.5);
                double v = env * 0.12 * (std::sin(2 * kPi * hz * t) + 0.3 * std::sin(2 * kPi * hz * 2.003 * t));
                left[from + i] += static_cast<float>(v * (1 - pan));
                right[from + i] += static_cast<float>(v * pan);
            }
        }
    }
    std::string bytes;
    return assetgen::EncodeOgg(left, right, "Night Air", bytes) &&
           assetgen::WriteBytes(path, bytes.data(), bytes.size());
}

// ---- songs ----

using assetgen::SongChord;
const SongChord kC{48, {60, 64, 67}}, kAm{45, {57, 60, 64}}, kF{41, {53, 57, 60}}, kG{43, {55, 59, 62}},
    kEm{40, {52, 55, 59}}, kDm{38, {50, 53, 57}};
const int q = 480, e = 240, h = 960, w = 1920;

std::string DuskMidi() {
    assetgen::MidiTune tune{84, {46, 32, 71}, {kF, kC, kDm, kG, kF, kC, kG, kC, kAm, kEm, kF, kC, kDm, kG, kC}, 2,
                            {{{72, q}, {74, e}, {76, e}, {79, h}},
                             {{77, q}, {76, q}, {74, h}},
                             {{72, q}, {76, q}, {79, q}, {81, q}},
                             {{79, w}},
                             {{76, q}, {77, e}, {79, e}, {84, h}},
                             {{83, q}, {79, q}, {76, h}},
                             {{77, q}, {76, q}, {74, q}, {71, q}},
                             {{72, w}}}};
    return assetgen::MidiSong(tune);
}

std::string NightMidi() {
    assetgen::MidiTune tune{72, {88, 42, 11}, {kAm, kF, kC, kG, kAm, kDm, kEm, kAm, kF, kG, kAm, kAm}, 2,
                            {{{69, h}, {72, q}, {76, q}},
                             {{74, q}, {72, q}, {69, h}},
                             {{67, q}, {69, q}, {72, h}},
                             {{71, w}},
                             {{76, h}, {74, q}, {72, q}},
                             {{71, q}, {72, q}, {74, h}},
                             {{69, w}}}};
    return assetgen::MidiSong(tune);
}

std::string DuskModule() {
    assetgen::ModuleTune tune;
    tune.title = "dusk drift";
    const SongChord chords[4] = {kF, kC, kDm, kG}, endChords[4] = {kF, kG, kG, kC};
    const std::vector<assetgen::SongTone> a[4] = {{{72, 4}, {76, 4}, {77, 4}, {76, 4}},
                                                  {{74, 6}, {72, 2}, {67, 8}},
                                                  {{69, 4}, {72, 4}, {74, 4}, {77, 4}},
                                                  {{79, 12}, {74, 4}}};
    const std::vector<assetgen::SongTone> b[4] = {{{81, 4}, {79, 2}, {77, 2}, {76, 8}},
                                                  {{79, 4}, {76, 4}, {72, 8}},
                                                  {{74, 2}, {77, 2}, {81, 4}, {79, 8}},
                                                  {{74, 8}, {79, 8}}};
    const std::vector<assetgen::SongTone> end[4] = {{{77, 16}}, {{74, 16}}, {{79, 8}, {74, 8}}, {{72, 16}}};
    for (int i = 0; i < 4; ++i) {
        tune.chords[i] = chords[i];
        tune.endChords[i] = endChords[i];
        tune.melodyA[i] = a[i];
        tune.melodyB[i] = b[i];
        tune.ending[i] = end[i];
    }
    return assetgen::ModuleSong(tune);
}

bool WriteSong(const std::string& path, const std::string& bytes) {
    return Report(assetgen::WriteBytes(path, bytes.data(), bytes.size()), path);
}

bool Generate(const std::string&) {
    const std::string root = assetgen::ThemeRoot();
    if (root.empty()) return true;  // not asked for
    const std::string simple = root + "/simple", night = root + "/nightsky";
    if (!assetgen::MakeFolders(simple) || !assetgen::MakeFolders(night)) return false;
    bool ok = true;
    ok &= Report(WriteJpg(simple + "/background.jpg", DuskSky(1024), 90), simple + "/background.jpg");
    ok &= Report(WritePng(simple + "/cloud.png", Cloud(), true), simple + "/cloud.png");
    ok &= Report(WritePng(simple + "/glow.png", GlowSheet(), true), simple + "/glow.png");
    ok &= Report(WritePng(simple + "/logo.png", Logo(false, 256, 128), false), simple + "/logo.png");
    ok &= Report(WriteBmp(simple + "/logo.bmp", Logo(false, 200, 150)), simple + "/logo.bmp");
    ok &= WriteSong(simple + "/dusk.mid", DuskMidi());
    ok &= WriteSong(simple + "/drift.mod", DuskModule());

    ok &= Report(WriteJpg(night + "/background.jpg", StarrySky(1024), 90), night + "/background.jpg");
    for (int i = 0; i < 8; ++i) {
        char name[32];
        snprintf(name, sizeof name, "/star%02d.png", i + 1);
        ok &= Report(WritePng(night + name, Star(i), true), night + name);
    }
    ok &= Report(WritePng(night + "/moon.png", Moon(), true), night + "/moon.png");
    ok &= Report(WritePng(night + "/logo.png", Logo(true, 256, 128), false), night + "/logo.png");
    ok &= Report(WriteBmp(night + "/logo.bmp", Logo(true, 200, 150)), night + "/logo.bmp");
    ok &= Report(WriteWav(night + "/owl.wav", Owl()), night + "/owl.wav");
    ok &= Report(WriteWind(night + "/wind.ogg"), night + "/wind.ogg");
    ok &= WriteSong(night + "/nocturne.mid", NightMidi());
    ok &= Report(WriteNightStream(night + "/night_air.ogg"), night + "/night_air.ogg");
    return ok;
}

assetgen::Registrar g_registrar("themes", Generate);

}  // namespace
