#include "game/BaseFigure.h"
#include "support/HeadlessGame.h"

namespace {

struct Outcome {
    int landings = 0;
    int score = 0;
    long steps = 0;
    bool operator==(const Outcome& o) const {
        return landings == o.landings && score == o.score && steps == o.steps;
    }
};

int OutsideCells() {
    CGameField* f = CGameField::GetInstance();
    int n = 0;
    for (int y = 0; y < f->m_height; ++y)
        for (int x = 0; x < f->m_width; ++x) n += f->Cell(x, y).m_value <= -2;
    return n;
}

// Drops every figure where it enters until the stack reaches the top.
Outcome DropAtSpawnUntilOver(int fallType, unsigned seed) {
    headless::Game game;
    game.Boot();
    game.NewGame(0, 1, fallType, seed);
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    CHud* hud = CHud::GetInstance();
    const int outside = OutsideCells();
    Outcome out;
    CBaseFigure* previous = nullptr;
    bool pressed = false;
    headless::AfterStep() = [&] {
        if (previous && !generator->current) ++out.landings;
        previous = generator->current;
        EXPECT_EQ(OutsideCells(), outside);
    };
    const long limit = long(20 * 60 / headless::Game::kStep);
    while (!game.Over() && game.Steps() < limit) {
        // A fresh press each other step: one drop pulse per press.
        pressed = !pressed;
        pressed ? game.Press(0x39) : game.Release(0x39);
        game.Step();
    }
    EXPECT_TRUE(game.Over());
    // Steps after game over change nothing.
    game.Step(10);
    EXPECT_EQ(headless::GameOverCount(), 1);
    EXPECT_EQ(generator->current, nullptr);
    EXPECT_EQ(generator->next, nullptr);
    EXPECT_EQ(hud->lines, 0);
    EXPECT_GT(out.landings, 3);
    EXPECT_EQ(hud->score, out.landings * g_GameRules.figureHitScore);
    out.score = hud->score;
    out.steps = game.Steps();
    return out;
}

TEST(HeadlessGame, DroppedFiguresStackToGameOverTheSameWayEachTime) {
    for (int fallType : {0, 1}) {
        SCOPED_TRACE(fallType);
        Outcome a = DropAtSpawnUntilOver(fallType, 4242);
        Outcome b = DropAtSpawnUntilOver(fallType, 4242);
        EXPECT_TRUE(a == b) << a.landings << "/" << b.landings << " " << a.steps << "/" << b.steps;
    }
}

// Without keys a figure falls at the start speed and the game still ends.
TEST(HeadlessGame, UnsteeredFiguresFallToGameOver) {
    headless::Game game;
    game.Boot();
    game.NewGame(0, 3, 0, 7);
    const long limit = long(20 * 60 / headless::Game::kStep);
    while (!game.Over() && game.Steps() < limit) game.Step();
    EXPECT_TRUE(game.Over());
    EXPECT_GT(CHud::GetInstance()->score, 0);
}

}  // namespace
