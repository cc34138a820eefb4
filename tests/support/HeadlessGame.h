// A whole line or colour game without a display: null device, dummy audio,
// a fake clock of 0.025 s steps, the seeded 15-bit generator and injected
// keys. Use it from a test that links the game library:
//
//   headless::Game game;                    // folder, engine, input test mode
//   game.Boot();                            // the game's start, actions bound
//   game.NewGame(kLineGame, 1, 0, 12345);   // line game, medium, as a brick, seed
//   while (!game.Over() && game.Steps() < limit) game.Step();
//
// Each step is the game's own update step; the shell's pointer and menus are
// absent. Keys are held with Press/Release (DirectInput scan codes). Game over
// goes through the game-over hook, which here does what the shell does for
// game play: the game stops (mode 1) and the field starts disappearing; the
// hook count grows.
// Tests may write their own init.txt or scripts into Dir() before Boot.
#pragma once

#include <gtest/gtest.h>

#include <crt.h>
#include <d3d9hooks.h>
#include <dinput.h>
#include <dinputhooks.h>
#include <gamefieldhooks.h>
#include <platform.h>
#include <varframehooks.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "engine/GraphicsEngine.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/Script.h"
#include "game/AnimatedObjectList.h"
#include "game/FigureGenerator.h"
#include "game/GameActions.h"
#include "game/GameField.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameOverHook.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/Hud.h"
#include "support/EngineScope.h"
#include "support/FakePlatform.h"
#include "support/TestUtil.h"

namespace headless {

// The field's cells that answer yes, as CountCells(&CFieldBlock::IsBlock).
inline int CountCells(bool (CFieldBlock::*is)() const) {
    CGameField* f = CGameField::GetInstance();
    int n = 0;
    for (int y = 0; y < f->m_height; ++y)
        for (int x = 0; x < f->m_width; ++x) n += (f->Cell(x, y).*is)();
    return n;
}

inline int& GameOverCount() {
    static int n = 0;
    return n;
}
inline void OnGameOver() {
    ++GameOverCount();
    CGameMode* mode = CGameMode::GetInstance();
    mode->gameState = CGameMode::kFieldDisappearing;
    mode->mode = CGameMode::kNoGame;
    CGameField::GetInstance()->DisappearStart();
}
// Runs after each update, for observers (bots, assertions).
inline std::function<void()>& AfterStep() {
    static std::function<void()> f;
    return f;
}
// The observer sees every update, the tick's remainder too: a figure can
// land in a whole step and the next one start in the remainder.
inline void UpdateStep() {
    gameloop::UpdateStep();
    if (AfterStep()) AfterStep()();
}

class Game {
public:
    static constexpr double kStep = 0.025;

    // gl: the GL device (screenshots under Xvfb) instead of the null one.
    explicit Game(bool gl = false) : m_platform(gl ? d3d9hooks::Backend::GL : d3d9hooks::Backend::Null, true) {
        const char* game = getenv("KOLVAR_GAME_DIR");
        EXPECT_TRUE(game);
        std::filesystem::create_directory_symlink(std::string(game ? game : ".") + "/data", m_dir.file("data"));
        std::filesystem::create_symlink(std::string(game ? game : ".") + "/sound.so", m_dir.file("sound.so"));
        m_cwd.reset(new testutil::ScopedCwd(m_dir.path()));
        gamefieldhooks::RearmConstruction();
        varframehooks::RearmConstruction();
        GameOverCount() = 0;
        gameloop::ShellHooks hooks;
        hooks.gameOver = OnGameOver;
        gameloop::SetShellHooks(hooks);
    }
    ~Game() {
        AfterStep() = nullptr;
        gameloop::Teardown(false);
        g_TexturedFont = nullptr;  // the font manager took it along
        if (m_general) script::CloseState(m_general);
        gameloop::SetShellHooks(gameloop::ShellHooks());
        m_engine.reset();  // whatever a failed boot left of the engine
        g_FieldScriptPath.clear();
        g_FieldAnimScriptPath.clear();
        g_FrameScriptPath.clear();
        g_FigureScriptPath.clear();
        g_GameRules = CGameRules();
        m_cwd.reset();
    }
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    const testutil::TempDir& Dir() const { return m_dir; }
    lua_State* General() const { return m_general; }

    // The game's own start: scripts from initPath, engine and data folders,
    // the textured font, the game objects, then the key bindings.
    void Boot(const std::string& initPath = gameloop::kGeneralInit) {
        ASSERT_TRUE(gameloop::ReadScripts(&m_general, initPath));
        enginescope::Options engine;
        engine.caption = "headless game";
        engine.update = UpdateStep;
        m_engine.reset(new enginescope::EngineScope(engine));
        ASSERT_TRUE(m_engine->Ok());
        ASSERT_TRUE(gameloop::LoadTexturedFont());
        gameloop::CreateGameObjects();
        BindGameActions();
    }

    // Play starts as after the field's appearance: rules from game_NewGame,
    // then field, frame, generator and HUD reset in that order.
    void NewGame(GameType gameType, int difficulty, int fallType, unsigned seed) {
        crt_srand(seed);
        g_GameType = gameType;
        g_Difficulty = difficulty;
        g_FallType = fallType;
        CGameMode* mode = CGameMode::GetInstance();
        mode->menuState = CGameMode::kMenuClosed;
        mode->gameState = CGameMode::kPlaying;
        EXPECT_TRUE(gameloop::NewGame(m_general));
    }

    // Writes an init.txt whose field is an all-playable w x h grid without a
    // wave; returns its path for Boot.
    std::string OpenFieldInit(int w, int h) {
        std::string cells = std::to_string(w) + " " + std::to_string(h) + "\n";
        for (int y = 0; y < h; ++y) cells += std::string(size_t(w), '0') + "\n";
        testutil::WriteFile(m_dir.file("cells.txt"), cells);
        testutil::WriteFile(m_dir.file("open_field.txt"),
                            "alpha = 0.5 beta = 1.0 Ax = 0 Bx = 0 Cx = 0 Dx = 0\n"
                            "function game_FieldInit() ext_Create('cells.txt') end\n"
                            "function game_FieldUpdate(x, y, t) return D3DXVECTOR3(0, 0, 0) end\n");
        testutil::WriteFile(m_dir.file("init.txt"), testutil::ReadFile(m_dir.file("data/scripts/general/init.txt")) +
                                                        "\nfield_script = 'open_field.txt'\n");
        return "init.txt";
    }

    // Writes the shipped init.txt followed by extra lines; returns its path for Boot.
    std::string InitWith(const std::string& extra) {
        testutil::WriteFile(m_dir.file("test_init.txt"),
                            testutil::ReadFile(m_dir.file("data/scripts/general/init.txt")) + "\n" + extra + "\n");
        return "test_init.txt";
    }

    void Step(int n = 1) {
        for (int i = 0; i < n; ++i) {
            platform::AdvanceFakeClock(int64_t(kStep * 1e9 + 0.5));
            CGraphicsEngine::GetInstance()->Tick();
            ++m_steps;
        }
    }
    void Press(int dik) { platform::InjectKey(dik, true); }
    void Release(int dik) { platform::InjectKey(dik, false); }

    bool Over() const { return GameOverCount() > 0; }
    long Steps() const { return m_steps; }

private:
    testutil::TempDir m_dir;
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
    testutil::FakePlatform m_platform;
    std::unique_ptr<enginescope::EngineScope> m_engine;
    lua_State* m_general = nullptr;
    long m_steps = 0;
};

}  // namespace headless
