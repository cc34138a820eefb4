#include <gtest/gtest.h>

#include <limits>

#include "game/HudRules.h"

namespace {

TEST(HudRules, ShownScoreRollsUpAndNeverPassesTheScore) {
    struct Case {
        float displayed;
        int32_t score;
        float dt, shown;
    } cases[] = {
        {0.0f, 5, 0.025f, 0.625f},     // close: 25 a second
        {0.0f, 100, 0.025f, 3.75f},    // far: 1.5 times the distance a second
        {99.9f, 100, 0.025f, 100.0f},  // never past the score
        {50.0f, 10, 0.025f, 10.0f},    // a lower score shows at once
        {7.0f, 7, 0.025f, 7.0f},
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(hudrules::RollScore(c.displayed, c.score, c.dt), c.shown) << c.displayed << " " << c.score;
}

TEST(HudRules, LevelsBonusesAndBarFollowTheThresholds) {
    EXPECT_TRUE(hudrules::LevelReached(1000, 1, 1000.0f));
    EXPECT_FALSE(hudrules::LevelReached(999, 1, 1000.0f));
    EXPECT_FALSE(hudrules::LevelReached(1999, 2, 1000.0f));
    EXPECT_TRUE(hudrules::LevelReached(1, 1, 0.9f));  // the threshold is truncated

    struct Case {
        int64_t points;
        hudrules::BonusKind bonus;
        float bar;
    } cases[] = {{0, hudrules::kSpecialFigure, 0.0f},    {250, hudrules::kSpecialFigure, 0.25f},
                 {500, hudrules::kBomb, 0.5f},           {1000, hudrules::kBomb, 0.75f},
                 {1500, hudrules::kSaw, 1.0f},           {9000, hudrules::kSaw, 1.0f},
                 {-20, hudrules::kSpecialFigure, 0.0f}};
    for (const Case& c : cases) {
        EXPECT_EQ(hudrules::EarnedBonus(c.points, 500, 1500), c.bonus) << c.points;
        EXPECT_FLOAT_EQ(hudrules::ScoreBarFill(c.points, 500, 1500), c.bar) << c.points;
    }
    // Thresholds that leave a half without a range fill it at once, never divide by zero.
    EXPECT_FLOAT_EQ(hudrules::ScoreBarFill(10, 0, 0), 1.0f);
    EXPECT_FLOAT_EQ(hudrules::ScoreBarFill(600, 500, 500), 1.0f);
}

TEST(HudRules, TruncationStaysDefinedForAnyFloat) {
    struct Case {
        float v;
        int32_t t;
    } cases[] = {{2.9f, 2},
                 {-2.9f, -2},
                 {std::numeric_limits<float>::quiet_NaN(), 0},
                 {std::numeric_limits<float>::infinity(), INT32_MAX},
                 {-std::numeric_limits<float>::infinity(), INT32_MIN},
                 {3e9f, INT32_MAX}};
    for (const Case& c : cases) EXPECT_EQ(hudrules::Trunc(c.v), c.t) << c.v;
}

}  // namespace
