#pragma once

#include <string>
#include <vector>

#include "audio/SoundRecord.h"

// Background music from a playlist file: every song loaded at once, one played
// at a time, the next one when it ends.
class CMusicPlayer {
public:
    explicit CMusicPlayer(const std::string& playlistFile);
    // Without a file: the setup dialog's preview of one song.
    CMusicPlayer();
    ~CMusicPlayer();

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
};
