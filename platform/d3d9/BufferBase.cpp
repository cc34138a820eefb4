#include "BufferBase.h"

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
        if (!(flags & (D3DLOCK_DISCARD | D3DLOCK_NOOVERWRITE))) m_appendOnly = false;
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

}  // namespace d3d9
