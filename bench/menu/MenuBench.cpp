// bench_menu [--frames N]: the cost of one frame with the Main menu open at
// 1024 x 768: the menu's drawing alone, and the whole frame (begin, clear,
// menu, pointer, present). GL unless KOLVAR_D3D selects the null device.
#include <d3d9hooks.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/MenuManager.h"
#include "app/MenuPages.h"
#include "app/MousePointer.h"
#include "app/ThemeManager.h"
#include "common/BenchCommon.h"
#include "engine/GraphicsEngine.h"
#include "game/GameLoop.h"
#include "support/EngineScope.h"

namespace {

void Update() {
    CMenuManager::GetInstance()->Update();
    CMousePointer::GetInstance()->Update();
}

}  // namespace

int main(int argc, char** argv) {
    long frames = 500;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!strcmp(argv[i], "--frames")) frames = std::max(1L, atol(argv[i + 1]));

    bench::GameFolder folder;
    if (!folder.Ok()) return 1;
    InstallMenuManagerHooks();
    enginescope::EngineScope* scope = bench::StartEngine("bench_menu", Update);
    if (!scope) return 1;
    scope->Singletons().Track<CThemeManager>();  // its logos go back to the engine's texture manager
    scope->Singletons().Track<CMousePointer>();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (!gameloop::LoadTexturedFont()) return 1;

    // The game's own pages, opening on the Main menu.
    BuildMenus();
    CMenuManager* menu = CMenuManager::GetInstance();
    // Open at once: the opening is not what is measured.
    menu->m_transitionStart = engine->GetTime() - 2.0f;
    menu->Update();

    std::vector<double> alone, whole;
    for (long i = 0; i < frames + 20; ++i) {
        auto start = bench::Clock::now();
        engine->Tick();
        if (!engine->BeginFrame(true)) continue;
        auto menuStart = bench::Clock::now();
        menu->Render();
        double menuMs = bench::MsSince(menuStart);
        CMousePointer::GetInstance()->Render();
        engine->EndFrame();
        double frameMs = bench::MsSince(start);
        if (i < 20) continue;  // warm-up
        alone.push_back(menuMs);
        whole.push_back(frameMs);
    }
    bench::PrintMachineLoad();
    printf("bench_menu: Main menu open, 1024x768, %s device\n",
           d3d9hooks::ActiveBackend() == d3d9hooks::Backend::Null ? "null" : "GL");
    bench::Report("menu drawing alone", alone);
    bench::Report("whole frame", whole);
    // As the game's shutdown: the pages made the sound engine, whose device
    // would otherwise still be mixing the music while the process exits.
    bench::StopEngine();
    return 0;
}
