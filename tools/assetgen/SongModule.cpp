// A four-channel tracker module ("M.K." format) with synthesised instruments:
// plucked lead and arpeggio, a round bass, kick, snare and hi-hat.
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "Generators.h"

namespace {

const double kPi = 3.14159265358979323846;
const double kRate = 8287.0;  // the playback rate of note C-2
const int kRows = 64;

class Noise {
public:
    double Next() {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<double>((m_state >> 9) & 0xFFFF) / 32768.0 - 1.0;
    }

private:
    uint32_t m_state = 12345u;
};

struct Sample {
    std::string name;
    std::vector<double> wave;
    int volume;
};

std::vector<int8_t> ToBytes(const std::vector<double>& wave) {
    double peak = 1e-9;
    for (double v : wave) peak = std::max(peak, std::fabs(v));
    std::vector<int8_t> out;
    for (double v : wave) out.push_back(static_cast<int8_t>(std::lround(v / peak * 110.0)));
    if (out.size() % 2) out.push_back(0);
    out[0] = out[1] = 0;  // the first word is the silent loop of an unlooped sample
    return out;
}

// Karplus-Strong string: a noise burst fed through a damped delay line.
std::vector<double> Pluck(int period, int length, double damping, Noise& noise) {
    std::vector<double> y(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        if (i < period)
            y[i] = noise.Next();
        else
            y[i] = damping * 0.5 * (y[i - period] + y[i - period - (i > period ? 1 : 0)]);
    }
    return y;
}

std::vector<double> Bass(int length) {
    std::vector<double> y(static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        double phase = 2 * kPi * i / 64.0;
        double env = std::exp(-i / 2600.0) * std::min(1.0, i / 40.0);
        y[i] = env * (std::sin(phase) + 0.35 * std::sin(2 * phase) + 0.1 * std::sin(3 * phase));
    }
    return y;
}

std::vector<double> Kick() {
    std::vector<double> y(1600);
    double phase = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        double t = i / kRate;
        phase += 2 * kPi * (45.0 + 140.0 * std::exp(-t * 30.0)) / kRate;
        y[i] = std::sin(phase) * std::exp(-t * 9.0);
    }
    return y;
}

std::vector<double> Snare(Noise& noise) {
    std::vector<double> y(1800);
    for (size_t i = 0; i < y.size(); ++i) {
        double t = i / kRate;
        y[i] = (0.7 * noise.Next() + 0.5 * std::sin(2 * kPi * 185.0 * t)) * std::exp(-t * 16.0);
    }
    return y;
}

std::vector<double> Hat(Noise& noise) {
    std::vector<double> y(700);
    double prev = 0;
    for (size_t i = 0; i < y.size(); ++i) {
        double n = noise.Next();
        y[i] = (n - prev) * std::exp(-static_cast<double>(i) / 120.0);  // a difference brightens the noise
        prev = n;
    }
    return y;
}

// Periods of octaves 1 to 3, C to B.
const int kPeriods[36] = {856, 808, 762, 720, 678, 640, 604, 570, 538, 508, 480, 453,
                          428, 404, 381, 360, 339, 320, 302, 285, 269, 254, 240, 226,
                          214, 202, 190, 180, 170, 160, 151, 143, 135, 127, 120, 113};

// A note of the module's scale: 48 is C-1, 83 is B-3.
int Period(int note) {
    if (note < 48) note += 12 * ((48 - note + 11) / 12);
    if (note > 83) note -= 12 * ((note - 83 + 11) / 12);
    return kPeriods[note - 48];
}

enum { kLead = 1, kBassSample, kKick, kSnare, kArp, kHat };

struct Cell {
    int sample = 0;
    int period = 0;
    int effect = 0;
    int param = 0;
};

struct Pattern {
    Cell cells[kRows][4];
    void Put(int row, int ch, int sample, int note, int effect = 0, int param = 0) {
        cells[row][ch] = {sample, note ? Period(note) : 0, effect, param};
    }
};

using Chord = assetgen::SongChord;
using Tone = assetgen::SongTone;  // length in rows
const Chord kAm{45, {57, 60, 64}}, kF{41, {53, 57, 60}}, kC{48, {55, 60, 64}}, kG{43, {55, 59, 62}};

// Lead plays an octave above its module note (16-sample cycle), bass an octave
// below (64-sample cycle), arpeggio as written (32-sample cycle).
void Bar(Pattern& p, int bar, const Chord& c, const std::vector<Tone>& melody, bool drums, bool ending) {
    int base = bar * 16;
    int row = base;
    for (const Tone& t : melody) {
        if (t.key) p.Put(row, 0, kLead, t.key - 12);
        row += t.length;
    }
    const int bassRows[4] = {0, 6, 8, 12};
    if (!ending) {
        for (int r : bassRows) p.Put(base + r, 1, kBassSample, c.bass + 12);
        const int arp[4] = {c.notes[0], c.notes[1], c.notes[2], c.notes[1]};
        for (int r = 0; r < 16; ++r) p.Put(base + r, 3, kArp, arp[r % 4] + (r >= 8 ? 12 : 0), 0xC, r % 4 ? 18 : 26);
    } else {
        p.Put(base, 1, kBassSample, c.bass + 12);
        p.Put(base, 3, kArp, c.notes[0]);
    }
    if (drums) {
        p.Put(base + 0, 2, kKick, 60);
        p.Put(base + 2, 2, kHat, 72);
        p.Put(base + 4, 2, kSnare, 60);
        p.Put(base + 6, 2, kHat, 72);
        p.Put(base + 8, 2, kKick, 60);
        p.Put(base + 10, 2, kKick, 60);
        p.Put(base + 12, 2, kSnare, 60);
        p.Put(base + 14, 2, kHat, 72);
    } else if (!ending) {
        for (int r = 2; r < 16; r += 4) p.Put(base + r, 2, kHat, 72);
    }
}

