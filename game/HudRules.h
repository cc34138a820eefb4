#pragma once

#include <cstdint>

// The HUD's score, level and bonus-period rules as plain code, apart from its
// drawing and its singletons; the HUD calls them each step.
namespace hudrules {

// Truncation toward zero that stays defined for any float.
int32_t Trunc(float v);

// The shown score one step of dt seconds later: it rolls up towards the
// score (faster the further behind), and a lower score shows at once.
float RollScore(float displayed, int32_t score, float dt);

// The shown score has reached the next level's threshold, level x levelScore.
bool LevelReached(int32_t shown, int32_t level, float levelScore);

// What a bonus period's points earn.
enum BonusKind { kSpecialFigure = 0, kBomb = 1, kSaw = 2 };
BonusKind EarnedBonus(int64_t points, int32_t bombScore, int32_t sawScore);

// The score bar: the left half fills towards the bomb, the right half towards the saw; 0 to 1.
float ScoreBarFill(int64_t points, int32_t bombScore, int32_t sawScore);

}  // namespace hudrules
