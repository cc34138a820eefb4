#include "SpecialObjectGame.h"
#include "game/SawFigure.h"

namespace {

class SawGame : public SpecialObjectGame<CSawFigure> {
protected:
    void SetUp() override {
        SpecialObjectGame::SetUp();
        m_saw = Bring(&CFigureGenerator::sawFlag);
        ASSERT_TRUE(m_saw);
    }
    CSawFigure* m_saw = nullptr;
};

TEST_F(SawGame, CutsAFiveWideSwathToTheFloorThenBreaksAndEnds) {
    Fill(3);
    const int before = Blocks();
    // The pieces as the breaking update leaves them, before any later update moves them.
    D3DXVECTOR3 centre, start;
    bool broken = false;
    headless::AfterStep() = [&] {
        if (broken || m_saw->state != CSawFigure::kBroken) return;
        broken = true;
        centre = D3DXVECTOR3(m_saw->bodyWorld._41, m_saw->bodyWorld._42, m_saw->bodyWorld._43);
        start = m_saw->piecePosition[2];
    };
    int fall = StepUntil([&] {
        // Seeded right before the breaking step.
        if (m_saw->state == CSawFigure::kCutting && m_saw->y + 0.125f >= 19.0f) crt_srand(1);
        return m_saw->state == CSawFigure::kBroken;
    });
    headless::AfterStep() = nullptr;
    ASSERT_TRUE(broken);
    EXPECT_NEAR(fall, 152, 1) << "19 rows at 5 a second, through the blocks";
    EXPECT_NEAR(m_saw->pieceVelocity[0].x, -7.49f, 0.01f);
    EXPECT_NEAR(m_saw->pieceVelocity[0].y, 11.73f, 0.01f);
    EXPECT_EQ(m_saw->y, 19.0f);
    EXPECT_EQ(m_saw->x, 4.0f);
    CGameField* field = CGameField::GetInstance();
    for (int y = 0; y < field->m_height; ++y) {
        for (int x = 3; x <= 7; ++x) EXPECT_LT(field->Cell(x, y).m_value, 0) << x << "," << y;
        if (y < 3) continue;
        EXPECT_GE(field->Cell(2, y).m_value, 0) << y;
        EXPECT_GE(field->Cell(8, y).m_value, 0) << y;
    }
    EXPECT_EQ(before - Blocks(), 5 * 18);
    // The pieces start at the blade's centre and fly at the viewer.
    EXPECT_EQ(start, centre);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(m_saw->pieceVelocity[k].z, -15.0f);

    int end = StepUntil([&] { return Gone(); });
    EXPECT_NEAR(end, 60, 1) << "1.5 s after the break";
    EXPECT_EQ(CHud::GetInstance()->score, 0);
}

TEST_F(SawGame, WallsStopSideMovesAndDownFallsARowAStep) {
    for (int i = 0; i < 8; ++i) {
        m_game->Press(DIK_RIGHT);
        m_game->Step(3);
        m_game->Release(DIK_RIGHT);
        m_game->Step(1);
    }
    EXPECT_EQ(m_saw->x, 9.0f) << "the square's right column stops beside the wall";
    ASSERT_EQ(m_saw->y, 4.0f);
    m_game->Press(DIK_DOWN);
    int fall = StepUntil([&] { return m_saw->state == CSawFigure::kBroken; });
    EXPECT_EQ(m_saw->y, 19.0f);
    EXPECT_EQ(fall, 15);
}

}  // namespace
