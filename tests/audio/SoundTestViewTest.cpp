// The test view of the sound engine: what was played and stopped, by name,
// category and volume, in call order; views nest.
#include <gtest/gtest.h>

#include "AudioTestUtil.h"
#include "audio/SoundEngine.h"
#include "audio/SoundTestView.h"
#include "support/TestUtil.h"

namespace {

class SoundTestViewTest : public audiotest::FolderTest {
protected:
    SoundTestViewTest() {
        audiotest::WriteConstantWav(m_dir.file("beep.wav"), 0.2f, 2000);
        audiotest::WriteConstantWav(m_dir.file("song.wav"), 0.1f, 2000);
    }
};

TEST_F(SoundTestViewTest, RecordsPlaysAndStopsInOrder) {
    CSoundEngine* engine = MakeEngine();
    CSoundTestView view;
    const DWORD beep = engine->LoadSound("beep.wav");
    const DWORD song = engine->LoadStream("song.wav");
    engine->PlaySoundScaled(beep, 0.5f, 1);
    const DWORD channel = engine->PlaySound(beep, 0);
    engine->PlayStream(song, 2, false);
    engine->StopChannel(channel);
    engine->StopChannel(song);
    engine->PlaySound(beep, 7);  // refused, still heard of
    engine->PlaySound(0, 1);     // a failed load: no name

    struct Expected {
        CSoundTestView::Kind kind;
        const char* name;
        int category;
        float volume;
    };
    const Expected expected[] = {
        {CSoundTestView::kPlay, "beep.wav", 1, 0.25f}, {CSoundTestView::kPlay, "beep.wav", 0, 0.25f},
        {CSoundTestView::kPlay, "song.wav", 2, 0.75f}, {CSoundTestView::kStop, "beep.wav", -1, 0.0f},
        {CSoundTestView::kStop, "song.wav", -1, 0.0f}, {CSoundTestView::kPlay, "beep.wav", 7, 0.0f},
        {CSoundTestView::kPlay, "", 1, 0.5f},
    };
    const auto& calls = view.Calls();
    ASSERT_EQ(calls.size(), std::size(expected));
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].kind, expected[i].kind) << i;
        EXPECT_EQ(calls[i].name, expected[i].name) << i;
        EXPECT_EQ(calls[i].category, expected[i].category) << i;
        EXPECT_FLOAT_EQ(calls[i].volume, expected[i].volume) << i;
    }
    EXPECT_EQ(view.Played(), (std::vector<std::string>{"beep.wav", "beep.wav", "song.wav", "beep.wav", ""}));
}

TEST_F(SoundTestViewTest, InnerViewHearsAloneAndHandsBackWhenItGoes) {
    CSoundEngine* engine = MakeEngine();
    const DWORD beep = engine->LoadSound("beep.wav");
    CSoundTestView outer;
    {
        CSoundTestView inner;
        engine->PlaySound(beep, 1);
        EXPECT_EQ(inner.Played().size(), 1u);
    }
    EXPECT_TRUE(outer.Calls().empty());
    engine->StopSample(beep);
    ASSERT_EQ(outer.Calls().size(), 1u);
    EXPECT_EQ(outer.Calls()[0].name, "beep.wav");
}

}  // namespace
