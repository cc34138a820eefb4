#include <d3d9hooks.h>
#include <winuser.h>
#include <winuserhooks.h>

#include "LauncherTestEnv.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/Ini.h"
#include "launcher/SetupDialog.h"
#include "support/EngineScope.h"

namespace {

using platform::DialogStep;

D3DDISPLAYMODE Mode(UINT w, UINT h, UINT hz, D3DFORMAT f = D3DFMT_X8R8G8B8) { return {w, h, hz, f}; }

class SetupTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        if (IsSkipped()) return;
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        d3d9hooks::SetAdapterModes(D3DFMT_X8R8G8B8, {Mode(800, 600, 60), Mode(1024, 768, 60), Mode(1024, 768, 85),
                                                     Mode(320, 240, 60), Mode(640, 400, 70), Mode(800, 480, 60),
                                                     Mode(640, 480, 60), Mode(1024, 768, 75)});
        d3d9hooks::SetAdapterModes(D3DFMT_R5G6B5, {Mode(800, 600, 60, D3DFMT_R5G6B5), Mode(640, 480, 60, D3DFMT_R5G6B5)});
        Config("[graphics]\r\nscreen_w=800\r\nscreen_h=600\r\nbits=32\r\nfullscreen=0\r\n");
    }
    void TearDown() override {
        // The engine's audio thread must not outlive the test's statics.
        m_Singletons.Now();
        d3d9hooks::ResetAll();
        LauncherTest::TearDown();
    }
    // Opens the setup dialog, runs the steps, then closes it by its close box.
    void RunSetup(std::vector<DialogStep> steps) {
        steps.push_back(DialogStep::Close());
        platform::QueueDialogSteps(steps);
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kSetupDialog), nullptr, SetupDlgProc, 0), 0);
    }
    static std::vector<std::string> Entries(HWND d) { return ListLines(d, 1017); }
    static LRESULT Selection(HWND d) { return SendDlgItemMessageA(d, 1017, LB_GETCURSEL, 0, 0); }
    void Playlist(const std::vector<std::string>& songs) {
        std::string text = "[playlist]\r\nnum=" + std::to_string(songs.size()) + "\r\n";
        for (size_t i = 0; i < songs.size(); ++i) text += "song" + std::to_string(i + 1) + "=" + songs[i] + "\r\n";
        testutil::WriteFile(dir.file("playlist.ini"), text);
    }

    enginescope::Sweep m_Singletons;
};

TEST_F(SetupTest, ModeListsKeepOneFastestModePerResolutionInOrder) {
    SetupDlg_EnumDisplayModes();
    std::vector<std::string> listed;
    for (const D3DDISPLAYMODE& m : g_DisplayModes32)
        listed.push_back(std::to_string(m.Width) + "x" + std::to_string(m.Height) + "@" + std::to_string(m.RefreshRate));
    EXPECT_EQ(listed, (std::vector<std::string>{"640x480@60", "800x480@60", "800x600@60", "1024x768@85"}));
    ASSERT_EQ(g_DisplayModes16.size(), 2u);
    EXPECT_EQ(g_DisplayModes16[0].Width, 640u);
    EXPECT_NE(log.Text().find("[SETUP] 3) 1024x768x32,85 Hz"), std::string::npos);
    EXPECT_NE(log.Text().find("[SETUP] found 2 modes for 16 bits"), std::string::npos);
}

