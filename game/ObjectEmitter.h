#pragma once

#include <d3dx9math.h>

#include "engine/Particle.h"
#include "engine/ParticleSystem.h"

// A trail particle: it stands where it was laid and fades with its age.
class CObjectParticle : public CParticle {
public:
    CObjectParticle();
    ~CObjectParticle() override;

    float birthTime;  // engine time
};

// Lays a fading trail behind a point its owner moves. The owner lets it go by
// raising `finish`; the manager deletes it once its last particle has aged out.
class CObjectEmitter : public CParticleSystem {
public:
    CObjectEmitter();
    ~CObjectEmitter() override;

    bool Update() override;

    virtual void OnEmit();
    virtual CObjectParticle* InitParticle(CObjectParticle* particle);

    D3DXVECTOR3 position;
    bool emitting;
    float startSize;
    float endSize;
    D3DXCOLOR startColor;
    D3DXCOLOR endColor;
    bool finish;
    float spacing;
    float lifetime;

private:
    // False when the list is full: the particle is deleted.
    bool Lay(const D3DXVECTOR3& at);
};
