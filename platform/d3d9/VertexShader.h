// A vertex shader.
#pragma once

#include "Shader.h"

namespace d3d9 {

class CVertexShader final : public IDirect3DVertexShader9, public CShader {
public:
    using CShader::CShader;
    D3D9_UNKNOWN_IMPL
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetFunction(void* data, UINT* size) override { return Function(data, size); }
};

}  // namespace d3d9
