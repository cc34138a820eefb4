#pragma once

#include <string>
#include <vector>

namespace assetgen {

struct Generator {
    const char* name;
    bool (*run)(const std::string& dataRoot);
};

// Every generator registers itself with a static Registrar in its own file.
std::vector<Generator>& Registry();

struct Registrar {
    Registrar(const char* name, bool (*run)(const std::string&)) { Registry().push_back({name, run}); }
};

// Where generated C++ sources go (the second argument of assetgen), "" when not asked for.
std::string& SourceRoot();

// Where the shipped themes are staged (the third argument of assetgen), "" when not asked for.
std::string& ThemeRoot();

// Song writers shared by the playlists and the themes; each returns the file's bytes.
struct SongChord {
    int bass;
    int notes[3];
};
struct SongTone {
    int key;     // 0 is a rest
    int length;  // MIDI: ticks (480 a quarter); module: rows (a sixteenth each)
};
// A format 0 MIDI song: a chord accompaniment (one chord a bar) under a melody
// that enters at melodyBar. programs: accompaniment, bass, melody.
struct MidiTune {
    int bpm;
    int programs[3];
    std::vector<SongChord> chords;
    int melodyBar;
    std::vector<std::vector<SongTone>> melody;
};
std::string MidiSong(const MidiTune& tune);
// A four-channel tracker module: four bars of chords with two melodies over
// them, played intro, A, B, A, ending.
struct ModuleTune {
    std::string title;
    SongChord chords[4];
    std::vector<SongTone> melodyA[4], melodyB[4];
    SongChord endChords[4];
    std::vector<SongTone> ending[4];
};
std::string ModuleSong(const ModuleTune& tune);
// Ogg Vorbis from stereo samples at 44100 Hz, with a fixed stream serial.
bool EncodeOgg(const std::vector<float>& left, const std::vector<float>& right, const char* title,
               std::string& bytes);

// Creates the folder and its parents; writes a file in one go.
bool MakeFolders(const std::string& path);
bool WriteBytes(const std::string& path, const void* data, size_t size);

}  // namespace assetgen
