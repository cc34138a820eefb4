// Entry point of the game. The shell is still being assembled; for now the
// program opens the engine window from config.ini and runs the frame loop
// until the window is closed, F12 is pressed or --frames N frames are drawn.
#include "app/ThemeManager.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Ini.h"
#include "engine/Log.h"

#include <crt.h>
#include <win32.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool g_bAppActive = false;
bool g_bExitRequested = false;

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATEAPP:
            g_bAppActive = wParam == 1 || wParam == 2;
            if (g_bAppActive)
                CGraphicsEngine::GetInstance()->Resume();
            else
                CGraphicsEngine::GetInstance()->Pause();
            return 0;
        case WM_CLOSE:
            g_bExitRequested = true;
            return 0;
        case WM_KEYDOWN:
            if (wParam == VK_F12) g_bExitRequested = true;
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void UpdateFrame() {
    if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) sound->Update();
}

// Until the scene is drawn, a slowly changing backdrop shows the loop is alive.
void RenderFrame() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (!engine->BeginFrame(true)) return;
    if (DrawThemeBackground()) {
        engine->EndFrame();
        return;
    }
    float t = engine->GetTime();
    int g = static_cast<int>(64.0f + 48.0f * std::sin(t * 1.3f));
    int b = static_cast<int>(96.0f + 64.0f * std::sin(t * 0.7f + 1.0f));
    engine->GetDevice()->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(16, g, b), 1.0f, 0);
    engine->EndFrame();
}

}  // namespace

int main(int argc, char** argv) {
    crt_use_c_locale();
    long frameLimit = -1;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            char* end = nullptr;
            long n = strtol(argv[++i], &end, 10);
            if (end && *end == '\0' && n >= 0) frameLimit = n;
        }
    }

    static std::string title = ReadIniString("config.ini", "preloader", "title");
    if (title.empty()) title = "Kolvar";
    CGeneralParameters params;
    params.m_Caption = title.c_str();
    params.m_IconId = 113;
    params.m_WndProc = WndProc;
    params.m_Instance = nullptr;
    params.m_Reserved = false;
    params.m_Windowed = ReadIniInt("config.ini", "graphics", "fullscreen") == 0;
    params.m_Width = ReadIniInt("config.ini", "graphics", "screen_w");
    params.m_Height = ReadIniInt("config.ini", "graphics", "screen_h");
    if (params.m_Width <= 0 || params.m_Height <= 0) {
        params.m_Width = 1024;
        params.m_Height = 768;
    }
    params.m_FixedStep = 0.025f;
    params.m_UpdateCallback = UpdateFrame;
    params.m_Bits = ReadIniInt("config.ini", "graphics", "bits");

    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (!engine->SetGeneralParameters(&params)) {
        MessageBoxA(nullptr, "Couldn't initialize graphics engine.\n See log.html for detail.", "Error !",
                    MB_OK | MB_ICONSTOP);
        return 0;
    }
    for (int i = 0; i < 2; ++i) {
        if (engine->BeginFrame(true)) engine->EndFrame();
    }

    // The theme and its music, as start-up will load them.
    CSoundEngine* sound = CSoundEngine::GetInstance();
    sound->Start();
    sound->SetAudioPath("data\\audio");
    g_bUserPlaylist = ReadIniInt("playlist.ini", "playlist", "num") != 0;
    StartThemes();
    LoadStartTheme();

    long frames = 0;
    MSG msg;
    memset(&msg, 0, sizeof msg);
    while (msg.message != WM_QUIT) {
        BOOL got = g_bAppActive ? PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE) : GetMessageA(&msg, nullptr, 0, 0);
        if (got) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
            continue;
        }
        if (!g_bAppActive) continue;
        if (g_bExitRequested || (frameLimit >= 0 && frames >= frameLimit)) break;
        engine->Tick();
        RenderFrame();
        ++frames;
    }
    printf("%s: %ld frames in %.2f s of engine time\n", title.c_str(), frames, engine->GetTime());
    DeleteThemeManager();
    delete sound;
    delete engine;
    return 0;
}
