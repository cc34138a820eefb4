#include "MidiFile.h"

#include <algorithm>

namespace dmusic {

namespace {

constexpr int32_t kPpq = 768;
constexpr size_t kMaxEvents = 4u << 20;  // far beyond any song; bounds a hostile file

struct Reader {
    const uint8_t* p;
    const uint8_t* end;
    bool ok = true;

    size_t left() const { return static_cast<size_t>(end - p); }
    uint8_t byte() {
        if (p >= end) {
            ok = false;
            return 0;
        }
        return *p++;
    }
    uint32_t be(int n) {
        uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = (v << 8) | byte();
        return v;
    }
    // Variable-length quantity: at most four bytes.
    uint32_t vlq() {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            uint8_t b = byte();
            v = (v << 7) | (b & 0x7F);
            if (!(b & 0x80)) return v;
        }
        ok = false;
        return 0;
    }
    void skip(uint32_t n) {
        if (n > left()) {
            ok = false;
            p = end;
        } else {
            p += n;
        }
    }
};

int DataBytes(uint8_t status) {
    switch (status & 0xF0) {
        case 0xC0:
        case 0xD0: return 1;
        default: return 2;
    }
}

// Tempo changes first, then controls, then note-offs, then note-ons, so a
// note struck again on the same tick is not cut by its own release.
int Order(const MidiEvent& e) {
    if (e.status == 0xFF) return 0;
    uint8_t kind = e.status & 0xF0;
    if (kind == 0x80 || (kind == 0x90 && e.data2 == 0)) return 2;
    if (kind == 0x90) return 3;
    return 1;
}

bool ParseTrack(Reader r, uint32_t division, MidiSong& song, int64_t& trackEnd, std::string& error) {
    uint64_t tick = 0;
    uint8_t running = 0;
    auto toMusic = [&](uint64_t t, int32_t& out) {
        uint64_t m = (t * kPpq + division / 2) / division;
        if (m > 0x7FFFFFFF) return false;
        out = static_cast<int32_t>(m);
        return true;
    };
    while (r.left() > 0) {
        tick += r.vlq();
        uint8_t status = r.byte();
        if (!r.ok) break;
        int32_t at = 0;
        if (!toMusic(tick, at)) {
            error = "song too long";
            return false;
        }
        if (status == 0xFF) {
            uint8_t type = r.byte();
            uint32_t len = r.vlq();
            if (!r.ok) break;
            if (len > r.left()) {
                error = "meta event longer than its track";
                return false;
            }
            // Every event, meta events too, counts toward the song's length.
            trackEnd = std::max<int64_t>(trackEnd, at);
            if (type == 0x51 && len == 3) {
                uint32_t tempo = (uint32_t(r.p[0]) << 16) | (uint32_t(r.p[1]) << 8) | r.p[2];
                if (tempo > 0) song.events.push_back({at, 0xFF, 0, 0, tempo});
            }
            r.skip(len);
            if (type == 0x2F) {
                trackEnd = at;
                return true;
            }
            continue;
        }
        if (status == 0xF0 || status == 0xF7) {
            r.skip(r.vlq());
            if (r.ok) trackEnd = std::max<int64_t>(trackEnd, at);
            continue;
        }
        uint8_t d1;
        if (status < 0x80) {
            if (!running) {
                error = "data byte without a status";
                return false;
            }
            d1 = status;
            status = running;
        } else if (status >= 0xF0) {
            error = "system message in a track";
            return false;
        } else {
            running = status;
            d1 = r.byte();
        }
        uint8_t d2 = DataBytes(status) == 2 ? r.byte() : 0;
        if (!r.ok) break;
        if ((d1 | d2) & 0x80) {
            error = "data byte out of range";
            return false;
        }
        if (song.events.size() >= kMaxEvents) {
            error = "too many events";
            return false;
        }
        song.events.push_back({at, status, d1, d2, 0});
        trackEnd = std::max<int64_t>(trackEnd, at);
    }
    if (!r.ok) {
        error = "track ends inside an event";
        return false;
    }
    return true;  // a track without an end-of-track event ends at its last event
}

}  // namespace

bool ParseMidiFile(const std::string& bytes, MidiSong& song, std::string& error) {
    song = MidiSong();
    Reader r{reinterpret_cast<const uint8_t*>(bytes.data()),
             reinterpret_cast<const uint8_t*>(bytes.data()) + bytes.size()};
    if (bytes.size() < 14 || bytes.compare(0, 4, "MThd") != 0) {
        error = "not a standard MIDI file";
        return false;
    }
    r.skip(4);
    uint32_t headerLen = r.be(4);
    if (headerLen < 6 || headerLen > r.left()) {
        error = "bad header";
        return false;
    }
    uint32_t format = r.be(2);
    uint32_t tracks = r.be(2);
    uint32_t division = r.be(2);
    r.skip(headerLen - 6);
    if (format > 1) {
        error = "unsupported format";
        return false;
    }
    if (division == 0 || (division & 0x8000)) {
        error = "unsupported time division";
        return false;
    }
    int64_t length = 0;
    uint32_t found = 0;
    while (found < tracks && r.left() >= 8) {
        std::string id(reinterpret_cast<const char*>(r.p), 4);
        r.skip(4);
        uint32_t len = r.be(4);
        if (len > r.left()) {
            error = "chunk longer than the file";
            return false;
        }
        if (id == "MTrk") {
            int64_t trackEnd = 0;
            if (!ParseTrack(Reader{r.p, r.p + len}, division, song, trackEnd, error)) return false;
            length = std::max(length, trackEnd);
            ++found;
        }
        r.skip(len);
    }
    if (found == 0) {
        error = "no tracks";
        return false;
    }
    std::stable_sort(song.events.begin(), song.events.end(), [](const MidiEvent& a, const MidiEvent& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        return Order(a) < Order(b);
    });
    song.length = static_cast<int32_t>(length);
    return true;
}

}  // namespace dmusic
