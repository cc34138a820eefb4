// Vertex and index buffers: system memory the game writes through Lock; the
// GL backend uploads the range written since the last draw.
#pragma once

#include <vector>

#include "DeviceObject.h"

namespace d3d9 {

class CBufferBase : public CDeviceObject {
public:
    CBufferBase(CDevice* device, UINT length, DWORD usage, D3DPOOL pool, const char* kind)
        : CDeviceObject(device, pool, kind), m_usage(usage), m_length(length) {}
    ~CBufferBase() override;
    bool Allocate();
    UINT Length() const { return m_length; }
    DWORD Usage() const { return m_usage; }
    const uint8_t* Data() const { return m_data.data(); }
    HRESULT DoLock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT DoUnlock();

    // Backend bookkeeping.
    uint32_t m_glName = 0;
    UINT m_dirtyBegin = 0, m_dirtyEnd = 0;  // empty when equal
    bool m_discarded = true;                // next upload may replace the whole store

protected:
    DWORD m_usage;
    UINT m_length;
    std::vector<uint8_t> m_data;
    int m_locks = 0;
};

class CVertexBuffer final : public IDirect3DVertexBuffer9, public CBufferBase {
public:
    CVertexBuffer(CDevice* device, UINT length, DWORD usage, DWORD fvf, D3DPOOL pool)
        : CBufferBase(device, length, usage, pool, "vb"), m_fvf(fvf) {}
    D3D9_UNKNOWN_IMPL
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
