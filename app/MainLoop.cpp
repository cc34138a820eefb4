#include "app/MainLoop.h"

#include <win32.h>

#include <cstdio>
#include <exception>

#include "app/GameFlow.h"
#include "app/MenuManager.h"
#include "app/MousePointer.h"
#include "app/Shutdown.h"
#include "app/WindowProc.h"
#include "audio/SoundEngine.h"
#include "engine/ColorScheme.h"
#include "engine/Font.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/ParticleSystemsManager.h"
#include "game/AnimatedObjectList.h"
#include "game/FigureGenerator.h"
#include "game/FloatingMessage.h"
#include "game/GameField.h"
#include "game/GameLoop.h"
#include "game/GameSettings.h"
#include "game/Hud.h"
#include "game/VarFrame.h"
#include "app/ThemeManager.h"

float g_FpsLastTime = 0.0f;
int g_FpsFrameCount = 0;
int g_Fps = 0;

namespace {
IdlePassHook g_idlePassHook = nullptr;
IdlePassHook g_framePresentedHook = nullptr;
}  // namespace

void SetIdlePassHook(IdlePassHook hook) { g_idlePassHook = hook; }
void SetFramePresentedHook(IdlePassHook hook) { g_framePresentedHook = hook; }
void NotifyFramePresented() {
    if (g_framePresentedHook) g_framePresentedHook();
}

void RunMessageLoop() {
    MSG msg;
    memset(&msg, 0, sizeof msg);
    PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
    msg.message = 0;
    while (msg.message != WM_QUIT) {
        const BOOL got =
            g_bAppActive ? PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) : GetMessageA(&msg, nullptr, 0, 0);
        if (got) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            // Quitting does not wait for the focus: a close request or quit
            // signal ends an inactive game here, through the same shutdown.
            if (g_bExitRequested && !g_bAppActive) {
                ShutdownApplication();
                return;
            }
            continue;
        }
        if (!g_bAppActive) continue;
        ReportFailedSaves(true);
        if (g_idlePassHook) g_idlePassHook();
        if (g_bExitRequested) {
            ShutdownApplication();
            return;
        }
        CGraphicsEngine::GetInstance()->Tick();
        RenderFrame();
    }
}

namespace {

void MakePointer() { CMousePointer::GetInstance(); }
void UpdatePointer() { CMousePointer::GetInstance()->Update(); }
void UpdateMenus() { CMenuManager::GetInstance()->Update(); }
void DeletePointer() { delete CMousePointer::GetInstancePtr(); }

}  // namespace

void InstallShellHooks() {
    gameloop::ShellHooks hooks;
    hooks.makePointer = MakePointer;
    hooks.updatePointer = UpdatePointer;
    hooks.updateMenus = UpdateMenus;
    hooks.fieldAppeared = NewGameFromScript;
    hooks.fieldDisappeared = OnGameOverFinished;
    hooks.gameOver = ShowGameOver;
    hooks.deleteThemeManager = DeleteThemeManager;
    hooks.deletePointer = DeletePointer;
    gameloop::SetShellHooks(hooks);
}

void UpdateFrame() {
    if (g_bExitRequested) return;
    // No exception may cross the engine's tick: log it and go on with the next step.
    try {
        gameloop::UpdateStep();
    } catch (const std::exception& e) {
        g_Log.PrintBold("red", "Error: update step failed: %s", e.what());
    } catch (...) {
        g_Log.PrintBold("red", "Error: update step failed");
    }
}

void CountFrameRate(float now) {
    if (now - g_FpsLastTime > 1.0f) {
        g_FpsLastTime = now;
        g_Fps = g_FpsFrameCount;
        g_FpsFrameCount = 0;
    } else {
        ++g_FpsFrameCount;
    }
}

const char* NameEntryText(float engineTime) {
    static char text[300];
    const float t = engineTime * 2.0f;
    const float p = (t - g_NameBlinkStart) / 0.3f;
    if (g_NameBlinkOn == 0) {
        if (p >= 1.0f) {
            g_NameBlinkStart = t;
            g_NameBlinkOn = 1;
        }
        snprintf(text, sizeof text, "%s_", g_EnteredName);
    } else {
        if (p >= 1.0f) {
            g_NameBlinkStart = t;
            g_NameBlinkOn = 0;
        }
        snprintf(text, sizeof text, "%s", g_EnteredName);
    }
    return text;
}

namespace {


void DrawFrame(CGraphicsEngine* engine) {
    // Nothing paints a background without a theme: clear, or the screen smears.
    if (!engine->BeginFrame(false)) return;
    if (!DrawThemeBackground()) engine->GetDevice()->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    const float now = engine->GetTime();
    CountFrameRate(now);
    if (g_TexturedFont) {
        char fps[16];
        snprintf(fps, sizeof fps, "%i", g_Fps);
        g_TexturedFont->DrawText(0.96f, 0.0f, 0.025f, 0.025f, D3DCOLOR(g_CurrentScheme.fps_color), fps, 0, 0.0f);
    }
    CVarFrame::GetInstance()->Render();
    CFigureGenerator::GetInstance()->Render();
    CGameField::GetInstance()->Render();
    CParticleSystemsManager::GetInstance()->Render();
    CHud::GetInstance()->DrawPanel();
    CMenuManager::GetInstance()->Render();
    if (g_bNameEntry) {
        const char* text = NameEntryText(now);
        DrawEnteredName(text);
    }
    CAnimatedObjectList::GetInstance()->DrawAll();
    CMousePointer::GetInstance()->Render();
    engine->EndFrame();
    NotifyFramePresented();
}

}  // namespace

void RenderFrame() {
    if (g_bExitRequested) return;
    try {
        DrawFrame(CGraphicsEngine::GetInstance());
    } catch (const std::exception& e) {
        g_Log.PrintBold("red", "Error: frame drawing failed: %s", e.what());
    }
}
