#include "IndexBuffer.h"

#include <algorithm>
#include <cstring>

#include "Device.h"
#include "Names.h"

namespace d3d9 {

HRESULT CIndexBuffer::GetDevice(IDirect3DDevice9** device) {
    if (!device || !m_device) return D3DERR_INVALIDCALL;
    *device = m_device;
    m_device->AddRef();
    return D3D_OK;
}

CIndexBuffer::Range CIndexBuffer::Scan(UINT first, UINT end) const {
    uint32_t lo, hi;
    ExactBounds(first, end - first, &lo, &hi);
    return Range{first, end, lo, hi};
}

void CIndexBuffer::ExactBounds(UINT first, UINT count, uint32_t* lo, uint32_t* hi) const {
    uint32_t l = 0xFFFFFFFFu, h = 0;
    const uint8_t* p = Data() + static_cast<size_t>(first) * IndexSize();
    if (IndexSize() == 2) {
        for (UINT i = 0; i < count; ++i) {
            uint16_t v;
            memcpy(&v, p + i * 2, 2);
            l = std::min<uint32_t>(l, v);
            h = std::max<uint32_t>(h, v);
        }
    } else {
        for (UINT i = 0; i < count; ++i) {
            uint32_t v;
            memcpy(&v, p + i * 4, 4);
            l = std::min(l, v);
            h = std::max(h, v);
        }
    }
    *lo = count ? l : 0;
    *hi = h;
}

void CIndexBuffer::Rebound(UINT first, UINT end) {
    const UINT total = Length() / IndexSize();
    end = std::min(end, total);
    if (first >= end) return;
    if (m_ranges.empty()) m_ranges.push_back(Scan(0, total));
    std::vector<Range> next;
    next.reserve(m_ranges.size() + 2);
    for (const Range& r : m_ranges) {
        if (r.end <= first || r.first >= end) {
            next.push_back(r);
            continue;
        }
        // Keep the parts outside the new range, with their own bounds.
        if (r.first < first) next.push_back(Scan(r.first, first));
        if (r.first <= first) next.push_back(Scan(first, end));
        if (r.end > end) next.push_back(Scan(end, r.end));
    }
    m_ranges.swap(next);
}

void CIndexBuffer::RangeBounds(UINT first, UINT count, uint32_t* lo, uint32_t* hi) const {
    uint32_t l = 0xFFFFFFFFu, h = 0;
    const UINT end = first + count;
    auto it = std::upper_bound(m_ranges.begin(), m_ranges.end(), first,
                               [](UINT f, const Range& r) { return f < r.first; });
    if (it != m_ranges.begin()) --it;
    for (; it != m_ranges.end() && it->first < end; ++it) {
        if (it->end <= first) continue;
        l = std::min(l, it->lo);
        h = std::max(h, it->hi);
    }
    if (m_ranges.empty()) l = h = 0;  // never written: zeroes
    *lo = l == 0xFFFFFFFFu ? 0 : l;
    *hi = h;
}

HRESULT CIndexBuffer::Lock(UINT offset, UINT size, void** data, DWORD flags) {
    HRESULT hr = DoLock(offset, size, data, flags);
    if (SUCCEEDED(hr) && !(flags & D3DLOCK_READONLY))
        m_pending.emplace_back(offset, size ? offset + size : Length());
    if (m_device && m_device->Recording())
        m_device->Record(m_name + ".Lock(" + std::to_string(offset) + ", " + std::to_string(size) + ", " +
                         LockFlagsText(flags) + ")" + m_device->ResultText(hr));
    return hr;
}

HRESULT CIndexBuffer::Unlock() {
    HRESULT hr = DoUnlock();
    if (SUCCEEDED(hr) && m_locks == 0) {
        for (const auto& p : m_pending) Rebound(p.first / IndexSize(), (p.second + IndexSize() - 1) / IndexSize());
        m_pending.clear();
    }
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
