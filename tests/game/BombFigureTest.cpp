#include <algorithm>

#include "audio/SoundTestView.h"
#include "game/BlockPartManager.h"
#include "game/BombEffects.h"
#include "game/BombFigure.h"
#include "SpecialObjectGame.h"

namespace {

class BombGame : public SpecialObjectGame<CBombFigure> {
protected:
    void SetUp() override {
        SpecialObjectGame::SetUp();
        m_bomb = Bring(&CFigureGenerator::bombFlag);
        ASSERT_TRUE(m_bomb);
    }
    bool BombGone() const { return Gone(); }
    int Bursts() const { return Systems<CBombEmitter2>(); }
    CBombFigure* m_bomb = nullptr;
};

TEST_F(BombGame, FallsLandsOnTheFloorBurnsAndExplodesOnTime) {
    EXPECT_EQ(m_bomb->x, 4.0f);
    int fall = StepUntil([&] { return m_bomb->state != CBombFigure::kFalling; });
    EXPECT_NEAR(fall, 253, 1) << "19 rows at 3 a second";
    EXPECT_EQ(m_bomb->y, 19.0f);
    EXPECT_EQ(Count(CSoundTestView::kPlay, "bombwait.wav"), 0);

    int burning = StepUntil([&] { return m_bomb->state == CBombFigure::kBurning; });
    EXPECT_NEAR(burning, 20, 1);
    EXPECT_EQ(Count(CSoundTestView::kPlay, "bombwait.wav"), 1);
    EXPECT_TRUE(m_bomb->fuseSparks);
    EXPECT_FALSE(m_bomb->sparkTrail) << "stopped at the start of the burn";
    m_game->Step(20);
    int boom = StepUntil([&] { return BombGone(); });
    EXPECT_NEAR(burning + 20 + boom, 100, 1) << "2.5 s from landing";
    EXPECT_EQ(Count(CSoundTestView::kStop, "bombwait.wav"), 1);
    EXPECT_EQ(Count(CSoundTestView::kPlay, "bombexplode.wav"), 1);
    EXPECT_EQ(Bursts(), 1);
    EXPECT_EQ(CHud::GetInstance()->score, 0);
}

TEST_F(BombGame, DropFallsEightTimesFaster) {
    m_game->Press(DIK_SPACE);
    int fall = StepUntil([&] { return m_bomb->state != CBombFigure::kFalling; });
    EXPECT_NEAR(fall, 32, 1) << "19 rows at 24 a second";
}

TEST_F(BombGame, SteeringMovesOneColumnAtATimeAndStopsAtTheWall) {
    struct Case { int key; float to; int steps; } cases[] = {{DIK_LEFT, 3.0f, 3}, {DIK_RIGHT, 5.0f, 2}};
    for (auto& c : cases) {
        float from = m_bomb->x;
        m_game->Press(c.key);
        m_game->Step();
        m_game->Release(c.key);
        int n = StepUntil([&] { return !m_bomb->move.Active(); }, 10);
        EXPECT_EQ(m_bomb->x, c.to - 4.0f + from);
        EXPECT_EQ(n, c.steps);
    }
    // Hammer left: the footprint stops at column 1, beside the wall.
    for (int i = 0; i < 20; ++i) {
        m_game->Press(DIK_LEFT);
        m_game->Step(3);
        m_game->Release(DIK_LEFT);
        m_game->Step(2);
    }
    EXPECT_EQ(m_bomb->x, 1.0f);
}

TEST_F(BombGame, BlastEmptiesTheDiscAroundTheLandingAndLeavesTheRest) {
    CGameField* field = CGameField::GetInstance();
    // A shaft down to row 16 for the bomb's two columns.
    Fill(12, [](int x, int y) { return y < 16 && (x == 4 || x == 5); });
    int before = Blocks();
    StepUntil([&] { return m_bomb->state == CBombFigure::kLanded; });
    ASSERT_EQ(m_bomb->y, 14.0f);
    auto disc = BlastCells(4.0f, 14.0f, 5, field->m_width, field->m_height);
    StepUntil([&] { return BombGone(); });
    for (auto& c : disc) EXPECT_LT(field->Cell(c.first, c.second).m_value, 0) << c.first << "," << c.second;
    // Blocks fill columns 2..10 from row 12 down, the shaft spared. The disc
    // around (4, 14) spans columns 3 left to 4 right in rows 12..16, one
    // narrower in row 17, two in row 18: 5 a row in 12..15 (beside the shaft),
    // then 7, 6 and 5.
    EXPECT_EQ(before - Blocks(), 4 * 5 + 7 + 6 + 5);
}

TEST_F(BombGame, DeletedWhileTheFuseBurnsStopsTheHiss) {
    StepUntil([&] { return m_bomb->state == CBombFigure::kBurning; });
    m_generator->ClearFigures();
    EXPECT_EQ(Count(CSoundTestView::kStop, "bombwait.wav"), 1);
}

TEST_F(BombGame, AMenuOpenDuringTheBurnLeavesNoStaleSparks) {
    StepUntil([&] { return m_bomb->state == CBombFigure::kBurning; });
    CGameMode::GetInstance()->menuState = CGameMode::kMenuOpen;
    m_game->Step(120);
    EXPECT_EQ(m_bomb->fuseSparks, nullptr) << "the manager deleted them meanwhile";
    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
    m_bomb->Render();
    m_game->Step();
    EXPECT_EQ(m_bomb->state, CBombFigure::kLastSecond);
    int boom = StepUntil([&] { return BombGone(); });
    EXPECT_NEAR(boom, 40, 1);
}

// A blast on a full all-playable field fills the manager near its limit with
// fragment trails; nothing is left behind once the pieces have fallen and
// the game has ended.
TEST(BombBlast, FullFieldBlastStaysWithinTheParticleBudget) {
    headless::Game game;
    game.Boot(game.OpenFieldInit(20, 20));
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
    const size_t baseline = manager->GetSystems().size();
    game.NewGame(kLineGame, 1, 0, 3);
    CFigureGenerator* g = CFigureGenerator::GetInstance();
    CGameField* field = CGameField::GetInstance();
    ASSERT_EQ(field->m_width, 20);
    g->bombFlag = true;
    game.Step();
    delete g->current;
    g->current = nullptr;
    game.Step();
    auto* bomb = dynamic_cast<CBombFigure*>(g->current);
    ASSERT_TRUE(bomb);
    ASSERT_EQ(bomb->x, 8.0f);
    // Full but for column 0 (no line completes) and a shaft down to row 10.
    for (int y = 0; y < 20; ++y)
        for (int x = 1; x < 20; ++x)
            if (!((x == 8 || x == 9) && y < 10)) field->Cell(x, y).m_value = 2;
    size_t peak = 0;
    while (g->current == bomb && game.Steps() < 400) game.Step();
    ASSERT_NE(g->current, bomb);
    // The next figures come in while the pieces fly; then the game stops.
    for (int i = 0; i < 5; ++i) {
        game.Step();
        peak = std::max(peak, manager->GetSystems().size());
    }
    CGameMode::GetInstance()->mode = CGameMode::kNoGame;  // before: clearing makes a new figure in a game
    g->ClearFigures();
    game.Step(200);
    EXPECT_GT(peak, size_t(CParticleSystemsManager::kMaxSystems) * 9 / 10);
    EXPECT_TRUE(CBlockPartManager::GetInstance()->parts.empty());
    EXPECT_EQ(manager->GetSystems().size(), baseline);
}

}  // namespace
