// The whole shell in-process on the null device: start-up and its failures,
// the per-step dispatch and the window procedure's handlers, in a fresh game
// folder that links the built one.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <dinput.h>
#include <dinputhooks.h>
#include <gamefieldhooks.h>
#include <platform.h>
#include <winuserhooks.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/GameFlow.h"
#include "app/Highscores.h"
#include "app/MainLoop.h"
#include "app/MenuManager.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Ini.h"
#include "engine/Log.h"
#include "engine/Script.h"
#include "game/BaseFigure.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "support/EngineScope.h"
#include "support/FakePlatform.h"
#include "support/TestUtil.h"

extern "C" {
#include <lauxlib.h>
}

namespace {

namespace fs = std::filesystem;

class ShellRun : public testing::Test {
public:
    void SetUp() override { Prepare(); }
    void TearDown() override { Finish(); }

    // A fresh folder and a stopped engine.
    void Prepare() {
        m_dir.reset(new testutil::TempDir());
        m_Singletons.Track<CHighscores>();
        testutil::MakeGameFolder(m_dir->path());
        m_cwd.reset(new testutil::ScopedCwd(m_dir->path()));
        setenv("KOLVAR_LAUNCHER", "start", 1);
        m_platform.emplace(d3d9hooks::Backend::Null, true);
        platform::ClearRecordedMessageBoxes();
        gamefieldhooks::RearmConstruction();
        g_bShutdownDone = false;
        g_bExitRequested = false;
        g_bNameEntry = false;
    }
    void Finish() {
        ShutdownApplication();
        script::CloseState(g_LuaState);
        m_Singletons.Now();  // what shutdown left: the table, and an engine a failed start made
        g_bExitRequested = false;
        g_bAppActive = false;
        unsetenv("KOLVAR_LAUNCHER");
        m_platform.reset();
        m_cwd.reset();
    }

    void Unlink(const std::string& relative) { testutil::UnlinkGamePath(m_dir->path(), relative); }
    // The field's appear animation ends when the global appear_result says so (0 at first).
    void Start() {
        Unlink("data/scripts/field");
        const std::string anim = m_dir->file("data/scripts/field/field_anim.txt");
        const std::string text = testutil::ReadFile(anim);
        fs::remove(anim);
        testutil::WriteFile(anim, text + "\nfunction game_AppearUpdate() return appear_result or 0 end\n");
        ASSERT_TRUE(StartApplication(nullptr));
    }
    // One engine step of the fixed 0.025 s.
    void Step() {
        platform::AdvanceFakeClock(25000000LL);
        CGraphicsEngine::GetInstance()->Tick();
    }
    CGameMode* Mode() const { return CGameMode::GetInstance(); }
    // A game in play, the menu closed.
    void Play() {
        StartGame();
        Mode()->menuState = CGameMode::kMenuClosed;
        Step();
        ASSERT_EQ(Mode()->gameState, CGameMode::kPlaying);
    }
    void RunAnim(const std::string& code) {
        lua_State* anim = CGameField::GetInstance()->GetAnimState();
        ASSERT_EQ(luaL_dostring(anim, code.c_str()), 0) << code;
    }
    std::string LogText() const { return testutil::ReadFile(std::string(g_Log.GetStartDirectory()) + "/log.html"); }

