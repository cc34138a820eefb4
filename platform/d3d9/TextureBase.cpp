#include "TextureBase.h"

#include <new>

#include "Device.h"
#include "Names.h"
#include "CubeTexture.h"
#include "Texture.h"

namespace d3d9 {

UINT TexelSize(D3DFORMAT format) {
    switch (format) {
        case D3DFMT_A8R8G8B8:
        case D3DFMT_X8R8G8B8:
        case D3DFMT_A8B8G8R8:
        case D3DFMT_X8B8G8R8:
            return 4;
        case D3DFMT_R5G6B5:
        case D3DFMT_X1R5G5B5:
        case D3DFMT_A1R5G5B5:
        case D3DFMT_A4R4G4B4:
        case D3DFMT_X4R4G4B4:
        case D3DFMT_A8L8:
            return 2;
        case D3DFMT_A8:
        case D3DFMT_L8:
            return 1;
        case D3DFMT_DXT1:
            return 8;  // per 4x4 block
        case D3DFMT_DXT3:
        case D3DFMT_DXT5:
            return 16;
        default:
            return 0;
    }
}

bool IsBlockCompressed(D3DFORMAT format) {
    return format == D3DFMT_DXT1 || format == D3DFMT_DXT3 || format == D3DFMT_DXT5;
}

bool IsTextureFormat(D3DFORMAT format) { return TexelSize(format) != 0; }

UINT FullChainLevels(UINT width, UINT height) {
    UINT levels = 1;
    while (width > 1 || height > 1) {
        width = width > 1 ? width / 2 : 1;
        height = height > 1 ? height / 2 : 1;
        ++levels;
    }
    return levels;
}

CTextureBase::CTextureBase(CDevice* device, D3DRESOURCETYPE type, UINT width, UINT height, UINT levels,
                           DWORD usage, D3DFORMAT format, D3DPOOL pool, const char* kind)
    : CDeviceObject(device, pool, kind), m_type(type), m_width(width), m_height(height), m_usage(usage),
      m_format(format) {
    const UINT full = FullChainLevels(width, height);
    m_levels = (levels == 0 || levels > full) ? full : levels;
    if (usage & D3DUSAGE_AUTOGENMIPMAP) m_levels = 1;
}

// The backend is told while the object is still a texture.
CTextureBase::~CTextureBase() {
    if (m_device) m_device->Untrack(this);
}

bool CTextureBase::Allocate() {
    try {
        // Memory is taken at the first lock: a texture nothing writes (an atlas
        // never drawn) costs nothing.
        m_data.resize(static_cast<size_t>(Faces()) * m_levels);
        m_dirty.assign(m_data.size(), true);
        const bool blocks = IsBlockCompressed(m_format);
        for (UINT f = 0; f < Faces(); ++f) {
            UINT w = m_width, h = m_height;
            for (UINT l = 0; l < m_levels; ++l) {
                TextureLevel& lv = Level(f, l);
                lv.width = w;
                lv.height = h;
                lv.pitch = blocks ? ((w + 3) / 4) * TexelSize(m_format) : w * TexelSize(m_format);
                lv.rows = blocks ? (h + 3) / 4 : h;
                lv.store = LevelStore::Zero;
                w = w > 1 ? w / 2 : 1;
                h = h > 1 ? h / 2 : 1;
            }
        }
    } catch (const std::bad_alloc&) {
        m_data.clear();
        return false;
    }
    return true;
}

uint64_t CTextureBase::Bytes() const {
    uint64_t bytes = 0;
    for (const TextureLevel& lv : m_data) bytes += uint64_t(lv.pitch) * lv.rows;
    return bytes;
}

HRESULT CTextureBase::DescOf(UINT level, D3DSURFACE_DESC* desc) {
    if (!desc || level >= m_levels) return D3DERR_INVALIDCALL;
    const TextureLevel& lv = Level(0, level);
    desc->Format = m_format;
    desc->Type = D3DRTYPE_SURFACE;
    desc->Usage = m_usage;
    desc->Pool = m_pool;
    desc->MultiSampleType = D3DMULTISAMPLE_NONE;
    desc->MultiSampleQuality = 0;
    desc->Width = lv.width;
    desc->Height = lv.height;
    return D3D_OK;
}

HRESULT CTextureBase::LockLevel(UINT face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) {
    if (!locked || face >= Faces() || level >= m_levels) return D3DERR_INVALIDCALL;
    TextureLevel& lv = Level(face, level);
    if (lv.locked) return D3DERR_INVALIDCALL;
    size_t offset = 0;
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > static_cast<LONG>(lv.width) ||
            rect->bottom > static_cast<LONG>(lv.height) || rect->left >= rect->right || rect->top >= rect->bottom)
            return D3DERR_INVALIDCALL;
        if (IsBlockCompressed(m_format))
            offset = static_cast<size_t>(rect->top / 4) * lv.pitch + static_cast<size_t>(rect->left / 4) * TexelSize(m_format);
        else
            offset = static_cast<size_t>(rect->top) * lv.pitch + static_cast<size_t>(rect->left) * TexelSize(m_format);
    }
    if (!Materialise(face, level)) return D3DERR_OUTOFVIDEOMEMORY;
    lv.locked = true;
    locked->Pitch = static_cast<INT>(lv.pitch);
    locked->pBits = lv.bits.data() + offset;
    if (!(flags & D3DLOCK_READONLY)) {
        m_dirty[face * m_levels + level] = true;
        m_anyDirty = true;
    }
    return D3D_OK;
}

bool CTextureBase::Materialise(UINT face, UINT level) {
    TextureLevel& lv = Level(face, level);
    if (lv.store == LevelStore::Memory) return true;
    try {
        lv.bits.assign(lv.Bytes(), 0);
    } catch (const std::bad_alloc&) {
        return false;
    }
    if (lv.store == LevelStore::Backend && !(m_device && m_device->Renderer().ReadTextureLevel(*this, face, level))) {
        std::vector<uint8_t>().swap(lv.bits);
        return false;
    }
    lv.store = LevelStore::Memory;
    return true;
}

HRESULT CTextureBase::UnlockLevel(UINT face, UINT level) {
    if (face >= Faces() || level >= m_levels) return D3DERR_INVALIDCALL;
    TextureLevel& lv = Level(face, level);
    if (!lv.locked) return D3DERR_INVALIDCALL;
    lv.locked = false;
    if (m_pool == D3DPOOL_MANAGED && m_device) m_device->Renderer().TextureUnlocked(*this);
    return D3D_OK;
}

HRESULT TextureDevice(CDeviceObject* object, IDirect3DDevice9** device) {
    if (!device) return D3DERR_INVALIDCALL;
    *device = object->Device();
    if (!*device) return D3DERR_INVALIDCALL;
    (*device)->AddRef();
    return D3D_OK;
}

CTextureBase* TextureFromInterface(IDirect3DBaseTexture9* texture) {
    if (!texture) return nullptr;
    if (auto* t = dynamic_cast<CTexture*>(texture)) return t;
    if (auto* c = dynamic_cast<CCubeTexture*>(texture)) return c;
    return nullptr;
}

IDirect3DBaseTexture9* InterfaceFromTexture(CTextureBase* texture) {
    if (!texture) return nullptr;
    if (auto* t = dynamic_cast<CTexture*>(texture)) return t;
    if (auto* c = dynamic_cast<CCubeTexture*>(texture)) return c;
    return nullptr;
}

}  // namespace d3d9
