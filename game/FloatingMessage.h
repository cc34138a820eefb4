#pragma once

#include <d3dx9math.h>

#include <string>

#include "game/AnimatedObject.h"

class CFont;

// A text that flies in, holds, and flies out, with a trail of fading ghosts.
class CFloatingMessage : public CBaseAnimatedObject {
public:
    struct Params {
        CFont* font = nullptr;  // not owned
        float charWidth = 0.0f, charHeight = 0.0f;
        D3DXCOLOR textColor{0, 0, 0, 0};     // its alpha is not used
        D3DXCOLOR currentColor{0, 0, 0, 0};  // replaced by the first update
        float traceDensity = 0.0f;
        float traceLife = 0.0f;
        std::string text;
        D3DXCOLOR k0{0, 0, 0, 0}, k1{0, 0, 0, 0}, k2{0, 0, 0, 0};
        D3DXVECTOR2 p0{0, 0}, p1{0, 0}, p2{0, 0};
        float t0 = 0.0f, t1 = 0.0f, t2 = 0.0f;
    };

    CFloatingMessage();
    ~CFloatingMessage() override;

    // Takes a copy of the record, puts the message at P0 and runs its first update.
    void Start(const Params& params);
    bool Update() override;
    void Draw() override;

    const Params& GetParams() const { return m_params; }
    int GetPhase() const { return m_phase; }

private:
    Params m_params;
    float m_phaseStart;
    int m_phase;
};
