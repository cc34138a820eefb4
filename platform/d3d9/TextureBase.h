// What 2D and cube textures share: levels held in system memory in the D3D
// layout, so LockRect hands out real texels; the GL backend uploads what was unlocked.
#pragma once

#include <vector>

#include "DeviceObject.h"

namespace d3d9 {

// Where a level's texels are: nowhere yet (all zero), in `bits`, or only in the
// backend (a managed texture's copy is let go once the driver holds one).
enum class LevelStore : uint8_t { Zero, Memory, Backend };

struct TextureLevel {
    UINT width = 0;
    UINT height = 0;
    UINT pitch = 0;  // bytes per row (per row of 4x4 blocks for DXTn)
    UINT rows = 0;   // rows in memory
    std::vector<uint8_t> bits;  // pitch * rows bytes while the store is Memory
    LevelStore store = LevelStore::Zero;
    bool locked = false;
    size_t Bytes() const { return static_cast<size_t>(pitch) * rows; }
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
    // Lays the levels out; their memory is taken when first locked.
    bool Allocate();

    D3DRESOURCETYPE TextureType() const { return m_type; }
    D3DFORMAT Format() const { return m_format; }
    UINT Levels() const { return m_levels; }
    UINT Faces() const { return m_type == D3DRTYPE_CUBETEXTURE ? 6 : 1; }
    DWORD Usage() const { return m_usage; }
    TextureLevel& Level(UINT face, UINT level) { return m_data[face * m_levels + level]; }
    // What every level of every face takes once written.
    uint64_t Bytes() const;

    HRESULT DescOf(UINT level, D3DSURFACE_DESC* desc);
    HRESULT LockLevel(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags);
    HRESULT UnlockLevel(UINT face, UINT level);
    // The level's texels in `bits` (zeros, or read back from the backend);
    // false when they could not be had.
    bool Materialise(UINT face, UINT level);

    // Backend bookkeeping: the GL name and what changed since the last upload.
    uint32_t m_glName = 0;
    std::vector<bool> m_dirty;  // per face * level
    bool m_anyDirty = true;
    std::vector<bool> m_transparent;  // per face * level, as last uploaded: some texel's alpha is not full
    bool m_opaque = false;            // every level uploaded and none transparent

protected:
    D3DRESOURCETYPE m_type;
    UINT m_width, m_height, m_levels;
    DWORD m_usage;
    D3DFORMAT m_format;
    DWORD m_priority = 0;
    DWORD m_lod = 0;
    std::vector<TextureLevel> m_data;
};

// GetDevice of both kinds.
HRESULT TextureDevice(CDeviceObject* object, IDirect3DDevice9** device);

// The internal object behind a texture interface, or null for a foreign one.
CTextureBase* TextureFromInterface(IDirect3DBaseTexture9* texture);
IDirect3DBaseTexture9* InterfaceFromTexture(CTextureBase* texture);

}  // namespace d3d9
