#pragma once

#include <win32.h>
#include <d3dx9math.h>

#include "game/SelfMovingFigure.h"
#include "game/ObjectGridRules.h"

class CBombEmitter1;
class CBombEmitter3;
class CObjectEmitter;

// The bomb a bonus period earns: steered while it falls, then it lies still
// while the fuse burns and blows a disc out of the stack.
class CBombFigure : public CSelfMovingFigure {
public:
    enum { kFalling = 0, kLanded = 1, kBurning = 2, kLastSecond = 3 };

    CBombFigure();
    ~CBombFigure() override;

    void Init() override;
    bool Start() override;
    void Render() override;
    void Update() override;
    bool ProcessKeys(bool left, bool right, bool rotate, bool down, bool drop) override;

    // The body's origin in the world: where the effects go.
    D3DXVECTOR3 Centre() const;

    CBombEmitter3* fuseSparks = nullptr;
    CBombEmitter1* sparkTrail = nullptr;
    CObjectEmitter* smokeTrail = nullptr;
    D3DXVECTOR3 bodyScale;
    D3DXVECTOR3 bodyOffset;
    D3DXVECTOR3 bodyAngles;
    D3DXMATRIX bodyClip, bodyWorldViewInvTranspose, bodyWorldViewTranspose, bodyInvWorld, bodyWorld;
    D3DXMATRIX fuseClip, fuseWorldViewInvTranspose, fuseWorldViewTranspose, fuseInvWorld;
    D3DXVECTOR3 fuseScale;
    D3DXVECTOR3 fuseOffset;
    D3DXVECTOR3 fuseAngles;
    D3DXCOLOR diffuseColor;
    D3DXCOLOR ambientColor;
    D3DXCOLOR specularColor;
    float stateStart = 0.0f;
    int32_t state = kFalling;
    float burnTime = 1.0f;
    float lastSecondTime = 1.0f;
    float landedTime = 0.5f;
    float fuseSinkStart = 0.0f;
    float fuseSinkEnd = 0.6f;
    int32_t blastRadius = 5;
    // Each bomb its own: a move left over from the previous bomb must not carry on.
    CSideMove move;

private:
    void Explode();
    void AimSparkTrail(float t);
    bool m_waitPlaying = false;
};

