// Two short General MIDI songs for the playlists: a calm one in C major and a
// livelier one in A minor. Format 0, 480 ticks per quarter note.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "Generators.h"

namespace {

const int kDivision = 480;
const int kQ = kDivision, kE = kDivision / 2, kS = kDivision / 4, kH = 2 * kDivision, kW = 4 * kDivision;
const int kBar = kW;

struct Event {
    uint32_t tick;
    int order;  // 0 meta/program, 1 note off, 2 note on
    std::string bytes;
};

class Song {
public:
    void Tempo(int bpm) {
        uint32_t us = 60000000u / static_cast<uint32_t>(bpm);
        Add(0, 0, {char(0xFF), 0x51, 3, char(us >> 16), char(us >> 8), char(us)});
    }
    void Program(int ch, int program) { Add(0, 0, {char(0xC0 | ch), char(program)}); }
    void Control(int ch, int cc, int value) { Add(0, 0, {char(0xB0 | ch), char(cc), char(value)}); }
    void Note(int ch, int key, uint32_t at, uint32_t length, int velocity) {
        if (key <= 0) return;  // a rest
        Add(at, 2, {char(0x90 | ch), char(key), char(velocity)});
        Add(at + length, 1, {char(0x80 | ch), char(key), 0});
    }
    std::string Bytes() {
        std::stable_sort(m_events.begin(), m_events.end(), [](const Event& a, const Event& b) {
            return a.tick != b.tick ? a.tick < b.tick : a.order < b.order;
        });
        std::string track;
        uint32_t last = 0;
        for (const Event& e : m_events) {
            Delta(track, e.tick - last);
            last = e.tick;
            track += e.bytes;
        }
        Delta(track, kQ);
        track += std::string("\xFF\x2F\x00", 3);
        std::string out = "MThd";
        Be(out, 6, 4);
        Be(out, 0, 2);
        Be(out, 1, 2);
        Be(out, kDivision, 2);
        out += "MTrk";
        Be(out, static_cast<uint32_t>(track.size()), 4);
        return out + track;
    }

private:
    void Add(uint32_t tick, int order, std::string bytes) { m_events.push_back({tick, order, std::move(bytes)}); }
    static void Delta(std::string& out, uint32_t d) {
        char buf[5];
        int n = 0;
        buf[n++] = static_cast<char>(d & 0x7F);
        while (d >>= 7) buf[n++] = static_cast<char>(0x80 | (d & 0x7F));
        while (n--) out.push_back(buf[n]);
    }
    static void Be(std::string& out, uint32_t v, int n) {
        for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }
    std::vector<Event> m_events;
};

struct Chord {
    int bass;
    int notes[3];
};

const Chord kC{48, {60, 64, 67}}, kAm{45, {57, 60, 64}}, kF{41, {53, 57, 60}}, kG{43, {55, 59, 62}},
    kDm{38, {50, 53, 57}}, kEm{40, {52, 55, 59}}, kEmaj{40, {52, 56, 59}};

struct Tone {
    int key;  // 0 is a rest
    int length;
};

// Lays a melody out bar after bar from the given start.
void Melody(Song& song, int ch, uint32_t start, const std::vector<std::vector<Tone>>& bars, int velocity) {
    uint32_t at = start;
    for (const auto& bar : bars) {
        uint32_t t = at;
        for (const Tone& tone : bar) {
            song.Note(ch, tone.key, t, tone.length - 10, velocity);
            t += tone.length;
        }
        at += kBar;
    }
}

std::string Morning() {
    Song s;
    s.Tempo(96);
    s.Program(0, 0);   // piano
    s.Program(1, 32);  // acoustic bass
    s.Program(2, 73);  // flute
    s.Control(0, 91, 50);
    s.Control(2, 91, 70);
    const Chord prog[16] = {kC, kAm, kF, kG, kC, kAm, kDm, kG, kF, kG, kEm, kAm, kF, kG, kC, kC};
    for (int bar = 0; bar < 16; ++bar) {
        const Chord& c = prog[bar];
        uint32_t at = static_cast<uint32_t>(bar) * kBar;
        const int arp[8] = {c.notes[0], c.notes[1], c.notes[2], c.notes[0] + 12,
                            c.notes[2], c.notes[1], c.notes[2], c.notes[1]};
        if (bar < 15) {
            for (int i = 0; i < 8; ++i) s.Note(0, arp[i], at + i * kE, kE + kS, i % 4 == 0 ? 64 : 52);
            s.Note(1, c.bass, at, kQ + kE - 20, 84);
            s.Note(1, c.bass + 7, at + kQ + kE, kE - 20, 70);
            s.Note(1, c.bass, at + kH, kH - 20, 78);
        } else {
            for (int n : c.notes) s.Note(0, n, at, kW, 60);
            s.Note(0, c.notes[0] + 12, at, kW, 60);
            s.Note(1, c.bass, at, kW, 80);
        }
        if (bar >= 4 && bar < 15) {
            for (int i = 0; i < 8; ++i) s.Note(9, 42, at + i * kE, kS, i % 2 ? 30 : 42);
            s.Note(9, 36, at, kS, 70);
            s.Note(9, 36, at + kH, kS, 62);
            s.Note(9, 37, at + kQ, kS, 48);
            s.Note(9, 37, at + 3 * kQ, kS, 48);
        }
        if (bar == 15) s.Note(9, 49, at, kH, 60);
    }
    const int q = kQ, e = kE, h = kH, dq = kQ + kE, dh = kH + kQ;
    Melody(s, 2, 0,
           {{{76, q}, {79, q}, {76, e}, {74, e}, {72, q}},
            {{72, q}, {76, q}, {81, h}},
            {{81, dq}, {79, e}, {77, q}, {81, q}},
            {{79, h}, {74, q}, {71, q}},
            {{72, q}, {76, e}, {79, e}, {84, h}},
            {{83, e}, {81, e}, {79, q}, {76, h}},
            {{77, q}, {76, e}, {74, e}, {81, q}, {77, q}},
            {{74, dh}, {0, q}},
            {{81, q}, {84, q}, {81, q}, {77, q}},
            {{79, q}, {83, q}, {86, h}},
            {{88, dq}, {86, e}, {83, q}, {79, q}},
            {{81, h}, {76, h}},
            {{77, q}, {81, q}, {84, q}, {81, q}},
            {{83, q}, {86, q}, {79, h}},
            {{76, q}, {74, e}, {76, e}, {79, q}, {76, q}},
            {{72, kW}}},
           78);
    return s.Bytes();
}

std::string Night() {
    Song s;
    s.Tempo(112);
    s.Program(0, 4);   // electric piano
    s.Program(1, 48);  // strings
    s.Program(2, 33);  // fingered bass
    s.Program(3, 11);  // vibraphone
    s.Control(0, 91, 60);
    s.Control(1, 91, 80);
    s.Control(3, 91, 70);
    s.Control(0, 10, 40);
    s.Control(3, 10, 88);
    const Chord prog[16] = {kAm, kF, kC, kG, kAm, kF, kC, kG, kDm, kAm, kDm, kEmaj, kAm, kF, kG, kAm};
    for (int bar = 0; bar < 16; ++bar) {
        const Chord& c = prog[bar];
        uint32_t at = static_cast<uint32_t>(bar) * kBar;
        bool last = bar == 15;
        const int arp[4] = {c.notes[0], c.notes[1], c.notes[2], c.notes[1] + 12};
        if (!last) {
            for (int i = 0; i < 16; ++i) s.Note(0, arp[i % 4], at + i * kS, kS, i % 4 == 0 ? 58 : 44);
            for (int i = 0; i < 8; ++i) s.Note(2, c.bass + (i == 7 ? 12 : 0), at + i * kE, kE - 30, i % 2 ? 64 : 80);
        } else {
            s.Note(2, c.bass, at, kW, 80);
            s.Note(0, arp[0], at, kW, 58);
        }
        for (int n : c.notes) s.Note(1, n, at, kW - 10, 40);
        if (bar >= 2 && !last) {
            for (int i = 0; i < 8; ++i) s.Note(9, i == 7 ? 46 : 42, at + i * kE, kS, i % 2 ? 34 : 46);
        }
        if (bar >= 4 && !last) {
            s.Note(9, 36, at, kS, 80);
            s.Note(9, 36, at + kQ + kE, kS, 64);
            s.Note(9, 36, at + kH, kS, 76);
            s.Note(9, 38, at + kQ, kS, 60);
            s.Note(9, 38, at + 3 * kQ, kS, 60);
        }
        if (last) {
            s.Note(9, 49, at, kH, 64);
            s.Note(9, 36, at, kS, 80);
        }
    }
    const int q = kQ, e = kE, h = kH, dq = kQ + kE;
    Melody(s, 3, 4 * kBar,
           {{{69, q}, {72, e}, {76, e}, {81, q}, {79, q}},
            {{77, dq}, {76, e}, {72, q}, {69, q}},
            {{67, e}, {72, e}, {76, q}, {79, q}, {76, q}},
            {{74, h}, {71, q}, {67, q}},
            {{77, q}, {81, q}, {86, q}, {84, e}, {81, e}},
            {{76, h}, {72, q}, {76, q}},
            {{77, q}, {76, q}, {74, q}, {77, q}},
            {{80, h}, {83, q}, {76, q}},
            {{81, q}, {76, q}, {72, q}, {76, q}},
            {{77, q}, {81, q}, {84, h}},
            {{83, q}, {86, q}, {83, q}, {79, q}},
            {{81, kW}}},
           84);
    return s.Bytes();
}

bool Generate(const std::string& root) {
    std::string morning = Morning(), night = Night();
    return assetgen::WriteBytes(root + "/music/morning.mid", morning.data(), morning.size()) &&
           assetgen::WriteBytes(root + "/music/night.mid", night.data(), night.size());
}

assetgen::Registrar g_registrar("midi songs", Generate);

}  // namespace

