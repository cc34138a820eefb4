#include "Buffer.h"

#include <algorithm>
#include <new>

#include "Device.h"
#include "Names.h"

namespace d3d9 {

CBufferBase::~CBufferBase() {
    if (m_device) m_device->Untrack(this);
}

bool CBufferBase::Allocate() {
    try {
        m_data.assign(m_length, 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    m_dirtyBegin = 0;
    m_dirtyEnd = m_length;
    return true;
}

HRESULT CBufferBase::DoLock(UINT offset, UINT size, void** data, DWORD flags) {
    if (!data) return D3DERR_INVALIDCALL;
    *data = nullptr;
    if (offset > m_length) return D3DERR_INVALIDCALL;
    if (size == 0) size = m_length - offset;  // 0 locks to the end, as on the original
    if (size > m_length - offset) return D3DERR_INVALIDCALL;
    ++m_locks;
    *data = m_data.data() + offset;
    if (!(flags & D3DLOCK_READONLY)) {
        if (flags & D3DLOCK_DISCARD) m_discarded = true;
        if (m_dirtyBegin == m_dirtyEnd) {
            m_dirtyBegin = offset;
            m_dirtyEnd = offset + size;
        } else {
            m_dirtyBegin = std::min(m_dirtyBegin, offset);
            m_dirtyEnd = std::max(m_dirtyEnd, offset + size);
        }
    }
    return D3D_OK;
}

HRESULT CBufferBase::DoUnlock() {
    if (m_locks == 0) return D3DERR_INVALIDCALL;
    --m_locks;
    return D3D_OK;
}

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

HRESULT CIndexBuffer::GetDevice(IDirect3DDevice9** device) {
    if (!device || !m_device) return D3DERR_INVALIDCALL;
    *device = m_device;
    m_device->AddRef();
    return D3D_OK;
}

HRESULT CIndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    HRESULT hr = DoLock(offset, size, data, flags);
    if (m_device && m_device->Recording())
        m_device->Record(m_name + ".Lock(" + std::to_string(offset) + ", " + std::to_string(size) + ", " +
                         LockFlagsText(flags) + ")" + m_device->ResultText(hr));
    return hr;
}

HRESULT CIndexBuffer::Unlock() {
    HRESULT hr = DoUnlock();
    if (m_device && m_device->Recording()) m_device->Record(m_name + ".Unlock()" + m_device->ResultText(hr));
    return hr;
}

HRESULT CIndexBuffer::GetDesc(D3DINDEXBUFFER_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    desc->Format = m_format;
    desc->Type = D3DRTYPE_INDEXBUFFER;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->Size = m_length;
    return D3D_OK;
}

}  // namespace d3d9
