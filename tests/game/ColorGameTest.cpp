#include <algorithm>
#include <vector>

#include "engine/ParticleSystemsManager.h"
#include "game/BaseFigure.h"
#include "game/ColorFigure.h"
#include "support/EngineSupport.h"
#include "support/HeadlessGame.h"

namespace {

// The stick (green, red, red) lands on a red pair in column 3: four reds
// clear, the green drops beside two greens in row 19 and clears as a chain.
TEST(ColorGame, AClearingThatLinesUpASecondRunEarnsTheChainBonus) {
    headless::Game game;
    game.Boot(game.OpenFieldInit(10, 20));
    game.NewGame(kColorGame, 1, 0, 5);
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
    game.Press(DIK_LEFT);
    game.Step();
    game.Release(DIK_LEFT);
    game.Step();
    ASSERT_EQ(stick->x, 2.0f);
    game.Press(DIK_SPACE);
    while (g->current == stick && game.Steps() < 100) game.Step();
    game.Release(DIK_SPACE);
    while (!g->current && game.Steps() < 400) game.Step();
    ASSERT_TRUE(g->current);
    const int runOfFour = g_GameRules.colorsScore[1], runOfThree = g_GameRules.colorsScore[0];
    const int chainOfTwo = 50;
    EXPECT_EQ(hud->score - before, g_GameRules.figureHitScore + runOfFour + runOfThree + chainOfTwo);
    EXPECT_EQ(g->chainCount, 0) << "reset when the next figure comes in";
    for (int x = 0; x < 10; ++x) EXPECT_LT(field->Cell(x, 19).m_value, 0) << x;
}

// Cells of a grid (values by row) lying in a run of three or more of one
// colour across, down or diagonally.
int MarkedCells(const std::vector<std::vector<int>>& g) {
    const int h = int(g.size()), w = int(g[0].size());
    std::vector<std::vector<char>> marked(size_t(h), std::vector<char>(size_t(w), 0));
    const int directions[4][2] = {{1, 0}, {0, 1}, {1, 1}, {-1, 1}};
    int count = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (const auto& d : directions) {
                const int v = g[y][x];
                int n = 1;
                while (v >= 0 && x + n * d[0] >= 0 && x + n * d[0] < w && y + n * d[1] < h &&
                       g[y + n * d[1]][x + n * d[0]] == v)
                    ++n;
                for (int i = 0; n >= 3 && i < n; ++i) {
                    char& m = marked[y + i * d[1]][x + i * d[0]];
                    count += !m;
                    m = 1;
                }
            }
    return count;
}

// Where the bot wants a colour figure: its column and the colours it should
// show there (the figure's pattern cells, row by row).
struct ColourTarget {
    int x = 0;
    std::vector<int> colours;
};

std::vector<int> PatternColours(CColorFigure* f, int cycles) {
    int r0 = CColorFigure::kRows, r1 = -1;
    for (int r = 0; r < CColorFigure::kRows; ++r)
        for (int c = 0; c < CColorFigure::kColumns; ++c)
            if (f->Pattern()[r][c]) r0 = std::min(r0, r), r1 = std::max(r1, r);
    const int n = r1 - r0 + 1;
    std::vector<int> out;
    for (int r = r0; r <= r1; ++r)
        for (int c = 0; c < CColorFigure::kColumns; ++c)
            if (f->Pattern()[r][c]) out.push_back(f->Cell(r0 + (r - r0 + cycles) % n, c).m_value);
    return out;
}

// Every column and cycle position landed on a copy of the grid; the one that
// marks most wins, the lowest landing among equals.
ColourTarget PlanColours(CColorFigure* f) {
    CGameField* field = CGameField::GetInstance();
    std::vector<std::vector<int>> grid(size_t(field->m_height), std::vector<int>(size_t(field->m_width)));
    for (int y = 0; y < field->m_height; ++y)
        for (int x = 0; x < field->m_width; ++x) grid[y][x] = field->Cell(x, y).m_value;
    ColourTarget best;
    int bestMarks = -1, bestRow = -1;
    const int y0 = int(f->y);
    for (int x = -CColorFigure::kColumns; x < field->m_width; ++x) {
        if (!f->CanBe(x, y0, -1, -1)) continue;
        int y = y0;
        while (f->CanBe(x, y + 1, -1, -1)) ++y;
        for (int k = 0; k < CColorFigure::kRows; ++k) {
            const std::vector<int> colours = PatternColours(f, k);
            std::vector<std::vector<int>> landed = grid;
            size_t i = 0;
            for (int r = 0; r < CColorFigure::kRows; ++r)
                for (int c = 0; c < CColorFigure::kColumns; ++c)
                    if (f->Pattern()[r][c]) landed[y + r][x + c] = colours[i++];
            const int marks = MarkedCells(landed);
            if (marks > bestMarks || (marks == bestMarks && y > bestRow)) {
                best = {x, colours};
                bestMarks = marks;
                bestRow = y;
            }
        }
    }
    return best;
}

int BlocksInField() { return headless::CountCells(&CFieldBlock::IsBlock); }

// Medium colour game on the default field with every bonus period earning a
// special figure: a greedy bot steers by key pulses for five minutes, then
// drops each figure where it enters until the game ends.
TEST(ColorGame, GreedyBotClearsRunsAndChainsAndLandsSpecialFiguresToGameOver) {
    headless::Game game;
    game.Boot(game.InitWith("local base_new_game = game_NewGame\n"
                            "function game_NewGame() base_new_game() ext_BombScore = 1e6 ext_SawScore = 1e6 end"));
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
    const size_t systemsBefore = manager->GetSystems().size();
    const testutil::LogTail log;
    game.NewGame(kColorGame, 1, 0, 2024);
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    int runs = 0, lastChain = 0, bestChain = 0, specialLandings = 0, blocks = BlocksInField();
    CBaseFigure* previous = nullptr;
    bool previousSpecial = false;
    headless::AfterStep() = [&] {
        runs += std::max(generator->chainCount - lastChain, 0);
        lastChain = generator->chainCount;
        bestChain = std::max(bestChain, lastChain);
        const int now = BlocksInField();
        if (previous && !generator->current && previousSpecial) specialLandings += now - blocks == 12;
        blocks = now;
        previous = generator->current;
        auto* colour = dynamic_cast<CColorFigure*>(previous);
        previousSpecial = colour && colour->special;
    };
    const long botSteps = long(5 * 60 / headless::Game::kStep), limit = long(20 * 60 / headless::Game::kStep);
    CBaseFigure* planned = nullptr;
    ColourTarget target;
    long figureSteps = 0;
    bool pulse = false;
    while (!game.Over() && game.Steps() < limit) {
        for (int key : {DIK_LEFT, DIK_RIGHT, DIK_UP, DIK_SPACE}) game.Release(key);
        pulse = !pulse;
        auto* f = dynamic_cast<CColorFigure*>(generator->current);
        if (f != planned) {
            planned = f;
            figureSteps = 0;
            if (f) target = PlanColours(f);
        }
        if (pulse && f) {
            // A figure not in place within 5 s is dropped where it is.
            int key = DIK_SPACE;
            if (game.Steps() < botSteps && ++figureSteps < 100) {
                if (f->cycling)
                    key = 0;
                else if (PatternColours(f, 0) != target.colours)
                    key = DIK_UP;
                else if (int(f->x) != target.x)
                    key = int(f->x) > target.x ? DIK_LEFT : DIK_RIGHT;
            }
            if (key) game.Press(key);
        }
        game.Step();
    }
    headless::AfterStep() = nullptr;
    ASSERT_TRUE(game.Over());
    EXPECT_EQ(generator->current, nullptr);
    EXPECT_EQ(generator->next, nullptr);
    EXPECT_GT(runs, 0);
    EXPECT_GE(bestChain, 2);
    EXPECT_GE(specialLandings, 2);
    game.Step(40);  // one second: the last trails fade
    EXPECT_EQ(manager->GetSystems().size(), systemsBefore);
    for (const testutil::LogEntry& e : log.Entries())
        EXPECT_EQ(e.text.find("couldn't add particle system"), std::string::npos) << e.text;
}

}  // namespace
