// A cube texture: six faces of square levels.
#pragma once

#include "TextureBase.h"

namespace d3d9 {

class CCubeTexture final : public platform::ComObject<IDirect3DCubeTexture9, CTextureBase> {
public:
    CCubeTexture(CDevice* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : ComObject(device, D3DRTYPE_CUBETEXTURE, edge, edge, levels, usage, format, pool, "cube") {}
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD SetPriority(DWORD p) override { DWORD o = m_priority; m_priority = p; return o; }
    DWORD GetPriority() override { return m_priority; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_CUBETEXTURE; }
    DWORD SetLOD(DWORD lod) override { DWORD o = m_lod; m_lod = lod; return o; }
    DWORD GetLOD() override { return m_lod; }
    DWORD GetLevelCount() override;
    void GenerateMipSubLevels() override {}
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) override;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface) override;
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                     DWORD flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;
    HRESULT AddDirtyRect(D3DCUBEMAP_FACES face, const RECT*) override;
};

}  // namespace d3d9
