// 2D and cube textures: levels held in system memory in the D3D layout, so
// LockRect hands out real texels; the GL backend uploads what was unlocked.
#pragma once

#include <vector>

#include "DeviceObject.h"

namespace d3d9 {

struct TextureLevel {
    UINT width = 0;
    UINT height = 0;
    UINT pitch = 0;  // bytes per row (per row of 4x4 blocks for DXTn)
    UINT rows = 0;   // rows in memory
    std::vector<uint8_t> bits;
    bool locked = false;
};

// Bytes per texel, 0 for a format textures cannot have.
UINT TexelSize(D3DFORMAT format);
bool IsBlockCompressed(D3DFORMAT format);
// Formats CreateTexture accepts.
bool IsTextureFormat(D3DFORMAT format);
// Levels of a full chain down to 1 x 1.
UINT FullChainLevels(UINT width, UINT height);

class CTextureBase : public CDeviceObject {
public:
    CTextureBase(CDevice* device, D3DRESOURCETYPE type, UINT width, UINT height, UINT levels, DWORD usage,
                 D3DFORMAT format, D3DPOOL pool, const char* kind);
    ~CTextureBase() override;
    // False when the memory could not be had.
    bool Allocate();

    D3DRESOURCETYPE TextureType() const { return m_type; }
    D3DFORMAT Format() const { return m_format; }
    UINT Levels() const { return m_levels; }
    UINT Faces() const { return m_type == D3DRTYPE_CUBETEXTURE ? 6 : 1; }
    DWORD Usage() const { return m_usage; }
    TextureLevel& Level(UINT face, UINT level) { return m_data[face * m_levels + level]; }

    HRESULT DescOf(UINT level, D3DSURFACE_DESC* desc);
    HRESULT LockLevel(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT UnlockLevel(UINT face, UINT level);

    // Backend bookkeeping: the GL name and what changed since the last upload.
    uint32_t m_glName = 0;
    std::vector<bool> m_dirty;  // per face * level
    bool m_anyDirty = true;

protected:
    D3DRESOURCETYPE m_type;
    UINT m_width, m_height, m_levels;
    DWORD m_usage;
    D3DFORMAT m_format;
    DWORD m_priority = 0;
    DWORD m_lod = 0;
    std::vector<TextureLevel> m_data;
};

class CTexture final : public IDirect3DTexture9, public CTextureBase {
public:
    CTexture(CDevice* device, UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : CTextureBase(device, D3DRTYPE_TEXTURE, width, height, levels, usage, format, pool, "tex") {}
    D3D9_UNKNOWN_IMPL
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

class CCubeTexture final : public IDirect3DCubeTexture9, public CTextureBase {
public:
    CCubeTexture(CDevice* device, UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool)
        : CTextureBase(device, D3DRTYPE_CUBETEXTURE, edge, edge, levels, usage, format, pool, "cube") {}
    D3D9_UNKNOWN_IMPL
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

// The internal object behind a texture interface, or null for a foreign one.
CTextureBase* TextureFromInterface(IDirect3DBaseTexture9* texture);
IDirect3DBaseTexture9* InterfaceFromTexture(CTextureBase* texture);

}  // namespace d3d9
