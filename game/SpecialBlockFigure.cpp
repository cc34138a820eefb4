#include "game/SpecialBlockFigure.h"

#include "game/GameField.h"

namespace {
constexpr float kPi = D3DX_PI;
}  // namespace

const SFigureShape CSpecialBlockFigure::kShapes[kShapeCount] = {
    // hollow square
    {2, {FigurePhase(1111, 1001, 1001, 1111, 1.5f, 1.5f, 1, 0),
         FigurePhase(1111, 1001, 1001, 1111, 1.5f, 1.5f, 0, kPi / 2),
         {},
         {}}},
    // double bar
    {2, {FigurePhase(1111, 110, 110, 1111, 1.5f, 1.5f, 1, 0),
         FigurePhase(1001, 1111, 1111, 1001, 1.5f, 1.5f, 0, kPi / 2),
         {},
         {}}},
    // zigzag
    {4,
     {FigurePhase(1100, 110, 11, 1, 1.5f, 1.5f, 1, 0),
      FigurePhase(1, 11, 110, 1100, 1.5f, 1.5f, 1, kPi / 2),
      FigurePhase(1000, 1100, 110, 11, 1.5f, 1.5f, 1, kPi),
      FigurePhase(11, 110, 1100, 1000, 1.5f, 1.5f, 1, 3 * kPi / 2)}},
    // spiral
    {4,
     {FigurePhase(1011, 1010, 1010, 1110, 1.5f, 1.5f, 1, 0),
      FigurePhase(1111, 1000, 1111, 1, 1.5f, 1.5f, 1, kPi / 2),
      FigurePhase(111, 101, 101, 1101, 1.5f, 1.5f, 1, kPi),
      FigurePhase(1000, 1111, 1, 1111, 1.5f, 1.5f, 1, 3 * kPi / 2)}},
};

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
