#include "CubeTexture.h"

#include "Device.h"
#include "Names.h"
#include "Surface.h"

namespace d3d9 {

HRESULT CCubeTexture::GetDevice(IDirect3DDevice9** device) { return TextureDevice(this, device); }
DWORD CCubeTexture::GetLevelCount() { return m_levels; }
HRESULT CCubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* desc) { return DescOf(level, desc); }
HRESULT CCubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** surface) {
    if (!surface || face > D3DCUBEMAP_FACE_NEGATIVE_Z || level >= m_levels) return D3DERR_INVALIDCALL;
    *surface = new CSurface(m_device, this, face, level);
    return D3D_OK;
}
HRESULT CCubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                               DWORD flags) {
    HRESULT hr = LockLevel(face, level, locked, rect, flags);
    if (m_device && m_device->Recording())
        m_device->Record(m_name + ".LockRect(" + std::to_string(face) + ", " + std::to_string(level) + ", " +
                         RectText(rect) + ", " + LockFlagsText(flags) + ")" + m_device->ResultText(hr));
    return hr;
}
HRESULT CCubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level) {
    HRESULT hr = UnlockLevel(face, level);
    if (m_device && m_device->Recording())
        m_device->Record(m_name + ".UnlockRect(" + std::to_string(face) + ", " + std::to_string(level) + ")" +
                         m_device->ResultText(hr));
    return hr;
}
HRESULT CCubeTexture::AddDirtyRect(D3DCUBEMAP_FACES, const RECT*) {
    m_dirty.assign(m_dirty.size(), true);
    m_anyDirty = true;
    return D3D_OK;
}

}  // namespace d3d9
