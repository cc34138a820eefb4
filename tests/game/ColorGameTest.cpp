#include "engine/ParticleSystemsManager.h"
#include "game/BaseFigure.h"
#include "game/ColorFigure.h"
#include "support/HeadlessGame.h"
#include "support/TestUtil.h"

namespace {

// The stick (green, red, red) lands on a red pair in column 3: four reds
// clear, the green drops beside two greens in row 19 and clears as a chain.
TEST(ColorGame, AClearingThatLinesUpASecondRunEarnsTheChainBonus) {
    headless::Game game;
    game.Boot(game.OpenFieldInit(10, 20));
    game.NewGame(1, 1, 0, 5);
    game.Step();
    CFigureGenerator* g = CFigureGenerator::GetInstance();
    CGameField* field = CGameField::GetInstance();
    CHud* hud = CHud::GetInstance();
    auto* stick = dynamic_cast<CColorFigure*>(g->current);
    ASSERT_TRUE(stick);
    ASSERT_FALSE(stick->special);
    const int red = 0, green = 1;
    field->Cell(1, 19).m_value = field->Cell(2, 19).m_value = green;
    field->Cell(3, 18).m_value = field->Cell(3, 19).m_value = red;
    stick->Cell(0, 1).m_value = green;
    stick->Cell(1, 1).m_value = stick->Cell(2, 1).m_value = red;
    const int before = hud->score;
    ASSERT_EQ(stick->x, 3.0f);  // the stick stands in column x + 1
    game.Press(0xCB);
    game.Step();
    game.Release(0xCB);
    game.Step();
    ASSERT_EQ(stick->x, 2.0f);
    game.Press(0x39);
    while (g->current == stick && game.Steps() < 100) game.Step();
    game.Release(0x39);
    while (!g->current && game.Steps() < 400) game.Step();
    ASSERT_TRUE(g->current);
    const int runOfFour = g_GameRules.colorsScore[1], runOfThree = g_GameRules.colorsScore[0];
    const int chainOfTwo = 50;
    EXPECT_EQ(hud->score - before, g_GameRules.figureHitScore + runOfFour + runOfThree + chainOfTwo);
    EXPECT_EQ(g->chainCount, 0) << "reset when the next figure comes in";
    for (int x = 0; x < 10; ++x) EXPECT_LT(field->Cell(x, 19).m_value, 0) << x;
}

// A colour game dropped at the spawn column, cycling now and then, with one
// special figure asked for midway: it ends, lands only colours and lets its
// trails go.
TEST(ColorGame, DroppedSticksAndASpecialFigurePlayToGameOver) {
    headless::Game game;
    game.Boot();
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
    const size_t systemsBefore = manager->GetSystems().size();
    game.NewGame(1, 1, 0, 99);
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    CGameField* field = CGameField::GetInstance();
    const int colours = g_GameRules.colorsNum;
    ASSERT_GE(colours, 1);
    int landings = 0, specialLandings = 0;
    CBaseFigure* previous = nullptr;
    bool previousSpecial = false, cycled = false;
    headless::AfterStep() = [&] {
        if (previous && generator->current != previous) {
            ++landings;
            specialLandings += previousSpecial;
        }
        previous = generator->current;
        if (previous && previous->kind == CBaseFigure::kColor)
            cycled = cycled || static_cast<CColorFigure*>(previous)->cycling;
        previousSpecial = previous && previous->kind == CBaseFigure::kColor &&
                          static_cast<CColorFigure*>(previous)->special;
        for (int y = 0; y < field->m_height; ++y)
            for (int x = 0; x < field->m_width; ++x) ASSERT_LT(field->Cell(x, y).m_value, colours);
    };
    const long limit = long(20 * 60 / headless::Game::kStep);
    bool asked = false;
    while (!game.Over() && game.Steps() < limit) {
        const long s = game.Steps();
        if (!asked && landings == 3) {
            generator->specialFigureFlag = true;
            asked = true;
        }
        // A rotate pulse, then a drop pulse half a cycle later.
        (s % 14 == 7) ? game.Press(0x39) : game.Release(0x39);
        (s % 14 == 0) ? game.Press(0xC8) : game.Release(0xC8);
        game.Step();
    }
    headless::AfterStep() = nullptr;
    ASSERT_TRUE(game.Over());
    EXPECT_EQ(generator->current, nullptr);
    EXPECT_EQ(generator->next, nullptr);
    EXPECT_GT(landings, 3);
    EXPECT_EQ(specialLandings, 1);
    EXPECT_TRUE(cycled);  // the figure step passes rotate on to the cycle
    EXPECT_GE(CHud::GetInstance()->score, landings * g_GameRules.figureHitScore);
    game.Step(40);  // one second: the last trails fade
    EXPECT_EQ(manager->GetSystems().size(), systemsBefore);
}

}  // namespace