TEST_F(SetupTest, StoredModeSelectsItsEntryAndUnknownOnesTheFirst) {
    struct {
        const char* graphics;
        LRESULT entry;
        LRESULT checked;
    } cases[] = {
        {"screen_w=800\r\nscreen_h=600\r\nbits=32\r\nfullscreen=1\r\n", 2 + 2, BST_CHECKED},
        {"screen_w=800\r\nscreen_h=600\r\nbits=16\r\nfullscreen=0\r\n", 1, BST_UNCHECKED},
        {"screen_w=800\r\nscreen_h=600\r\nbits=24\r\nfullscreen=2\r\n", 0, BST_UNCHECKED},
        {"screen_w=1280\r\nscreen_h=1024\r\nbits=32\r\n", 0, BST_UNCHECKED},
    };
    for (const auto& c : cases) {
        Config(std::string("[graphics]\r\n") + c.graphics);
        LRESULT entry = -2, checked = -2;
        RunSetup({DialogStep::Call([&](HWND d) {
            entry = SendDlgItemMessageA(d, 1013, CB_GETCURSEL, 0, 0);
            checked = SendDlgItemMessageA(d, 1025, BM_GETCHECK, 0, 0);
        })});
        EXPECT_EQ(entry, c.entry) << c.graphics;
        EXPECT_EQ(checked, c.checked) << c.graphics;
    }
    // The last case closed with entry 0 selected: its mode is now stored.
    EXPECT_EQ(ReadIniInt("config.ini", "graphics", "screen_w"), 640);
    EXPECT_EQ(ReadIniInt("config.ini", "graphics", "bits"), 16);
}

TEST_F(SetupTest, ClosingWithoutASelectionWritesOnlyFullScreen) {
    Config("[graphics]\r\nscreen_w=1\r\nscreen_h=2\r\nbits=3\r\nfullscreen=0\r\n");
    RunSetup({DialogStep::Call([](HWND d) {
                  SendDlgItemMessageA(d, 1013, CB_SETCURSEL, (WPARAM)-1, 0);
              }),
              DialogStep::Press(1025)});
    const std::pair<const char*, int> stored[] = {{"screen_w", 1}, {"screen_h", 2}, {"bits", 3}, {"fullscreen", 1}};
    for (const auto& [key, value] : stored) EXPECT_EQ(ReadIniInt("config.ini", "graphics", key), value) << key;
}

TEST_F(SetupTest, DeviceTestTriesHardwareThenSoftware) {
    struct {
        DWORD vs, ps;
        int failures;
        bool ok;
        bool note;
    } cases[] = {
        {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), 0, true, false},
        {D3DVS_VERSION(1, 0), D3DPS_VERSION(2, 0), 0, true, true},
        {D3DVS_VERSION(2, 0), 0, 0, true, true},
        {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), 2, false, false},
    };
    for (const auto& c : cases) {
        testutil::LogCapture lines;
        d3d9hooks::SetShaderVersions(c.vs, c.ps);
        if (c.failures) d3d9hooks::FailCreateDevice(D3DERR_NOTAVAILABLE, c.failures);
        EXPECT_EQ(SetupDlg_RunTestMode(), c.ok);
        std::string text = lines.Text();
        EXPECT_EQ(text.find("[SETUP] NOTE: hardware shaders does not supported , trying software shaders") !=
                      std::string::npos, c.note);
        EXPECT_EQ(text.find("[SETUP] ok...") != std::string::npos, c.note);
        EXPECT_EQ(text.find("[SETUP] Test mode complete") != std::string::npos, c.ok);
        if (c.failures) {
            EXPECT_NE(text.find("[SETUP] failed... code: D3DERR_NOTAVAILABLE"), std::string::npos);
            EXPECT_NE(text.find("[SETUP] Error: Creating device FAILED ! code:  D3DERR_NOTAVAILABLE"), std::string::npos);
        }
        EXPECT_EQ(g_pSetupD3D, nullptr);
        d3d9hooks::ClearShaderVersions();
    }
}

