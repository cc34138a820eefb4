#include "Surface.h"

#include "Device.h"
#include "TextureBase.h"

namespace d3d9 {

CSurface::CSurface(CDevice* device, CTextureBase* container, UINT face, UINT level)
    : ComObject(device, container->Pool(), "surf"), m_container(container), m_face(face), m_level(level) {
    m_container->PublicAddRef();
    m_container->DescOf(level, &m_desc);
}

CSurface::CSurface(CDevice* device, UINT width, UINT height, D3DFORMAT format, DWORD usage)
    : ComObject(device, D3DPOOL_DEFAULT, "surf") {
    m_desc.Format = format;
    m_desc.Type = D3DRTYPE_SURFACE;
    m_desc.Usage = usage;
    m_desc.Pool = D3DPOOL_DEFAULT;
    m_desc.Width = width;
    m_desc.Height = height;
}

CSurface::~CSurface() {
    if (m_container) m_container->PublicRelease();
}

HRESULT CSurface::GetDevice(IDirect3DDevice9** device) {
    if (!device || !m_device) return D3DERR_INVALIDCALL;
    *device = m_device;
    m_device->AddRef();
    return D3D_OK;
}

HRESULT CSurface::GetContainer(REFIID, void** container) {
    if (!container) return D3DERR_INVALIDCALL;
    *container = nullptr;
    if (!m_container) return E_NOINTERFACE;
    IDirect3DBaseTexture9* iface = InterfaceFromTexture(m_container);
    iface->AddRef();
    *container = iface;
    return D3D_OK;
}

HRESULT CSurface::GetDesc(D3DSURFACE_DESC* desc) {
    if (!desc) return D3DERR_INVALIDCALL;
    *desc = m_desc;
    return D3D_OK;
}

HRESULT CSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!m_container) return D3DERR_INVALIDCALL;  // the back buffer is not lockable
    return m_container->LockLevel(m_face, m_level, locked, rect, flags);
}

HRESULT CSurface::UnlockRect() {
    if (!m_container) return D3DERR_INVALIDCALL;
    return m_container->UnlockLevel(m_face, m_level);
}

}  // namespace d3d9
