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

protected:
    // The special figure shares everything but its table, its one block
    // value, its start row and its trail colour.
    CBlockFigure(const SFigureShape* shapes, int shapeCount, int value, CFigureTrail::ColorSource source,
                 const char* name);
    const SFigurePhase& CurrentPhase() const { return m_shapes[shape].phases[phase]; }

private:
    void LayOut();

    const SFigureShape* m_shapes;
    int m_shapeCount;
    int m_value;  // -1: the shape's own colour
    const char* m_name;
};

// The four per-block matrices from a block's world matrix.
void ComputeBlockMatrices(CFieldBlock& block, const D3DXMATRIX& world);

// The field cell a landing block goes to, or null (logged) when the cell lies
// outside the grid or the play area: a faulty script must not corrupt the field.
CFieldBlock* LandingCell(int column, int row, const char* figure);

// Draws figure blocks (value -1 skipped) as the field draws its blocks;
// highPathIt is the block matrix the pixel-program path uploads as "world_matrix_it".
void RenderFigureBlocks(const CFieldBlock* blocks, int count, bool preview, D3DXMATRIX CFieldBlock::*highPathIt);
