#pragma once

#include <d3dx9math.h>

#include "game/BaseFigure.h"
#include "game/FigureTrail.h"
#include "game/GameField.h"

// The ordinary figure of the line game: four blocks in one of seven shapes,
// each shape with its own colour.
class CBlockFigure : public CBaseFigure {
public:
    enum { kShapeCount = 7 };
    static const SFigureShape kShapes[kShapeCount];
    static const int kShapeColors[kShapeCount];

    CBlockFigure();
    ~CBlockFigure() override;

    void Init() override;
    bool Start() override;
    void Render() override;
    void Update() override;
    void Build() override;
    bool CanBe(int x, int y, int type, int phase) override;
    int GetNextPhase() override;
    int GetCurrentPhase() override { return phase; }
    int GetCurrentType() override { return shape; }
    void SetNextPhase() override;

    // Shape and phase set directly (tests, and Init after the random pick).
    void SetShape(int shapeIndex, int phaseIndex);

    CFigureTrail trail;
    CFieldBlock blocks[16];  // [row * 4 + column]

private:
    void LayOut();
    const SFigurePhase& CurrentPhase() const { return kShapes[shape].phases[phase]; }
};

// The four per-block matrices from a block's world matrix.
void ComputeBlockMatrices(CFieldBlock& block, const D3DXMATRIX& world);
