#include "game/BombEffects.h"

#include "engine/GraphicsEngine.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/Utils.h"

void DropParticle(CParticleSystem& system, size_t i) {
    CParticleSystem::ParticleVector& particles = system.m_Particles;
    delete particles[i];
    particles[i] = particles.back();
    particles.pop_back();
    --system.m_ParticleCount;
}

CBombEmitter1::CBombEmitter1(const D3DXVECTOR3& centre)
    : CMovingEmitter(CParticleSystemsManager::GetInstance()->GetDefaultTexture()), stopped(false) {
    const int kSparks = 25;
    for (int k = 0; k < kSparks; ++k) {
        float f = static_cast<float>(k) / kSparks;
        CParticle* p = new CParticle();
        p->m_Alive = true;
        p->m_Position = centre;
        p->m_Color = D3DXCOLOR(1.0f, 1.0f - f, 1.0f - 0.2f * f, 0.6f - 0.6f * f);
        p->m_Size = 0.3f - 0.3f * f;
        if (!AddParticle(p)) delete p;
    }
    linkLength = 0.1f;
    position = centre;
    Start(centre.x, centre.y, centre.z, kBySpeed, 70.0f);
}

CBombEmitter1::~CBombEmitter1() = default;

void CBombEmitter1::OnArrive() {}

bool CBombEmitter1::Update() {
    if (stopped) return false;
    return CMovingEmitter::Update();
}

CBombBlastParticle::~CBombBlastParticle() = default;

CBombEmitter2::CBombEmitter2(float x, float y, float z, CTextureEntry* texture)
    : CParticleSystem(texture, 1000, false, true), startTime(EngineTime()), duration(3.0f), origin(x, y, z), finished(false) {
    SpawnBurst<CBombBlastParticle>(*this, origin, startTime);
}

CBombEmitter2::~CBombEmitter2() = default;

bool CBombEmitter2::Update() {
    float t = EngineTime();
    if (t - startTime >= duration) finished = true;
    if (finished && m_Particles.empty()) return false;
    StepBurst<CBombBlastParticle>(*this, t, EngineStep());
    return CParticleSystem::Update();
}

CBombFuseParticle::~CBombFuseParticle() = default;

CBombEmitter3::CBombEmitter3()
    : CParticleSystem(nullptr, 4000, false, true),
      startTime(EngineTime()),
      duration(3.0f),
      emitBaseTime(startTime),
      rate(20.0f),
      lifetime(1.0f),
      startPoint(0.0f, 0.0f, 0.0f),
      endPoint(0.0f, 0.0f, 0.0f),
      currentPoint(0.0f, 0.0f, 0.0f),
      finished(false) {}

CBombEmitter3::~CBombEmitter3() = default;

bool CBombEmitter3::Update() {
    float t = EngineTime();
    float dt = EngineStep();
    float u = duration > 0.0f ? (t - startTime) / duration : 2.0f;
    if (u > 1.0f) {
        u = 1.0f;
        finished = true;
    }
    currentPoint = startPoint + (endPoint - startPoint) * u;
    if (finished) {
        if (m_Particles.empty()) return false;
    } else {
        // The base time stays put, so the spray thickens with the effect's age.
        int n = static_cast<int>((t - emitBaseTime) * rate);
        for (int i = 0; i < n; ++i) {
            CBombFuseParticle* p = new CBombFuseParticle();
            p->m_Alive = true;
            p->birthTime = t;
            p->startColor = D3DXCOLOR(1.0f, 0.7f, 0.0f, 0.5f);
            p->endColor = D3DXCOLOR(1.0f, 0.7f, 0.0f, 0.0f);
            p->m_Color = p->startColor;
            float ox = RandomFloat(-0.03f, 0.03f);
            float oy = RandomFloat(-0.03f, 0.03f);
            float oz = RandomFloat(-0.03f, 0.03f);
            p->m_Position = currentPoint + D3DXVECTOR3(ox, oy, oz);
            p->m_Size = 0.2f;
            float vx = RandomFloat(-1.5f, 1.5f);
            float vy = RandomFloat(3.0f, 6.0f);
            float vz = RandomFloat(-0.4f, 0.4f);
            p->velocity = D3DXVECTOR3(vx, vy, vz);
            if (!AddParticle(p)) delete p;
        }
    }
    for (size_t i = 0; i < m_Particles.size();) {
        CBombFuseParticle* p = static_cast<CBombFuseParticle*>(m_Particles[i]);
        float a = (t - p->birthTime) / lifetime;
        if (!(a <= 1.0f)) {  // a zero life gives NaN: gone too
            DropParticle(*this, i);
            continue;
        }
        p->m_Position += p->velocity * dt;
        p->m_Color = p->startColor + (p->endColor - p->startColor) * a;
        ++i;
    }
    return true;
}
