#include "engine/TextureManager.h"

#include <dxerr9.h>
#include <strings.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/GraphicsEngine.h"
#include "engine/Loading.h"
#include "engine/Log.h"

std::vector<CTextureEntry*> g_ThemeTextures;

CTextureManager::CTextureManager() {
    g_Log.Print("blue", "Initializing texture manager");
    m_TexturePath[0] = '\0';
    g_Log.Print("green", "Complete");
}

CTextureManager::~CTextureManager() {
    g_Log.Print("blue", "Destroying texture manager");
    g_Log.Print("blue", "Unloading textures:");
    for (CTextureEntry* entry : m_Textures) {
        g_Log.Print("darkgray", "unloading texture: (%s) - complete.", entry->m_Path);
        delete entry;
    }
    m_Textures.clear();
    g_Log.Print("green", "unloading complete");
    g_Log.Print("green", "Destroying complete");
}

bool CTextureManager::SetTexturePath(const char* path) {
    g_Log.Print("blue", "Setting texture path:");
    if (!path) {
        g_Log.PrintBold("red", "Error, path-string is empty !");
        return false;
    }
    strncpy(m_TexturePath, path, sizeof m_TexturePath - 1);
    m_TexturePath[sizeof m_TexturePath - 1] = '\0';
    g_Log.Print("darkgray", "path = %s", m_TexturePath);
    g_Log.Print("green", "Complete");
    return true;
}

bool CTextureManager::GetTexture(CTextureEntry** out, const char* name, bool cube, bool normalMap, float amplitude) {
    return LoadTexture(out, cube, name, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                       D3DX_FILTER_TRIANGLE, D3DX_FILTER_TRIANGLE, 0, nullptr, nullptr, normalMap, amplitude);
}

bool CTextureManager::LoadTexture(CTextureEntry** out, bool cube, const char* name, UINT width, UINT height,
                                  UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                  DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* /*info*/,
                                  PALETTEENTRY* palette, bool normalMap, float amplitude) {
    // Counted first, so failed and shared loads advance the loading screen too.
    CountLoadedResource();
    if (!name) {
        g_Log.PrintBold("red", "Couldn't load texture, becouse file string is empty !");
        return false;
    }
    char fullPath[260];
    int length = snprintf(fullPath, sizeof fullPath, "%s\\%s", m_TexturePath, name);
    if (length < 0 || length >= static_cast<int>(sizeof fullPath)) {
        // A cut path would name another file; refuse it instead.
        g_Log.PrintBold("red", "Error, texture path is too long: (%s)", name);
        return false;
    }

    for (CTextureEntry* entry : m_Textures) {
        if (strcasecmp(entry->m_Path, fullPath) == 0) {
            if (out) *out = entry;
            ++entry->m_RefCount;
            return true;
        }
    }

    CTextureEntry* entry = new (std::nothrow) CTextureEntry();
    if (!entry) {
        g_Log.PrintBold("red", "Couldn't create texture object for (%s) object!", name);
        return false;
    }
    D3DXIMAGE_INFO imageInfo;
    memset(&imageInfo, 0, sizeof imageInfo);
    if (!entry->Load(fullPath, cube, width, height, mipLevels, usage, format, pool, filter, mipFilter, colorKey,
                     &imageInfo, palette)) {
        delete entry;
        return false;
    }

    if (normalMap && entry->m_pTexture) {
        D3DSURFACE_DESC desc;
        memset(&desc, 0, sizeof desc);
        entry->m_pTexture->GetLevelDesc(0, &desc);
        IDirect3DTexture9* normals = nullptr;
        D3DXCreateTexture(CGraphicsEngine::GetInstance()->GetDevice(), desc.Width, desc.Height, 0, 0,
                          D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &normals);
        if (normals) {
            D3DXComputeNormalMap(normals, entry->m_pTexture, nullptr, 0, D3DX_CHANNEL_RED, amplitude);
            entry->m_pTexture->Release();
            entry->m_pTexture = normals;
        }
    }

    entry->m_RefCount = 1;
    m_Textures.push_back(entry);
    if (out) *out = entry;
    g_Log.Print("darkgray", "Loading texture: (%s) complete.", fullPath);
    return true;
}

