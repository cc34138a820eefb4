// A pixel shader.
#pragma once

#include "Shader.h"

namespace d3d9 {

class CPixelShader final : public IDirect3DPixelShader9, public CShader {
public:
    using CShader::CShader;
    D3D9_UNKNOWN_IMPL
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetFunction(void* data, UINT* size) override { return Function(data, size); }
};

}  // namespace d3d9
