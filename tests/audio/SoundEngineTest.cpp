// The sound engine over the real audio library: construction and its log,
// the volumes in config.ini, the volume arithmetic, loading, the sound list,
// looping streams and their end sync, and a missing library or device.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <limits>

#include "AudioTestUtil.h"
#include "audio/SoundEngine.h"
#include "engine/Loading.h"
#include "support/EngineScope.h"
#include "support/TestUtil.h"

using namespace audiotest;

namespace {

class SoundEngineTest : public FolderTest {};

}  // namespace

TEST_F(SoundEngineTest, ConstructionLogsReadsVolumesAndWritesThemBack) {
    LogTail log;
    CSoundEngine* engine = MakeEngine();
    ASSERT_NE(engine, nullptr);
    EXPECT_TRUE(log.Contains("Initializing sound engine"));
    EXPECT_TRUE(log.Contains("Complete"));
    EXPECT_FALSE(log.Contains("Error"));
    EXPECT_FLOAT_EQ(engine->m_volumes[0], 0.25f);
    EXPECT_FLOAT_EQ(engine->m_volumes[1], 0.5f);
    EXPECT_FLOAT_EQ(engine->m_volumes[2], 0.75f);
    EXPECT_EQ(engine->m_musicPlayer, nullptr);
    EXPECT_FALSE(engine->m_recording);
    EXPECT_STREQ(engine->m_audioPath, ".\\");
    EXPECT_EQ(CSoundEngine::GetInstance(), engine);

    engine->m_volumes[1] = 0.4f;
    engine->m_volumes[2] = 1.0f / 3.0f;
    delete engine;
    EXPECT_EQ(CSoundEngine::GetInstancePtr(), nullptr);
    std::string config = testutil::ReadFile(m_dir.file("config.ini"));
    for (const char* line : {"background_volume=0.25000", "game_volume=0.40000", "music_volume=0.33333"})
        EXPECT_NE(config.find(line), std::string::npos) << config;
}

TEST_F(SoundEngineTest, MissingSoundKeysMeanSilenceWrittenBackAsZeros) {
    CSoundEngine* engine = MakeEngine("[graphics]\r\nbits=32\r\n");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(engine->m_volumes[i], 0.0f) << i;
    delete engine;
    std::string config = testutil::ReadFile(m_dir.file("config.ini"));
    for (const char* line : {"background_volume=0.00000", "game_volume=0.00000", "music_volume=0.00000"})
        EXPECT_NE(config.find(line), std::string::npos) << config;
    // The order of the keys is the order they are written in.
    EXPECT_LT(config.find("background_volume"), config.find("game_volume"));
    EXPECT_LT(config.find("game_volume"), config.find("music_volume"));
}

