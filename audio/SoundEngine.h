#pragma once

#include <bass.h>
#include <win32.h>

#include <atomic>
#include <map>
#include <string>
#include <vector>

#include "audio/SoundRecord.h"
#include "engine/Singleton.h"

class CMusicPlayer;

// The volume categories; each keeps its own volume in config.ini.
enum SoundCategory : int { kBackgroundSound = 0, kGameSound = 1, kMusicSound = 2 };

// The process-wide audio service over the audio library loaded at run time
// from "sound.dll": samples, streams and module music at the three volume
// categories kept in config.ini.
class CSoundEngine : public CSingleton<CSoundEngine> {
public:
    CSoundEngine();
    ~CSoundEngine() override;

    static CSoundEngine* GetInstance();

    DWORD LoadSound(const char* name);
    DWORD PlaySound(DWORD sample, int category);
    DWORD PlaySoundScaled(DWORD sample, float factor, int category);
    DWORD PlaySoundLooped(DWORD sample, int category);
    void StopSample(DWORD sample);

    DWORD LoadStream(const std::string& name);
    void PlayStream(DWORD stream, int category, bool loop);
    DWORD LoadModMusic(const char* name);
    void StopChannel(DWORD channel);
    void SetChannelVolume(DWORD channel, float volume);
    void SetModMusicVolume(DWORD music, float volume);

    bool Start();
    bool Pause();
    void SetAudioPath(const char* folder);
    void Update();
    // The engine owns the player it holds and deletes it with itself.
    CMusicPlayer* GetMusicPlayer() const { return m_musicPlayer; }
    void SetMusicPlayer(CMusicPlayer* player) { m_musicPlayer = player; }

    void BeginSoundList();
    void EndSoundList();
    void UnloadAll();

    // Called by the library on its own thread at each end of a looping stream.
    static void StreamEndSyncProc(HSYNC sync, DWORD channel, DWORD data, DWORD user);

    // The library's volume for a 0..1 volume (and the same times a factor).
    int ConvertVolume(float volume) const;
    int ConvertVolume(float volume, float factor) const;

    // Read by the mixer thread's sync while the menu writes them, hence atomic.
    std::atomic<float> m_volumes[3];
    std::vector<CSoundRecord> m_records;
    // Names that handles were loaded under, for the test view of what played.
    std::map<DWORD, std::string> m_handleNames;
    bool m_recording;
    CMusicPlayer* m_musicPlayer;
    HMODULE m_library;
    char m_audioPath[MAX_PATH];

    // The library's entry points, resolved by name in the constructor.
    decltype(&::BASS_ErrorGetCode) BASS_ErrorGetCode;
    decltype(&::BASS_Init) BASS_Init;
    decltype(&::BASS_Free) BASS_Free;
    decltype(&::BASS_Start) BASS_Start;
    decltype(&::BASS_Stop) BASS_Stop;
    decltype(&::BASS_Pause) BASS_Pause;
    decltype(&::BASS_SampleLoad) BASS_SampleLoad;
    decltype(&::BASS_SamplePlay) BASS_SamplePlay;
    decltype(&::BASS_SampleStop) BASS_SampleStop;
    decltype(&::BASS_SamplePlayEx) BASS_SamplePlayEx;
    decltype(&::BASS_SampleFree) BASS_SampleFree;
    decltype(&::BASS_SetVolume) BASS_SetVolume;
    decltype(&::BASS_MusicLoad) BASS_MusicLoad;
    decltype(&::BASS_MusicPlay) BASS_MusicPlay;
    decltype(&::BASS_MusicFree) BASS_MusicFree;
    decltype(&::BASS_ChannelIsActive) BASS_ChannelIsActive;
    decltype(&::BASS_MusicSetAmplify) BASS_MusicSetAmplify;
    decltype(&::BASS_ChannelSetAttributes) BASS_ChannelSetAttributes;
    decltype(&::BASS_StreamCreateFile) BASS_StreamCreateFile;
    decltype(&::BASS_StreamPlay) BASS_StreamPlay;
    decltype(&::BASS_StreamFree) BASS_StreamFree;
    decltype(&::BASS_ChannelStop) BASS_ChannelStop;
    decltype(&::BASS_GetConfig) BASS_GetConfig;
    decltype(&::BASS_ChannelSetPosition) BASS_ChannelSetPosition;
    decltype(&::BASS_ChannelSetSync) BASS_ChannelSetSync;

private:
    bool ValidCategory(int category) const;
    // audioPath followed by name; false when it does not fit in MAX_PATH.
    bool FullPath(const char* name, std::string& path) const;
    std::string HandleName(DWORD handle) const;
    DWORD Played(DWORD handle, DWORD channel, int category, float volume) const;
};
