#include "Shader.h"

#include <cstring>

#include "Device.h"

namespace d3d9 {

CShader::~CShader() {
    if (m_device) m_device->Untrack(this);
}

HRESULT CShader::Function(void* data, UINT* size) {
    if (!size) return D3DERR_INVALIDCALL;
    const UINT bytes = static_cast<UINT>(m_blob.size() * 4);
    if (data) {
        if (*size < bytes) return D3DERR_INVALIDCALL;
        memcpy(data, m_blob.data(), bytes);
    }
    *size = bytes;
    return D3D_OK;
}

}  // namespace d3d9
