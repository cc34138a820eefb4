#include "engine/ParticleSystemsManager.h"
#include "game/BaseFigure.h"
#include "game/ColorFigure.h"
#include "support/HeadlessGame.h"

namespace {

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
