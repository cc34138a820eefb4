// The MIDI player's functions over the DirectMusic stand-in, with no sound
// engine and no audio device: the performance is driven by pulling sound out
// of it, so music time moves only when a test says so.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "AudioTestUtil.h"
#include "audio/MidiManager.h"
#include "engine/Loading.h"
#include "dmusichooks.h"
#include "support/TestUtil.h"

namespace {

const int kBeatFrames = 22050;  // one quarter note at 120 bpm

double Rms(const std::vector<float>& pcm) { return audiotest::Rms(pcm, 0, pcm.size()); }

class MidiPlayerTest : public audiotest::FolderTest {
protected:
    void SetUp() override { ASSERT_TRUE(MidiInit(nullptr)); }
    void TearDown() override { MidiShutdown(); }

    std::vector<float> Render(int frames) {
        std::vector<float> pcm(2 * static_cast<size_t>(frames), 0.0f);
        EXPECT_TRUE(dmusic::RenderPerformance(g_MidiManager->m_performance, pcm.data(), frames));
        return pcm;
    }
    CMidiSegment* Load(const std::string& name, const std::string& bytes) {
        testutil::WriteFile(m_dir.file(name), bytes);
        return MidiLoad(name);
    }
    // Start time and point of the segment playing now.
    bool PlayingState(MUSIC_TIME& startTime, MUSIC_TIME& startPoint) {
        MUSIC_TIME now = 0;
        g_MidiManager->m_performance->GetTime(nullptr, &now);
        IDirectMusicSegmentState* state = nullptr;
        if (FAILED(g_MidiManager->m_performance->GetSegmentState(&state, now))) return false;
        state->GetStartTime(&startTime);
        state->GetStartPoint(&startPoint);
        state->Release();
        return true;
    }
};

}  // namespace

TEST(MidiArithmeticTest, MasterVolumeIsComputedInDouble) {
    EXPECT_EQ(-2149, MidiVolumeToMillibels(0.3f));  // float arithmetic would give -2150
    EXPECT_EQ(1000, MidiVolumeToMillibels(1.0f));
    EXPECT_EQ(-1250, MidiVolumeToMillibels(0.5f));
    EXPECT_EQ(-3500, MidiVolumeToMillibels(0.0f));
    // Values from a damaged config.ini stay inside the 32-bit range.
    EXPECT_EQ(INT32_MAX, MidiVolumeToMillibels(1e30f));
    EXPECT_EQ(INT32_MIN, MidiVolumeToMillibels(-1e30f));
    EXPECT_EQ(INT32_MIN, MidiVolumeToMillibels(std::nanf("")));
}

TEST(MidiArithmeticTest, PausePositionRule) {
    // Loop 384..1152 repeated 5 times, started at point 0 at time 768.
    EXPECT_EQ(484, MidiPausePosition(768 + 2020, 768, 0, 384, 1152, 3072, 5));   // third pass
    EXPECT_EQ(1160, MidiPausePosition(768 + 5000, 768, 0, 384, 1152, 3072, 5));  // after the repeats
    EXPECT_EQ(300, MidiPausePosition(768 + 300, 768, 0, 384, 1152, 3072, 5));    // before the loop
    EXPECT_EQ(928, MidiPausePosition(100000, 0, 0, 384, 1152, 3072, DMUS_SEG_REPEAT_INFINITE));
    // No repeats: the offset from the start, counting the start point.
    EXPECT_EQ(5232, MidiPausePosition(5000, 768, 1000, 384, 1152, 6000, 0));
    // A loop end of 0 means the length; an empty or passed loop is no loop.
    EXPECT_EQ(1000, MidiPausePosition(2500, 1000, 0, 1000, 0, 1500, 2));  // 1500 if it were no loop
    EXPECT_EQ(4000, MidiPausePosition(4000, 0, 0, 800, 800, 6000, 3));
    EXPECT_EQ(6000, MidiPausePosition(4000, 0, 2000, 384, 1152, 6000, 3));
    // 64-bit products, capped.
    EXPECT_EQ(0x7FFFFFFF, MidiPausePosition(0x7FFFFFFF, -0x7FFFFFFF, 0, 0, 0, 100, 0));
    EXPECT_EQ(0x7FFFFFFF, MidiPausePosition(0x7FFFFFFF, -100, 0, 0, 4, 4, 2));
    EXPECT_EQ(250000, MidiPausePosition(1000000, 0, 0, 0, 0, 1000000 / 4, 3));
}

