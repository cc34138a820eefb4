#pragma once

#include <d3dx9math.h>

#include "engine/ParticleSystem.h"

class CTextureEntry;

// A particle system whose head moves towards a target, at a speed or in a
// given time, with its particles hanging behind it as a chain. Derived
// effects add the particles and react to the arrival.
class CMovingEmitter : public CParticleSystem {
public:
    enum { kBySpeed = 0, kTimed = 1 };

    explicit CMovingEmitter(CTextureEntry* texture);
    ~CMovingEmitter() override;

    bool Update() override;

    virtual void MoveHead();
    virtual void OnArrive();
    virtual void SetTarget(float x, float y, float z);
    virtual void Start(float x, float y, float z, int mode, float value);

    D3DXVECTOR3 position;
    D3DXVECTOR3 startPosition;
    D3DXVECTOR3 target;
    int mode;
    float speed;
    float duration;
    float linkLength;
    float startTime;

private:
    void StepBySpeed();
};
