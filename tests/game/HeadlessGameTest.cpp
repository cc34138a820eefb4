#include <algorithm>
#include <tuple>

#include "game/BaseFigure.h"
#include "game/BlockFigure.h"
#include "support/HeadlessGame.h"

namespace {

struct Outcome {
    int landings = 0;
    int score = 0;
    long steps = 0;
    auto Tied() const { return std::tie(landings, score, steps); }
    bool operator==(const Outcome& o) const { return Tied() == o.Tied(); }
};

int OutsideCells() { return headless::CountCells(&CFieldBlock::IsWall); }

// Drops every figure where it enters until the stack reaches the top.
Outcome DropAtSpawnUntilOver(int fallType, unsigned seed) {
    headless::Game game;
    game.Boot();
    game.NewGame(kLineGame, 1, fallType, seed);
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    CHud* hud = CHud::GetInstance();
    const int outside = OutsideCells();
    Outcome out;
    CBaseFigure* previous = generator->current;  // a new game starts with a figure in play
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
        pressed ? game.Press(DIK_SPACE) : game.Release(DIK_SPACE);
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
    game.NewGame(kLineGame, 3, 0, 7);
    const long limit = long(20 * 60 / headless::Game::kStep);
    while (!game.Over() && game.Steps() < limit) game.Step();
    EXPECT_TRUE(game.Over());
    EXPECT_GT(CHud::GetInstance()->score, 0);
}

// The bot's view of a game: full lines counted at each landing, the score
// those landings and lines are worth, and the flips seen.
struct BotOutcome {
    int landings = 0;
    int lines = 0;
    int flips = 0;
    long steps = 0;
    int score = 0;
    auto Tied() const { return std::tie(landings, lines, flips, steps, score); }
    bool operator==(const BotOutcome& o) const { return Tied() == o.Tied(); }
};

int FullRows() {
    CGameField* f = CGameField::GetInstance();
    int n = 0;
    for (int y = 0; y < f->m_height; ++y) {
        int inside = 0, filled = 0;
        for (int x = 0; x < f->m_width; ++x) {
            const int v = f->Cell(x, y).m_value;
            inside += v >= -1;
            filled += v >= 0;
        }
        n += inside > 0 && inside == filled;
    }
    return n;
}

// Where the bot wants the figure: the phase and column whose landing leaves
// the fewest holes, lowest first.
struct Target {
    int phase = -1;
    int x = 0;
};

Target Plan(CBaseFigure* figure) {
    CGameField* f = CGameField::GetInstance();
    const SFigureShape& shape = CBlockFigure::kShapes[figure->shape];
    const int y0 = int(figure->y);
    Target best;
    long bestKey = 0;
    for (int p = 0; p < shape.phaseCount; ++p)
        for (int x = -3; x < f->m_width; ++x) {
            if (!figure->CanBe(x, y0, figure->shape, p) || !figure->CanBe(x, y0 + 1, figure->shape, p)) continue;
            int y = y0;
            while (figure->CanBe(x, y + 1, figure->shape, p)) ++y;
            auto filled = [&](int cx, int cy) {
                const int r = cy - y, c = cx - x;
                if (r >= 0 && r < 4 && c >= 0 && c < 4 && shape.phases[p].mask[r][c]) return true;
                return f->Cell(cx, cy).IsBlock();
            };
            int holes = 0, top = f->m_height;
            for (int cx = 0; cx < f->m_width; ++cx) {
                bool covered = false;
                for (int cy = 0; cy < f->m_height; ++cy) {
                    if (filled(cx, cy)) {
                        covered = true;
                        top = std::min(top, cy);
                    } else if (covered && f->Cell(cx, cy).IsEmpty()) {
                        ++holes;
                    }
                }
            }
            const long key = long(holes) * 1000 - top * 10 - y;
            if (best.phase < 0 || key < bestKey) {
                best = {p, x};
                bestKey = key;
            }
        }
    return best;
}

// Steers every figure to its planned place with key pulses until eight
// lines are cleared, then drops each where it enters, to game over.
BotOutcome PlayBot(int fallType, unsigned seed, const char* init = nullptr) {
    headless::Game game;
    game.Boot(init ? game.InitWith(init) : gameloop::kGeneralInit);
    game.NewGame(kLineGame, 1, fallType, seed);
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    CGameField* field = CGameField::GetInstance();
    CHud* hud = CHud::GetInstance();
    const int outside = OutsideCells();
    BotOutcome out;
    CBaseFigure* previous = nullptr;
    Target target;
    long figureSteps = 0;
    int settledSteps = 0;
    bool flipping = false;
    headless::AfterStep() = [&] {
        if (previous && generator->current != previous) {
            ++out.landings;
            const int full = FullRows();
            out.lines += full;
            out.score += g_GameRules.figureHitScore + (full ? g_GameRules.lineScore[std::min(full, 5) - 1] : 0);
            EXPECT_EQ(hud->score, out.score) << "landing " << out.landings;
        }
        if (generator->current != previous) {
            figureSteps = 0;
            target = Target();
        }
        previous = generator->current;
        if (field->m_flipRunning && !flipping) ++out.flips;
        flipping = field->m_flipRunning;
        settledSteps = int(hud->displayedScore) == hud->score ? settledSteps + 1 : 0;
        if (settledSteps >= 3) {
            EXPECT_EQ(hud->level, 1 + hud->score / 1000) << "step " << game.Steps();
        }
        EXPECT_EQ(OutsideCells(), outside);
    };
    const long limit = long(20 * 60 / headless::Game::kStep);
    bool pressed = false;
    while (!game.Over() && game.Steps() < limit) {
        // Every other step a fresh press: one pulse per press.
        for (int key : {DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_SPACE}) game.Release(key);
        pressed = !pressed;
        CBaseFigure* figure = generator->current;
        if (pressed && figure) {
            if (out.lines < 8 && target.phase < 0) target = Plan(figure);
            // A figure the bot cannot bring there in 5 s is dropped.
            int key = DIK_SPACE;
            if (out.lines < 8 && target.phase >= 0 && ++figureSteps < 100) {
                if (figure->phase != target.phase)
                    key = DIK_UP;
                else if (int(figure->x) > target.x)
                    key = DIK_LEFT;
                else if (int(figure->x) < target.x)
                    key = DIK_RIGHT;
            }
            game.Press(key);
        }
        game.Step();
    }
    EXPECT_TRUE(game.Over());
    game.Step(10);
    EXPECT_EQ(headless::GameOverCount(), 1);
    EXPECT_GE(out.lines, 8);
    EXPECT_EQ(hud->lines, out.lines);
    EXPECT_EQ(hud->score, out.score);
    out.steps = game.Steps();
    return out;
}

TEST(HeadlessGame, SteeredGameClearsLinesAndScoresThemTheSameWayEachTime) {
    for (int fallType : {0, 1}) {
        SCOPED_TRACE(fallType);
        BotOutcome a = PlayBot(fallType, 1234);
        BotOutcome b = PlayBot(fallType, 1234);
        EXPECT_TRUE(a == b) << a.landings << "/" << b.landings << " " << a.steps << "/" << b.steps;
    }
}

TEST(HeadlessGame, SteeredGameGoesThroughFlips) {
    BotOutcome a = PlayBot(0, 99, "local base_new_game = game_NewGame\n"
                                  "function game_NewGame() base_new_game() ext_RotateScore = 300 end");
    EXPECT_GE(a.flips, 2);
}

}  // namespace