    std::unique_ptr<testutil::TempDir> m_dir;
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
    std::optional<testutil::FakePlatform> m_platform;
    enginescope::Sweep m_Singletons;
};

TEST_F(ShellRun, StartupFailuresReturnAtOnce) {
    struct Case {
        const char* name;
        std::function<void(ShellRun*)> breakIt;
        const char* box;
    } cases[] = {
        {"device refused", [](ShellRun*) { d3d9hooks::FailDirect3DCreate(true); },
         "Couldn't initialize graphics engine.\n See log.html for detail."},
        {"init.txt without frame_script",
         [](ShellRun* t) {
             t->Unlink("data/scripts/general");
             const std::string init = t->m_dir->file("data/scripts/general/init.txt");
             std::string text = testutil::ReadFile(init);
             fs::remove(init);
             const size_t at = text.find("frame_script");
             ASSERT_NE(at, std::string::npos);
             text.replace(at, 12, "unused_script");
             testutil::WriteFile(init, text);
         },
         "Couldn't read the game scripts.\n See log.html for detail."},
        // Before the launcher: a start without settings would open a window of no size.
        {"config.ini a folder that cannot be kept aside",
         [](ShellRun* t) {
             fs::remove(t->m_dir->file("config.ini"));
             fs::create_directory(t->m_dir->file("config.ini"));
             fs::create_directories(t->m_dir->file("config.ini.bad/older"));
         },
         "Couldn't use the settings: config.ini cannot be read (Is a directory) and cannot be moved to config.ini.bad "
         "(Directory not empty).\n See log.html for detail."},
    };
    for (const Case& c : cases) {
        Finish();
        Prepare();
        c.breakIt(this);
        EXPECT_FALSE(StartApplication(nullptr)) << c.name;
        EXPECT_TRUE(StartupFailed()) << c.name;
        const auto boxes = platform::RecordedMessageBoxes();
        ASSERT_EQ(boxes.size(), 1u) << c.name;
        EXPECT_EQ(boxes[0].text, c.box);
        EXPECT_EQ(boxes[0].caption, "Error !");
        EXPECT_EQ(boxes[0].type & MB_ICONERROR, UINT(MB_ICONERROR)) << c.name;
    }
    EXPECT_NE(LogText().find("Error, init.txt doesn't set 'frame_script'"), std::string::npos);
}

TEST_F(ShellRun, StoredFallTypeIsNeverRead) {
    WriteIniInt("config.ini", "game", "fall_type", 1);
    WriteIniInt("config.ini", "game", "game_type", 1);
    g_FallType = 0;
    Start();
    EXPECT_EQ(g_GameType, 1);
    EXPECT_EQ(g_FallType, 0);
}

// The theme leaves the audio folder at the program folder; the game-over sound still loads.
TEST_F(ShellRun, GameOverSoundLoadsAfterTheTheme) {
    Start();
    EXPECT_NE(g_GameOverSound, 0u);
}

TEST_F(ShellRun, AppearUpdateEndsWhenItsResultTruncatesToZero) {
    Start();
    struct Case {
        const char* result;
        int state;
    } cases[] = {{"0.9", CGameMode::kPlaying}, {"-0.5", CGameMode::kPlaying}, {"1", CGameMode::kFieldAppearing}};
    for (const Case& c : cases) {
        StartGame();
        RunAnim(std::string("appear_result = ") + c.result);
        Step();
        EXPECT_EQ(Mode()->gameState, c.state) << c.result;
        EXPECT_EQ(Mode()->mode, c.state == CGameMode::kPlaying ? CGameMode::kGameRunning : CGameMode::kNoGame);
    }
}

TEST_F(ShellRun, InjectedDropLandsTheFigureInThatStep) {
    Start();
    Play();
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    const CBaseFigure* figure = generator->current;
    ASSERT_NE(figure, nullptr);
    Step();
    ASSERT_EQ(generator->current, figure);  // a plain step only moves it
    platform::InjectKey(DIK_SPACE, true);
    Step();
    platform::InjectKey(DIK_SPACE, false);
    EXPECT_NE(generator->current, figure);
}

TEST_F(ShellRun, ExitFlagStopsTheRestOfTheTick) {
    Start();
    StartGame();
    g_bExitRequested = true;
    Step();
    EXPECT_EQ(Mode()->gameState, CGameMode::kFieldAppearing);  // the step did nothing
    EXPECT_FALSE(g_bShutdownDone);  // that is the next idle pass's work
}

TEST_F(ShellRun, DeactivationStopsTimeWithoutCountingTheGap) {
    Start();
    HWND window = CGraphicsEngine::GetInstance()->GetWindow();
    WndProc(window, WM_ACTIVATEAPP, 1, 0);
    Step();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const float before = engine->GetTime();
    WndProc(window, WM_ACTIVATEAPP, 0, 0);
    EXPECT_FALSE(g_bAppActive);
    EXPECT_TRUE(engine->IsPaused());
    platform::AdvanceFakeClock(5000000000LL);
    engine->Tick();
    EXPECT_FLOAT_EQ(engine->GetTime(), before);
    WndProc(window, WM_ACTIVATEAPP, 1, 0);
    EXPECT_TRUE(g_bAppActive);
    Step();
    EXPECT_NEAR(engine->GetTime(), before + 0.025f, 1e-4f);
}

TEST_F(ShellRun, F1SwapsTheWindowedFlagOrSaysWhyNot) {
    Start();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    for (bool refuse : {false, true}) {
        platform::ClearRecordedMessageBoxes();
        CGeneralParameters before;
        engine->GetGeneralParameters(&before);
        if (refuse) {
            d3d9hooks::FailReset(D3DERR_NOTAVAILABLE, 100);
            d3d9hooks::FailCreateDevice(D3DERR_NOTAVAILABLE, 100);
        }
        WndProc(engine->GetWindow(), WM_KEYDOWN, VK_F1, 0);
        d3d9hooks::FailReset(D3D_OK, 0);
        d3d9hooks::FailCreateDevice(D3D_OK, 0);
        const auto boxes = platform::RecordedMessageBoxes();
        if (!refuse) {
            CGeneralParameters after;
            engine->GetGeneralParameters(&after);
            EXPECT_NE(after.m_Windowed, before.m_Windowed);
            EXPECT_TRUE(boxes.empty());
        } else {
            ASSERT_EQ(boxes.size(), 1u);
            EXPECT_EQ(boxes[0].text, "Couldn't reinitialize graphics engine.\n See log.html for detail.");
            EXPECT_EQ(boxes[0].type & MB_ICONSTOP, UINT(MB_ICONSTOP));
        }
    }
}

TEST_F(ShellRun, EnterLaunchesABounceBombOnlyInPlay) {
    Start();
    HWND window = CGraphicsEngine::GetInstance()->GetWindow();
    g_BounceBombsLeft = 3;
    WndProc(window, WM_KEYDOWN, VK_RETURN, 0);  // on the opening Main menu: "new game"
    EXPECT_EQ(g_BounceBombsLeft, 3);
    EXPECT_FALSE(CFigureGenerator::GetInstance()->bounceBombFlag);
    Play();
    g_BounceBombsLeft = 3;
    WndProc(window, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(g_BounceBombsLeft, 2);
    EXPECT_TRUE(CFigureGenerator::GetInstance()->bounceBombFlag);
    WndProc(window, WM_KEYDOWN, VK_RETURN, 0);  // one pending: nothing more
    EXPECT_EQ(g_BounceBombsLeft, 2);
}

TEST_F(ShellRun, CommaAndPeriodStepTheUserPlaylist) {
    testutil::WriteFile(m_dir->file("playlist.ini"),
                        "[playlist]\r\nnum=2\r\ncurrent=1\r\nsong1=data\\audio\\voice1.wav\r\nsong2=data\\audio\\voice2.wav\r\n");
    Start();
    CMusicPlayer* player = CSoundEngine::GetInstance()->GetMusicPlayer();
    ASSERT_NE(player, nullptr);
    ASSERT_EQ(player->m_songs.size(), 2u);
    ASSERT_EQ(player->m_current, 0);
    HWND window = CGraphicsEngine::GetInstance()->GetWindow();
    struct Case {
        WPARAM key;
        int song;
    } cases[] = {{VK_OEM_PERIOD, 1}, {VK_OEM_PERIOD, 0}, {VK_OEM_COMMA, 1}};
    for (const Case& c : cases) {
        WndProc(window, WM_KEYDOWN, c.key, 0);
        EXPECT_EQ(player->m_current, c.song) << c.key;
    }
}

}  // namespace
