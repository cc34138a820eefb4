#pragma once

#include <d3dx9math.h>

#include "engine/Particle.h"
#include "engine/ParticleSystem.h"

class CTextureEntry;

class CBounceBombParticle : public CParticle {
public:
    ~CBounceBombParticle() override;

    D3DXVECTOR3 velocity;
    float birthTime;
    float life;
    float startSize;
    float endSize;
    D3DXCOLOR startColor;
    D3DXCOLOR endColor;
};

// The bounce bomb's closing burst; owned by the manager only.
class CBounceBombEmitter : public CParticleSystem {
public:
    CBounceBombEmitter(float x, float y, float z, CTextureEntry* texture);
    ~CBounceBombEmitter() override;

    bool Update() override;

    float startTime;
    float lifetime;
    D3DXVECTOR3 position;
    bool finished;
};
