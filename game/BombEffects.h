#pragma once

#include <d3dx9math.h>

#include "engine/Particle.h"
#include "engine/Utils.h"
#include "engine/ParticleSystem.h"
#include "game/MovingEmitter.h"

class CTextureEntry;

// The bomb keeps pointers to its spark trail and fuse sparks while the
// manager owns them; each clears the bomb's pointer when the manager deletes
// it, so the bomb never touches a freed effect.
template <class T>
class CEffectLink {
public:
    void Bind(T** slot) { m_slot = slot; }
    void Unbind() { m_slot = nullptr; }
    ~CEffectLink() {
        if (m_slot) *m_slot = nullptr;
    }

private:
    T** m_slot = nullptr;
};

// Spark trail: circles above the fuse while the bomb falls.
class CBombEmitter1 : public CMovingEmitter {
public:
    // A chain of 25 sparks at the centre, its head chasing its target at 70 units/s.
    explicit CBombEmitter1(const D3DXVECTOR3& centre);
    ~CBombEmitter1() override;

    bool Update() override;
    void OnArrive() override;

    bool stopped;
    CEffectLink<CBombEmitter1> link;
};

class CBombBlastParticle : public CParticle {
public:
    ~CBombBlastParticle() override;

    D3DXVECTOR3 velocity;
    float birthTime;
    float life;
    float startSize;
    float endSize;
    D3DXCOLOR startColor;
    D3DXCOLOR endColor;
};

// Explosion burst: 200 particles from one point; owned by the manager only.
class CBombEmitter2 : public CParticleSystem {
public:
    CBombEmitter2(float x, float y, float z, CTextureEntry* texture);
    ~CBombEmitter2() override;

    bool Update() override;

    float startTime;
    float duration;
    D3DXVECTOR3 origin;
    bool finished;
};

class CBombFuseParticle : public CParticle {
public:
    ~CBombFuseParticle() override;

    float birthTime;
    D3DXCOLOR startColor;
    D3DXCOLOR endColor;
    D3DXVECTOR3 velocity;
};

// Fuse sparks: a spray running down the fuse while it burns.
class CBombEmitter3 : public CParticleSystem {
public:
    CBombEmitter3();
    ~CBombEmitter3() override;

    bool Update() override;

    float startTime;
    float duration;
    float emitBaseTime;
    float rate;      // particles per second of age, per step
    float lifetime;  // of a particle
    D3DXVECTOR3 startPoint;
    D3DXVECTOR3 endPoint;
    D3DXVECTOR3 currentPoint;
    bool finished;
    CEffectLink<CBombEmitter3> link;
};

// Unordered removal: the last particle takes the freed place.
void DropParticle(CParticleSystem& system, size_t index);

// The fire burst of both bombs: 200 particles from one point, the random
// numbers drawn in a fixed order so a seeded burst repeats.
template <class P>
void SpawnBurst(CParticleSystem& system, const D3DXVECTOR3& origin, float now) {
    for (int i = 0; i < 200; ++i) {
        float s = RandomFloat(0.3f, 1.0f);
        float size = RandomFloat(2.0f, 3.0f);
        float speed = RandomFloat(6.0f, 15.0f);
        float dx = RandomFloat(-2.0f, 2.0f);
        float dy = RandomFloat(-2.0f, 2.0f);
        float dz = RandomFloat(-0.5f, 0.5f);
        P* p = new P();
        p->m_Alive = true;
        p->m_Position = origin;
        p->startColor = D3DXCOLOR(1.0f, s, 0.0f, 0.3f);
        p->endColor = D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.0f);
        p->m_Color = p->startColor;
        p->m_Size = p->startSize = size;
        p->endSize = 2.0f * size;
        p->birthTime = now;
        p->life = 0.5f;
        p->velocity = D3DXVECTOR3(dx, dy, dz) * speed;
        if (!system.AddParticle(p)) delete p;
    }
}

// Ages the burst: grown, faded, moved; the expired leave.
template <class P>
void StepBurst(CParticleSystem& system, float now, float dt) {
    for (size_t i = 0; i < system.m_Particles.size();) {
        P* p = static_cast<P*>(system.m_Particles[i]);
        float a = (now - p->birthTime) / p->life;
        if (!(a <= 1.0f)) {
            DropParticle(system, i);
            continue;
        }
        p->m_Color = p->startColor + (p->endColor - p->startColor) * a;
        p->m_Size = Lerp(p->startSize, p->endSize, a);
        p->m_Position += p->velocity * dt;
        ++i;
    }
}

// A system the manager refused stays its maker's: deletes it and returns null.
template <class T>
T* KeepIfRegistered(T* system) {
    if (system && !system->m_Registered) {
        delete system;
        return nullptr;
    }
    return system;
}
