// The audio library as the game loads it: handles, device, mixing levels
// (captured with SDL's disk driver), playback limits, pause, syncs, modules.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <cmath>
#include <thread>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include "AudioTestUtil.h"
#include "platform.h"
#include "psapi.h"
#include "support/TestUtil.h"

using namespace audiotest;

namespace {

class BassTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_bass.Loaded()) << "sound.so not found"; }
    // A device left open goes with the test; Free on a closed one only fails.
    void TearDown() override { m_bass.Free(); }

    // The first device at 44.1 kHz, as the game opens it.
    bool Open() { return m_bass.Init(1, 44100, 0, nullptr, nullptr) == TRUE; }
    HSAMPLE Sample(const std::string& path) { return m_bass.SampleLoad(FALSE, path.c_str(), 0, 0, 5, 0); }

    // The wav of the test folder played once at the volume on a device of its own, captured into out;
    // the left channel from its first sound.
    void PlayToEnd(const char* wav, int volume, const char* out, std::vector<float>* left) {
        DiskCapture capture(m_dir.file(out));
        ASSERT_TRUE(Open());
        DWORD s = Sample(m_dir.file(wav));
        ASSERT_NE(s, 0u);
        DWORD ch = m_bass.SamplePlayEx(s, 0, -1, volume, -101, -1);
        ASSERT_NE(ch, 0u);
        WaitFor([&] { return m_bass.ChannelIsActive(ch) == 0; });
        EXPECT_EQ(m_bass.ChannelIsActive(ch), 0u);
        // A finished playback's handle is gone.
        EXPECT_EQ(m_bass.ChannelSetAttributes(ch, -1, 10, -101), FALSE);
        m_bass.Free();
        *left = LeftFromFirstSound(capture.Read());
    }

    testutil::TempDir m_dir;
    Bass m_bass;
};

}  // namespace

TEST_F(BassTest, DeviceCallsAndHarmlessHandles) {
    EXPECT_EQ(m_bass.GetConfig(BASS_CONFIG_MAXVOL), 100u);
    // Nothing loads before the device is open. A second long: no playback of
    // it ends on its own before the test stops it, however slow the machine.
    WriteConstantWav(m_dir.file("a.wav"), 0.5f, 44100);
    EXPECT_EQ(Sample(m_dir.file("a.wav")), 0u);
    EXPECT_EQ(m_bass.ErrorGetCode(), BASS_ERROR_INIT);
    EXPECT_EQ(m_bass.Start(), FALSE);

    ASSERT_TRUE(Open());
    EXPECT_EQ(m_bass.Init(1, 44100, 0, nullptr, nullptr), FALSE);
    EXPECT_EQ(m_bass.Start(), 1);
    EXPECT_EQ(m_bass.Pause(), 1);
    EXPECT_EQ(m_bass.Start(), 1);

    // Handle 0 is refused everywhere.
    EXPECT_EQ(m_bass.SamplePlayEx(0, 0, -1, 100, -101, -1), 0u);
    EXPECT_EQ(m_bass.SampleStop(0), FALSE);
    EXPECT_EQ(m_bass.SampleFree(0), FALSE);
    EXPECT_EQ(m_bass.StreamPlay(0, FALSE, 0), FALSE);
    EXPECT_EQ(m_bass.StreamFree(0), FALSE);
    EXPECT_EQ(m_bass.MusicPlay(0), FALSE);
    EXPECT_EQ(m_bass.MusicFree(0), FALSE);
    EXPECT_EQ(m_bass.ChannelIsActive(0), 0u);
    EXPECT_EQ(m_bass.ChannelSetAttributes(0, -1, 50, -101), FALSE);
    EXPECT_EQ(m_bass.ChannelStop(0), FALSE);
    EXPECT_EQ(m_bass.ChannelSetPosition(0, 0), FALSE);
    EXPECT_EQ(m_bass.ErrorGetCode(), BASS_ERROR_HANDLE);

    // A freed handle behaves like 0, also for the other kinds' calls.
    DWORD sample = Sample(m_dir.file("a.wav"));
    ASSERT_NE(sample, 0u);
    EXPECT_EQ(m_bass.StreamPlay(sample, FALSE, 0), FALSE);
    // A volume past the scale (a category volume above 1) plays at full volume.
    DWORD loud = m_bass.SamplePlayEx(sample, 0, -1, 150, -101, -1);
    EXPECT_NE(loud, 0u);
    EXPECT_EQ(m_bass.ChannelStop(loud), TRUE);
    EXPECT_EQ(m_bass.SampleFree(sample), TRUE);
    EXPECT_EQ(m_bass.SampleFree(sample), FALSE);
    EXPECT_EQ(m_bass.SamplePlayEx(sample, 0, -1, 100, -101, -1), 0u);
    DWORD stream = m_bass.StreamCreateFile(FALSE, m_dir.file("a.wav").c_str(), 0, 0, 0);
    ASSERT_NE(stream, 0u);
    EXPECT_NE(stream, sample);  // handles are not reused
    EXPECT_EQ(m_bass.StreamFree(stream), TRUE);
    EXPECT_EQ(m_bass.StreamPlay(stream, FALSE, 0), FALSE);
    EXPECT_EQ(m_bass.ChannelIsActive(stream), 0u);

    EXPECT_EQ(m_bass.Free(), TRUE);
    EXPECT_EQ(m_bass.Free(), FALSE);
}

