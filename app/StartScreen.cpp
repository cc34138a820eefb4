#include "app/StartScreen.h"

#include <cstdio>

#include "app/GameFlow.h"
#include "app/MenuManager.h"
#include "engine/Font.h"
#include "engine/Ini.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "game/Hud.h"

namespace {

const char* const kGameTypes[] = {"simple kolvar", "color kolvar"};
const char* const kDifficulties[] = {"easy", "medium", "hard", "mega-hard"};

int Cycle(int value, int step, int count) { return ((value + step) % count + count) % count; }

}  // namespace

bool StartScreenActive() {
    CMenuManager* menus = CMenuManager::GetInstancePtr();
    return menus && menus->GetPages().empty() && CGameMode::GetInstance()->menuState != CGameMode::kMenuClosed;
}

void RenderStartScreen() {
    if (!StartScreenActive() || !g_TexturedFont) return;
    const D3DCOLOR white = 0xFFFFFFFF;
    g_TexturedFont->DrawText(0.5f, 0.35f, 0.05f, 0.05f, white, kGameTypes[Cycle(g_GameType, 0, 2)], CFont::kCentered,
                             0.0f);
    g_TexturedFont->DrawText(0.5f, 0.45f, 0.04f, 0.04f, white, kDifficulties[Cycle(g_Difficulty, 0, 4)],
                             CFont::kCentered, 0.0f);
    g_TexturedFont->DrawText(0.5f, 0.6f, 0.025f, 0.025f, white, "Enter: new game   Esc: return to game   F12: exit",
                             CFont::kCentered, 0.0f);
    char score[32];
    const CHud* hud = CHud::GetInstancePtr();
    snprintf(score, sizeof score, "%i", hud ? int(hud->score) : 0);
    g_TexturedFont->DrawText(0.5f, 0.7f, 0.03f, 0.03f, white, score, CFont::kCentered, 0.0f);
}

void StartScreenOnInput(int code) {
    CGameMode* mode = CGameMode::GetInstance();
    switch (code) {
        case 0:
        case 1:
            g_GameType = Cycle(g_GameType, code == 0 ? -1 : 1, 2);
            break;
        case 2:
        case 3:
            g_Difficulty = Cycle(g_Difficulty, code == 2 ? -1 : 1, 4);
            break;
        case 4:
            WriteIniInt("config.ini", "game", "game_type", g_GameType);
            WriteIniInt("config.ini", "game", "difficulty", g_Difficulty);
            WriteIniInt("config.ini", "game", "fall_type", g_FallType);
            CMenuManager::GetInstance()->Hide();
            StartGame();
            break;
        case 5:
            if (mode->mode == CGameMode::kGameRunning) CMenuManager::GetInstance()->Hide();
            break;
        default:
            break;
    }
}