// A theme's song in the shape of the playlist songs: broken chords, a walking
// bass, light drums after the first bars and the melody on top.
std::string assetgen::MidiSong(const MidiTune& tune) {
    Song s;
    s.Tempo(tune.bpm);
    for (int ch = 0; ch < 3; ++ch) {
        s.Program(ch, tune.programs[ch]);
        s.Control(ch, 91, 64);
    }
    const int bars = static_cast<int>(tune.chords.size());
    for (int bar = 0; bar < bars; ++bar) {
        const SongChord& c = tune.chords[static_cast<size_t>(bar)];
        const uint32_t at = static_cast<uint32_t>(bar) * kBar;
        if (bar + 1 == bars) {
            for (int n : c.notes) s.Note(0, n, at, kW, 56);
            s.Note(1, c.bass, at, kW, 76);
            continue;
        }
        const int arp[4] = {c.notes[0], c.notes[1], c.notes[2], c.notes[1] + 12};
        for (int i = 0; i < 8; ++i) s.Note(0, arp[i % 4], at + i * kE, kE + kS, i % 4 == 0 ? 60 : 46);
        s.Note(1, c.bass, at, kH - 20, 80);
        s.Note(1, c.bass + 7, at + kH, kQ - 20, 70);
        s.Note(1, c.bass + 12, at + kH + kQ, kQ - 20, 66);
        if (bar >= 2) {
            for (int i = 0; i < 4; ++i) s.Note(9, 42, at + i * kQ, kS, 36);
            s.Note(9, 36, at, kS, 64);
            s.Note(9, 38, at + kH, kS, 50);
        }
    }
    std::vector<std::vector<Tone>> melody;
    for (const auto& bar : tune.melody) {
        melody.emplace_back();
        for (const SongTone& t : bar) melody.back().push_back({t.key, t.length});
    }
    Melody(s, 2, static_cast<uint32_t>(tune.melodyBar) * kBar, melody, 80);
    return s.Bytes();
}
