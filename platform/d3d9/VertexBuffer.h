// A vertex buffer.
#pragma once

#include "BufferBase.h"

namespace d3d9 {

class CVertexBuffer final : public platform::ComObject<IDirect3DVertexBuffer9, CBufferBase> {
public:
    CVertexBuffer(CDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
        : ComObject(device, length, usage, pool, "vb"), m_fvf(fvf) {}
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_VERTEXBUFFER; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(D3DVERTEXBUFFER_DESC* desc) override;

private:
    DWORD m_fvf;
};

}  // namespace d3d9
