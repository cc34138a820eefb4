#include "app/WindowProc.h"

#include <dinput.h>

#include <cstdio>
#include <cstring>
#include <exception>

#include "app/GameFlow.h"
#include "app/InputScript.h"
#include "app/MenuManager.h"
#include "app/MenuPage.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Keyboard.h"
#include "engine/Log.h"
#include "engine/Mouse.h"
#include "game/FigureGenerator.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"

bool g_bAppActive = false;
bool g_bExitRequested = false;

namespace {

// The generator's sample for a launch with no bounce bombs left.
DWORD EmptySound() { return CFigureGenerator::GetInstance()->resources.emptySound; }

void OnActivate(bool active) {
    // A scripted run feeds its own input: another window taking the focus must not stop it.
    if (!active && InputScriptRunning()) return;
    g_bAppActive = active;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (engine->GetWindow()) {
        if (IDirectInputDevice8* keyboard = CKeyboard::GetInstance()->GetDevice()) keyboard->Acquire();
        if (IDirectInputDevice8* mouse = CMouse::GetInstance()->GetDevice()) mouse->Acquire();
    }
    CSoundEngine* sound = CSoundEngine::GetInstance();
    CMusicPlayer* music = sound->GetMusicPlayer();
    if (active) {
        engine->Resume();
        sound->Start();
        if (music) music->Resume();
    } else {
        engine->Pause();
        sound->Pause();
        if (music) music->Pause();
    }
}

void LaunchBounceBomb() {
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    if (generator->bounceBombFlag) return;
    if (g_BounceBombsLeft <= 0) {
        CSoundEngine::GetInstance()->PlaySoundScaled(EmptySound(), 0.7f, kGameSound);
        return;
    }
    generator->bounceBombFlag = true;
    --g_BounceBombsLeft;
    char text[64];
    snprintf(text, sizeof text, "<%i> bounce bombs remained", g_BounceBombsLeft);
    StartTopBandMessage(text, 0.04f, D3DXCOLOR(1.0f, 1.0f, 0.95f, 1.0f), 200.0f, 0.2f, 0.36f, 1.0f);
}

// True when the message is not to be passed on.
bool OnEnter() {
    CGameMode* mode = CGameMode::GetInstance();
    if (!g_bNameEntry && mode->mode == CGameMode::kGameRunning && mode->menuState == CGameMode::kMenuClosed) {
        CFigureGenerator* generator = CFigureGenerator::GetInstance();
        const bool pending = generator->bounceBombFlag;
        const bool none = g_BounceBombsLeft <= 0;
        LaunchBounceBomb();
        if (!pending && !none) return false;
        MenuInput(kMenuActivate);
        return false;
    }
    if (g_bNameEntry) {
        EndNameEntry();
        return false;
    }
    MenuInput(kMenuActivate);
    return false;
}

// False when the device could not be made again.
bool SwapFullScreen() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CGeneralParameters params;
    engine->GetGeneralParameters(&params);
    params.m_Windowed = !params.m_Windowed;
    if (!engine->SetGeneralParameters(&params))
    {
        MessageBoxA(nullptr, "Couldn't reinitialize graphics engine.\n See log.html for detail.", "Error !",
                    MB_OK | MB_ICONSTOP);
        return false;
    }
    return true;
}

// True when the message is not to be passed on.
bool OnKeyDown(WPARAM key) {
    CSoundEngine* sound = nullptr;
    switch (key) {
        case VK_OEM_COMMA:
            sound = CSoundEngine::GetInstance();
            if (sound->GetMusicPlayer()) sound->GetMusicPlayer()->PreviousSong();
            return false;
        case VK_OEM_PERIOD:
            sound = CSoundEngine::GetInstance();
            if (sound->GetMusicPlayer()) sound->GetMusicPlayer()->NextSong();
            return false;
        case VK_BACK:
            if (!g_bNameEntry) return false;
            if (size_t n = strlen(g_EnteredName)) g_EnteredName[n - 1] = '\0';
            return true;
        case VK_F1:
            return !SwapFullScreen();
        case VK_F12:
            g_bExitRequested = true;
            return false;
        case VK_UP:
            MenuInput(kMenuPrevious);
            return false;
        case VK_DOWN:
            MenuInput(kMenuNext);
            return false;
        case VK_LEFT:
            MenuInput(kMenuValueDown);
            return false;
        case VK_RIGHT:
            MenuInput(kMenuValueUp);
            return false;
        case VK_ESCAPE:
            if (CGameMode::GetInstance()->menuState == CGameMode::kMenuClosed)
                ShowMainMenu();
            else
                MenuInput(kMenuBack);
            return false;
        case VK_RETURN:
            return OnEnter();
        default:
            return false;
    }
}

void OnChar(WPARAM c) {
    if (!g_bNameEntry || c == 8) return;
    const size_t n = strlen(g_EnteredName);
    // A full name takes no more characters.
    if (n + 1 >= sizeof g_EnteredName) return;
    g_EnteredName[n] = char(c);
    g_EnteredName[n + 1] = '\0';
}

}  // namespace

void MenuInput(int code) { CMenuManager::GetInstance()->OnInput(code); }

LRESULT CALLBACK WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // No exception may cross into the window system.
    try {
        switch (message) {
            case WM_ACTIVATEAPP:
                OnActivate(wParam == 1 || wParam == 2);
                return 0;
            case WM_CLOSE:
                g_bExitRequested = true;
                return 0;
            case WM_CHAR:
                OnChar(wParam);
                break;
            case WM_KEYDOWN:
                if (OnKeyDown(wParam)) return 0;
                break;
            default:
                break;
        }
    } catch (const std::exception& e) {
        g_Log.PrintBold("red", "Error: window message 0x%x failed: %s", message, e.what());
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