TEST_F(BassTest, InitFailsWithoutAnyDevice) {
    ScopedEnv driver("SDL_AUDIODRIVER", "kolvar-no-such-driver");
    EXPECT_EQ(m_bass.Init(1, 44100, 0, nullptr, nullptr), FALSE);
    EXPECT_EQ(m_bass.ErrorGetCode(), BASS_ERROR_DRIVER);
    EXPECT_EQ(m_bass.Start(), FALSE);
    EXPECT_EQ(m_bass.Pause(), FALSE);
    EXPECT_EQ(m_bass.StreamCreateFile(FALSE, "whatever.wav", 0, 0, 0), 0u);
    EXPECT_EQ(m_bass.Free(), FALSE);
}

TEST_F(BassTest, SampleAppearsInOutputAtItsVolume) {
    WriteConstantWav(m_dir.file("dc.wav"), 0.5f, 2205);
    // The same length at half the rate: resampled to twice the frames.
    WriteConstantWav(m_dir.file("dc22.wav"), 0.5f, 2205, 22050);
    std::vector<float> first, second;
    ASSERT_NO_FATAL_FAILURE(PlayToEnd("dc.wav", 50, "out1.raw", &first));
    ASSERT_NO_FATAL_FAILURE(PlayToEnd("dc22.wav", 100, "out2.raw", &second));
    ASSERT_GE(first.size(), 2205u + 100u);
    for (size_t i = 0; i < 2205; ++i) ASSERT_NEAR(first[i], 0.25f, kQuantum) << "frame " << i;
    for (size_t i = 2205; i < first.size(); ++i) ASSERT_EQ(first[i], 0.0f) << "frame " << i;

    size_t loud = 0;
    for (float v : second) loud += std::fabs(v - 0.5f) < 2 * kQuantum;
    EXPECT_NEAR(static_cast<double>(loud), 4410.0, 4.0);
}

TEST_F(BassTest, SixthSimultaneousPlaybackIsRefused) {
    WriteConstantWav(m_dir.file("dc.wav"), 0.1f, 22050);
    DiskCapture capture(m_dir.file("out.raw"));
    ASSERT_TRUE(Open());
    DWORD s = Sample(m_dir.file("dc.wav"));
    ASSERT_NE(s, 0u);
    std::vector<DWORD> channels;
    for (int i = 0; i < 5; ++i) {
        channels.push_back(m_bass.SamplePlayEx(s, 0, -1, -1, -101, -1));
        EXPECT_NE(channels.back(), 0u) << "playback " << i;
    }
    EXPECT_EQ(m_bass.SamplePlayEx(s, 0, -1, -1, -101, -1), 0u);
    EXPECT_EQ(m_bass.ErrorGetCode(), BASS_ERROR_NOCHAN);
    // Stopping one makes room for one more.
    EXPECT_EQ(m_bass.ChannelStop(channels[0]), TRUE);
    EXPECT_NE(m_bass.SamplePlayEx(s, 0, -1, -1, -101, -1), 0u);
    EXPECT_EQ(m_bass.SamplePlayEx(s, 0, -1, -1, -101, -1), 0u);
    // SampleStop ends every playback.
    EXPECT_EQ(m_bass.SampleStop(s), TRUE);
    for (DWORD ch : channels) EXPECT_EQ(m_bass.ChannelIsActive(ch), 0u);
    for (int i = 0; i < 5; ++i) EXPECT_NE(m_bass.SamplePlayEx(s, 0, -1, -1, -101, -1), 0u);
    EXPECT_TRUE(FrameCounter(m_bass.module).WaitMore(4096));
    m_bass.Free();

    float peak = 0;
    for (float v : capture.Read()) peak = std::max(peak, v);
    // Five at 0.1 each; a sixth would have reached 0.6.
    EXPECT_NEAR(peak, 0.5f, 0.01f);
}

