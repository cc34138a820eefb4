#include "VertexBuffer.h"

#include "Device.h"
#include "Names.h"

namespace d3d9 {

HRESULT CVertexBuffer::GetDevice(IDirect3DDevice9** device) {
    if (!device || !m_device) return D3DERR_INVALIDCALL;
    *device = m_device;
    m_device->AddRef();
    return D3D_OK;
}

HRESULT CVertexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    HRESULT hr = DoLock(offset, size, data, flags);
    if (m_device && m_device->Recording())
        m_device->Record(m_name + ".Lock(" + std::to_string(offset) + ", " + std::to_string(size) + ", " +
                         LockFlagsText(flags) + ")" + m_device->ResultText(hr));
    return hr;
}

HRESULT CVertexBuffer::Unlock() {
    HRESULT hr = DoUnlock();
    if (m_device && m_device->Recording()) m_device->Record(m_name + ".Unlock()" + m_device->ResultText(hr));
    return hr;
}

HRESULT CVertexBuffer::GetDesc(D3DVERTEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = D3DFMT_VERTEXDATA;
    desc->Type = D3DRTYPE_VERTEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = m_length;
    desc->FVF = m_fvf;
    return D3D_OK;
}

}  // namespace d3d9
