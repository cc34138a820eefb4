#include "engine/ParticleSystemsManager.h"

CParticleSystemsManager::CParticleSystemsManager() {}
CParticleSystemsManager::~CParticleSystemsManager() {}
bool CParticleSystemsManager::InvalidateDeviceObjects() { return true; }
bool CParticleSystemsManager::RestoreDeviceObjects() { return true; }
