#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CMouse : public CSingleton<CMouse> {
public:
    CMouse();
    virtual ~CMouse();
};
