#pragma once

#include "engine/Shader.h"

class CPixelShader : public CShader {
public:
    CPixelShader() : CShader(kPixel) {}
    IDirect3DPixelShader9* GetShader() const { return static_cast<IDirect3DPixelShader9*>(m_pShader); }
};
