// The DirectMusic stand-in: loading standard MIDI files, music time, playing,
// stopping, start points, loops and the master volume, all rendered by hand.
#include <gtest/gtest.h>

#include <dmusic.h>
#include <platform.h>

#include "dmusichooks.h"
#include "support/TestUtil.h"

#include <cmath>
#include <string>
#include <vector>

namespace {

// A one-track file: every note is one quarter long at the given division.
struct SmfBuilder {
    uint16_t division = 96;
    std::string track;
    uint32_t pending = 0;

    void Delta(uint32_t d) {
        d += pending;
        pending = 0;
        char buf[4];
        int n = 0;
        buf[n++] = static_cast<char>(d & 0x7F);
        while (d >>= 7) buf[n++] = static_cast<char>(0x80 | (d & 0x7F));
        while (n--) track.push_back(buf[n]);
    }
    void Event(uint32_t delta, std::initializer_list<int> bytes) {
        Delta(delta);
        for (int b : bytes) track.push_back(static_cast<char>(b));
    }
    void Rest(uint32_t ticks) { pending += ticks; }
    void Note(int key, uint32_t ticks) {
        Event(0, {0x90, key, 100});
        Event(ticks, {0x80, key, 0});
    }
    void Tempo(uint32_t usPerQuarter) {
        Event(0, {0xFF, 0x51, 3, int(usPerQuarter >> 16) & 0xFF, int(usPerQuarter >> 8) & 0xFF, int(usPerQuarter) & 0xFF});
    }
    std::string Bytes() {
        Event(0, {0xFF, 0x2F, 0});
        std::string out = "MThd";
        auto be = [&](uint32_t v, int n) {
            for (int i = n - 1; i >= 0; --i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
        };
        be(6, 4);
        be(0, 2);
        be(1, 2);
        be(division, 2);
        out += "MTrk";
        be(static_cast<uint32_t>(track.size()), 4);
        return out + track;
    }
};

std::wstring Wide(const std::string& s) { return std::wstring(s.begin(), s.end()); }

double Rms(const std::vector<float>& pcm) {
    double sum = 0;
    for (float v : pcm) sum += double(v) * v;
    return pcm.empty() ? 0 : std::sqrt(sum / pcm.size());
}

class DMusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8,
                                         reinterpret_cast<void**>(&m_loader)));
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                         IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&m_perf)));
        ASSERT_EQ(S_OK, m_perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 128,
                                          DMUS_AUDIOF_ALL, nullptr));
        std::wstring dir = Wide(m_dir.path());
        ASSERT_EQ(S_OK, m_loader->SetSearchDirectory(GUID_DirectMusicAllTypes, dir.c_str(), FALSE));
    }
    void TearDown() override {
        for (IDirectMusicSegment8* s : m_segments) {
            m_loader->ReleaseObjectByUnknown(s);
            s->Release();
        }
        if (m_perf) {
            m_perf->CloseDown();
            m_perf->Release();
        }
        if (m_loader) m_loader->Release();
        CoUninitialize();
    }

    IDirectMusicSegment8* Load(const std::string& name, const std::string& bytes) {
        testutil::WriteFile(m_dir.file(name), bytes);
        IDirectMusicSegment8* seg = nullptr;
        std::wstring w = Wide(name);
        HRESULT hr = m_loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, w.c_str(),
                                                  reinterpret_cast<void**>(&seg));
        EXPECT_EQ(S_OK, hr) << name;
        if (seg) m_segments.push_back(seg);
        return seg;
    }
    std::vector<float> Render(int frames) {
        std::vector<float> pcm(2 * static_cast<size_t>(frames), 0.0f);
        EXPECT_TRUE(dmusic::RenderPerformance(m_perf, pcm.data(), frames));
        return pcm;
    }
    MUSIC_TIME Now() {
        MUSIC_TIME t = -1;
        m_perf->GetTime(nullptr, &t);
        return t;
    }

    testutil::TempDir m_dir;
    IDirectMusicLoader8* m_loader = nullptr;
    IDirectMusicPerformance8* m_perf = nullptr;
    std::vector<IDirectMusicSegment8*> m_segments;
};

