// Standard MIDI file reader: every track merged into one list of events in
// music time (768 ticks per quarter note).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace dmusic {

struct MidiEvent {
    int32_t tick;      // music time from the start of the song
    uint8_t status;    // channel message status byte, or 0xFF for a tempo change
    uint8_t data1;
    uint8_t data2;
    uint32_t tempo;    // microseconds per quarter note, tempo changes only
};

struct MidiSong {
    std::vector<MidiEvent> events;  // sorted by tick
    int32_t length = 0;             // end of the longest track
};

// False with a reason on anything that is not a well-formed format 0 or 1 file
// with a ticks-per-quarter division.
bool ParseMidiFile(const std::string& bytes, MidiSong& song, std::string& error);

}  // namespace dmusic
