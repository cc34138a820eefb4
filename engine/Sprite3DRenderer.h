#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CSprite3DRenderer : public CSingleton<CSprite3DRenderer> {
public:
    CSprite3DRenderer();
    virtual ~CSprite3DRenderer();
    bool InvalidateDeviceObjects();
    bool RestoreDeviceObjects();
};