TEST_F(SetupTest, TestButtonStoresTheChoiceAndReportsInABox) {
    d3d9hooks::FailCreateDevice(D3DERR_NOTAVAILABLE, 2);
    RunSetup({DialogStep::SelectCombo(1013, 0), DialogStep::Press(1022), DialogStep::Press(1022)});
    std::vector<platform::MessageBoxRecord> boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, "Test failed.\n See log.html for details");
    EXPECT_EQ(boxes[0].caption, "Error !");
    EXPECT_EQ(boxes[1].text, "Test successfully completed");
    EXPECT_EQ(boxes[1].caption, "Ok !");
    EXPECT_EQ(ReadIniInt("config.ini", "graphics", "screen_w"), 640);
    EXPECT_EQ(ReadIniInt("config.ini", "graphics", "bits"), 16);
}

TEST_F(SetupTest, UpDownAndRemoveKeepListAndSongsTogether) {
    Playlist({"/m/one.mid", "C:\\m\\two.ogg", "three.xm"});
    std::vector<std::string> afterUp, afterDown, afterRemove;
    LRESULT selUp = -2, selRemove = -2;
    RunSetup({DialogStep::SelectList(1017, 1), DialogStep::Press(1023), DialogStep::Call([&](HWND d) {
                  afterUp = Entries(d);
                  selUp = Selection(d);
                  SendDlgItemMessageA(d, 1017, LB_SETCURSEL, 2, 0);
                  SetupDlg_MoveSongDown(GetDlgItem(d, 1017));  // the last one: nothing
                  afterDown = Entries(d);
                  SendDlgItemMessageA(d, 1017, LB_SETCURSEL, 1, 0);
                  SetupDlg_RemoveSong(GetDlgItem(d, 1017));
                  afterRemove = Entries(d);
                  selRemove = Selection(d);
              })});
    EXPECT_EQ(afterUp, (std::vector<std::string>{"two.ogg", "one.mid", "three.xm"}));
    EXPECT_EQ(selUp, 0);
    EXPECT_EQ(afterDown, afterUp);
    EXPECT_EQ(afterRemove, (std::vector<std::string>{"two.ogg", "three.xm"}));
    EXPECT_EQ(selRemove, 0);
    EXPECT_EQ(g_SongList, (std::vector<std::string>{"C:\\m\\two.ogg", "three.xm"}));
    // Closing saved the edited list.
    EXPECT_EQ(ReadIniInt("playlist.ini", "playlist", "num"), 2);
    EXPECT_EQ(ReadIniInt("playlist.ini", "playlist", "current"), 1);
    EXPECT_EQ(ReadIniString("playlist.ini", "playlist", "song1"), "C:\\m\\two.ogg");
    EXPECT_EQ(ReadIniString("playlist.ini", "playlist", "song2"), "three.xm");
    EXPECT_EQ(ReadIniString("playlist.ini", "playlist", "song3"), "three.xm");  // left from the longer list
}

TEST_F(SetupTest, RemovingTheOnlySongLeavesNothingSelected) {
    Playlist({"only.mid"});
    size_t count = 9;
    LRESULT sel = -2;
    BOOL removeEnabled = TRUE;
    RunSetup({DialogStep::SelectList(1017, 0), DialogStep::Press(1019), DialogStep::Call([&](HWND d) {
                  count = Entries(d).size();
                  sel = Selection(d);
                  removeEnabled = IsWindowEnabled(GetDlgItem(d, 1019));
              })});
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(sel, LB_ERR);
    EXPECT_FALSE(removeEnabled);
    EXPECT_EQ(ReadIniInt("playlist.ini", "playlist", "num"), 0);
}

TEST_F(SetupTest, AHugeSongCountReadsNoMoreSongsThanThePlayerWould) {
    testutil::WriteFile(dir.file("playlist.ini"), "[playlist]\r\nnum=2000000000\r\nsong1=C:\\m\\one.mid\r\n");
    size_t entries = 0, songs = 0;
    std::string first;
    RunSetup({DialogStep::Call([&](HWND d) {
        entries = Entries(d).size();
        songs = g_SongList.size();
        first = g_SongList.empty() ? "" : g_SongList[0];
        SetupDlg_RemoveAllSongs(GetDlgItem(d, 1017));  // closing then writes num only
    })});
    EXPECT_EQ(entries, size_t(CMusicPlayer::kMaxSongs));
    EXPECT_EQ(songs, size_t(CMusicPlayer::kMaxSongs));
    EXPECT_EQ(first, "C:\\m\\one.mid");
}