TEST_F(MidiPlayerTest, LoadsListsAndCountsEveryAttempt) {
    int counted = g_LoadedResources;
    CMidiSegment* a = Load("a.mid", audiotest::MidiBeats(4));
    ASSERT_NE(nullptr, a);
    EXPECT_TRUE(a->m_downloaded);
    EXPECT_EQ(a, MidiSegmentFromHandle(a->GetHandle()));
    EXPECT_EQ(nullptr, MidiSegmentFromHandle(0));

    // Corrupt, missing and over-long names: null, nothing listed, still counted.
    testutil::WriteFile(m_dir.file("bad.mid"), "MThd\0\0\0\x06garbage");
    EXPECT_EQ(nullptr, MidiLoad("bad.mid"));
    EXPECT_EQ(nullptr, MidiLoad("missing.mid"));
    EXPECT_EQ(nullptr, MidiLoad(std::string(300, 'x') + ".mid"));
    EXPECT_EQ(1u, MidiSegments().size());
    EXPECT_EQ(counted + 4, g_LoadedResources);
}

TEST_F(MidiPlayerTest, ALongCurrentDirectoryStillFindsTheSong) {
    std::string deep = m_dir.path();
    for (int i = 0; i < 6; ++i) deep += "/" + std::string(60, 'd');
    std::filesystem::create_directories(deep);
    testutil::WriteFile(deep + "/deep.mid", audiotest::MidiBeats(2));
    testutil::ScopedCwd cwd(deep);
    EXPECT_NE(nullptr, MidiLoad("deep.mid"));
}

TEST_F(MidiPlayerTest, UnloadMovesTheLastSegmentIntoTheGap) {
    CMidiSegment* a = Load("a.mid", audiotest::MidiBeats(2));
    CMidiSegment* b = Load("b.mid", audiotest::MidiBeats(3));
    CMidiSegment* c = Load("c.mid", audiotest::MidiBeats(4));
    ASSERT_TRUE(a && b && c);
    DWORD handleA = a->GetHandle();
    MidiUnload(a);
    ASSERT_EQ(2u, MidiSegments().size());
    EXPECT_EQ(c, MidiSegments()[0]);
    EXPECT_EQ(b, MidiSegments()[1]);
    EXPECT_EQ(nullptr, MidiSegmentFromHandle(handleA));
    CMidiSegment stray(nullptr, nullptr, nullptr);
    MidiUnload(&stray);  // not listed: nothing happens
    MidiUnload(nullptr);
    EXPECT_EQ(2u, MidiSegments().size());
}

TEST_F(MidiPlayerTest, PlayStartsOnTheBeatAndASecondSongStopsTheFirst) {
    CMidiSegment* a = Load("a.mid", audiotest::MidiBeats(8));
    CMidiSegment* b = Load("b.mid", audiotest::MidiBeats(8, 48));
    ASSERT_TRUE(a && b);
    EXPECT_FALSE(MidiIsPlaying(nullptr));
    Render(1000);
    MidiPlay(a);
    EXPECT_FALSE(MidiIsPlaying(a));  // waits for the next beat
    EXPECT_GT(Rms(Render(kBeatFrames)), 1e-3);
    EXPECT_TRUE(MidiIsPlaying(a));
    MidiPlay(b);
    EXPECT_FALSE(MidiIsPlaying(a));
    Render(kBeatFrames);
    EXPECT_TRUE(MidiIsPlaying(b));
    EXPECT_FALSE(MidiIsPlaying(a));
    MidiStop();
    EXPECT_FALSE(MidiIsPlaying(b));

    // A segment that was never downloaded does not play.
    a->m_downloaded = false;
    EXPECT_EQ(E_FAIL, a->Play(DMUS_SEGF_BEAT, nullptr));
    a->m_downloaded = true;
}

TEST_F(MidiPlayerTest, PauseIsSilentAndResumeContinuesFromThePausedPosition) {
    CMidiSegment* song = Load("song.mid", audiotest::MidiBeats(32));
    ASSERT_NE(nullptr, song);
    MidiPlay(song);
    Render(3 * kBeatFrames + 5000);
    MUSIC_TIME start = 0, point = -1, now = 0;
    ASSERT_TRUE(PlayingState(start, point));
    g_MidiManager->m_performance->GetTime(nullptr, &now);
    MidiPause(song);
    EXPECT_EQ(now - start, MidiRememberedPosition());
    EXPECT_GT(MidiRememberedPosition(), 3 * DMUS_PPQ);
    EXPECT_FALSE(MidiIsPlaying(song));

    Render(2 * kBeatFrames);  // release tails
    EXPECT_LT(Rms(Render(kBeatFrames)), 1e-4);

    MidiResume(song);
    Render(kBeatFrames);
    EXPECT_TRUE(MidiIsPlaying(song));
    ASSERT_TRUE(PlayingState(start, point));
    EXPECT_EQ(MidiRememberedPosition(), point);
    EXPECT_GT(Rms(Render(kBeatFrames)), 1e-3);
    // The segment itself starts from the beginning again on the next play.
    MUSIC_TIME segmentPoint = -1;
    MidiPlay(song);
    Render(kBeatFrames);
    ASSERT_TRUE(PlayingState(start, segmentPoint));
    EXPECT_EQ(0, segmentPoint);
}