std::string Module() {
    assetgen::ModuleTune tune;
    tune.title = "evening circuit";
    const Chord prog[4] = {kAm, kF, kC, kG};
    const std::vector<Tone> melodyA[4] = {
        {{69, 4}, {72, 2}, {76, 2}, {81, 4}, {79, 4}},
        {{77, 6}, {76, 2}, {72, 4}, {69, 4}},
        {{67, 2}, {72, 2}, {76, 4}, {79, 4}, {76, 4}},
        {{74, 8}, {71, 4}, {67, 4}}};
    const std::vector<Tone> melodyB[4] = {
        {{76, 2}, {81, 2}, {84, 4}, {83, 2}, {81, 2}, {76, 4}},
        {{77, 4}, {81, 4}, {84, 4}, {81, 4}},
        {{79, 6}, {76, 2}, {72, 4}, {76, 4}},
        {{74, 4}, {79, 4}, {83, 8}}};
    const Chord endProg[4] = {kAm, kF, kG, kAm};
    const std::vector<Tone> ending[4] = {{{81, 16}}, {{77, 16}}, {{79, 8}, {83, 8}}, {{81, 16}}};
    for (int i = 0; i < 4; ++i) {
        tune.chords[i] = prog[i];
        tune.melodyA[i] = melodyA[i];
        tune.melodyB[i] = melodyB[i];
        tune.endChords[i] = endProg[i];
        tune.ending[i] = ending[i];
    }
    return assetgen::ModuleSong(tune);
}

bool Generate(const std::string& root) {
    std::string mod = Module();
    return assetgen::WriteBytes(root + "/music/circuit.mod", mod.data(), mod.size());
}

assetgen::Registrar g_registrar("tracker module", Generate);

}  // namespace

std::string assetgen::ModuleSong(const ModuleTune& tune) {
    Noise noise;
    std::vector<Sample> samples = {
        {"pluck lead", Pluck(16, 5200, 0.997, noise), 46},
        {"round bass", Bass(7000), 60},
        {"kick", Kick(), 64},
        {"snare", Snare(noise), 40},
        {"pluck arp", Pluck(32, 4200, 0.995, noise), 30},
        {"hat", Hat(noise), 22},
    };

    std::vector<Pattern> patterns(4);
    for (int bar = 0; bar < 4; ++bar) {
        Bar(patterns[0], bar, tune.chords[bar], {}, bar >= 2, false);
        Bar(patterns[1], bar, tune.chords[bar], tune.melodyA[bar], true, false);
        Bar(patterns[2], bar, tune.chords[bar], tune.melodyB[bar], true, false);
    }
    for (int bar = 0; bar < 4; ++bar)
        Bar(patterns[3], bar, tune.endChords[bar], tune.ending[bar], bar < 3, bar == 3);
    patterns[0].cells[0][0].effect = 0xF;  // speed 6 ticks per row
    patterns[0].cells[0][0].param = 6;
    const std::vector<int> order = {0, 1, 2, 1, 3};

    std::string out;
    auto be16 = [&](int v) {
        out.push_back(static_cast<char>((v >> 8) & 0xFF));
        out.push_back(static_cast<char>(v & 0xFF));
    };
    std::string title = tune.title;
    title.resize(20, '\0');
    out += title;
    std::vector<std::vector<int8_t>> data;
    for (int i = 0; i < 31; ++i) {
        std::string name;
        int words = 0, volume = 0;
        if (i < static_cast<int>(samples.size())) {
            name = samples[i].name;
            data.push_back(ToBytes(samples[i].wave));
            words = static_cast<int>(data.back().size() / 2);
            volume = samples[i].volume;
        }
        name.resize(22, '\0');
        out += name;
        be16(words);
        out.push_back(0);  // finetune
        out.push_back(static_cast<char>(volume));
        be16(0);  // no loop
        be16(1);
    }
    out.push_back(static_cast<char>(order.size()));
    out.push_back(127);
    for (int i = 0; i < 128; ++i) out.push_back(static_cast<char>(i < static_cast<int>(order.size()) ? order[i] : 0));
    out += "M.K.";
    for (const Pattern& p : patterns) {
        for (int r = 0; r < kRows; ++r) {
            for (int ch = 0; ch < 4; ++ch) {
                const Cell& c = p.cells[r][ch];
                out.push_back(static_cast<char>((c.sample & 0xF0) | ((c.period >> 8) & 0x0F)));
                out.push_back(static_cast<char>(c.period & 0xFF));
                out.push_back(static_cast<char>(((c.sample & 0x0F) << 4) | (c.effect & 0x0F)));
                out.push_back(static_cast<char>(c.param));
            }
        }
    }
    for (const auto& d : data) out.append(reinterpret_cast<const char*>(d.data()), d.size());
    return out;
}


