#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CFontManager : public CSingleton<CFontManager> {
public:
    CFontManager();
    virtual ~CFontManager();
    bool InvalidateFonts();
    bool RestoreFonts();
};
