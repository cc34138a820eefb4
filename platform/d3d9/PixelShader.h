// A pixel shader.
#pragma once

#include "Shader.h"

namespace d3d9 {

class CPixelShader final : public platform::ComObject<IDirect3DPixelShader9, CShader> {
public:
    using ComObject::ComObject;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetFunction(void* data, UINT* size) override { return Function(data, size); }
};

}  // namespace d3d9