std::string FourNotes() {
    SmfBuilder b;
    for (int key : {60, 64, 67, 72}) b.Note(key, 96);
    return b.Bytes();
}

}  // namespace

TEST(ComTest, CreationNeedsInitialisationAndKnownClasses) {
    void* obj = reinterpret_cast<void*>(1);
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8, &obj));
    EXPECT_EQ(nullptr, obj);
    ASSERT_EQ(S_OK, CoInitialize(nullptr));
    EXPECT_EQ(S_FALSE, CoInitialize(nullptr));
    EXPECT_EQ(REGDB_E_CLASSNOTREG,
              CoCreateInstance(GUID_PerfMasterVolume, nullptr, CLSCTX_INPROC, IID_IUnknown, &obj));
    EXPECT_EQ(E_NOINTERFACE, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC,
                                              IID_IDirectMusicPerformance8, &obj));
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8, &obj));
    static_cast<IUnknown*>(obj)->Release();
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CO_E_NOTINITIALIZED,
              CoCreateInstance(CLSID_DirectMusicLoader, nullptr, CLSCTX_INPROC, IID_IDirectMusicLoader8, &obj));
}

TEST(WideTextTest, CodePage1252Conversion) {
    WCHAR out[8];
    EXPECT_EQ(4, MultiByteToWideChar(CP_ACP, 0, "a\x80\xE9", -1, out, 8));
    EXPECT_EQ(L'a', out[0]);
    EXPECT_EQ(0x20AC, static_cast<int>(out[1]));  // euro sign
    EXPECT_EQ(0xE9, static_cast<int>(out[2]));
    EXPECT_EQ(0, static_cast<int>(out[3]));
    EXPECT_EQ(0, MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, out, 3));  // does not fit
    EXPECT_EQ(7, MultiByteToWideChar(CP_ACP, 0, "abcdef", -1, nullptr, 0));
}

TEST_F(DMusicTest, LoadsInMusicTimeAndRejectsBadFiles) {
    IDirectMusicSegment8* seg = Load("four.mid", FourNotes());
    ASSERT_NE(nullptr, seg);
    MUSIC_TIME length = 0;
    seg->GetLength(&length);
    EXPECT_EQ(4 * DMUS_PPQ, length);  // 4 quarters at 96 per quarter -> 768 per quarter
    EXPECT_EQ(S_OK, seg->SetParam(GUID_StandardMIDIFile, 0xFFFFFFFF, 0, 0, nullptr));
    IUnknown* config = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(DMUS_E_NO_AUDIOPATH_CONFIG, seg->GetAudioPathConfig(&config));
    EXPECT_EQ(nullptr, config);

    // Loading the same file again hands out the cached object.
    IDirectMusicSegment8* again = nullptr;
    EXPECT_EQ(S_OK, m_loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, L"FOUR.MID",
                                                  reinterpret_cast<void**>(&again)));
    EXPECT_EQ(seg, again);
    again->Release();

    std::string good = FourNotes();
    const std::vector<std::pair<std::string, std::string>> bad = {
        {"empty.mid", ""},
        {"text.mid", "this is not a MIDI file at all"},
        {"cut.mid", good.substr(0, good.size() - 6)},
        {"smpte.mid", good.substr(0, 12) + "\xE7\x28" + good.substr(14)},
        {"longtrack.mid", good.substr(0, 18) + "\x7F\xFF\xFF\xFF" + good.substr(22)},
    };
    for (const auto& b : bad) {
        testutil::WriteFile(m_dir.file(b.first), b.second);
        void* obj = reinterpret_cast<void*>(1);
        std::wstring w = Wide(b.first);
        EXPECT_EQ(DMUS_E_UNSUPPORTED_STREAM,
                  m_loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, w.c_str(), &obj))
            << b.first;
        EXPECT_EQ(nullptr, obj);
    }
    void* obj = nullptr;
    EXPECT_EQ(DMUS_E_LOADER_FAILEDOPEN,
              m_loader->LoadObjectFromFile(CLSID_DirectMusicSegment, IID_IDirectMusicSegment8, L"missing.mid", &obj));
    EXPECT_EQ(DMUS_E_LOADER_BADPATH,
              m_loader->SetSearchDirectory(GUID_DirectMusicAllTypes, L"/no/such/folder", FALSE));
}

