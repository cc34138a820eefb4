#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CMeshManager : public CSingleton<CMeshManager> {
public:
    CMeshManager();
    virtual ~CMeshManager();
    bool InvalidateMeshes();
    bool RestoreMeshes();
};
