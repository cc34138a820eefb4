#pragma once

#include <d3dx9math.h>

class CObjectEmitter;

// One flying piece of a burst block, seen only through its glowing trail.
class CBlockPartPiece {
public:
    CBlockPartPiece();
    // Takes the trail out of the particle manager and deletes it.
    ~CBlockPartPiece();
    CBlockPartPiece(const CBlockPartPiece&) = delete;
    CBlockPartPiece& operator=(const CBlockPartPiece&) = delete;

    // False once the piece is dead (too old or fallen out of sight).
    bool Update();

    D3DXVECTOR3 spawn;
    D3DXVECTOR3 position;
    D3DXVECTOR3 velocity;
    D3DXCOLOR color;
    float startTime;
    float lifetime;
    float gravity;
    CObjectEmitter* trail;
};
