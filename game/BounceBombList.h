#pragma once

#include <win32.h>
#include <d3dx9math.h>

#include <vector>

#include "engine/Singleton.h"

// A block a bounce bomb knocked out, flying at the viewer; it sticks at a
// box in front of the camera and slides down there until it expires.
struct CFlyingBlock {
    enum { kFlying = 0, kStuck = 1 };

    D3DXVECTOR3 position;
    D3DXVECTOR3 velocity;
    D3DXVECTOR3 angles;
    D3DXVECTOR3 spin;
    D3DXVECTOR3 startPosition;
    int state;
    D3DXVECTOR3 scale;
    int color;
    float lifetime;
    float startTime;
    D3DXMATRIX clipMatrix;
    D3DXMATRIX worldViewInvTranspose;
    D3DXMATRIX worldViewTranspose;
    D3DXMATRIX invWorld;
};

// The flying blocks; made and stepped by the figure generator, filled by the
// bounce bomb's collision test. Records leave only by expiring.
class CBounceBombList : public CSingleton<CBounceBombList> {
public:
    static CBounceBombList* GetInstance();
    CBounceBombList();
    ~CBounceBombList() override;

    // The flying copy of the field's block at (x, y), before it is knocked out.
    void AddBlock(int x, int y);
    void Add(const D3DXVECTOR3& position, const D3DXVECTOR3& angles, const D3DXVECTOR3& spin,
             const D3DXVECTOR3& target, const D3DXVECTOR3& spread, int color, float speed, float lifetime);
    void Update();
    void Render();

    std::vector<CFlyingBlock> blocks;
    // The knock at the box; the generator hands over its sample.
    DWORD knockSound = 0;

private:
    void UpdateMatrices(CFlyingBlock& block);
};