TEST_F(SoundEngineTest, VolumeConversionUsesExtendedPrecisionAndTruncates) {
    CSoundEngine* engine = MakeEngine();
    EXPECT_EQ(engine->ConvertVolume(0.4f, 0.3f), 12);
    EXPECT_EQ(engine->ConvertVolume(0.5f), 50);
    EXPECT_EQ(engine->ConvertVolume(0.999f), 99);
    EXPECT_EQ(engine->ConvertVolume(1.0f), 100);
    EXPECT_EQ(engine->ConvertVolume(0.0f), 0);
    // 0.7f is just below 0.7: single precision would round the product up to 70.
    EXPECT_EQ(engine->ConvertVolume(0.7f), 69);
    EXPECT_EQ(engine->ConvertVolume(0.7f, 1.0f), 69);
    EXPECT_EQ(engine->ConvertVolume(-0.5f), -50);
    EXPECT_EQ(engine->ConvertVolume(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(engine->ConvertVolume(std::numeric_limits<float>::infinity()), 0);
}

TEST_F(SoundEngineTest, LoadsFromTheAudioPathAndLogsTheOutcome) {
    WriteConstantWav(m_dir.file("beep.wav"), 0.5f, 441);
    testutil::WriteFile(m_dir.file("broken.wav"), "RIFF but nothing else");
    std::filesystem::create_directories(m_dir.path() + "/data/audio");
    WriteConstantWav(m_dir.path() + "/data/audio/tone.wav", 0.5f, 441);
    CSoundEngine* engine = MakeEngine();

    int counted = g_LoadedResources;
    LogTail log;
    DWORD beep = engine->LoadSound("beep.wav");
    EXPECT_NE(beep, 0u);
    EXPECT_TRUE(log.Contains("Loading sound: (.\\beep.wav) complete.")) << log.Text();

    LogTail pathLog;
    engine->SetAudioPath("data\\audio");
    EXPECT_STREQ(engine->m_audioPath, "data\\audio\\");
    std::string text = pathLog.Text();
    size_t a = text.find("Setting audio path:"), b = text.find("path = data\\audio\r\n"),
           c = text.find("Complete");
    EXPECT_NE(a, std::string::npos);
    EXPECT_NE(b, std::string::npos) << text;
    EXPECT_NE(c, std::string::npos);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);

    LogTail loadLog;
    EXPECT_NE(engine->LoadSound("tone.wav"), 0u);
    EXPECT_EQ(engine->LoadSound("beep.wav"), 0u);  // not in data\audio
    EXPECT_TRUE(loadLog.Contains("Loading sound: (data\\audio\\tone.wav) complete."));
    EXPECT_TRUE(loadLog.Contains("Error: (SoundEngine) Couldn't load sound file: data\\audio\\beep.wav"));
    engine->SetAudioPath(".");
    EXPECT_EQ(engine->LoadSound("broken.wav"), 0u);
    EXPECT_TRUE(loadLog.Contains("Error: (SoundEngine) Couldn't load sound file: .\\broken.wav"));
    EXPECT_EQ(engine->LoadStream("broken.wav"), 0u);
    EXPECT_EQ(engine->LoadModMusic("broken.wav"), 0u);
    // Every load counts for the loading screen, failed ones too.
    EXPECT_EQ(g_LoadedResources - counted, 6);

    // A path longer than MAX_PATH loads nothing instead of a cut-off name.
    std::string longName(300, 'a');
    EXPECT_EQ(engine->LoadSound(longName.c_str()), 0u);

    // Handle 0 plays silently.
    EXPECT_EQ(engine->PlaySound(0, 1), 0u);
    EXPECT_EQ(engine->PlaySoundScaled(0, 0.3f, 1), 0u);
    EXPECT_EQ(engine->PlaySoundLooped(0, 0), 0u);
    engine->StopSample(0);
    engine->PlayStream(0, 0, true);
    engine->StopChannel(0);
    engine->SetChannelVolume(0, 0.5f);
    EXPECT_NE(engine->PlaySound(beep, 1), 0u);
    // Categories outside 0..2 play nothing.
    EXPECT_EQ(engine->PlaySound(beep, 3), 0u);
    EXPECT_EQ(engine->PlaySound(beep, -1), 0u);
}

TEST_F(SoundEngineTest, SoundListRecordsOneThemeAndUnloadAllFreesInOrder) {
    WriteConstantWav(m_dir.file("a.wav"), 0.5f, 441);
    WriteConstantWav(m_dir.file("c.wav"), 0.5f, 441);
    WriteConstantWav(m_dir.file("song.wav"), 0.5f, 4410);
    WriteTinyModule(m_dir.file("tune.mod"));
    CSoundEngine* engine = MakeEngine();

    DWORD before = engine->LoadSound("a.wav");  // not recorded: the list is off
    engine->BeginSoundList();
    EXPECT_TRUE(engine->m_recording);
    DWORD a = engine->LoadSound("a.wav");
    DWORD song = engine->LoadStream("song.wav");
    DWORD tune = engine->LoadModMusic("tune.mod");
    DWORD lost = engine->LoadStream("missing.ogg");
    EXPECT_EQ(engine->LoadModMusic("missing.xm"), 0u);
    EXPECT_EQ(engine->LoadSound("missing.wav"), 0u);
    engine->EndSoundList();
    DWORD c = engine->LoadSound("c.wav");
    ASSERT_NE(a, 0u);
    ASSERT_NE(song, 0u);
    ASSERT_NE(tune, 0u);
    EXPECT_EQ(lost, 0u);

    ASSERT_EQ(engine->m_records.size(), 4u);
    const DWORD kinds[] = {0, 1, 2, 1};
    const DWORD handles[] = {a, song, tune, 0};
    const char* names[] = {".\\a.wav", ".\\song.wav", ".\\tune.mod", ".\\missing.ogg"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(engine->m_records[i].m_kind, kinds[i]) << i;
        EXPECT_EQ(engine->m_records[i].m_handle, handles[i]) << i;
        EXPECT_EQ(engine->m_records[i].m_name, names[i]) << i;
    }

    engine->PlaySoundLooped(a, 0);
    engine->PlayStream(song, 0, true);
    engine->BASS_MusicPlay(tune);
    LogTail log;
    engine->UnloadAll();
    std::string text = log.Text();
    size_t pos = 0;
    for (const char* name : names) {
        size_t at = text.find(std::string("unloading sound file: (") + name + ") complete", pos);
        ASSERT_NE(at, std::string::npos) << name << "\n" << text;
        pos = at + 1;
    }
    // Freed: nothing plays any more; sounds outside the list are untouched.
    EXPECT_EQ(engine->PlaySound(a, 1), 0u);
    EXPECT_EQ(engine->BASS_ChannelIsActive(song), 0u);
    EXPECT_EQ(engine->BASS_MusicPlay(tune), FALSE);
    EXPECT_NE(engine->PlaySound(before, 1), 0u);
    EXPECT_NE(engine->PlaySound(c, 1), 0u);
    // The records stay until the next list begins.
    EXPECT_EQ(engine->m_records.size(), 4u);
    engine->BeginSoundList();
    EXPECT_TRUE(engine->m_records.empty());
    engine->EndSoundList();

    LogTail empty;
    engine->UnloadAll();
    EXPECT_EQ(empty.Text(), "");
}

TEST_F(SoundEngineTest, PlayedSamplesTakeTheCategoryVolume) {
    WriteConstantWav(m_dir.file("dc.wav"), 0.8f, 2205);
    DiskCapture capture(m_dir.file("out.raw"));
    CSoundEngine* engine = MakeEngine();  // game sounds at 0.5
    DWORD s = engine->LoadSound("dc.wav");
    ASSERT_NE(s, 0u);
    DWORD ch = engine->PlaySoundScaled(s, 0.5f, 1);
    ASSERT_NE(ch, 0u);
    WaitFor([&] { return engine->BASS_ChannelIsActive(ch) == 0; });
    ch = engine->PlaySound(s, 1);
    WaitFor([&] { return engine->BASS_ChannelIsActive(ch) == 0; });
    delete engine;
    std::vector<float> left = LeftFromFirstSound(capture.Read());
    // 0.8 at 0.5 x 0.5 = 25 of 100, then at 50 of 100.
    ASSERT_GT(left.size(), 2205u);
    EXPECT_NEAR(left[0], 0.2f, 2 * kQuantum);
    EXPECT_NEAR(left[2204], 0.2f, 2 * kQuantum);
    float peak = 0;
    for (float v : left) peak = std::max(peak, v);
    EXPECT_NEAR(peak, 0.4f, 2 * kQuantum);
}

TEST_F(SoundEngineTest, LoopingStreamTakesANewVolumeOnlyAtItsNextLoop) {
    const int loopFrames = 4410;
    WriteConstantWav(m_dir.file("loop.wav"), 0.5f, loopFrames);
    DiskCapture capture(m_dir.file("out.raw"));
    CSoundEngine* engine =
        MakeEngine("[sound]\r\nbackground_volume=1.0\r\ngame_volume=1.0\r\nmusic_volume=1.0\r\n");
    DWORD stream = engine->LoadStream("loop.wav");
    ASSERT_NE(stream, 0u);
    {
        FrameCounter mixed(engine->m_library);
        engine->PlayStream(stream, 0, true);
        // Somewhere inside the second loop or later; exactly where does not matter.
        ASSERT_TRUE(mixed.WaitMore(loopFrames + 1500));
        engine->m_volumes[0] = 0.5f;
        ASSERT_TRUE(mixed.WaitMore(3 * loopFrames));
        EXPECT_NE(engine->BASS_ChannelIsActive(stream), 0u);
        engine->StopChannel(stream);
    }
    delete engine;

    std::vector<float> left = LeftFromFirstSound(capture.Read());
    size_t change = 0;
    while (change < left.size() && std::fabs(left[change] - 0.5f) < 2 * kQuantum) ++change;
    ASSERT_LT(change, left.size());
    ASSERT_GT(change, 0u);
    EXPECT_EQ(change % loopFrames, 0u) << "the new volume came in mid-loop at frame " << change;
    EXPECT_NEAR(left[change], 0.25f, 2 * kQuantum);
    EXPECT_NEAR(left[change + loopFrames - 1], 0.25f, 2 * kQuantum);
}

TEST_F(SoundEngineTest, EndSyncUnderLoadKeepsTheStreamPlaying) {
    // A 2 ms loop fires the sync every few hundred frames while the main
    // thread keeps changing the category volume (the ThreadSanitizer case).
    WriteConstantWav(m_dir.file("tick.wav"), 0.25f, 88);
    CSoundEngine* engine = MakeEngine();
    DWORD stream = engine->LoadStream("tick.wav");
    ASSERT_NE(stream, 0u);
    {
        // A hundred loops or so, however long the mixer takes for them.
        FrameCounter mixed(engine->m_library);
        engine->PlayStream(stream, 0, true);
        const uint64_t target = mixed.Frames() + 8820;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        int i = 0;
        while (mixed.Frames() < target && std::chrono::steady_clock::now() < deadline) {
            engine->m_volumes[0] = (i++ % 2) ? 0.2f : 0.9f;
            engine->SetChannelVolume(stream, engine->m_volumes[0]);
        }
        ASSERT_GE(mixed.Frames(), target);
    }
    EXPECT_EQ(engine->BASS_ChannelIsActive(stream), (DWORD)BASS_ACTIVE_PLAYING);
    engine->StopChannel(stream);
    EXPECT_EQ(engine->BASS_ChannelIsActive(stream), 0u);
}

TEST_F(SoundEngineTest, StartAndPauseTheDevice) {
    CSoundEngine* engine = MakeEngine();
    LogTail log;
    EXPECT_TRUE(engine->Pause());
    EXPECT_TRUE(engine->Start());
    EXPECT_EQ(log.Text(), "");
}

TEST_F(SoundEngineTest, NoDeviceLogsAndTheGameGoesOnSilently) {
    ScopedEnv driver("SDL_AUDIODRIVER", "kolvar-no-such-driver");
    WriteConstantWav(m_dir.file("beep.wav"), 0.5f, 441);
    LogTail log;
    CSoundEngine* engine = MakeEngine();
    EXPECT_TRUE(log.Contains("Error: (SoundEngine) Couldn't create sound device."));
    EXPECT_TRUE(log.Contains("Complete"));
    EXPECT_FLOAT_EQ(engine->m_volumes[1], 0.5f);
    EXPECT_FALSE(engine->Start());
    EXPECT_TRUE(log.Contains("Error: (SoundEngine) Couldn't start sound device."));
    EXPECT_FALSE(engine->Pause());
    EXPECT_TRUE(log.Contains("Error: (SoundEngine) Couldn't pause sound device."));
    DWORD s = engine->LoadSound("beep.wav");
    EXPECT_EQ(s, 0u);
    EXPECT_EQ(engine->PlaySound(s, 1), 0u);
    engine->Update();
}

TEST(SoundEngineDeathTest, MissingLibraryLogsAndExitsWithAFailureCode) {
    testing::FLAGS_gtest_death_test_style = "fast";
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    LogTail log;
    EXPECT_EXIT(
        {
            setenv("KOLVAR_MISSING_MODULES", "sound.dll", 1);
            CSoundEngine::GetInstance();
            fprintf(stderr, "still running\n");
            _exit(3);
        },
        testing::ExitedWithCode(1), "");
    EXPECT_TRUE(log.Contains("Initializing sound engine"));
    EXPECT_TRUE(log.Contains("<B>")) << "the error line is bold";
    EXPECT_TRUE(log.Contains("Color = red"));
    EXPECT_TRUE(log.Contains("Error: (SoundEngine) Couldn't load temp file.")) << log.Text();
    EXPECT_FALSE(log.Contains("Complete"));
}
