#include "game/BounceBombFigure.h"

#include "engine/GraphicsEngine.h"
#include "game/BombEffects.h"

CBounceBombParticle::~CBounceBombParticle() = default;

CBounceBombEmitter::CBounceBombEmitter(float x, float y, float z, CTextureEntry* texture)
    : CParticleSystem(texture, 1000, false, true),
      startTime(CGraphicsEngine::GetInstance()->GetTime()),
      lifetime(3.0f),
      position(x, y, z),
      finished(false) {
    SpawnBurst<CBounceBombParticle>(*this, position, startTime);
}

CBounceBombEmitter::~CBounceBombEmitter() = default;

bool CBounceBombEmitter::Update() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    float t = engine->GetTime();
    if (!(t - startTime < lifetime)) finished = true;
    if (finished && m_Particles.empty()) return false;
    StepBurst<CBounceBombParticle>(*this, t, engine->GetCurrentStep());
    return CParticleSystem::Update();
}
