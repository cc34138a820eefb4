#include "game/MovingEmitter.h"

#include <cmath>

#include "engine/GraphicsEngine.h"

namespace {
float Length(const D3DXVECTOR3& v) { return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z); }
}  // namespace

CMovingEmitter::CMovingEmitter(CTextureEntry* texture)
    : CParticleSystem(texture, 1000, false, true),
      position(0.0f, 0.0f, 0.0f),
      startPosition(0.0f, 0.0f, 0.0f),
      target(0.0f, 0.0f, 0.0f),
      mode(kBySpeed),
      speed(1.0f),
      duration(1.0f),
      linkLength(0.03f),
      startTime(0.0f) {}

CMovingEmitter::~CMovingEmitter() = default;

void CMovingEmitter::SetTarget(float x, float y, float z) { target = D3DXVECTOR3(x, y, z); }

void CMovingEmitter::Start(float x, float y, float z, int newMode, float value) {
    mode = newMode;
    if (mode == kBySpeed) {
        speed = value;
    } else if (mode == kTimed) {
        duration = value;
        startPosition = position;
        startTime = CGraphicsEngine::GetInstance()->GetTime();
    }
    SetTarget(x, y, z);
}

void CMovingEmitter::OnArrive() {}

void CMovingEmitter::StepBySpeed() {
    D3DXVECTOR3 d = target - position;
    float len = Length(d);
    float step = speed * CGraphicsEngine::GetInstance()->GetCurrentStep();
    if (len < step || len <= 0.00001f) {
        position = target;
        OnArrive();
        return;
    }
    position += d * (step / len);
}

void CMovingEmitter::MoveHead() {
    if (mode == kBySpeed) {
        StepBySpeed();
    } else if (mode == kTimed) {
        float elapsed = CGraphicsEngine::GetInstance()->GetTime() - startTime;
        if (duration > elapsed) {
            position = startPosition + (target - startPosition) * (elapsed / duration);
            return;
        }
        position = target;
        OnArrive();
        // An arrival that starts a move at a speed keeps the head going in this step.
        if (mode == kBySpeed) StepBySpeed();
    }
}

bool CMovingEmitter::Update() {
    if (!m_Enabled) return CParticleSystem::Update();
    MoveHead();
    if (!m_Particles.empty()) {
        m_Particles[0]->m_Position = position;
        for (size_t i = 1; i < m_Particles.size(); ++i) {
            const D3DXVECTOR3& a = m_Particles[i - 1]->m_Position;
            D3DXVECTOR3& b = m_Particles[i]->m_Position;
            D3DXVECTOR3 d = a - b;
            float dist = Length(d);
            if (dist > linkLength) b = a - d * (linkLength / dist);
        }
    }
    return CParticleSystem::Update();
}
