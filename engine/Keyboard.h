#pragma once

#include "engine/Singleton.h"

// Placeholder: the owner of this manager fills it in.
class CKeyboard : public CSingleton<CKeyboard> {
public:
    CKeyboard();
    virtual ~CKeyboard();
};
