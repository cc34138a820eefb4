#pragma once

#include "engine/Singleton.h"

// Makes the falling objects and runs the figure step. The fields below are
// the ones the HUD and the colour clearing write.
class CFigureGenerator : public CSingleton<CFigureGenerator> {
public:
    static CFigureGenerator* GetInstance();
    CFigureGenerator();
    ~CFigureGenerator() override;

    // Requests for the next object, raised by the HUD (bonus periods) and Enter.
    bool specialFigureFlag = false;
    bool bombFlag = false;
    bool sawFlag = false;
    bool bounceBombFlag = false;
    // Colour-clearing passes since the current object came in.
    int chainCount = 0;
    // Colour cycle speed of the colour figure, radians per second.
    float colorAnimSpeed = 0.0f;
};
