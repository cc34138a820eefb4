#pragma once

#include <d3dx9math.h>

#include "game/SelfMovingFigure.h"
#include "game/ObjectGridRules.h"

// The saw a big bonus period earns: a spinning blade that cuts a five-wide
// swath down the field and breaks in three at the bottom.
class CSawFigure : public CSelfMovingFigure {
public:
    enum { kCutting = 0, kBroken = 1 };

    CSawFigure();
    ~CSawFigure() override;

    void Init() override;
    bool Start() override;
    void Render() override;
    void Update() override;
    bool ProcessKeys(bool left, bool right, bool rotate, bool down, bool drop) override;
    // Blocks do not stop the saw; only cells outside the grid or the play area.
    bool CanBe(int x, int y, int type, int phase) override;

    D3DXVECTOR3 bodyScale;
    D3DXVECTOR3 modelOffset;
    D3DXVECTOR3 bodyAngles;
    D3DXVECTOR3 spinAngles;
    D3DXMATRIX bodyClip, bodyWorldViewInvTranspose, bodyWorldViewTranspose, bodyInvWorld, bodyWorld;
    D3DXMATRIX pieceClip[3], pieceWorldViewInvTranspose[3], pieceWorldViewTranspose[3], pieceInvWorld[3];
    D3DXVECTOR3 pieceScale[3];
    D3DXVECTOR3 piecePosition[3];
    D3DXVECTOR3 pieceAngles[3];
    D3DXVECTOR3 pieceVelocity[3];
    D3DXVECTOR3 pieceSpin[3];
    D3DXCOLOR diffuseColor;
    D3DXCOLOR ambientColor;
    D3DXCOLOR specularColor;
    float breakTime = 0.0f;
    float breakDuration = 1.5f;
    int32_t state = kCutting;
    int32_t cutSize = 5;
    // Each saw its own, cleared by Start.
    CSideMove move;

    static constexpr float kFallSpeed = 5.0f;
    static constexpr float kFastFallSpeed = 8.0f * kFallSpeed;

private:
    void Transform();
    void Break();
};