TEST(SetupPathTest, FileNameIsTheTextAfterTheLastSeparator) {
    struct {
        const char* path;
        const char* name;
    } cases[] = {{"/home/me/music/song.ogg", "song.ogg"}, {"C:\\Music\\a b.mid", "a b.mid"}, {"bare.xm", "bare.xm"},
                 {"C:\\Music\\", ""}, {"mixed/dir\\x.wav", "x.wav"}};
    for (const auto& c : cases) EXPECT_EQ(SetupDlg_SplitPath(c.path), c.name) << c.path;
}

TEST_F(SetupTest, AddingAFileKeepsTheFolderAndCancelChangesNothing) {
    Playlist({});
    std::string song = dir.file("new song.ogg");
    testutil::WriteFile(song, "x");
    platform::QueueFileChooserAnswer("");
    platform::QueueFileChooserAnswer(song);
    std::vector<std::string> afterCancel, afterAdd;
    char before[4096], after[4096];
    ASSERT_TRUE(getcwd(before, sizeof before));
    RunSetup({DialogStep::Press(1018), DialogStep::Call([&](HWND d) { afterCancel = Entries(d); }),
              DialogStep::Press(1018), DialogStep::Call([&](HWND d) { afterAdd = Entries(d); })});
    ASSERT_TRUE(getcwd(after, sizeof after));
    EXPECT_STREQ(after, before);
    EXPECT_TRUE(afterCancel.empty());
    EXPECT_EQ(afterAdd, (std::vector<std::string>{"new song.ogg"}));
    EXPECT_EQ(ReadIniString("playlist.ini", "playlist", "song1"), song);
}

TEST_F(SetupTest, PlayingTwiceLeavesOnePreviewAndClosingStopsIt) {
    std::string game = getenv("KOLVAR_GAME_DIR");
    Playlist({game + "/data/music/morning.mid", game + "/data/music/evening.ogg"});
    CSoundEngine* engine = CSoundEngine::GetInstance();
    std::vector<std::string> playing;
    RunSetup({DialogStep::SelectList(1017, 0), DialogStep::Press(1020), DialogStep::SelectList(1017, 1),
              DialogStep::Press(1020), DialogStep::Call([&](HWND) {
                  if (engine->m_musicPlayer)
                      for (const CSoundRecord& song : engine->m_musicPlayer->m_songs) playing.push_back(song.m_name);
              })});
    EXPECT_EQ(playing, (std::vector<std::string>{"evening.ogg"}));
    EXPECT_EQ(engine->m_musicPlayer, nullptr);
    EXPECT_EQ(ReadIniInt("playlist.ini", "playlist", "num"), 2);
    EXPECT_EQ(ReadIniInt("config.ini", "graphics", "screen_w"), 800);
}

TEST_F(SetupTest, ScreenshotShowsTheDialog) {
    Playlist({"/music/first song.mid", "/music/second.ogg"});
    std::string shot = testutil::ArtifactsDir() + "/setup.png";
    bool saved = false;
    std::string close;
    RECT songs{}, button{};
    RunSetup({DialogStep::SelectList(1017, 1), DialogStep::Call([&](HWND d) {
                  saved = platform::SaveDialogScreenshot(d, shot);
                  platform::DialogControlRect(GetDlgItem(d, 1017), &songs);
                  platform::DialogControlRect(GetDlgItem(d, 1027), &button);
                  close = Text(d, 1027);
              })});
    EXPECT_TRUE(saved);
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 16));
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 4, &songs)) << "the playlist";
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 4, &button)) << "the Close button";
    EXPECT_EQ(close, "Close");
}

}  // namespace
