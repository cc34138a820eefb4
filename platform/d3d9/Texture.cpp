#include "Texture.h"

#include "Device.h"
#include "Names.h"
#include "Surface.h"

namespace d3d9 {

HRESULT CTexture::GetDevice(IDirect3DDevice9** device) { return TextureDevice(this, device); }
DWORD CTexture::GetLevelCount() { return m_levels; }
HRESULT CTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) { return DescOf(level, desc); }
HRESULT CTexture::GetSurfaceLevel(UINT level, IDirect3DSurface9** surface) {
    if (!surface || level >= m_levels) return D3DERR_INVALIDCALL;
    *surface = new CSurface(m_device, this, 0, level);
    return D3D_OK;
}
HRESULT CTexture::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    HRESULT hr = LockLevel(0, level, locked, rect, flags);
    if (m_device && m_device->Recording())
        m_device->Record(m_name + ".LockRect(" + std::to_string(level) + ", " + RectText(rect) + ", " +
                         LockFlagsText(flags) + ")" + m_device->ResultText(hr));
    return hr;
}
HRESULT CTexture::UnlockRect(UINT level) {
    HRESULT hr = UnlockLevel(0, level);
    if (m_device && m_device->Recording()) m_device->Record(m_name + ".UnlockRect(" + std::to_string(level) + ")" + m_device->ResultText(hr));
    return hr;
}
HRESULT CTexture::AddDirtyRect(const RECT*) {
    m_dirty.assign(m_dirty.size(), true);
    m_anyDirty = true;
    return D3D_OK;
}

}  // namespace d3d9