TEST_F(BassTest, PauseHoldsEveryChannelAndStartResumes) {
    const int frames = 44100;
    std::vector<float> ramp(frames);
    for (int i = 0; i < frames; ++i) ramp[i] = 0.05f + 0.9f * i / frames;
    WriteWav(m_dir.file("ramp.wav"), ramp, 1);
    WriteConstantWav(m_dir.file("dc.wav"), 0.5f, 44100);
    DiskCapture capture(m_dir.file("out.raw"));
    ASSERT_TRUE(Open());
    DWORD s = Sample(m_dir.file("ramp.wav"));
    DWORD stream = m_bass.StreamCreateFile(FALSE, m_dir.file("dc.wav").c_str(), 0, 0, 0);
    ASSERT_NE(s, 0u);
    ASSERT_NE(stream, 0u);
    DWORD ch = m_bass.SamplePlayEx(s, 0, -1, 100, -101, -1);
    ASSERT_NE(ch, 0u);
    ASSERT_TRUE(FrameCounter(m_bass.module).WaitMore(2048));
    ASSERT_EQ(m_bass.Pause(), 1);
    EXPECT_EQ(m_bass.ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PAUSED);
    // A stream started while paused waits too.
    EXPECT_EQ(m_bass.StreamPlay(stream, FALSE, 0), TRUE);
    EXPECT_EQ(m_bass.ChannelIsActive(stream), (DWORD)BASS_ACTIVE_PAUSED);
    EXPECT_EQ(m_bass.ChannelStop(stream), TRUE);
    // The paused device goes on writing silence; wait for a few blocks of it.
    size_t written = FileSize(m_dir.file("out.raw"));
    WaitFor([&] { return FileSize(m_dir.file("out.raw")) > written + 4 * 8192; });
    EXPECT_EQ(m_bass.ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PAUSED);
    ASSERT_EQ(m_bass.Start(), 1);
    EXPECT_EQ(m_bass.ChannelIsActive(ch), (DWORD)BASS_ACTIVE_PLAYING);
    WaitFor([&] { return m_bass.ChannelIsActive(ch) == 0; });
    m_bass.Free();

    std::vector<float> left = LeftFromFirstSound(capture.Read());
    // The ramp, a gap of silence, then the ramp again from where it stopped: nothing lost.
    size_t gap = 0;
    while (gap < left.size() && left[gap] != 0.0f) ++gap;
    size_t resume = gap;
    while (resume < left.size() && left[resume] == 0.0f) ++resume;
    ASSERT_GT(gap, 0u);
    ASSERT_LT(resume, left.size());
    EXPECT_GE(resume - gap, 1024u) << "the pause should hold at least one block";
    EXPECT_NEAR(left[resume], left[gap - 1], 4 * kQuantum);
    size_t sounding = 0;
    for (float v : left) sounding += v != 0.0f;
    EXPECT_EQ(sounding, static_cast<size_t>(frames));
}

namespace {
std::atomic<int> g_syncCount{0};
std::atomic<bool> g_syncOnOtherThread{true};
std::atomic<DWORD> g_syncUser{0};
std::thread::id g_mainThread;

void CountingSync(HSYNC, DWORD, DWORD, DWORD user) {
    ++g_syncCount;
    g_syncUser = user;
    if (std::this_thread::get_id() == g_mainThread) g_syncOnOtherThread = false;
}
}  // namespace

