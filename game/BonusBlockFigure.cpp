#include "game/BonusBlockFigure.h"

#include "game/GameField.h"

namespace {

const float kPi = D3DX_PI;

// Masks as rows of four digits from the left; 1001 is "#..#".
#define M(r0, r1, r2, r3) \
    { {(r0 / 1000) % 10, (r0 / 100) % 10, (r0 / 10) % 10, r0 % 10}, \
      {(r1 / 1000) % 10, (r1 / 100) % 10, (r1 / 10) % 10, r1 % 10}, \
      {(r2 / 1000) % 10, (r2 / 100) % 10, (r2 / 10) % 10, r2 % 10}, \
      {(r3 / 1000) % 10, (r3 / 100) % 10, (r3 / 10) % 10, r3 % 10} }

}  // namespace

const SFigureShape CSpecialBlockFigure::kShapes[kShapeCount] = {
    // hollow square
    {2, {{M(1111, 1001, 1001, 1111), 1.5f, 1.5f, 1, 0}, {M(1111, 1001, 1001, 1111), 1.5f, 1.5f, 0, kPi / 2}, {}, {}}},
    // double bar
    {2, {{M(1111, 110, 110, 1111), 1.5f, 1.5f, 1, 0}, {M(1001, 1111, 1111, 1001), 1.5f, 1.5f, 0, kPi / 2}, {}, {}}},
    // zigzag
    {4,
     {{M(1100, 110, 11, 1), 1.5f, 1.5f, 1, 0},
      {M(1, 11, 110, 1100), 1.5f, 1.5f, 1, kPi / 2},
      {M(1000, 1100, 110, 11), 1.5f, 1.5f, 1, kPi},
      {M(11, 110, 1100, 1000), 1.5f, 1.5f, 1, 3 * kPi / 2}}},
    // spiral
    {4,
     {{M(1011, 1010, 1010, 1110), 1.5f, 1.5f, 1, 0},
      {M(1111, 1000, 1111, 1), 1.5f, 1.5f, 1, kPi / 2},
      {M(111, 101, 101, 1101), 1.5f, 1.5f, 1, kPi},
      {M(1000, 1111, 1, 1111), 1.5f, 1.5f, 1, 3 * kPi / 2}}},
};
#undef M

CSpecialBlockFigure::CSpecialBlockFigure()
    : CBlockFigure(kShapes, kShapeCount, kValue, CFigureTrail::ColorSource::Ambient, "special figure") {}

void CSpecialBlockFigure::Init() {
    CBlockFigure::Init();
    kind = kSpecial;
}

bool CSpecialBlockFigure::Start() {
    CGameField* field = CGameField::GetInstance();
    preview = false;
    rotate = 0.0f;
    y = 0.0f;
    x = static_cast<float>(field->m_width / 2 - 2);
    Update();
    const int cx = static_cast<int>(x), cy = static_cast<int>(y);
    return CanBe(cx, cy + 1, -1, -1) && CanBe(cx, cy, -1, -1);
}
