#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CShaderManager : public CSingleton<CShaderManager> {
public:
    CShaderManager();
    virtual ~CShaderManager();
};
