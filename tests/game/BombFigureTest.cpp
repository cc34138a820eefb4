#include <algorithm>
#include <string>
#include <vector>

#include "audio/SoundTestView.h"
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
    m_game->Press(0x39);
    int fall = StepUntil([&] { return m_bomb->state != CBombFigure::kFalling; });
    EXPECT_NEAR(fall, 32, 1) << "19 rows at 24 a second";
}

TEST_F(BombGame, SteeringMovesOneColumnAtATimeAndStopsAtTheWall) {
    struct Case { int key; float to; int steps; } cases[] = {{0xCB, 3.0f, 3}, {0xCD, 5.0f, 2}};
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
        m_game->Press(0xCB);
        m_game->Step(3);
        m_game->Release(0xCB);
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
    int inDisc = 0;
    for (auto& c : disc) inDisc += field->Cell(c.first, c.second).m_value >= 0;
    StepUntil([&] { return BombGone(); });
    for (auto& c : disc) EXPECT_LT(field->Cell(c.first, c.second).m_value, 0) << c.first << "," << c.second;
    EXPECT_EQ(before - Blocks(), inDisc);
    EXPECT_GT(inDisc, 30);
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

}  // namespace