TEST_F(DMusicTest, PlaysOnTheNextBeatAndEndsAtItsLength) {
    IDirectMusicSegment8* seg = Load("four.mid", FourNotes());
    ASSERT_NE(nullptr, seg);
    ASSERT_EQ(S_OK, seg->Download(m_perf));
    Render(1000);  // off the beat
    MUSIC_TIME now = Now();
    EXPECT_EQ(static_cast<MUSIC_TIME>(1000 * 768.0 * 2 / 44100), now);  // 120 bpm

    ASSERT_EQ(S_OK, m_perf->PlaySegmentEx(seg, nullptr, nullptr, DMUS_SEGF_BEAT, 0, nullptr, nullptr, nullptr));
    IDirectMusicSegmentState* state = nullptr;
    ASSERT_EQ(S_OK, m_perf->GetSegmentState(&state, DMUS_PPQ));
    MUSIC_TIME start = -1, point = -1;
    state->GetStartTime(&start);
    state->GetStartPoint(&point);
    state->Release();
    EXPECT_EQ(DMUS_PPQ, start);
    EXPECT_EQ(0, point);
    EXPECT_EQ(DMUS_E_NOT_FOUND, m_perf->GetSegmentState(&state, now));
    EXPECT_EQ(S_FALSE, m_perf->IsPlaying(seg, nullptr));  // waits for the beat

    EXPECT_LT(Rms(Render(10000)), 1e-4);  // up to the beat: silence
    std::vector<float> music = Render(44100);
    EXPECT_EQ(S_OK, m_perf->IsPlaying(seg, nullptr));
    EXPECT_GT(Rms(music), 1e-3);

    // Four quarters at 120 bpm are two seconds from the beat.
    Render(44100 * 2);
    EXPECT_EQ(S_FALSE, m_perf->IsPlaying(seg, nullptr));
    Render(44100 * 2);  // release tails fade
    EXPECT_LT(Rms(Render(4410)), 1e-4);
}

TEST_F(DMusicTest, StopEndsEverythingAtOnce) {
    IDirectMusicSegment8* seg = Load("four.mid", FourNotes());
    ASSERT_NE(nullptr, seg);
    seg->Download(m_perf);
    m_perf->PlaySegment(seg, DMUS_SEGF_BEAT, 0, nullptr);
    Render(22050);
    ASSERT_EQ(S_OK, m_perf->IsPlaying(seg, nullptr));
    EXPECT_EQ(S_OK, m_perf->Stop(nullptr, nullptr, 0, 0));
    EXPECT_EQ(S_FALSE, m_perf->IsPlaying(seg, nullptr));
    IDirectMusicSegmentState* state = nullptr;
    EXPECT_EQ(DMUS_E_NOT_FOUND, m_perf->GetSegmentState(&state, Now()));
    Render(44100);
    EXPECT_LT(Rms(Render(4410)), 1e-4);
}

TEST_F(DMusicTest, StartPointSkipsTheBeginningButKeepsInstruments) {
    // Two silent bars, then a note; the program change sits at the very start.
    SmfBuilder b;
    b.Event(0, {0xC0, 40});
    b.Rest(96 * 8);
    b.Note(60, 96 * 4);
    IDirectMusicSegment8* seg = Load("late.mid", b.Bytes());
    ASSERT_NE(nullptr, seg);
    EXPECT_EQ(DMUS_E_OUT_OF_RANGE, seg->SetStartPoint(12 * DMUS_PPQ));
    ASSERT_EQ(S_OK, seg->SetStartPoint(8 * DMUS_PPQ));
    ASSERT_EQ(S_OK, m_perf->PlaySegment(seg, DMUS_SEGF_BEAT, 0, nullptr));
    seg->SetStartPoint(0);  // the state keeps the point it started with
    IDirectMusicSegmentState* state = nullptr;
    ASSERT_EQ(S_OK, m_perf->GetSegmentState(&state, 0));
    MUSIC_TIME point = 0;
    state->GetStartPoint(&point);
    state->Release();
    EXPECT_EQ(8 * DMUS_PPQ, point);
    EXPECT_GT(Rms(Render(22050)), 1e-3);  // the note sounds at once
    Render(44100 * 2);
    EXPECT_EQ(S_FALSE, m_perf->IsPlaying(seg, nullptr));
}

