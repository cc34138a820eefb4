#pragma once

#include <d3d9.h>

#include "engine/Singleton.h"

class CTextureEntry;

// Single textured point sprites at world positions, drawn with the particle
// systems' point-sprite program, declaration and states.
class CSprite3DRenderer : public CSingleton<CSprite3DRenderer> {
public:
    CSprite3DRenderer();
    virtual ~CSprite3DRenderer();

    void Begin();
    void DrawBatch(float x, float y, float z, CTextureEntry* texture, float red, float green, float blue, float alpha,
                   float size);
    void End();

    bool InvalidateDeviceObjects();
    bool RestoreDeviceObjects();

    IDirect3DVertexBuffer9* GetVertexBuffer() const { return m_pVertexBuffer; }

private:
    IDirect3DVertexBuffer9* m_pVertexBuffer;  // one point-sprite vertex
};
