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
