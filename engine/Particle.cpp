#include "engine/Particle.h"

#include "engine/ParticleSystemsManager.h"

CParticle::CParticle() : m_Alive(true), m_Position(0.0f, 0.0f, 0.0f), m_Color(1.0f, 1.0f, 1.0f, 1.0f), m_Size(1.0f) {
    ++CParticleSystemsManager::GetInstance()->m_LiveParticles;
}

CParticle::~CParticle() {
    // A particle outliving the manager must not bring it back to life.
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstancePtr();
    if (manager && manager->m_LiveParticles > 0) --manager->m_LiveParticles;
}
