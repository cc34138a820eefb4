#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CTextureManager : public CSingleton<CTextureManager> {
public:
    CTextureManager();
    virtual ~CTextureManager();
};
