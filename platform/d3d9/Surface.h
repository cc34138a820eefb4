// One level of a texture or cube face, or the back buffer (description only).
#pragma once

#include "DeviceObject.h"

namespace d3d9 {

class CTextureBase;

class CSurface final : public platform::ComObject<IDirect3DSurface9, CDeviceObject> {
public:
    // A texture level; holds a reference on the texture.
    CSurface(CDevice* device, CTextureBase* container, UINT face, UINT level);
    // The back buffer (or depth buffer) of the given size.
    CSurface(CDevice* device, UINT width, UINT height, D3DFORMAT format, DWORD usage);
    ~CSurface() override;

    HRESULT GetDevice(IDirect3DDevice9** device) override;
    DWORD SetPriority(DWORD) override { return 0; }
    DWORD GetPriority() override { return 0; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return D3DRTYPE_SURFACE; }
    HRESULT GetContainer(REFIID, void** container) override;
    HRESULT GetDesc(D3DSURFACE_DESC* desc) override;
    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;

private:
    CTextureBase* m_container = nullptr;
    UINT m_face = 0, m_level = 0;
    D3DSURFACE_DESC m_desc{};
};

}  // namespace d3d9
