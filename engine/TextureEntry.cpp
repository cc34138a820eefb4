#include "engine/TextureEntry.h"

#include <cstring>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"

// Sizes start at zero too, so an entry is never read uninitialised.
CTextureEntry::CTextureEntry()
    : m_RefCount(0), m_Width(0), m_Height(0), m_ImageWidth(0), m_ImageHeight(0), m_UExtent(0), m_VExtent(0),
      m_IsCube(false), m_pCubeTexture(nullptr), m_pTexture(nullptr) {
    m_Path[0] = '\0';
}

CTextureEntry::~CTextureEntry() {
    if (m_pTexture) {
        m_pTexture->Release();
        m_pTexture = nullptr;
    }
    if (m_pCubeTexture) {
        m_pCubeTexture->Release();
        m_pCubeTexture = nullptr;
    }
}

bool CTextureEntry::Load(const char* path, bool cube, UINT width, UINT height, UINT mipLevels, DWORD usage,
                         D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                         D3DXIMAGE_INFO* /*info*/, PALETTEENTRY* palette) {
    if (!path) {
        g_Log.PrintBold("red", "Error, name of texture is NULL !");
        return false;
    }
    m_IsCube = cube;
    strncpy(m_Path, path, sizeof m_Path - 1);
    m_Path[sizeof m_Path - 1] = '\0';

    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    D3DXIMAGE_INFO imageInfo;
    memset(&imageInfo, 0, sizeof imageInfo);
    D3DSURFACE_DESC desc;
    memset(&desc, 0, sizeof desc);
    if (!cube) {
        HRESULT hr = D3DXCreateTextureFromFileExA(device, path, width, height, mipLevels, usage, format, pool, filter,
                                                  mipFilter, colorKey, &imageInfo, palette, &m_pTexture);
        if (FAILED(hr)) {
            g_Log.PrintBold("red", "Error, couldn't load texture: (%s)", path);
            return false;
        }
        m_pTexture->GetLevelDesc(0, &desc);
    } else {
        HRESULT hr = D3DXCreateCubeTextureFromFileExA(device, path, width, mipLevels, usage, format, pool, filter,
                                                      mipFilter, colorKey, &imageInfo, palette, &m_pCubeTexture);
        if (FAILED(hr)) {
            g_Log.PrintBold("red", "Error, couldn't load cube texture: (%s)", path);
            return false;
        }
        m_pCubeTexture->GetLevelDesc(0, &desc);
    }
    m_Width = static_cast<float>(desc.Width);
    m_Height = static_cast<float>(desc.Height);
    m_ImageWidth = static_cast<float>(imageInfo.Width);
    m_ImageHeight = static_cast<float>(imageInfo.Height);
    m_UExtent = m_ImageWidth / m_Width;
    m_VExtent = m_ImageHeight / m_Height;
    return true;
}

HRESULT CTextureEntry::Set(DWORD stage) {
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    if (!device) return D3DERR_INVALIDCALL;
    if (m_IsCube) return device->SetTexture(stage, m_pCubeTexture);
    return device->SetTexture(stage, m_pTexture);
}