TEST_F(BassTest, EndSyncRunsOnTheMixerThreadAtEveryLoop) {
    WriteConstantWav(m_dir.file("short.wav"), 0.25f, 441);
    ASSERT_TRUE(Open());
    DWORD looping = m_bass.StreamCreateFile(FALSE, m_dir.file("short.wav").c_str(), 0, 0, 0);
    DWORD once = m_bass.StreamCreateFile(FALSE, m_dir.file("short.wav").c_str(), 0, 0, 0);
    ASSERT_NE(looping, 0u);
    g_mainThread = std::this_thread::get_id();
    g_syncCount = 0;
    ASSERT_EQ(m_bass.StreamPlay(looping, FALSE, BASS_SAMPLE_LOOP), TRUE);
    EXPECT_NE(m_bass.ChannelSetSync(looping, BASS_SYNC_END, 0, &CountingSync, 2), 0u);
    EXPECT_EQ(m_bass.ChannelSetSync(looping, 99, 0, &CountingSync, 2), 0u);
    WaitFor([] { return g_syncCount >= 5; });
    EXPECT_GE(g_syncCount.load(), 5);
    EXPECT_TRUE(g_syncOnOtherThread.load());
    EXPECT_EQ(g_syncUser.load(), 2u);
    EXPECT_EQ(m_bass.ChannelIsActive(looping), (DWORD)BASS_ACTIVE_PLAYING);
    m_bass.ChannelStop(looping);

    // Without the loop flag the stream ends, calls the sync once and reports stopped.
    g_syncCount = 0;
    ASSERT_EQ(m_bass.StreamPlay(once, FALSE, 0), TRUE);
    EXPECT_NE(m_bass.ChannelSetSync(once, BASS_SYNC_END, 0, &CountingSync, 7), 0u);
    WaitFor([&] { return m_bass.ChannelIsActive(once) == 0; });
    ASSERT_TRUE(FrameCounter(m_bass.module).WaitMore(2048));  // blocks mixed after the end
    EXPECT_EQ(g_syncCount.load(), 1);
    EXPECT_EQ(g_syncUser.load(), 7u);
    // Played again it starts over.
    ASSERT_EQ(m_bass.StreamPlay(once, FALSE, 0), TRUE);
    EXPECT_NE(m_bass.ChannelIsActive(once), 0u);
}

namespace {
Bass* g_syncBass = nullptr;
void FreeingSync(HSYNC, DWORD channel, DWORD, DWORD) {
    g_syncBass->StreamFree(channel);
    ++g_syncCount;
}
}  // namespace

TEST_F(BassTest, SyncMayFreeItsOwnChannel) {
    WriteConstantWav(m_dir.file("short.wav"), 0.25f, 441);
    ASSERT_TRUE(Open());
    g_syncBass = &m_bass;
    g_syncCount = 0;
    for (DWORD flags : {0u, (DWORD)BASS_SAMPLE_LOOP}) {
        DWORD stream = m_bass.StreamCreateFile(FALSE, m_dir.file("short.wav").c_str(), 0, 0, 0);
        ASSERT_NE(stream, 0u);
        ASSERT_EQ(m_bass.StreamPlay(stream, FALSE, flags), TRUE);
        ASSERT_NE(m_bass.ChannelSetSync(stream, BASS_SYNC_END, 0, &FreeingSync, 0), 0u);
        WaitFor([&] { return m_bass.ChannelIsActive(stream) == 0; });
        EXPECT_EQ(m_bass.StreamFree(stream), FALSE) << "freed by its sync";
    }
    EXPECT_EQ(g_syncCount.load(), 2);
}

TEST_F(BassTest, ModuleMusicPlaysOnceAndRewinds) {
    WriteTinyModule(m_dir.file("tiny.mod"));
    testutil::WriteFile(m_dir.file("bad.mod"), std::string(3000, 'x'));
    ASSERT_TRUE(Open());
    EXPECT_EQ(m_bass.MusicLoad(FALSE, m_dir.file("bad.mod").c_str(), 0, 0, 0, 0), 0u);
    EXPECT_EQ(m_bass.MusicLoad(FALSE, m_dir.file("missing.mod").c_str(), 0, 0, 0, 0), 0u);
    DWORD music = m_bass.MusicLoad(FALSE, m_dir.file("tiny.mod").c_str(), 0, 0, 0, 0);
    ASSERT_NE(music, 0u);
    EXPECT_EQ(m_bass.ChannelIsActive(music), 0u);
    ASSERT_EQ(m_bass.MusicPlay(music), TRUE);
    EXPECT_EQ(m_bass.ChannelIsActive(music), (DWORD)BASS_ACTIVE_PLAYING);
    WaitFor([&] { return m_bass.ChannelIsActive(music) == 0; });
    EXPECT_EQ(m_bass.ChannelIsActive(music), 0u) << "the song should end, not loop";
    ASSERT_EQ(m_bass.ChannelSetPosition(music, 0), TRUE);
    ASSERT_EQ(m_bass.MusicPlay(music), TRUE);
    EXPECT_NE(m_bass.ChannelIsActive(music), 0u);
    EXPECT_EQ(m_bass.MusicFree(music), TRUE);
    EXPECT_EQ(m_bass.ChannelIsActive(music), 0u);
    EXPECT_EQ(m_bass.MusicFree(music), FALSE);
}