bool CTextureManager::CreateNormalizationCubeTexture(CTextureEntry** out) {
    CTextureEntry* entry = new (std::nothrow) CTextureEntry();
    if (!entry) {
        g_Log.PrintBold("red", "Couldn't create texture object for normalization cube!");
        return false;
    }
    entry->m_IsCube = true;
    entry->m_Path[0] = '\0';
    entry->m_pCubeTexture = nullptr;
    HRESULT hr = D3DXCreateCubeTexture(CGraphicsEngine::GetInstance()->GetDevice(), 256, 0, 0, D3DFMT_X8R8G8B8,
                                       D3DPOOL_MANAGED, &entry->m_pCubeTexture);
    if (FAILED(hr) || !entry->m_pCubeTexture || !FillNormalizationCube(entry->m_pCubeTexture)) {
        g_Log.PrintBold("red", "Error, couldn't create normalization cube texture: (%s)",
                        DXGetErrorString9(FAILED(hr) ? hr : D3DERR_INVALIDCALL));
        delete entry;
        return false;
    }
    D3DSURFACE_DESC desc;
    memset(&desc, 0, sizeof desc);
    entry->m_pCubeTexture->GetLevelDesc(0, &desc);
    entry->m_Width = static_cast<float>(desc.Width);
    entry->m_Height = static_cast<float>(desc.Height);
    m_Textures.push_back(entry);
    if (out) *out = entry;
    g_Log.Print("darkgray", "Creating normalization cube texture complete.");
    return true;
}

bool CTextureManager::FillNormalizationCube(IDirect3DCubeTexture9* cube) {
    for (DWORD level = 0; level < cube->GetLevelCount(); ++level) {
        D3DSURFACE_DESC desc;
        memset(&desc, 0, sizeof desc);
        if (FAILED(cube->GetLevelDesc(level, &desc))) return false;
        const UINT w = desc.Width, h = desc.Height;
        for (int face = 0; face < 6; ++face) {
            D3DLOCKED_RECT locked;
            if (FAILED(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), level, &locked, nullptr, 0))) return false;
            for (UINT y = 0; y < h; ++y) {
                DWORD* row = reinterpret_cast<DWORD*>(static_cast<char*>(locked.pBits) + size_t(locked.Pitch) * y);
                for (UINT x = 0; x < w; ++x) {
                    // A 1 x 1 level has no span: its single texel faces the centre of the face.
                    float s = w > 1 ? 2.0f * x / (w - 1) - 1.0f : 0.0f;
                    float t = h > 1 ? 2.0f * y / (h - 1) - 1.0f : 0.0f;
                    D3DXVECTOR3 dir;
                    switch (face) {
                        case D3DCUBEMAP_FACE_POSITIVE_X: dir = D3DXVECTOR3(1.0f, -t, -s); break;
                        case D3DCUBEMAP_FACE_NEGATIVE_X: dir = D3DXVECTOR3(-1.0f, -t, s); break;
                        case D3DCUBEMAP_FACE_POSITIVE_Y: dir = D3DXVECTOR3(s, 1.0f, t); break;
                        case D3DCUBEMAP_FACE_NEGATIVE_Y: dir = D3DXVECTOR3(s, -1.0f, -t); break;
                        case D3DCUBEMAP_FACE_POSITIVE_Z: dir = D3DXVECTOR3(s, -t, 1.0f); break;
                        default: dir = D3DXVECTOR3(-s, -t, -1.0f); break;
                    }
                    D3DXVec3Normalize(&dir, &dir);
                    DWORD r = static_cast<DWORD>((dir.x + 1.0f) * 127.0f);
                    DWORD g = static_cast<DWORD>((dir.y + 1.0f) * 127.0f);
                    DWORD b = static_cast<DWORD>((dir.z + 1.0f) * 127.0f);
                    row[x] = (r << 16) | (g << 8) | b;
                }
            }
            cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), level);
        }
    }
    return true;
}

void CTextureManager::RemoveTexture(CTextureEntry* entry) {
    for (size_t i = 0; i < m_Textures.size(); ++i) {
        if (m_Textures[i] != entry) continue;
        if (--entry->m_RefCount != 0) return;
        g_Log.Print("darkgray", "removing texture: (%s) - complete.", entry->m_Path);
        delete entry;
        m_Textures[i] = m_Textures.back();
        m_Textures.pop_back();
        return;
    }
}
