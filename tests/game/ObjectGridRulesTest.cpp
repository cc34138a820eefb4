#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <vector>

#include "game/ObjectGridRules.h"

namespace {

// A plain grid: -1 everywhere unless set.
struct Grid {
    int w, h;
    std::vector<int> cells;
    Grid(int width, int height, int fill = -1) : w(width), h(height), cells(width * height, fill) {}
    int& at(int x, int y) { return cells[y * w + x]; }
    CellValueFn Value() {
        return [this](int x, int y) {
            EXPECT_TRUE(x >= 0 && x < w && y >= 0 && y < h) << x << "," << y;
            return at(x, y);
        };
    }
};

TEST(ObjectGridRulesTest, BlastCoversADiscOfEightyEightCellsAroundTheTopLeftCell) {
    auto cells = BlastCells(10.0f, 10.0f, 5, 20, 20);
    EXPECT_EQ(cells.size(), 88u);
    std::map<int, std::pair<int, int>> span;  // relative row -> column range
    for (auto& c : cells) {
        auto it = span.emplace(c.second - 10, std::make_pair(99, -99)).first;
        it->second.first = std::min(it->second.first, c.first - 10);
        it->second.second = std::max(it->second.second, c.first - 10);
    }
    std::map<int, std::pair<int, int>> want = {{-5, {-3, 2}}, {-4, {-4, 3}}, {-3, {-5, 4}}, {-2, {-5, 4}},
                                               {-1, {-5, 4}}, {0, {-5, 4}},  {1, {-5, 4}},  {2, {-5, 4}},
                                               {3, {-4, 3}},  {4, {-3, 2}}};
    EXPECT_EQ(span, want);
}

TEST(ObjectGridRulesTest, BlastAtTheCornerStaysInsideTheGrid) {
    auto cells = BlastCells(0.0f, 18.0f, 5, 10, 20);
    EXPECT_EQ(cells.size(), 32u);
    for (auto& c : cells) EXPECT_TRUE(c.first >= 0 && c.first < 10 && c.second >= 13 && c.second < 20);
}

TEST(ObjectGridRulesTest, SawCutsTheFiveByFiveSquareAroundItsCornerInsideTheGrid) {
    auto cut = SawCutCells(4.6f, 10.9f, 5, 12, 21);
    ASSERT_EQ(cut.size(), 25u);
    EXPECT_EQ(cut.front(), std::make_pair(3, 9));
    EXPECT_EQ(cut[1], std::make_pair(4, 9)) << "columns inner";
    EXPECT_EQ(cut.back(), std::make_pair(7, 13));
    EXPECT_EQ(SawCutCells(0.0f, 0.0f, 5, 12, 21).size(), 16u);
}

TEST(ObjectGridRulesTest, BombNeedsEmptyCellsWhileTheSawPassesBlocks) {
    Grid g(4, 4);
    g.at(1, 1) = 3;   // block
    g.at(3, 3) = -2;  // outside the play area
    struct Case { int x, y; bool bomb, saw; } cases[] = {
        {0, 0, false, true}, {2, 2, false, false}, {2, 0, true, true}, {3, 0, false, false}, {0, -1, false, false},
    };
    for (auto& c : cases) {
        EXPECT_EQ(FootprintFree(c.x, c.y, g.w, g.h, g.Value()), c.bomb) << c.x << "," << c.y;
        EXPECT_EQ(SawFootprintFree(c.x, c.y, g.w, g.h, g.Value()), c.saw) << c.x << "," << c.y;
    }
}

TEST(ObjectGridRulesTest, SideMoveSnapsOntoTheNextColumn) {
    struct Case { bool left; float to; int steps; } cases[] = {{true, 3.0f, 3}, {false, 5.0f, 2}};
    for (auto& c : cases) {
        CSideMove move;
        float x = 4.0f;
        move.Steer(c.left, !c.left, x, [](int) { return true; });
        int steps = 0;
        while (move.Active() && steps < 10) {
            move.Steer(!c.left, c.left, x, [](int) { return true; });  // ignored mid-move
            move.Advance(x, 0.025f);
            ++steps;
        }
        EXPECT_EQ(x, c.to);
        EXPECT_EQ(steps, c.steps);
    }
}

TEST(ObjectGridRulesTest, SteeringPrefersLeftAndRefusesBlockedMoves) {
    struct Case { bool left, right, leftFree, rightFree, wantLeft, wantRight; } cases[] = {
        {true, true, true, true, true, false},
        {true, true, false, true, false, true},
        {true, false, false, true, false, false},
        {false, true, true, false, false, false},
    };
    for (auto& c : cases) {
        CSideMove move;
        move.Steer(c.left, c.right, 4.0f, [&](int column) { return column == 3 ? c.leftFree : c.rightFree; });
        EXPECT_EQ(move.left, c.wantLeft);
        EXPECT_EQ(move.right, c.wantRight);
    }
}

TEST(ObjectGridRulesTest, ProbesReportTheLastTouchedSide) {
    struct Case { std::vector<std::pair<int, int>> walls; int side; } cases[] = {
        {{{6, 5}}, kSideRight}, {{{5, 6}}, kSideBelow}, {{{4, 5}}, kSideLeft}, {{{5, 4}}, kSideAbove},
        {{{4, 5}, {6, 5}}, kSideRight}, {{{5, 6}, {4, 5}}, kSideLeft}, {{}, kSideNone},
    };
    for (auto& c : cases) {
        Grid g(12, 12);
        for (auto& w : c.walls) g.at(w.first, w.second) = -2;
        EXPECT_EQ(ProbeCollision(5.5f, 5.5f, g.w, g.h, g.Value(), [](int, int) { ADD_FAILURE(); }), c.side);
    }
}

// Nine probes at radius 0.7, a quarter turn of pi/4 apart summed in float:
// the ninth falls just short of a full turn and repeats the first.
TEST(ObjectGridRulesTest, ProbesRunTheNinePointsInOrder) {
    Grid g(12, 12, 1);  // blocks everywhere; nothing is emptied
    std::vector<std::pair<int, int>> probed;
    EXPECT_EQ(ProbeCollision(5.5f, 5.5f, g.w, g.h, g.Value(), [&](int x, int y) { probed.push_back({x, y}); }),
              kSideRight);
    const std::vector<std::pair<int, int>> want = {{6, 5}, {5, 5}, {5, 6}, {5, 5}, {4, 5},
                                                   {5, 5}, {5, 4}, {5, 5}, {6, 5}};
    EXPECT_EQ(probed, want);
    // The side of each probe, its angle summed in float as the probes are.
    const int sides[] = {kSideRight, kSideBelow, kSideBelow, kSideLeft, kSideLeft,
                         kSideAbove, kSideAbove, kSideAbove, kSideRight};
    float angle = 0.0f;
    for (int k = 0; k < 9; ++k, angle += float(D3DX_PI / 4.0)) EXPECT_EQ(ProbeSide(angle), sides[k]) << k;
}

TEST(ObjectGridRulesTest, ProbeKnocksOutTouchedBlocksAndSeesOutsideTheGridAsWall) {
    Grid g(12, 12);
    g.at(6, 6) = 4;  // only the diagonal probe reaches it
    int knocked = 0;
    auto knock = [&](int x, int y) {
        ++knocked;
        g.at(x, y) = -1;
    };
    EXPECT_EQ(ProbeCollision(5.7f, 5.7f, g.w, g.h, g.Value(), knock), kSideBelow);
    EXPECT_EQ(knocked, 1);
    EXPECT_EQ(g.at(6, 6), -1);

    Grid open(12, 12);  // no walls at all
    EXPECT_EQ(ProbeCollision(5.5f, 0.5f, open.w, open.h, open.Value(), knock), kSideAbove);
    EXPECT_EQ(ProbeCollision(5.5f, 11.5f, open.w, open.h, open.Value(), knock), kSideBelow);
    EXPECT_EQ(ProbeCollision(11.5f, 5.5f, open.w, open.h, open.Value(), knock), kSideRight);
}

TEST(ObjectGridRulesTest, ReflectionMirrorsOneComponentAndKeepsTheLength) {
    D3DXVECTOR2 d(0.607f, 0.707f);
    struct Case { int side; float sx, sy; } cases[] = {
        {kSideBelow, 1, -1}, {kSideAbove, 1, -1}, {kSideLeft, -1, 1}, {kSideRight, -1, 1}, {kSideNone, 1, 1}};
    for (auto& c : cases) {
        D3DXVECTOR2 r = Reflect(d, c.side);
        EXPECT_FLOAT_EQ(r.x, c.sx * d.x) << c.side;
        EXPECT_FLOAT_EQ(r.y, c.sy * d.y) << c.side;
    }
}

}  // namespace