TEST_F(DMusicTest, LoopPointsRepeatThePartBetweenThem) {
    IDirectMusicSegment8* seg = Load("four.mid", FourNotes());
    ASSERT_NE(nullptr, seg);
    EXPECT_EQ(DMUS_E_OUT_OF_RANGE, seg->SetLoopPoints(DMUS_PPQ, 9 * DMUS_PPQ));
    ASSERT_EQ(S_OK, seg->SetLoopPoints(DMUS_PPQ, 3 * DMUS_PPQ));
    ASSERT_EQ(S_OK, seg->SetRepeats(2));
    m_perf->PlaySegment(seg, 0, 0, nullptr);
    // 4 quarters + 2 x 2 looped quarters = 8 quarters = 4 s at 120 bpm.
    Render(44100 * 39 / 10);
    EXPECT_EQ(S_OK, m_perf->IsPlaying(seg, nullptr));
    Render(44100 * 2 / 10);
    EXPECT_EQ(S_FALSE, m_perf->IsPlaying(seg, nullptr));
}

TEST_F(DMusicTest, TempoChangesMoveMusicTimeFaster) {
    SmfBuilder b;
    b.Tempo(250000);  // 240 bpm
    b.Note(60, 96 * 8);
    IDirectMusicSegment8* seg = Load("fast.mid", b.Bytes());
    ASSERT_NE(nullptr, seg);
    m_perf->PlaySegment(seg, 0, 0, nullptr);
    Render(44100);
    EXPECT_NEAR(4 * DMUS_PPQ, Now(), 2);  // four beats in one second
    Render(44100 + 100);
    EXPECT_EQ(S_FALSE, m_perf->IsPlaying(seg, nullptr));
}

TEST_F(DMusicTest, MasterVolumeIsInMillibels) {
    SmfBuilder b;
    b.Note(60, 96 * 16);
    IDirectMusicSegment8* seg = Load("long.mid", b.Bytes());
    ASSERT_NE(nullptr, seg);
    LONG loud = 1000, quiet = -3500;
    EXPECT_EQ(E_INVALIDARG, m_perf->SetGlobalParam(GUID_PerfMasterVolume, &loud, 2));
    ASSERT_EQ(S_OK, m_perf->SetGlobalParam(GUID_PerfMasterVolume, &loud, sizeof loud));
    m_perf->PlaySegment(seg, 0, 0, nullptr);
    Render(4410);
    double a = Rms(Render(4410));
    m_perf->SetGlobalParam(GUID_PerfMasterVolume, &quiet, sizeof quiet);
    double b2 = Rms(Render(4410));
    ASSERT_GT(b2, 0.0);
    // 45 dB apart, give or take the note's own envelope.
    EXPECT_NEAR(std::pow(10.0, 4500 / 2000.0), a / b2, 40.0);
}

TEST_F(DMusicTest, InitialisationFailuresAreReported) {
    EXPECT_EQ(DMUS_E_ALREADY_INITED,
              m_perf->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 128, DMUS_AUDIOF_ALL, nullptr));
    IDirectMusicPerformance8* other = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_DirectMusicPerformance, nullptr, CLSCTX_INPROC,
                                     IID_IDirectMusicPerformance8, reinterpret_cast<void**>(&other)));
    IDirectMusicSegment8* seg = Load("four.mid", FourNotes());
    ASSERT_NE(nullptr, seg);
    EXPECT_EQ(DMUS_E_NOT_INIT, seg->Download(other));
    EXPECT_EQ(DMUS_E_NOT_INIT, other->PlaySegment(seg, 0, 0, nullptr));
    setenv("KOLVAR_SOUNDFONT", m_dir.file("nothing.sf2").c_str(), 1);
    EXPECT_EQ(E_FAIL, other->InitAudio(nullptr, nullptr, nullptr, DMUS_APATH_DYNAMIC_STEREO, 128, DMUS_AUDIOF_ALL,
                                       nullptr));
    unsetenv("KOLVAR_SOUNDFONT");
    other->Release();
}
