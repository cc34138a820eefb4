#include "game/HudRules.h"

#include <cmath>

namespace hudrules {

int32_t Trunc(float v) {
    if (!(v > -2147483648.0f)) return v != v ? 0 : INT32_MIN;
    if (v >= 2147483647.0f) return INT32_MAX;
    return int32_t(v);
}

float RollScore(float displayed, int32_t score, float dt) {
    const float d = float(score) - displayed;
    if (d > 0.0f) displayed += d > 10.0f ? dt * d * 1.5f : dt * 25.0f;
    return displayed > float(score) ? float(score) : displayed;
}

bool LevelReached(int32_t shown, int32_t level, float levelScore) {
    return double(shown) >= std::trunc(double(float(level) * levelScore));
}

BonusKind EarnedBonus(int64_t points, int32_t bombScore, int32_t sawScore) {
    return points >= sawScore ? kSaw : (points >= bombScore ? kBomb : kSpecialFigure);
}

float ScoreBarFill(int64_t points, int32_t bombScore, int32_t sawScore) {
    double bar;
    if (points < bombScore)
        bar = bombScore > 0 ? 0.5 * double(points) / double(bombScore) : 0.0;
    else
        bar = sawScore > bombScore ? 0.5 + 0.5 * double(points - bombScore) / double(int64_t(sawScore) - bombScore)
                                   : 1.0;
    return float(bar < 0.0 ? 0.0 : (bar > 1.0 ? 1.0 : bar));
}

}  // namespace hudrules
