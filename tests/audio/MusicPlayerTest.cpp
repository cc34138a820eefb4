// The music player on the real sound engine (SDL's dummy or disk driver): the
// playlist file, song kinds, stepping and wrapping, the position written back,
// the end of a song, the grace period of MIDI songs, pause and resume, bad input.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <set>

#include "AudioTestUtil.h"
#include "audio/MidiManager.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/Ini.h"
#include "engine/Loading.h"
#include "support/EngineScope.h"
#include "support/TestUtil.h"

using namespace audiotest;

namespace {

float g_testTime = 0.0f;
float TestTime() { return g_testTime; }

std::vector<float> Tone(double seconds) {
    std::vector<float> wave(static_cast<size_t>(seconds * 44100));
    for (size_t i = 0; i < wave.size(); ++i) wave[i] = 0.3f * static_cast<float>(std::sin(i * 0.0627));
    return wave;
}

class MusicPlayerTest : public FolderTest {
protected:
    MusicPlayerTest() {
        // Far past any grace period a previous test started.
        g_testTime += 1000.0f;
        m_savedTime = CMusicPlayer::ms_engineTime;
        CMusicPlayer::ms_engineTime = TestTime;
        testutil::WriteFile(m_dir.file("a.mid"), MidiBeats(64));
        WriteTinyModule(m_dir.file("b.mod"));
        WriteWav(m_dir.file("c.wav"), Tone(6.0), 1);
    }
    ~MusicPlayerTest() override {
        m_Singletons.Now();
        CMusicPlayer::ms_engineTime = m_savedTime;
    }

    CSoundEngine* Engine() {
        if (!CSoundEngine::GetInstancePtr())
            testutil::WriteFile(m_dir.file("config.ini"),
                                "[sound]\r\nbackground_volume=1.0\r\ngame_volume=1.0\r\nmusic_volume=1.0\r\n");
        return CSoundEngine::GetInstance();
    }
    // A player on playlist.ini made from the given text, handed to the engine, its list loaded.
    CMusicPlayer* Player(const std::string& playlist) {
        CSoundEngine* engine = Engine();
        testutil::WriteFile(m_dir.file("playlist.ini"), playlist);
        delete engine->m_musicPlayer;
        engine->m_musicPlayer = new CMusicPlayer("playlist.ini");
        engine->m_musicPlayer->LoadPlaylist();
        return engine->m_musicPlayer;
    }
    void DeletePlayer() {
        delete Engine()->m_musicPlayer;
        Engine()->m_musicPlayer = nullptr;
    }
    // Player() as a theme's list: the engine records each load.
    CMusicPlayer* ThemePlayer(const std::string& playlist) {
        Engine()->BeginSoundList();
        CMusicPlayer* player = Player(playlist);
        Engine()->EndSoundList();
        return player;
    }
    // The engine's recorded loads, each expected once; a load is its kind and handle.
    std::set<std::pair<DWORD, DWORD>> RecordedOnce() {
        std::set<std::pair<DWORD, DWORD>> loads;
        for (const CSoundRecord& record : Engine()->m_records)
            if (record.m_handle) {
                EXPECT_TRUE(loads.insert({record.m_kind, record.m_handle}).second) << record.m_name;
            }
        return loads;
    }
    bool Active(const CSoundRecord& song) { return Engine()->BASS_ChannelIsActive(song.m_handle) != 0; }
    int WrittenCurrent() { return ReadIniInt("playlist.ini", "playlist", "current"); }

    float (*m_savedTime)();
};

}  // namespace

