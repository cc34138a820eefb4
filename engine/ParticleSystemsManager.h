#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CParticleSystemsManager : public CSingleton<CParticleSystemsManager> {
public:
    CParticleSystemsManager();
    virtual ~CParticleSystemsManager();
    bool InvalidateDeviceObjects();
    bool RestoreDeviceObjects();
};