TEST_F(BassTest, CorruptAndMissingFilesGiveHandleZero) {
    testutil::WriteFile(m_dir.file("garbage.wav"), std::string(5000, '\x5a'));
    testutil::WriteFile(m_dir.file("empty.ogg"), "");
    std::string header = "RIFF\x24\x00\x00\x00WAVEfmt ";
    testutil::WriteFile(m_dir.file("truncated.wav"), header);
    WriteConstantWav(m_dir.file("silence.wav"), 0.0f, 0);
    ASSERT_TRUE(Open());
    for (const char* name : {"garbage.wav", "empty.ogg", "truncated.wav", "silence.wav", "missing.wav"}) {
        std::string path = m_dir.file(name);
        EXPECT_EQ(Sample(path), 0u) << name;
        EXPECT_EQ(m_bass.MusicLoad(FALSE, path.c_str(), 0, 0, 0, 0), 0u) << name;
        if (std::string(name) != "silence.wav") {
            EXPECT_EQ(m_bass.StreamCreateFile(FALSE, path.c_str(), 0, 0, 0), 0u) << name;
        }
    }
    EXPECT_EQ(m_bass.SampleLoad(FALSE, nullptr, 0, 0, 5, 0), 0u);
    // An empty stream that loops must not spin the mixer: it goes on mixing and the stream stops.
    DWORD empty = m_bass.StreamCreateFile(FALSE, m_dir.file("silence.wav").c_str(), 0, 0, 0);
    ASSERT_NE(empty, 0u);
    EXPECT_EQ(m_bass.StreamPlay(empty, FALSE, BASS_SAMPLE_LOOP), TRUE);
    ASSERT_TRUE(FrameCounter(m_bass.module).WaitMore(2048));
    EXPECT_EQ(m_bass.ChannelIsActive(empty), 0u);
}

TEST_F(BassTest, FifosAndOversizeFilesAreRefusedWithoutBlocking) {
    const std::string fifo = m_dir.file("pipe.wav"), big = m_dir.file("big.wav");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    WriteConstantWav(big, 0.5f, 100);
    ASSERT_EQ(truncate(big.c_str(), off_t(platform::kMaxReadFileSize + 1)), 0);  // sparse: no disk used
    ASSERT_TRUE(Open());
    for (const std::string& path : {fifo, big}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(Sample(path), 0u);
        EXPECT_EQ(m_bass.ErrorGetCode(), BASS_ERROR_FILEOPEN);
        EXPECT_EQ(m_bass.StreamCreateFile(FALSE, path.c_str(), 0, 0, 0), 0u);
        EXPECT_EQ(m_bass.MusicLoad(FALSE, path.c_str(), 0, 0, 0, 0), 0u);
    }
}

// Half an hour is the longest sample, at any rate: a low-rate file past it
// would grow many times over when resampled to the output rate.
TEST_F(BassTest, SampleLengthIsBoundedInTimeAtAnyRate) {
    struct Case {
        const char* name;
        int rate, frames;
        bool loads;
    } cases[] = {
        {"second.wav", 1000, 1000, true},
        {"half_hour_and_a_frame.wav", 1000, 30 * 60 * 1000 + 1, false},
    };
    ASSERT_TRUE(Open());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        WriteConstantWav(m_dir.file(c.name), 0.25f, c.frames, c.rate);
        const HSAMPLE sample = Sample(m_dir.file(c.name));
        EXPECT_EQ(sample != 0, c.loads);
        if (sample) {
            EXPECT_EQ(m_bass.SampleFree(sample), TRUE);
        } else {
            EXPECT_EQ(m_bass.ErrorGetCode(), BASS_ERROR_FILEFORM);
        }
    }
}