TEST_F(MusicPlayerTest, LoadsEachKindByItsExtensionAndLogsTheOutcome) {
    LogTail log;
    CMusicPlayer* player = Player(
        "[playlist]\r\nnum=7\r\ncurrent=2\r\nsong1=a.mid\r\nsong2=b.MOD\r\nsong3=c.WAV\r\nsong4=notes.txt\r\n"
        "song5=noextension\r\nsong6=missing.ogg\r\nsong7=broken.mid\r\n");
    ASSERT_EQ(3u, player->m_songs.size());
    EXPECT_EQ(CSoundRecord::kMidiSegment, player->m_songs[0].m_kind);
    EXPECT_EQ(CSoundRecord::kModMusic, player->m_songs[1].m_kind);
    EXPECT_EQ(CSoundRecord::kStream, player->m_songs[2].m_kind);
    EXPECT_EQ("b.MOD", player->m_songs[1].m_name);
    EXPECT_NE(nullptr, MidiSegmentFromHandle(player->m_songs[0].m_handle));
    EXPECT_EQ(1, player->m_current);
    EXPECT_FALSE(player->m_paused);

    std::string text = log.Text();
    for (const char* line : {"Loading playlist:", "Loading midi music: (a.mid) complete.",
                             "Loading mod music: (b.MOD) complete.", "Loading stream music: (c.WAV) complete.",
                             "Loading stream music: (missing.ogg) failed.", "Loading midi music: (broken.mid) failed.",
                             "complete:"})
        EXPECT_NE(std::string::npos, text.find(line)) << line;
    EXPECT_EQ(std::string::npos, text.find("notes.txt"));
    EXPECT_EQ(std::string::npos, text.find("noextension"));
    EXPECT_LT(text.find("Loading playlist:"), text.find("Loading midi music"));
}

TEST_F(MusicPlayerTest, ANameWithoutADotIsItsOwnExtension) {
    testutil::WriteFile(m_dir.file("mid"), MidiBeats(4));
    std::filesystem::create_directories(m_dir.file("x.wav"));
    WriteWav(m_dir.file("x.wav/song"), Tone(0.5), 1);
    LogTail log;
    CMusicPlayer* player = Player("[playlist]\r\nnum=3\r\nsong1=mid\r\nsong2=x.wav\\song\r\nsong3=wav\r\n");
    // "mid" is a MIDI song; a dot in the folder is no extension; "wav" is a stream that is missing.
    ASSERT_EQ(1u, player->m_songs.size());
    EXPECT_EQ(CSoundRecord::kMidiSegment, player->m_songs[0].m_kind);
    EXPECT_EQ("mid", player->m_songs[0].m_name);
    EXPECT_NE(std::string::npos, log.Text().find("Loading midi music: (mid) complete."));
    EXPECT_NE(std::string::npos, log.Text().find("Loading stream music: (wav) failed."));
    EXPECT_EQ(std::string::npos, log.Text().find("song)"));
}

TEST_F(MusicPlayerTest, NextAndPreviousWrapAndThePositionIsWrittenBackFromOne) {
    CMusicPlayer* player = Player("[playlist]\r\nnum=3\r\ncurrent=3\r\nsong1=a.mid\r\nsong2=b.mod\r\nsong3=c.wav\r\n");
    ASSERT_EQ(3u, player->m_songs.size());
    ASSERT_EQ(2, player->m_current);
    player->Play();
    EXPECT_TRUE(Active(player->m_songs[2]));
    player->NextSong();  // last -> first
    EXPECT_EQ(0, player->m_current);
    EXPECT_FALSE(Active(player->m_songs[2]));
    player->PreviousSong();  // first -> last
    EXPECT_EQ(2, player->m_current);
    EXPECT_TRUE(Active(player->m_songs[2]));
    player->PreviousSong();
    EXPECT_EQ(1, player->m_current);
    EXPECT_FALSE(Active(player->m_songs[2]));
    DeletePlayer();
    EXPECT_EQ(2, WrittenCurrent());
}

TEST_F(MusicPlayerTest, WithoutCurrentNothingPlaysUntilAStep) {
    CMusicPlayer* player = Player("[playlist]\r\nnum=2\r\nsong1=c.wav\r\nsong2=b.mod\r\n");
    ASSERT_EQ(-1, player->m_current);
    player->Play();
    player->Update();
    EXPECT_FALSE(Active(player->m_songs[0]));
    EXPECT_EQ(-1, player->m_current);
    player->NextSong();
    EXPECT_EQ(0, player->m_current);
    EXPECT_TRUE(Active(player->m_songs[0]));
    player = Player("[playlist]\r\nnum=2\r\nsong1=c.wav\r\nsong2=b.mod\r\n");
    player->PreviousSong();
    EXPECT_EQ(1, player->m_current);
}

