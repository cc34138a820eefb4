#include "app/LoadingScreen.h"

#include <d3d9.h>

#include <algorithm>

#include "app/MainLoop.h"
#include "app/Startup.h"
#include "engine/Font.h"
#include "engine/GraphicsEngine.h"
#include "engine/Loading.h"
#include "engine/TextureEntry.h"
#include "game/GameSettings.h"

int LoadingFrame(int loaded, int total) {
    if (total <= 0) return 70;
    const double fraction = std::min(double(loaded) / double(total), 1.0);
    return std::max(0, int(fraction * 70.0));
}

namespace {

void DrawIntro(CGraphicsEngine* engine) {
    CTextureEntry* intro = g_IntroTexture;
    ID3DXSprite* sprite = engine->GetSprite();
    if (!intro || !intro->m_pTexture || !sprite || intro->m_Width <= 0.0f || intro->m_Height <= 0.0f) return;
    if (FAILED(sprite->Begin())) return;
    IDirect3DDevice9* device = engine->GetDevice();
    device->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    D3DXVECTOR2 scale(float(engine->GetScreenWidth()) / intro->m_Width,
                      float(engine->GetScreenHeight()) / intro->m_Height);
    D3DXVECTOR2 position(0.0f, 0.0f);
    sprite->Draw(intro->m_pTexture, nullptr, &scale, nullptr, 0.0f, &position, 0xFFFFFFFF);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    sprite->End();
}

}  // namespace

void DrawLoadingScreen() {
    if (!g_bLoadingScreen) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    if (!engine || !engine->GetDevice()) return;
    // Without a picture nothing covers the last frame: clear, or the screen smears.
    const bool covered = g_IntroTexture && g_IntroTexture->m_pTexture;
    engine->BeginFrame(!covered);
    DrawIntro(engine);
    if (g_TexturedFont)
        g_TexturedFont->DrawText(0.95f, 0.018f, 0.02f, 0.02f, 0xFFFFFFFF, g_VersionText.c_str(), CFont::kCentered,
                                 0.0f);
    g_LoadingSprite.SetCurrent(LoadingFrame(g_LoadedResources, g_ResCount));
    g_LoadingSprite.SetPosition(0.94f, 0.92f);
    g_LoadingSprite.SetAlpha(1.0f);
    g_LoadingSprite.Draw();
    engine->EndFrame();
    NotifyFramePresented();
}
