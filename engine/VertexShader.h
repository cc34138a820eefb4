#pragma once

#include "engine/Shader.h"

class CVertexShader : public CShader {
public:
    CVertexShader() : CShader(kVertex) {}
    IDirect3DVertexShader9* GetShader() const { return static_cast<IDirect3DVertexShader9*>(m_pShader); }
};