TEST_F(MusicPlayerTest, EmptyMissingAndAllFailingPlaylistsDoNothing) {
    for (const char* text : {"", "[playlist]\r\nnum=3\r\ncurrent=1\r\nsong1=x.ogg\r\nsong2=y.mid\r\nsong3=z.xm\r\n",
                             "[playlist]\r\nnum=-5\r\n"}) {
        CMusicPlayer* player = Player(text);
        EXPECT_TRUE(player->m_songs.empty());
        for (int i = 0; i < 100; ++i) player->Update();
        player->SetVolume(0.5f);
        player->Pause();
        player->Resume();
        player->PreviousSong();
        EXPECT_EQ(-1, player->m_current);
        DeletePlayer();
        EXPECT_EQ(0, WrittenCurrent());
        player = Player(text);
        player->NextSong();
        EXPECT_EQ(0, player->m_current);
        DeletePlayer();
        EXPECT_EQ(1, WrittenCurrent());
    }
    testutil::WriteFile(m_dir.file("playlist.ini"), "");
    std::filesystem::remove(m_dir.file("playlist.ini"));
    CMusicPlayer missing("playlist.ini");
    missing.LoadPlaylist();
    EXPECT_TRUE(missing.m_songs.empty());
    EXPECT_EQ(-1, missing.m_current);
}

TEST_F(MusicPlayerTest, LongPathsAreSkippedAndFullPathsLoadFromTheirFolder) {
    std::filesystem::create_directories(m_dir.file("sub"));
    testutil::WriteFile(m_dir.file("sub/d.mid"), MidiBeats(4));
    WriteWav(m_dir.file("sub/e.wav"), Tone(0.5), 1);
    std::string windowsDir = "C:" + m_dir.path() + "/sub";
    for (char& c : windowsDir)
        if (c == '/') c = '\\';
    std::string longName = std::string(300, 'n') + ".ogg";
    LogTail log;
    CMusicPlayer* player = Player("[playlist]\r\nnum=3\r\nsong1=" + longName + "\r\nsong2=" + windowsDir +
                                  "\\d.mid\r\nsong3=" + m_dir.path() + "/sub/e.wav\r\n");
    ASSERT_EQ(2u, player->m_songs.size());
    EXPECT_EQ("d.mid", player->m_songs[0].m_name);
    EXPECT_EQ("e.wav", player->m_songs[1].m_name);
    // The INI reader stops at 254 characters: the cut name has no extension left.
    EXPECT_EQ(std::string::npos, log.Text().find(longName.substr(0, 200)));
    // Handed over whole, the name is refused rather than cut.
    player->LoadSong(longName);
    player->LoadSong(std::string(300, 'm') + ".mid");
    EXPECT_EQ(2u, player->m_songs.size());
    EXPECT_NE(std::string::npos, log.Text().find("Loading stream music: (" + longName + ") failed."));
    EXPECT_NE(std::string::npos, log.Text().find("Loading midi music: (" + std::string(300, 'm') + ".mid) failed."));
    EXPECT_NE(std::string::npos, log.Text().find("Loading midi music: (d.mid) complete."));
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(sizeof cwd, cwd);
    EXPECT_EQ(std::filesystem::canonical(m_dir.path()), std::filesystem::canonical(cwd));
}

TEST_F(MusicPlayerTest, EverySongOfAKnownKindCountsForTheLoadingScreen) {
    Engine();
    const int before = g_LoadedResources;
    // Loaded, failed in its loader, refused for its length, refused for a missing
    // folder; the text file is no song and counts nothing.
    Player("[playlist]\r\nnum=5\r\nsong1=a.mid\r\nsong2=missing.xm\r\nsong3=notes.txt\r\nsong4=" +
           m_dir.path() + "/nowhere/x.wav\r\nsong5=c.wav\r\n");
    CMusicPlayer* player = Engine()->m_musicPlayer;
    player->LoadSong(std::string(300, 'n') + ".ogg");
    EXPECT_EQ(2u, player->m_songs.size());
    EXPECT_EQ(5, g_LoadedResources - before);
}

