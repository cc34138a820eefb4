#pragma once

#include <d3dx9math.h>

#include "engine/Particle.h"
#include "engine/ParticleSystem.h"
#include "game/SelfMovingFigure.h"
#include "game/FigureTrail.h"

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

// Fired with Enter: flies by itself, ricochets off walls and knocks out the
// blocks it touches, speeding up until it bursts at the end of its life.
class CBounceBombFigure : public CSelfMovingFigure {
public:
    CBounceBombFigure();
    ~CBounceBombFigure() override;

    void Init() override;
    bool Start() override;
    void Render() override;
    void Update() override;
    bool ProcessKeys(bool left, bool right, bool rotate, bool down, bool drop) override;

    // The side code of the obstacles around (x, y) on the current field;
    // touched blocks fly off towards the viewer and leave the field.
    static int TestCollision(float x, float y);

    D3DXMATRIX world;
    CBounceBombTrail trail;
    D3DXVECTOR3 scale;
    D3DXVECTOR3 angles;
    D3DXVECTOR3 spin;
    float startSpeed = 10.0f;
    float endSpeed = 30.0f;
    D3DXMATRIX clip, worldViewInvTranspose, worldViewTranspose, invWorld;
    D3DXCOLOR specularColor;
    float startTime = 0.0f;
    float lifetime;
    D3DXVECTOR2 direction;
};
