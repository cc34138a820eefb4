// A running HUD on the null (or GL) device: fake clock, 0.025 s steps that
// update the animated objects and the HUD as the game's step does, the
// shipped textures, sounds and textured font, and a view of what was played.
#pragma once

#include <gtest/gtest.h>

#include <platform.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "audio/SoundEngine.h"
#include "audio/SoundTestView.h"
#include "game/AnimatedObjectList.h"
#include "game/FigureGenerator.h"
#include "game/FloatingMessage.h"
#include "game/GameField.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/Hud.h"
#include "support/EngineScope.h"
#include "tests/engine/TextureTestEngine.h"

namespace hudtest {

inline void UpdateStep() {
    // The tick's remainder call after whole steps has length 0: not a step of its own.
    if (CGraphicsEngine::GetInstance()->GetCurrentStep() <= 0.0f) return;
    CAnimatedObjectList::GetInstance()->UpdateAll();
    CHud::GetInstance()->Process();
}

class HudTest : public textest::EngineTest {
protected:
    void SetUp() override {
        textest::EngineTest::SetUp();
        if (IsSkipped()) return;
        testutil::WriteFile(m_Dir.file("config.ini"),
                            "[sound]\r\nbackground_volume=1.00000\r\ngame_volume=0.50000\r\nmusic_volume=1.00000\r\n");
        m_cwd.reset(new testutil::ScopedCwd(m_Dir.path()));
        enginescope::Options engine;
        engine.caption = "Kolvar HUD test";
        engine.update = UpdateStep;
        engine.step = float(StepSeconds());
        engine.dataPaths = false;  // the test folder has no data: the paths below point into the game folder
        m_scope.reset(new enginescope::EngineScope(engine));
        ASSERT_TRUE(m_scope->Ok());
        m_engine = CGraphicsEngine::GetInstance();
        m_engine->Tick();

        const std::string game = getenv("KOLVAR_GAME_DIR");
        CTextureManager::GetInstance()->SetTexturePath(TextureFolder(game).c_str());
        CSoundEngine::GetInstance()->SetAudioPath((game + "/data/audio").c_str());
        ASSERT_TRUE(gameloop::LoadTexturedFont());

        g_GameRules = CGameRules();
        g_GameRules.bonusTime = 30.0f;
        g_GameRules.bombScore = 500;
        g_GameRules.sawScore = 1500;
        g_GameRules.levelScore = 1000.0f;
        g_GameRules.rotateScore = 100000.0f;
        m_hud = CHud::GetInstance();
    }
    void TearDown() override {
        gameloop::DeleteGamePlay();
        m_scope.reset();
        g_LevelChanged = false;
        textest::EngineTest::TearDown();
        g_TexturedFont = nullptr;  // the font manager's, gone with the engine
        m_cwd.reset();
    }
    virtual double StepSeconds() const { return 0.025; }
    // The folder the HUD's textures come from; tests may point it elsewhere.
    virtual std::string TextureFolder(const std::string& game) const { return game + "/data/textures"; }

    // A game running with the menu closed, its HUD reset and processed once.
    void StartGame(int menuState = CGameMode::kMenuClosed) {
        CGameMode* mode = CGameMode::GetInstance();
        mode->mode = CGameMode::kGameRunning;
        mode->menuState = menuState;
        m_hud->Reset();
        m_hud->Process();
    }
    void Step(int steps = 1) {
        for (int i = 0; i < steps; ++i) {
            platform::AdvanceFakeClock(int64_t(StepSeconds() * 1e9 + 0.5));
            m_engine->Tick();
        }
    }
    // The score, already shown in full: no roll-up in between.
    void Score(int score) {
        m_hud->score = score;
        m_hud->displayedScore = float(score);
    }
    // Texts of the floating messages alive now, in list order.
    static std::vector<std::string> Messages() {
        std::vector<std::string> texts;
        for (const auto& object : CAnimatedObjectList::GetInstance()->GetObjects())
            if (auto* m = dynamic_cast<CFloatingMessage*>(object.get())) texts.push_back(m->GetParams().text);
        return texts;
    }

    CSoundTestView m_sounds;
    CGraphicsEngine* m_engine = nullptr;
    CHud* m_hud = nullptr;
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
    std::unique_ptr<enginescope::EngineScope> m_scope;  // the engine and sound engine the test made
};

}  // namespace hudtest
