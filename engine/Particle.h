#pragma once

#include <d3dx9math.h>

// One particle of a particle system. Game effects derive their own particles
// from it and add their fields behind these.
class CParticle {
public:
    CParticle();
    virtual ~CParticle();

    bool m_Alive;            // false: kept in its system, not drawn
    D3DXVECTOR3 m_Position;  // world units
    D3DXCOLOR m_Color;
    float m_Size;            // point size handed to the vertex shader
};