// A load that would take the decoded samples past their limit is refused,
// and freeing one makes room again.
TEST_F(BassTest, HeldSamplesStayUnderTheirByteLimit) {
    const DWORD limit = m_bass.GetConfig(BASS_CONFIG_SAMPLEBYTES);
    EXPECT_EQ(limit, 256u << 20);
    WriteConstantWav(m_dir.file("second.wav"), 0.25f, 44100);  // held as 88,200 bytes of 16-bit samples
    ASSERT_EQ(m_bass.SetConfig(BASS_CONFIG_SAMPLEBYTES, 3 * 88200), TRUE);
    ASSERT_TRUE(Open());
    const std::string path = m_dir.file("second.wav");
    std::vector<HSAMPLE> held;
    for (int i = 0; i < 3; ++i) held.push_back(Sample(path));
    for (HSAMPLE s : held) EXPECT_NE(s, 0u);
    EXPECT_EQ(Sample(path), 0u);
    EXPECT_EQ(m_bass.ErrorGetCode(), BASS_ERROR_MEM);
    EXPECT_EQ(m_bass.SampleFree(held[1]), TRUE);
    EXPECT_NE(Sample(path), 0u);
    m_bass.Free();
    EXPECT_EQ(m_bass.SetConfig(BASS_CONFIG_SAMPLEBYTES, limit), TRUE);
}

// A resampled load holds little beside its result while it decodes: no copy
// at the file's own rate, and no store copied as it grows.
TEST_F(BassTest, DecodingHoldsLittleBesideItsResult) {
    auto resident = [] {
        PROCESS_MEMORY_COUNTERS counters{};
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
        return counters;
    };
    // 20 s at 96 kHz: 15 MB as floats at the file's rate, 7 MB at the output rate.
    WriteConstantWav(m_dir.file("long.wav"), 0.25f, 20 * 96000, 96000);
    ASSERT_TRUE(Open());
    bool peakReset = false;
    if (FILE* reset = fopen("/proc/self/clear_refs", "w")) {
        peakReset = fputs("5", reset) >= 0;
        peakReset = fclose(reset) == 0 && peakReset;
    }
    if (!peakReset) GTEST_SKIP() << "the peak resident size cannot be reset here";
    const double before = resident().WorkingSetSize;
    const HSAMPLE sample = Sample(m_dir.file("long.wav"));
    ASSERT_NE(sample, 0u);
    const double result = 20.0 * 44100 * 2 * sizeof(float);
    EXPECT_LT(resident().PeakWorkingSetSize - before, 1.5 * result);
    EXPECT_EQ(m_bass.SampleFree(sample), TRUE);
}

TEST_F(BassTest, EveryGameSoundExistsAndDecodes) {
    const char* dir = getenv("KOLVAR_GAME_DIR");
    ASSERT_NE(dir, nullptr);
    ASSERT_TRUE(Open());
    const char* names[] = {"menu_move.wav",  "menu_click.wav", "menu_change.wav", "animal_block_destroy.wav",
                           "voice1.wav",     "voice2.wav",     "voice3.wav",      "voice4.wav",
                           "timer.wav",      "drop.wav",       "next_level.wav",  "boxhit.wav",
                           "bounce1.ogg",    "bounce2.ogg",    "bounce3.ogg",     "bounce4.wav",
                           "bombwait.wav",   "bombexplode.wav", "empty.wav",      "gameover.wav"};
    for (const char* name : names) {
        std::string path = std::string(dir) + "/data/audio/" + name;
        EXPECT_NE(Sample(path), 0u) << name;
        EXPECT_NE(m_bass.StreamCreateFile(FALSE, path.c_str(), 0, 0, 0), 0u) << name;
    }
    // Windows separators and another case reach the same file.
    std::string windows = std::string(dir) + "\\DATA\\Audio\\Bounce1.OGG";
    EXPECT_NE(Sample(windows), 0u);
}