TEST_F(MusicPlayerTest, AFullPathSongComesBackToALongCurrentDirectory) {
    Engine();
    std::filesystem::create_directories(m_dir.file("sub"));
    WriteWav(m_dir.file("sub/e.wav"), Tone(0.5), 1);
    std::string deep = m_dir.path();
    for (int i = 0; i < 6; ++i) deep += "/" + std::string(60, 'd');
    std::filesystem::create_directories(deep);
    testutil::ScopedCwd cwd(deep);
    CMusicPlayer player;
    player.LoadSong(m_dir.path() + "/sub/e.wav");
    EXPECT_EQ(1u, player.m_songs.size());
    EXPECT_EQ(std::filesystem::canonical(deep), std::filesystem::current_path());
}

TEST_F(MusicPlayerTest, ADriveWithoutAFolderLoadsFromTheCurrentFolder) {
    Engine();
    LogTail log;
    CMusicPlayer player;
    player.LoadSong("C:a.mid");
    player.LoadSong("d:B.MOD");
    ASSERT_EQ(2u, player.m_songs.size());
    EXPECT_EQ("a.mid", player.m_songs[0].m_name);
    EXPECT_EQ("B.MOD", player.m_songs[1].m_name);
    EXPECT_NE(std::string::npos, log.Text().find("Loading midi music: (a.mid) complete."));
}

TEST_F(MusicPlayerTest, ASongThatEndsMovesThePlayerToTheNext) {
    WriteWav(m_dir.file("short.wav"), Tone(0.1), 1);
    CMusicPlayer* player = Player("[playlist]\r\nnum=3\r\ncurrent=1\r\nsong1=short.wav\r\nsong2=b.mod\r\nsong3=c.wav\r\n");
    ASSERT_EQ(3u, player->m_songs.size());
    player->Play();
    player->Update();
    EXPECT_EQ(0, player->m_current);  // still playing
    WaitFor([&] { return !Active(player->m_songs[0]); });
    player->Update();
    EXPECT_EQ(1, player->m_current);
    EXPECT_TRUE(Active(player->m_songs[1]));
    WaitFor([&] { return !Active(player->m_songs[1]); });  // the tiny module ends after a few rows
    player->Update();
    EXPECT_EQ(2, player->m_current);
    EXPECT_TRUE(Active(player->m_songs[2]));
}

TEST_F(MusicPlayerTest, AMidiSongIsNotAskedForItsEndDuringItsFirstFiveSeconds) {
    CMusicPlayer* player = Player("[playlist]\r\nnum=2\r\ncurrent=1\r\nsong1=a.mid\r\nsong2=c.wav\r\n");
    ASSERT_EQ(2u, player->m_songs.size());
    // The song playing that long after from: still the first, or on to the second.
    auto at = [&](float from, float seconds, int current) {
        g_testTime = from + seconds;
        player->Update();
        EXPECT_EQ(current, player->m_current) << seconds;
    };
    const float start = g_testTime;
    player->Play();
    MidiStop();  // as if the song had ended at once
    at(start, 4.9f, 0);
    at(start, 5.0f, 1);

    // The same after a resume.
    player->PreviousSong();
    g_testTime += 10.0f;
    player->Pause();
    player->Resume();
    MidiStop();
    const float resumed = g_testTime;
    at(resumed, 4.99f, 0);
    at(resumed, 5.01f, 1);
}

TEST_F(MusicPlayerTest, PauseStopsAMidiSongAndResumePlaysItAgain) {
    CMusicPlayer* player = Player("[playlist]\r\nnum=1\r\ncurrent=1\r\nsong1=a.mid\r\n");
    ASSERT_EQ(1u, player->m_songs.size());
    CMidiSegment* segment = MidiSegmentFromHandle(player->m_songs[0].m_handle);
    player->Resume();  // not paused: nothing
    EXPECT_FALSE(MidiIsPlaying(segment));
    player->Play();
    WaitFor([&] { return MidiIsPlaying(segment); });
    ASSERT_TRUE(MidiIsPlaying(segment));
    player->Pause();
    EXPECT_TRUE(player->m_paused);
    EXPECT_FALSE(MidiIsPlaying(segment));
    player->Resume();
    EXPECT_FALSE(player->m_paused);
    WaitFor([&] { return MidiIsPlaying(segment); });
    EXPECT_TRUE(MidiIsPlaying(segment));
}

