#include "engine/FontServices.h"

namespace fontservices {

namespace {
Sources g_Sources = {};
}

void SetSources(const Sources* sources) { g_Sources = sources ? *sources : Sources(); }

IDirect3DDevice9* Device() { return g_Sources.device ? g_Sources.device() : nullptr; }
ID3DXSprite* Sprite() { return g_Sources.sprite ? g_Sources.sprite() : nullptr; }
int ScreenWidth() { return g_Sources.screenWidth ? g_Sources.screenWidth() : 0; }
int ScreenHeight() { return g_Sources.screenHeight ? g_Sources.screenHeight() : 0; }

bool LoadTexture(CTextureEntry** out, const char* name) {
    if (out) *out = nullptr;
    return out && name && g_Sources.loadTexture && g_Sources.loadTexture(out, name);
}

IDirect3DTexture9* TextureOf(CTextureEntry* entry) {
    return entry && g_Sources.textureOf ? g_Sources.textureOf(entry) : nullptr;
}

}  // namespace fontservices