TEST(GameSounds, FuseLoopHasNoSeam) {
    // bombwait.wav plays looped while a fuse burns: the jump from its last
    // sample to its first must look like any step inside the sound.
    const char* dir = getenv("KOLVAR_GAME_DIR");
    ASSERT_NE(dir, nullptr);
    std::string bytes = testutil::ReadFile(std::string(dir) + "/data/audio/bombwait.wav");
    ASSERT_GT(bytes.size(), 44u + 2 * 4410u);
    ASSERT_EQ(bytes.compare(36, 4, "data"), 0);
    std::vector<float> x((bytes.size() - 44) / 2);
    for (size_t i = 0; i < x.size(); ++i) {
        int16_t v;
        memcpy(&v, bytes.data() + 44 + 2 * i, 2);
        x[i] = v / 32768.0f;
    }
    std::vector<float> steps;
    for (size_t i = 1; i < x.size(); ++i) steps.push_back(std::fabs(x[i] - x[i - 1]));
    std::sort(steps.begin(), steps.end());
    float typical = steps[steps.size() * 95 / 100];
    EXPECT_LE(std::fabs(x.front() - x.back()), typical);
    // No fade at either end: the head and the tail are as loud as each other.
    auto rms = [&](size_t from, size_t n) {
        double sum = 0;
        for (size_t i = from; i < from + n; ++i) sum += double(x[i]) * x[i];
        return std::sqrt(sum / n);
    };
    double head = rms(0, 2205), tail = rms(x.size() - 2205, 2205);
    EXPECT_GT(head, 0.05);
    EXPECT_NEAR(head / tail, 1.0, 0.35);
}

namespace {
std::atomic<int> g_sourceCalls{0};
void ConstantSource(float* out, int frames, void* user) {
    float value = *static_cast<float*>(user);
    for (int i = 0; i < 2 * frames; ++i) out[i] += value;
    ++g_sourceCalls;
}
}  // namespace

TEST_F(BassTest, MixerSourceAddsIntoTheDeviceUntilRemoved) {
    float value = 0.125f;
    EXPECT_EQ(m_bass.AddSource(&ConstantSource, &value), 0u) << "no device yet";
    DiskCapture capture(m_dir.file("out.raw"));
    ASSERT_TRUE(Open());
    g_sourceCalls = 0;
    DWORD id = m_bass.AddSource(&ConstantSource, &value);
    ASSERT_NE(id, 0u);
    WaitFor([] { return g_sourceCalls >= 3; });
    ASSERT_EQ(m_bass.RemoveSource(id), TRUE);
    int calls = g_sourceCalls;
    ASSERT_TRUE(FrameCounter(m_bass.module).WaitMore(2048));
    EXPECT_EQ(g_sourceCalls.load(), calls) << "a removed source is not called again";
    EXPECT_EQ(m_bass.RemoveSource(id), FALSE);
    m_bass.Free();
    std::vector<float> left = LeftFromFirstSound(capture.Read());
    ASSERT_GE(left.size(), 3u * 1024u);
    for (size_t i = 0; i < 3u * 1024u; ++i) ASSERT_EQ(left[i], 0.125f);
}

namespace {
// True while the device's mixing thread (SDL names it "SDLAudioP<n>") runs in this process.
bool MixingThreadRuns() {
    bool found = false;
    if (DIR* tasks = opendir("/proc/self/task")) {
        while (dirent* e = readdir(tasks))
            if (e->d_name[0] != '.')
                found = found || testutil::ReadFile(std::string("/proc/self/task/") + e->d_name + "/comm")
                                         .rfind("SDLAudioP", 0) == 0;
        closedir(tasks);
    }
    return found;
}

// State a mixer source reads that dies with the process, like a player's:
// by then the mixing thread must be gone.
struct ExitState {
    bool alive = true;
    ~ExitState() {
        alive = false;
        if (MixingThreadRuns()) _exit(3);
    }
};

void SourceReadingState(float*, int, void* user) {
    if (!static_cast<ExitState*>(user)->alive) _exit(3);
    ++g_sourceCalls;
}
}  // namespace

TEST_F(BassTest, ExitWithTheDeviceOpenStopsMixingBeforeStateDies) {
    EXPECT_EXIT(
        {
            static ExitState state;
            if (!Open()) _exit(4);
            g_sourceCalls = 0;
            if (m_bass.AddSource(&SourceReadingState, &state) == 0) _exit(5);
            WaitFor([] { return g_sourceCalls >= 2; });
            if (!MixingThreadRuns()) _exit(6);
            exit(0);
        },
        testing::ExitedWithCode(0), "");
}
