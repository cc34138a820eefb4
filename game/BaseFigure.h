#pragma once

#include <cstdint>

// One rotation phase of a shape: which places of the 4 x 4 frame hold a block,
// the point the figure turns about, which way the swing turns, and the turn of
// each block's own orientation.
struct SFigurePhase {
    int32_t mask[4][4];  // [row][column]
    float pivotX;        // cells within the frame
    float pivotY;
    int32_t direction;  // 1: drawn turned by rotate, 0: by -rotate
    float angle;        // radians
};
static_assert(sizeof(SFigurePhase) == 80, "a phase record is 80 bytes");

// A phase from its mask rows written as four decimal digits from the left,
// leading zeros dropped: 110 is "0110", 1001 is "#..#".
constexpr SFigurePhase FigurePhase(int r0, int r1, int r2, int r3, float pivotX, float pivotY, int direction,
                                   float angle) {
    SFigurePhase p{};
    const int rows[4] = {r0, r1, r2, r3};
    for (int r = 0; r < 4; ++r)
        for (int c = 0, digits = rows[r]; c < 4; ++c, digits /= 10) p.mask[r][3 - c] = digits % 10;
    p.pivotX = pivotX;
    p.pivotY = pivotY;
    p.direction = direction;
    p.angle = angle;
    return p;
}

// A shape: the phases in use (2 or 4); records past the count are all zero.
struct SFigureShape {
    int32_t phaseCount;
    SFigurePhase phases[4];
};
static_assert(sizeof(SFigureShape) == 324, "a shape record is 324 bytes");

// Everything that falls into the field. Figures (kinds 0, 3, 4) are moved by
// the figure script; kinds 1 and 2 move themselves through ProcessKeys.
class CBaseFigure {
public:
    enum { kBlock = 0, kBomb = 1, kBounceBomb = 2, kColor = 3, kSpecial = 4 };

    CBaseFigure() = default;
    virtual ~CBaseFigure() = default;

    virtual void Init() = 0;
    virtual bool Start() = 0;
    virtual void Render() = 0;
    virtual void Update() = 0;
    virtual bool ProcessKeys(bool left, bool right, bool rotate, bool down, bool drop);
    virtual void Build() = 0;
    virtual bool CanBe(int x, int y, int type, int phase) = 0;
    virtual int GetNextPhase() = 0;
    virtual int GetCurrentPhase() = 0;
    virtual int GetCurrentType() = 0;
    virtual void SetNextPhase() = 0;

    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
    float rotate = 0.0f;
    bool preview = true;
    int32_t kind = 0;
    int32_t phase = 0;
    int32_t shape = 0;
};
