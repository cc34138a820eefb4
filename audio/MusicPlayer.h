#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "audio/SoundRecord.h"

// Background music from a playlist file: every song loaded at once, one played
// at a time, the next one when it ends.
class CMusicPlayer {
public:
    // A damaged num must not make a list read the file a billion times.
    static const int kMaxSongs = 4096;
    // Loaded songs stay loaded: a list stops loading once they hold this much.
    static const uint64_t kMaxDecodedBytes = 256ull << 20;

    explicit CMusicPlayer(const std::string& playlistFile);
    // Without a file: the setup dialog's preview of one song.
    CMusicPlayer();
    ~CMusicPlayer();

    // num of a playlist file, at most kMaxSongs (a larger one is logged).
    static int SongCount(const std::string& playlistFile);
    void LoadPlaylist();
    void LoadSong(const std::string& name);
    void Play();
    void Stop();
    void NextSong();
    void PreviousSong();
    void Pause();
    void Resume();
    void SetVolume(float volume);
    void Update();

    bool m_paused;
    std::vector<CSoundRecord> m_songs;
    std::string m_playlistFile;
    int m_current;

    // Engine time in seconds for the grace period after a MIDI start; tests
    // replace it to step time by hand.
    static float (*ms_engineTime)();

private:
    bool CurrentValid() const;

    // The files this list has tried, by device, file number and song kind, with
    // the handle they loaded as (0: failed): a file named again shares it.
    std::map<std::tuple<uint64_t, uint64_t, int>, DWORD> m_tried;
    // What the songs loaded since the list began hold.
    uint64_t m_decodedBytes = 0;
};
