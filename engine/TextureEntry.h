#pragma once

#include <d3dx9tex.h>

// One loaded texture, owned by the texture manager. Callers keep the pointer
// they are given and bind it with Set when they draw.
class CTextureEntry {
public:
    CTextureEntry();
    ~CTextureEntry();

    // Loads the file at the full path as a 2D or cube texture and records its sizes.
    bool Load(const char* path, bool cube, UINT width, UINT height, UINT mipLevels, DWORD usage, D3DFORMAT format,
              D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* info,
              PALETTEENTRY* palette);
    // Binds the cube or 2D texture to a texture stage of the engine's device.
    HRESULT Set(DWORD stage);

    DWORD m_RefCount;
    char m_Path[260];
    float m_Width;        // level 0 of the created texture
    float m_Height;
    float m_ImageWidth;   // the picture in the file
    float m_ImageHeight;
    float m_UExtent;      // image width / width: the part of the texture the picture covers
    float m_VExtent;
    bool m_IsCube;
    IDirect3DCubeTexture9* m_pCubeTexture;
    IDirect3DTexture9* m_pTexture;
};
