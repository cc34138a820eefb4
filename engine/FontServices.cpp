#include "engine/FontServices.h"

#include <d3dx9.h>

#include "engine/GraphicsEngine.h"
#include "engine/TextureEntry.h"
#include "engine/TextureManager.h"

namespace fontservices {

namespace {

IDirect3DDevice9* EngineDevice() {
    CGraphicsEngine* e = CGraphicsEngine::GetInstancePtr();
    return e ? e->GetDevice() : nullptr;
}
ID3DXSprite* EngineSprite() {
    CGraphicsEngine* e = CGraphicsEngine::GetInstancePtr();
    return e ? e->GetSprite() : nullptr;
}
int EngineWidth() {
    CGraphicsEngine* e = CGraphicsEngine::GetInstancePtr();
    return e ? e->GetScreenWidth() : 0;
}
int EngineHeight() {
    CGraphicsEngine* e = CGraphicsEngine::GetInstancePtr();
    return e ? e->GetScreenHeight() : 0;
}
// The image as it is: no resizing filter, no mip chain filter, managed so it survives a reset.
bool EngineLoad(CTextureEntry** out, const char* name) {
    return CTextureManager::GetInstance()->LoadTexture(out, false, name, D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                                       D3DFMT_UNKNOWN, D3DPOOL_MANAGED, D3DX_FILTER_NONE,
                                                       D3DX_FILTER_NONE, 0, nullptr, nullptr, false, 10.0f);
}
IDirect3DTexture9* EngineTexture(CTextureEntry* entry) { return entry->m_pTexture; }

const Sources kEngineSources = {EngineDevice, EngineSprite, EngineWidth, EngineHeight, EngineLoad, EngineTexture};

Sources g_Sources = kEngineSources;

}  // namespace

void SetSources(const Sources* sources) { g_Sources = sources ? *sources : kEngineSources; }

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
