#pragma once

#include <d3dx9math.h>

#include "game/MovingEmitter.h"

class CTextureEntry;

// A comet that circles the field while nothing is to be cleared and knocks
// out the marked blocks one by one, nearest first.
class CCellSeekerEffect : public CMovingEmitter {
public:
    CCellSeekerEffect(CTextureEntry* texture, float startPhase);
    ~CCellSeekerEffect() override;

    bool Update() override;

    // The point of the idle lap at the current phase, in world space.
    D3DXVECTOR3 GetIdlePoint();

    float phase;
    float phaseSpeed;  // laps per second
    int targetColumn;
    int targetRow;
    bool idle;
    bool hasTarget;
};
