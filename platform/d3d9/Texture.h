// A 2D texture.
#pragma once

#include "TextureBase.h"

namespace d3d9 {

class CTexture final : public platform::ComObject<IDirect3DTexture9, CTextureBase> {
public:
    CTexture(CDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : ComObject(device, D3DRTYPE_TEXTURE, width, height, levels, usage, format, pool, "tex") {}
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD SetPriority(DWORD p) override { DWORD o = m_priority; m_priority = p; return o; }
    DWORD GetPriority() override { return m_priority; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_TEXTURE; }
    DWORD SetLOD(DWORD lod) override { DWORD o = m_lod; m_lod = lod; return o; }
    DWORD GetLOD() override { return m_lod; }
    DWORD GetLevelCount() override;
    void GenerateMipSubLevels() override {}
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
    HRESULT AddDirtyRect(const RECT*) override;
};

}  // namespace d3d9
