#pragma once

#include "game/BaseFigure.h"

// The bomb, the saw and the bounce bomb: they move themselves through
// ProcessKeys, have no shape or phase and build nothing into the field.
class CSelfMovingFigure : public CBaseFigure {
public:
    void Build() override {}
    // The 2 x 2 square at (x, y) inside the grid and all empty.
    bool CanBe(int x, int y, int type, int phase) override;
    int GetNextPhase() override { return 0; }
    int GetCurrentPhase() override { return 0; }
    int GetCurrentType() override { return 0; }
    void SetNextPhase() override {}
};
