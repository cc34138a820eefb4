// bench_menu [--frames N]: run from build/game. The cost of one frame with the
// Main menu open at 1024 x 768: the menu's drawing alone, and the whole frame
// (begin, clear, menu, pointer, present). The device is whatever KOLVAR_D3D selects.
#include <d3d9hooks.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/MenuManager.h"
#include "app/MenuPages.h"
#include "app/MousePointer.h"
#include "app/ThemeManager.h"
#include "engine/Font.h"
#include "engine/FontManager.h"
#include "engine/GlyphRect.h"
#include "engine/GraphicsEngine.h"
#include "engine/TextureManager.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"

namespace {

LRESULT CALLBACK BenchProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcA(w, m, wp, lp); }
void Update() {
    CMenuManager::GetInstance()->Update();
    CMousePointer::GetInstance()->Update();
}

double Ms(std::chrono::steady_clock::time_point from) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - from).count();
}

void Report(const char* what, std::vector<double>& ms) {
    std::sort(ms.begin(), ms.end());
    double sum = 0;
    for (double v : ms) sum += v;
    printf("%s: mean %.3f ms, median %.3f ms, 95th percentile %.3f ms over %zu frames\n", what, sum / ms.size(),
           ms[ms.size() / 2], ms[ms.size() * 95 / 100], ms.size());
}

}  // namespace

int main(int argc, char** argv) {
    long frames = 500;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!strcmp(argv[i], "--frames")) frames = std::max(1L, atol(argv[i + 1]));

    InstallMenuManagerHooks();
    CGeneralParameters params;
    params.m_Caption = "Kolvar menu bench";
    params.m_IconId = 113;
    params.m_WndProc = BenchProc;
    params.m_Windowed = true;
    params.m_Width = 1024;
    params.m_Height = 768;
    params.m_FixedStep = 0.025f;
    params.m_UpdateCallback = Update;
    params.m_Bits = 32;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (!engine->SetGeneralParameters(&params)) {
        fprintf(stderr, "bench_menu: the engine did not start (see log.html)\n");
        return 1;
    }
    CFont* font = nullptr;
    CFontManager::GetInstance()->SetFontsPath("data\\fonts");
    if (!CFontManager::GetInstance()->AddFont(&font, "font.png", 0, 0, false)) {
        fprintf(stderr, "bench_menu: no font.png (run from build/game)\n");
        return 1;
    }
    for (const auto& g : g_FontGlyphTable) {
        CGlyphRect rect(g[1], g[2], g[3], g[4], g[5], g[6]);
        font->AddGlyph(static_cast<char>(g[0]), &rect);
    }

    // The game's own pages, opening on the Main menu.
    g_TexturedFont = font;
    BuildMenus();
    CMenuManager* menu = CMenuManager::GetInstance();
    // Open at once: the opening is not what is measured.
    menu->m_transitionStart = engine->GetTime() - 2.0f;
    menu->Update();

    std::vector<double> alone, whole;
    for (long i = 0; i < frames + 20; ++i) {
        auto start = std::chrono::steady_clock::now();
        engine->Tick();
        if (!engine->BeginFrame(true)) continue;
        auto menuStart = std::chrono::steady_clock::now();
        menu->Render();
        double menuMs = Ms(menuStart);
        CMousePointer::GetInstance()->Render();
        engine->EndFrame();
        double frameMs = Ms(start);
        if (i < 20) continue;  // warm-up
        alone.push_back(menuMs);
        whole.push_back(frameMs);
    }
    printf("Main menu open, 1024x768, %s device\n",
           d3d9hooks::ActiveBackend() == d3d9hooks::Backend::Null ? "null" : "GL");
    Report("menu drawing alone", alone);
    Report("whole frame", whole);
    delete CMousePointer::GetInstancePtr();
    delete CThemeManager::GetInstancePtr();  // its logos go back to the engine's texture manager
    delete engine;
    return 0;
}
