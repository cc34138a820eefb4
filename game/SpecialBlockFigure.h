#pragma once

#include "game/BlockFigure.h"

// The figure a bonus period earns in the line game: one of four large shapes,
// every block near-black (value 7). It falls and lands as a block figure does.
class CSpecialBlockFigure : public CBlockFigure {
public:
    enum { kShapeCount = 4, kValue = 7 };
    static const SFigureShape kShapes[kShapeCount];

    CSpecialBlockFigure();

    void Init() override;
    bool Start() override;
};
