// An index buffer (16- or 32-bit indices).
#pragma once

#include <utility>
#include <vector>

#include "BufferBase.h"

namespace d3d9 {

class CIndexBuffer final : public platform::ComObject<IDirect3DIndexBuffer9, CBufferBase> {
public:
    CIndexBuffer(CDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : ComObject(device, length, usage, pool, "ib"), m_format(format) {}
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_INDEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DINDEXBUFFER_DESC* desc) override;
    D3DFORMAT Format() const { return m_format; }
    UINT IndexSize() const { return m_format == D3DFMT_INDEX32 ? 4 : 2; }

    // Lowest and highest index over the locked ranges that overlap the draw's
    // indices: a cover, exact when the draw spans whole ranges.
    void RangeBounds(UINT first, UINT count, uint32_t* lo, uint32_t* hi) const;
    // Lowest and highest of exactly these indices (caller checks the bounds).
    void ExactBounds(UINT first, UINT count, uint32_t* lo, uint32_t* hi) const;

private:
    struct Range {
        UINT first, end;  // in indices
        uint32_t lo, hi;
    };
    Range Scan(UINT first, UINT end) const;
    void Rebound(UINT first, UINT end);

    D3DFORMAT m_format;
    std::vector<Range> m_ranges;  // sorted, disjoint, covering the buffer
    std::vector<std::pair<UINT, UINT>> m_pending;  // byte ranges locked for writing
};

}  // namespace d3d9
