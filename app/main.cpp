// Entry point of the game. The shell is still being assembled; for now the
// program opens the engine window from config.ini and runs the frame loop
// until the window is closed, F12 is pressed or --frames N frames are drawn.
// --key and --capture script a run for tests (see --help).
#include "app/ThemeManager.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Ini.h"
#include "engine/Log.h"
#include "launcher/Preloader.h"

#include <crt.h>
#include <platform.h>
#include <testaid.h>
#include <win32.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: kolvar [options]\n"
    "Runs the game from the current folder (config.ini, data/). A display is needed.\n"
    "\n"
    "Options:\n"
    "  --frames N            stop after N frames\n"
    "  --key FRAME:CODE      test aid: press the key with DirectInput scan code CODE\n"
    "                        at frame FRAME and release it one frame later (input then\n"
    "                        comes only from such keys)\n"
    "  --capture FRAME:FILE  test aid: write the picture of frame FRAME as a PNG file\n"
    "  --help                show this text\n";

struct ScriptedKey {
    long frame;
    int code;
};
struct Capture {
    long frame;
    std::string file;
};

bool ParseCount(const char* text, long& out) {
    char* end = nullptr;
    errno = 0;
    long n = strtol(text, &end, 10);
    if (!text[0] || !end || *end != '\0' || errno != 0 || n < 0) return false;
    out = n;
    return true;
}

// "FRAME:REST" -> frame and the text after the colon.
bool SplitFrame(const char* text, long& frame, std::string& rest) {
    const char* colon = strchr(text, ':');
    if (!colon || !colon[1]) return false;
    return ParseCount(std::string(text, colon).c_str(), frame) && (rest = colon + 1, true);
}

// Test aids run between frames: keys pressed and released, pictures written.
void RunTestAids(long frame, const std::vector<ScriptedKey>& keys, const std::vector<Capture>& captures,
                 IDirect3DDevice9* device) {
    for (const ScriptedKey& k : keys) {
        if (k.frame == frame) platform::testaid::PressKey(k.code, true);
        if (k.frame + 1 == frame) platform::testaid::PressKey(k.code, false);
    }
    for (const Capture& c : captures)
        if (c.frame + 1 == frame && !platform::testaid::CaptureBackBuffer(device, c.file.c_str()))
            fprintf(stderr, "kolvar: could not capture frame %ld into %s\n", c.frame, c.file.c_str());
}

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
    std::vector<ScriptedKey> keys;
    std::vector<Capture> captures;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long frame = 0;
        std::string rest;
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            fputs(kUsage, stdout);
            return 0;
        } else if (strcmp(arg, "--frames") == 0 && value && ParseCount(value, frameLimit)) {
            ++i;
        } else if (strcmp(arg, "--key") == 0 && value && SplitFrame(value, frame, rest)) {
            long code = 0;
            if (!ParseCount(rest.c_str(), code) || code > 255) {
                fprintf(stderr, "kolvar: bad key code in '%s' (try --help)\n", value);
                return 2;
            }
            keys.push_back({frame, static_cast<int>(code)});
            ++i;
        } else if (strcmp(arg, "--capture") == 0 && value && SplitFrame(value, frame, rest)) {
            captures.push_back({frame, rest});
            ++i;
        } else {
            fprintf(stderr, "kolvar: unknown option or bad value '%s' (try --help)\n", arg);
            return 2;
        }
    }

    // Without a display SDL would run the game invisibly; say so and stop.
    if (!platform::HasDisplay()) {
        fprintf(stderr, "kolvar: no display found; the game needs a graphical session to run.\n");
        g_Log.PrintBold("red", "Error: no display available.");
        return 1;
    }
    if (!keys.empty()) platform::testaid::UseInjectedInput();

    if (!RunPreloader(nullptr)) return 0;

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
        RunTestAids(frames, keys, captures, engine->GetDevice());
        engine->Tick();
        RenderFrame();
        ++frames;
    }
    RunTestAids(frames, keys, captures, engine->GetDevice());
    printf("%s: %ld frames in %.2f s of engine time\n", title.c_str(), frames, engine->GetTime());
    DeleteThemeManager();
    delete sound;
    delete engine;
    return 0;
}
