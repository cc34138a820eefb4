#include "app/LoadingScreen.h"

#include <d3d9.h>

#include <algorithm>
#include <cstdint>

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

// What the last drawn loading frame showed and when it was presented. A step
// that would show the same picture again within one display refresh is not
// drawn: nobody could see it, and on a software device each present costs
// milliseconds, which thousands of failing loads turn into a stalled start.
struct Shown {
    bool valid = false;
    int frame = 0;
    const CTextureEntry* intro = nullptr;
    const CFont* font = nullptr;
    int64_t at = 0;       // performance-counter ticks
    int64_t refresh = 0;  // ticks of one display refresh
};
Shown g_shown;

int64_t Ticks() {
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart;
}

// One refresh of the desktop's display in counter ticks; 60 Hz when it does not say.
int64_t RefreshTicks(CGraphicsEngine* engine) {
    LARGE_INTEGER frequency;
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart <= 0) frequency.QuadPart = 1000000000LL;
    D3DDISPLAYMODE mode = {};
    IDirect3D9* d3d = engine->GetDirect3D();
    UINT hertz = d3d && SUCCEEDED(d3d->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &mode)) ? mode.RefreshRate : 0;
    if (hertz == 0) hertz = 60;
    return frequency.QuadPart / hertz;
}

}  // namespace

void DrawLoadingScreen() {
    if (!g_bLoadingScreen) {
        // Whatever is presented before the next start of the screen is not ours.
        g_shown.valid = false;
        return;
    }
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    if (!engine || !engine->GetDevice()) return;
    const int frame = LoadingFrame(g_LoadedResources, g_ResCount);
    const int64_t now = Ticks();
    if (g_shown.valid && g_shown.frame == frame && g_shown.intro == g_IntroTexture && g_shown.font == g_TexturedFont &&
        now - g_shown.at < g_shown.refresh)
        return;
    // Without a picture nothing covers the last frame: clear, or the screen smears.
    const bool covered = g_IntroTexture && g_IntroTexture->m_pTexture;
    engine->BeginFrame(!covered);
    DrawIntro(engine);
    if (g_TexturedFont)
        g_TexturedFont->DrawText(0.95f, 0.018f, 0.02f, 0.02f, 0xFFFFFFFF, g_VersionText.c_str(), CFont::kCentered,
                                 0.0f);
    g_LoadingSprite.SetCurrent(frame);
    g_LoadingSprite.SetPosition(0.94f, 0.92f);
    g_LoadingSprite.SetAlpha(1.0f);
    g_LoadingSprite.Draw();
    engine->EndFrame();
    const int64_t refresh = g_shown.valid ? g_shown.refresh : RefreshTicks(engine);
    g_shown = Shown{true, frame, g_IntroTexture, g_TexturedFont, now, refresh};
    NotifyFramePresented();
}
