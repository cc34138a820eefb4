#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/FieldRules.h"
#include "game/GameRules.h"

namespace {

// A grid from rows of text: '#' wall, '.' empty, a digit a block of that
// colour, a letter a falling block of colour letter - 'a'.
struct Grid {
    explicit Grid(const std::vector<std::string>& rows)
        : height(int(rows.size())), width(int(rows[0].size())), cells(boost::extents[height][width]) {
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const char c = rows[y][x];
                CFieldBlock& b = cells[y][x];
                b.m_value = c == '#' ? -2 : c == '.' ? -1 : c >= 'a' ? c - 'a' : c - '0';
                b.m_motionCounter = c >= 'a' ? 1 : 0;
            }
    }
    std::string Marks(int y) const {
        std::string out;
        for (int x = 0; x < width; ++x) out += cells[y][x].m_removalMark ? 'x' : '-';
        return out;
    }
    int height, width;
    fieldrules::Grid cells;
};

TEST(FieldRules, FullLinesBetweenWallsAreMarked) {
    struct Case {
        std::vector<std::string> rows;
        int lines;
        std::vector<std::string> marks;
    } cases[] = {
        {{"#..#", "#12#", "#34#"}, 2, {"----", "-xx-", "-xx-"}},
        {{"#1.#", "#23#"}, 1, {"----", "-xx-"}},
        {{"#1#2#", "#3#.#"}, 3, {"-x-x-", "-x---"}},  // each stretch between walls is a line
        {{"#..#", "#.1#"}, 0, {"----", "----"}},
    };
    for (const Case& c : cases) {
        Grid g(c.rows);
        EXPECT_EQ(fieldrules::MarkFullLines(g.cells, g.width, g.height), c.lines) << c.rows[0];
        for (int y = 0; y < g.height; ++y) EXPECT_EQ(g.Marks(y), c.marks[y]) << c.rows[0] << " row " << y;
    }
}

TEST(FieldRules, ColourRunsOfThreeOrMoreAtRestAreMarked) {
    struct Case {
        std::vector<std::string> rows;
        int marked;
    } cases[] = {
        {{"111", "...", "..."}, 3},   // across
        {{"2..", "2..", "2.."}, 3},   // down
        {{"3..", ".3.", "..3"}, 3},   // diagonal
        {{"..4", ".4.", "4.."}, 3},   // the other diagonal
        {{"11.", "...", "..."}, 0},   // two are no run
        {{"b11", "...", "..."}, 0},   // a run starts only at a block at rest
        {{"111", "1..", "1.."}, 5},   // runs sharing a block count it once
    };
    for (const Case& c : cases) {
        Grid g(c.rows);
        EXPECT_EQ(fieldrules::MarkColorRuns(g.cells, g.width, g.height), c.marked) << c.rows[0] << c.rows[1];
    }
}

TEST(FieldRules, FallingBlocksTakeEmptyCellsAndStopOnWhatRests) {
    struct Case {
        std::vector<std::string> rows;
        int counter;       // rows the top block has still to fall
        std::string left;  // the top block's column after one step of a whole row
    } cases[] = {
        {{"1", ".", "."}, 2, "..1"},  // needs two steps: one row now
        {{"1", ".", "2"}, 1, ".12"},
        {{"1", "2", "#"}, 1, "12#"},  // a block at rest below: the fall ends
    };
    for (const Case& c : cases) {
        Grid g(c.rows);
        g.cells[0][0].m_motionCounter = c.counter;
        fieldrules::FallStep(g.cells, g.width, g.height, 1.0f, 1.0f);
        if (c.counter == 2) fieldrules::FallStep(g.cells, g.width, g.height, 1.0f, 1.0f);
        std::string column;
        for (int y = 0; y < g.height; ++y) {
            const int v = g.cells[y][0].m_value;
            column += v == -2 ? '#' : v == -1 ? '.' : char('0' + v);
        }
        EXPECT_EQ(column, c.left) << c.rows[0] << c.rows[1] << c.rows[2];
        EXPECT_TRUE(fieldrules::Settled(g.cells, g.width, g.height)) << c.rows[0] << c.rows[1] << c.rows[2];
    }
}

TEST(FieldRules, ScoresFollowTheRulesAndTheTables) {
    const CGameRules saved = g_GameRules;
    for (int i = 0; i < 5; ++i) g_GameRules.lineScore[i] = (i + 1) * 100;
    EXPECT_EQ(fieldrules::LineScore(0), 0);
    EXPECT_EQ(fieldrules::LineScore(2), 200);
    EXPECT_EQ(fieldrules::LineScore(7), 500);  // five or more count as five
    g_GameRules = saved;
    struct Case {
        int n, run, chain;
    } cases[] = {{3, 15, 50}, {4, 30, 100}, {5, 60, 200}, {6, 100, 400}, {9, 100, 1000}};
    for (const Case& c : cases) {
        EXPECT_EQ(fieldrules::ColorRunScore(c.n), c.run) << c.n;
        EXPECT_EQ(fieldrules::ChainBonus(c.n - 1), c.chain) << c.n;
    }
    EXPECT_EQ(fieldrules::ChainBonus(-1), 0);
}

}  // namespace
