// An index buffer (16- or 32-bit indices).
#pragma once

#include "BufferBase.h"

namespace d3d9 {

class CIndexBuffer final : public IDirect3DIndexBuffer9, public CBufferBase {
public:
    CIndexBuffer(CDevice* device, UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : CBufferBase(device, length, usage, pool, "ib"), m_format(format) {}
    D3D9_UNKNOWN_IMPL
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

private:
    D3DFORMAT m_format;
};

}  // namespace d3d9
