// D3DX texture functions: loading textures and cube textures from image
// files (PNG, JPG, TGA, BMP, DDS; the kind is read from the content),
// creating empty ones, and building normal maps from height images.
#pragma once

#include "d3d9.h"
#include "d3dx9core.h"
#include "d3dx9math.h"

#ifndef D3DX_DEFAULT
#define D3DX_DEFAULT ((UINT)-1)
#endif
#ifndef D3DX_DEFAULT_NONPOW2
#define D3DX_DEFAULT_NONPOW2 ((UINT)-2)
#endif
#ifndef D3DX_FROM_FILE
#define D3DX_FROM_FILE ((UINT)-3)
#endif

// Filters: the low byte picks the kind, the flags above it modify it.
#define D3DX_FILTER_NONE (1 << 0)
#define D3DX_FILTER_POINT (2 << 0)
#define D3DX_FILTER_LINEAR (3 << 0)
#define D3DX_FILTER_TRIANGLE (4 << 0)
#define D3DX_FILTER_BOX (5 << 0)
#define D3DX_FILTER_MIRROR_U (1 << 16)
#define D3DX_FILTER_MIRROR_V (2 << 16)
#define D3DX_FILTER_MIRROR (7 << 16)
#define D3DX_FILTER_DITHER (1 << 19)

#define D3DX_CHANNEL_RED (1 << 0)
#define D3DX_CHANNEL_BLUE (1 << 1)
#define D3DX_CHANNEL_GREEN (1 << 2)
#define D3DX_CHANNEL_ALPHA (1 << 3)
#define D3DX_CHANNEL_LUMINANCE (1 << 4)

#define D3DX_NORMALMAP_MIRROR_U (1 << 16)
#define D3DX_NORMALMAP_MIRROR_V (2 << 16)
#define D3DX_NORMALMAP_MIRROR (3 << 16)
#define D3DX_NORMALMAP_INVERTSIGN (8 << 16)

enum D3DXIMAGE_FILEFORMAT : uint32_t {
    D3DXIFF_BMP = 0,
    D3DXIFF_JPG = 1,
    D3DXIFF_TGA = 2,
    D3DXIFF_PNG = 3,
    D3DXIFF_DDS = 4,
    D3DXIFF_FORCE_DWORD = 0x7fffffff
};

typedef struct _D3DXIMAGE_INFO {
    UINT Width;
    UINT Height;
    UINT Depth;
    UINT MipLevels;
    D3DFORMAT Format;
    D3DRESOURCETYPE ResourceType;
    D3DXIMAGE_FILEFORMAT ImageFileFormat;
} D3DXIMAGE_INFO;

// Palettes are never used by our files; the type is only passed through.
struct tagPALETTEENTRY;
typedef struct tagPALETTEENTRY PALETTEENTRY;

// Image information of a file: its size, levels and format (read from the header only).
HRESULT D3DXGetImageInfoFromFileA(const char* srcFile, D3DXIMAGE_INFO* srcInfo);

// Width, height: 0 or D3DX_DEFAULT round the file's size up to a power of
// two; D3DX_DEFAULT_NONPOW2 and D3DX_FROM_FILE keep it. Mip levels: 0 or
// D3DX_DEFAULT make a full chain. Filter none puts the image at the top-left
// with transparent black around it; other filters stretch it.
HRESULT D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* srcFile, UINT width, UINT height,
                                     UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                     DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo,
                                     PALETTEENTRY* palette, IDirect3DTexture9** texture);
HRESULT D3DXCreateTextureFromFileA(IDirect3DDevice9* device, const char* srcFile, IDirect3DTexture9** texture);

// Loads a cube map (a DDS file with all six faces).
HRESULT D3DXCreateCubeTextureFromFileExA(IDirect3DDevice9* device, const char* srcFile, UINT size, UINT mipLevels,
                                         DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter, DWORD mipFilter,
                                         D3DCOLOR colorKey, D3DXIMAGE_INFO* srcInfo, PALETTEENTRY* palette,
                                         IDirect3DCubeTexture9** cubeTexture);

// Empty textures; 0 or D3DX_DEFAULT sizes become 256, 0 levels a full chain,
// D3DFMT_UNKNOWN A8R8G8B8.
HRESULT D3DXCreateTexture(IDirect3DDevice9* device, UINT width, UINT height, UINT mipLevels, DWORD usage,
                          D3DFORMAT format, D3DPOOL pool, IDirect3DTexture9** texture);
HRESULT D3DXCreateCubeTexture(IDirect3DDevice9* device, UINT size, UINT mipLevels, DWORD usage, D3DFORMAT format,
                              D3DPOOL pool, IDirect3DCubeTexture9** cubeTexture);

// Fills every level of texture with the normal map of srcTexture's level 0,
// the height taken from channel and multiplied by amplitude. Texels are
// (n + 1) * 127.5 of the unit normal in r, g, b (x right, y down the rows,
// z out of the surface), alpha 255.
HRESULT D3DXComputeNormalMap(IDirect3DTexture9* texture, IDirect3DTexture9* srcTexture,
                             const PALETTEENTRY* srcPalette, DWORD flags, DWORD channel, float amplitude);

#define D3DXGetImageInfoFromFile D3DXGetImageInfoFromFileA
#define D3DXCreateTextureFromFileEx D3DXCreateTextureFromFileExA
#define D3DXCreateTextureFromFile D3DXCreateTextureFromFileA
#define D3DXCreateCubeTextureFromFileEx D3DXCreateCubeTextureFromFileExA
