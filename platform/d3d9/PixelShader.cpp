#include "PixelShader.h"

#include "Device.h"

namespace d3d9 {

HRESULT CPixelShader::GetDevice(IDirect3DDevice9** device) {
    if (!device || !m_device) return D3DERR_INVALIDCALL;
    *device = m_device;
    m_device->AddRef();
    return D3D_OK;
}

}  // namespace d3d9