TEST_F(MusicPlayerTest, ThemeSongsAreRecordedAndUnloadedWithTheTheme) {
    CSoundEngine* engine = Engine();
    CMusicPlayer* player = ThemePlayer("[playlist]\r\nnum=2\r\nsong1=a.mid\r\nsong2=c.wav\r\n");
    ASSERT_EQ(2u, player->m_songs.size());
    ASSERT_EQ(2u, engine->m_records.size());
    EXPECT_EQ(CSoundRecord::kMidiSegment, engine->m_records[0].m_kind);
    EXPECT_EQ(player->m_songs[0].m_handle, engine->m_records[0].m_handle);
    EXPECT_EQ("a.mid", engine->m_records[0].m_name);
    DWORD midi = player->m_songs[0].m_handle;
    DeletePlayer();
    engine->UnloadAll();
    EXPECT_EQ(nullptr, MidiSegmentFromHandle(midi));
}

TEST_F(MusicPlayerTest, EntriesNamingALoadedFileShareItsHandleAndAreFreedOnce) {
    // One file under several names, a missing one and a broken one, thousands of times.
    std::filesystem::create_directories(m_dir.file("sub"));
    testutil::WriteFile(m_dir.file("broken.xm"), "not a module");
    const char* const names[] = {"b.mod", "./b.mod", "sub/../b.mod", "B.MOD", "c.wav", "a.mid", "gone.ogg", "broken.xm"};
    const int kEntries = 4000;
    std::string text = "[playlist]\r\nnum=" + std::to_string(kEntries) + "\r\n";
    for (int i = 0; i < kEntries; ++i) text += "song" + std::to_string(i + 1) + "=" + names[i % 8] + "\r\n";
    CSoundEngine* engine = Engine();
    CMusicPlayer* player = ThemePlayer(text);

    ASSERT_EQ(size_t(kEntries / 8 * 6), player->m_songs.size());
    for (size_t i = 0; i < player->m_songs.size(); ++i)
        EXPECT_EQ(player->m_songs[i % 6].m_handle, player->m_songs[i].m_handle) << i;
    EXPECT_EQ(3u, RecordedOnce().size());
    DWORD midi = player->m_songs[5].m_handle;
    DeletePlayer();
    engine->UnloadAll();
    EXPECT_EQ(nullptr, MidiSegmentFromHandle(midi));

    // A file that failed is not tried again under another name, even once it would load.
    player = Player("[playlist]\r\nnum=1\r\nsong1=broken.xm\r\n");
    WriteTinyModule(m_dir.file("broken.xm"));
    player->LoadSong("./broken.xm");
    EXPECT_TRUE(player->m_songs.empty());
}

TEST_F(MusicPlayerTest, LoadingStopsOnceTheSongsHoldTheBound) {
    // Distinct modules: each one loaded costs memory for as long as the player lives.
    const int kFiles = 300;
    std::string module = (WriteTinyModule(m_dir.file("b.mod")), testutil::ReadFile(m_dir.file("b.mod")));
    std::string text = "[playlist]\r\nnum=" + std::to_string(kFiles) + "\r\n";
    for (int i = 1; i <= kFiles; ++i) {
        testutil::WriteFile(m_dir.file("m" + std::to_string(i) + ".mod"), module);
        text += "song" + std::to_string(i) + "=m" + std::to_string(i) + ".mod\r\n";
    }
    LogTail log;
    CMusicPlayer* player = Player(text);
    EXPECT_LT(player->m_songs.size(), size_t(kFiles));
    EXPECT_GT(player->m_songs.size(), 0u);
    EXPECT_EQ(1, log.Count("the songs loaded hold more than 256 MiB, songs " + std::to_string(player->m_songs.size() + 1) +
                           " to " + std::to_string(kFiles) + " are left out."));
}

