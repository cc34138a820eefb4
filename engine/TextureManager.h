#pragma once

#include <d3dx9tex.h>

#include <vector>

#include "engine/Singleton.h"
#include "engine/TextureEntry.h"

// Owns every texture loaded from files. Textures are shared by path (letter
// case ignored) with a reference count; all live in the managed pool, so a
// device reset needs nothing from here.
class CTextureManager : public CSingleton<CTextureManager> {
public:
    CTextureManager();
    virtual ~CTextureManager();

    // The folder that names are resolved against (no trailing backslash).
    bool SetTexturePath(const char* path);
    const char* GetTexturePath() const { return m_TexturePath; }

    // The default load: D3DX default sizes and mip levels, triangle filters.
    bool GetTexture(CTextureEntry** out, const char* name, bool cube, bool normalMap, float amplitude);
    bool LoadTexture(CTextureEntry** out, bool cube, const char* name, UINT width, UINT height, UINT mipLevels,
                     DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter, D3DCOLOR colorKey,
                     D3DXIMAGE_INFO* info, PALETTEENTRY* palette, bool normalMap, float amplitude);
    // The cube map of unit directions used for per-pixel lighting.
    bool CreateNormalizationCubeTexture(CTextureEntry** out);
    // Drops one use; the last one unloads the texture.
    void RemoveTexture(CTextureEntry* entry);

    const std::vector<CTextureEntry*>& GetTextures() const { return m_Textures; }

private:
    bool FillNormalizationCube(IDirect3DCubeTexture9* cube);

    char m_TexturePath[260];
    std::vector<CTextureEntry*> m_Textures;
};

// The textures a theme's scripts have loaded; sprites index it with their
// `texture` field. A failed load leaves a null slot.
extern std::vector<CTextureEntry*> g_ThemeTextures;