namespace {

TEST(ObjectGridRulesTest, DisplacementWeightRunsFromBetaAtTheTopToAlphaAboveTheStack) {
    Grid g(4, 12);
    EXPECT_EQ(TopBlockRow(g.w, g.h, g.Value()), 11);
    g.at(3, 10) = 0;
    g.at(0, 7) = 2;
    ASSERT_EQ(TopBlockRow(g.w, g.h, g.Value()), 7);
    struct Case { int top; float y, want; } cases[] = {
        {7, 0.0f, 1.5f}, {7, 2.5f, 1.0f}, {7, 5.0f, 0.5f}, {7, 6.0f, 0.5f}, {2, 0.0f, 0.5f}, {0, 3.0f, 0.5f}};
    for (auto& c : cases) EXPECT_FLOAT_EQ(DepthWeight(c.top, c.y, 0.5f, 1.5f), c.want) << c.top << " " << c.y;
}

TEST(ObjectGridRulesTest, BounceFlightMovesFreelyAndStaysPutOnEveryBounce) {
    float x = 7.0f, y = 2.5f;
    D3DXVECTOR2 d(0.607f, 0.707f);
    int bounces = 0;
    BounceFlight(x, y, d, 10.0f, 0.025f, [](float, float) { return kSideNone; }, [&] { ++bounces; });
    EXPECT_NEAR(x - 7.0f, 0.153f, 2e-3f);
    EXPECT_NEAR(y - 2.5f, 0.178f, 2e-3f);
    EXPECT_EQ(bounces, 0);

    // A wall below for the first two candidates only.
    int calls = 0;
    float x0 = x, y0 = y;
    BounceFlight(x, y, d, 10.0f, 0.025f, [&](float, float) { return ++calls <= 2 ? kSideBelow : kSideNone; },
                 [&] { ++bounces; });
    EXPECT_EQ(bounces, 2);
    EXPECT_FLOAT_EQ(d.y, 0.707f) << "mirrored twice";
    EXPECT_NEAR(x - x0, 3 * 0.607f * 10.0f * 0.025f * 0.2f, 1e-4f) << "bouncing sub-steps do not move";
    EXPECT_NEAR(y - y0, 3 * 0.707f * 10.0f * 0.025f * 0.2f, 1e-4f);
}

}  // namespace
