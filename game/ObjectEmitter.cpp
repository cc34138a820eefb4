#include "game/ObjectEmitter.h"

#include <cmath>

#include "engine/GraphicsEngine.h"
#include "game/GameMode.h"

CObjectParticle::CObjectParticle() : birthTime(CGraphicsEngine::GetInstance()->GetTime()) {}

CObjectParticle::~CObjectParticle() = default;

CObjectEmitter::CObjectEmitter()
    : CParticleSystem(nullptr, 1000, false, true),
      position(0.0f, 0.0f, 0.0f),
      emitting(true),
      startSize(1.0f),
      endSize(1.0f),
      startColor(1.0f, 1.0f, 1.0f, 1.0f),
      endColor(1.0f, 1.0f, 1.0f, 1.0f),
      finish(false),
      spacing(0.01f),
      lifetime(0.5f) {}

CObjectEmitter::~CObjectEmitter() = default;

void CObjectEmitter::OnEmit() {}

CObjectParticle* CObjectEmitter::InitParticle(CObjectParticle* particle) {
    particle->m_Color = startColor;
    particle->m_Size = startSize;
    return particle;
}

bool CObjectEmitter::Lay(const D3DXVECTOR3& at) {
    CObjectParticle* particle = InitParticle(new CObjectParticle());
    particle->m_Position = at;
    if (AddParticle(particle)) return true;
    delete particle;
    return false;
}

bool CObjectEmitter::Update() {
    if (CGameMode::GetInstance()->menuState != CGameMode::kMenuClosed) {
        m_Enabled = false;
        return CParticleSystem::Update();
    }
    m_Enabled = true;
    if (finish && m_Particles.empty()) return false;

    if (emitting) {
        OnEmit();
        if (m_Particles.empty() && !Lay(position)) return true;
        if (lifetime > 0.0f) {
            for (;;) {
                D3DXVECTOR3 last = m_Particles.back()->m_Position;
                D3DXVECTOR3 d = position - last;
                float distance = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
                if (!(distance > spacing)) break;
                if (!Lay(last + d * (spacing / distance))) return true;
            }
        }
    }

    if (m_Particles.empty()) return true;
    float now = CGraphicsEngine::GetInstance()->GetTime();
    for (ParticleVector::iterator it = m_Particles.begin(); it != m_Particles.end();) {
        CObjectParticle* particle = static_cast<CObjectParticle*>(*it);
        float age = now - particle->birthTime;
        if (age >= lifetime) {
            delete particle;
            RemoveParticle(it);
            continue;
        }
        float f = age / lifetime;
        particle->m_Color = startColor + (endColor - startColor) * f;
        particle->m_Size = startSize + (endSize - startSize) * f;
        ++it;
    }
    return CParticleSystem::Update();
}