TEST_F(MidiPlayerTest, PauseInsideARepeatedLoopRemembersThePositionInTheLoop) {
    CMidiSegment* song = Load("loop.mid", audiotest::MidiBeats(4));
    ASSERT_NE(nullptr, song);
    song->m_segment->SetLoopPoints(384, 1152);
    song->m_segment->SetRepeats(5);
    MidiPlay(song);
    Render(static_cast<int>(2020.0 * kBeatFrames / DMUS_PPQ));  // about offset 2020
    MUSIC_TIME start = 0, point = 0;
    ASSERT_TRUE(PlayingState(start, point));
    MidiPause(song);
    // Offset 2020 is 100 ticks into the third pass of the loop.
    EXPECT_NEAR(MidiRememberedPosition(), 484, 24);
}

TEST_F(MidiPlayerTest, PauseBeforeTheFirstBeatResumesFromTheStart) {
    CMidiSegment* song = Load("song.mid", audiotest::MidiBeats(8));
    ASSERT_NE(nullptr, song);
    Render(100);
    MidiPlay(song);  // waits for the beat
    MidiPause(song);
    EXPECT_EQ(0, MidiRememberedPosition());
    MidiResume(song);
    Render(kBeatFrames);
    MUSIC_TIME start = 0, point = -1;
    ASSERT_TRUE(PlayingState(start, point));
    EXPECT_EQ(0, point);
}

TEST(MidiWithoutInitTest, CallsWithoutAPlayerDoNothing) {
    ASSERT_EQ(nullptr, g_MidiManager);
    EXPECT_EQ(nullptr, MidiLoad("x.mid"));
    MidiStop();
    MidiPlay(nullptr);
    MidiPause(nullptr);
    MidiResume(nullptr);
    MidiSetVolume(nullptr, 0.5f);
    MidiShutdown();
    EXPECT_FALSE(MidiIsPlaying(nullptr));
}

// A sound font the synthesiser cannot load: its own reason reaches the log at
// the start and again beside every song that then cannot load.
TEST(MidiWithoutFontTest, TheSynthesizersReasonIsLogged) {
    struct Case {
        const char* what;
        const char* bytes;  // null: no file
    } cases[] = {{"missing", nullptr}, {"not a sound font", "not a RIFF file at all"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testutil::TempDir dir;
        testutil::ScopedCwd cwd(dir.path());
        const std::string font = dir.file("font.sf2");
        if (c.bytes) testutil::WriteFile(font, c.bytes);
        audiotest::ScopedEnv env("KOLVAR_SOUNDFONT", font.c_str());
        testutil::WriteFile(dir.file("a.mid"), audiotest::MidiBeats(2));
        audiotest::LogTail log;
        EXPECT_FALSE(MidiInit(nullptr));
        EXPECT_EQ(nullptr, MidiLoad("a.mid"));
        MidiShutdown();
        const std::string text = log.Text();
        for (const std::string& start : {std::string("Couldn't start the MIDI synthesizer: "),
                                         std::string("midi music a.mid: no MIDI synthesizer: ")}) {
            const size_t at = text.find(start);
            ASSERT_NE(at, std::string::npos) << start << "\n" << text;
            const std::string line = text.substr(at, text.find('\n', at) - at);
            EXPECT_NE(line.find(font), std::string::npos) << "the synthesizer names the font: " << line;
        }
    }
}

TEST_F(MidiPlayerTest, TheGeneratedSongsPlayToTheirEndWithoutClipping) {
    const char* game = getenv("KOLVAR_GAME_DIR");
    ASSERT_NE(game, nullptr);
    for (const char* name : {"morning.mid", "night.mid"}) {
        std::string bytes = testutil::ReadFile(std::string(game) + "/data/music/" + name);
        CMidiSegment* song = Load(name, bytes);
        ASSERT_NE(nullptr, song) << name;
        MUSIC_TIME length = 0;
        song->m_segment->GetLength(&length);
        EXPECT_GE(length, 16 * 4 * DMUS_PPQ) << name;  // sixteen bars
        MidiPlay(song);
        MidiSetVolume(song, 1.0f);  // the loudest setting the game uses
        double peak = 0, sum = 0;
        size_t frames = 0;
        for (int second = 0; second < 60 && (frames == 0 || MidiIsPlaying(song)); ++second) {
            std::vector<float> pcm = Render(44100);
            for (float v : pcm) {
                peak = std::max(peak, double(std::fabs(v)));
                sum += double(v) * v;
            }
            frames += 44100;
        }
        EXPECT_FALSE(MidiIsPlaying(song)) << name;
        EXPECT_GT(frames, 30u * 44100) << name;
        EXPECT_GT(std::sqrt(sum / (2 * frames)), 0.03) << name;
        EXPECT_LT(peak, 1.0) << name;
    }
}
