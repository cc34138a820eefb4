#pragma once

#include <d3d9types.h>

struct IDirect3DDevice9;
struct IDirect3DTexture9;
struct ID3DXSprite;

class CTextureEntry;

// What the fonts take from the graphics engine and the texture manager, in
// one place: the device, the 2D sprite, the configured screen size and the
// loading of a font image.
namespace fontservices {

IDirect3DDevice9* Device();
ID3DXSprite* Sprite();
int ScreenWidth();
int ScreenHeight();
// Loads a font image through the texture manager from its current path.
bool LoadTexture(CTextureEntry** out, const char* name);
IDirect3DTexture9* TextureOf(CTextureEntry* entry);

}  // namespace fontservices

namespace fontservices {

// The sources are the graphics engine and the texture manager; tests set
// their own, and null puts the engine's back.
struct Sources {
    IDirect3DDevice9* (*device)();
    ID3DXSprite* (*sprite)();
    int (*screenWidth)();
    int (*screenHeight)();
    bool (*loadTexture)(CTextureEntry** out, const char* name);
    IDirect3DTexture9* (*textureOf)(CTextureEntry* entry);
};
void SetSources(const Sources* sources);

}  // namespace fontservices