TEST_F(MusicPlayerTest, CorpusPlaylistsLoadAsAThemesListAndFreeEachSongOnce) {
    std::filesystem::create_directories(m_dir.file("sub"));
    CSoundEngine* engine = Engine();
    for (const std::string& path : testutil::CorpusFiles("playlist")) {
        SCOPED_TRACE(path);
        CMusicPlayer* player = ThemePlayer(testutil::ReadFile(path));
        EXPECT_EQ(player->m_songs.empty(), !testutil::ShouldLoad(path));
        const std::set<std::pair<DWORD, DWORD>> loads = RecordedOnce();
        for (const CSoundRecord& song : player->m_songs) EXPECT_EQ(loads.count({song.m_kind, song.m_handle}), 1u);
        EXPECT_EQ(std::filesystem::current_path(), std::filesystem::path(m_dir.path()));
        DeletePlayer();
        engine->UnloadAll();
    }
}

TEST_F(MusicPlayerTest, ThePreviewPlayerHasNoFileToWrite) {
    std::filesystem::remove(m_dir.file("playlist.ini"));
    CSoundEngine* engine = Engine();
    engine->m_musicPlayer = new CMusicPlayer();
    EXPECT_EQ(0, engine->m_musicPlayer->m_current);
    engine->m_musicPlayer->LoadSong(m_dir.path() + "/c.wav");
    engine->m_musicPlayer->Play();
    EXPECT_TRUE(Active(engine->m_musicPlayer->m_songs[0]));
    engine->m_musicPlayer->SetVolume(0.2f);
    DeletePlayer();
    EXPECT_FALSE(testutil::FileExists(m_dir.file("playlist.ini")));
}

TEST_F(MusicPlayerTest, TheDefaultSongsAreAudibleOnTheDiskDriver) {
    const char* game = getenv("KOLVAR_GAME_DIR");
    ASSERT_NE(game, nullptr);
    for (const char* song : {"morning.mid", "circuit.mod", "evening.ogg"})
        std::filesystem::copy_file(std::string(game) + "/data/music/" + song, m_dir.file(song));
    std::string capture = m_dir.file("capture.raw");
    std::vector<std::pair<uintmax_t, uintmax_t>> windows;  // byte ranges of the capture
    {
        DiskCapture disk(capture);
        CMusicPlayer* player =
            Player("[playlist]\r\nnum=3\r\ncurrent=1\r\nsong1=morning.mid\r\nsong2=circuit.mod\r\nsong3=evening.ogg\r\n");
        ASSERT_EQ(3u, player->m_songs.size());
        // Paced by the sound mixed, in milliseconds of it, not by the clock.
        FrameCounter mixed(Engine()->m_library);
        auto size = [&] { return testutil::FileExists(capture) ? std::filesystem::file_size(capture) : 0; };
        auto skip = [&](int ms) { ASSERT_TRUE(mixed.WaitMore(44100 * ms / 1000)) << ms; };
        auto window = [&](int ms) {
            uintmax_t from = size();
            skip(ms);
            windows.push_back({from, size()});
        };
        player->Play();
        skip(700);    // MIDI starts on the next beat
        window(500);  // MIDI
        player->Pause();
        skip(1000);   // release tails
        window(300);  // paused
        player->Resume();
        skip(700);
        window(500);  // MIDI again
        player->NextSong();
        skip(50);
        window(500);  // module
        player->NextSong();
        skip(50);
        window(500);  // stream
        DeletePlayer();
        m_Singletons.Now();
    }
    std::vector<float> pcm = DiskCapture(capture).Read();
    const char* names[] = {"midi", "paused", "midi resumed", "module", "stream"};
    for (size_t i = 0; i < windows.size(); ++i) {
        size_t from = windows[i].first / sizeof(float), to = windows[i].second / sizeof(float);
        ASSERT_GT(to, from + 4410) << names[i];
        double rms = Rms(pcm, from, to);
        if (i == 1)
            EXPECT_LT(rms, 1e-4) << names[i];
        else
            EXPECT_GT(rms, 0.01) << names[i];
    }
}
