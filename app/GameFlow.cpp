#include "app/GameFlow.h"

#include "app/MenuManager.h"
#include "app/Startup.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "game/AnimatedObjectList.h"
#include "game/FigureGenerator.h"
#include "game/FloatingMessage.h"
#include "game/GameField.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/Hud.h"
#include "game/VarFrame.h"

bool g_bNameEntry = false;
int g_NameEntryPlace = 0;
char g_EnteredName[256] = {};
float g_NameBlinkStart = 0.0f;
int g_NameBlinkOn = 0;

void StartTopBandMessage(const char* text, float size, const D3DXCOLOR& textColor, float traceDensity, float fromX,
                         float holdX, float toX) {
    CFloatingMessage::Params p;
    p.font = g_TexturedFont;
    p.charWidth = p.charHeight = size;
    p.textColor = textColor;
    p.currentColor = D3DXCOLOR(0.0f, 0.7f, 1.0f, 1.0f);
    p.traceDensity = traceDensity;
    p.traceLife = 0.3f;
    p.text = text;
    p.k0 = D3DXCOLOR(1, 1, 1, 0);
    p.k1 = D3DXCOLOR(1, 1, 1, 1);
    p.k2 = D3DXCOLOR(1, 1, 1, 0);
    p.p0 = D3DXVECTOR2(fromX, 0.06f);
    p.p1 = D3DXVECTOR2(holdX, 0.06f);
    p.p2 = D3DXVECTOR2(toX, 0.06f);
    p.t0 = 1.0f;
    p.t1 = 3.0f;
    p.t2 = 1.0f;
    CFloatingMessage* message = new CFloatingMessage();
    message->Start(p);
    CAnimatedObjectList::GetInstance()->Add(message);
}

bool GameScriptsReady() {
    CGameField* field = CGameField::GetInstance();
    const std::string* unread = !field->FieldScriptRan()                          ? &g_FieldScriptPath
                                : !field->AnimScriptRan()                         ? &g_FieldAnimScriptPath
                                : !CFigureGenerator::GetInstance()->scriptRan ? &g_FigureScriptPath
                                                                                  : nullptr;
    if (!unread) return true;
    // Without it the field stays empty or no figure comes: the game would be over at once.
    g_Log.PrintBold("red", "Error, no game can start: the script %s could not be read", unread->c_str());
    const std::string text = "Couldn't read the game script " + *unread + ".\n See log.html for detail.";
    MessageBoxA(CGraphicsEngine::GetInstance()->GetWindow(), text.c_str(), "Error !", MB_OK | MB_ICONERROR);
    return false;
}

void StartGame() {
    CGameMode* mode = CGameMode::GetInstance();
    mode->gameState = CGameMode::kFieldAppearing;
    mode->mode = CGameMode::kNoGame;
    gameloop::ResetGameObjects();
    CGameField::GetInstance()->AppearStart();
}

void NewGameFromScript() {
    gameloop::NewGame(g_LuaState);
}

void ShowGameOver() {
    CGameMode* mode = CGameMode::GetInstance();
    mode->gameState = CGameMode::kFieldDisappearing;
    mode->mode = CGameMode::kNoGame;
    const D3DXCOLOR light(1.0f, 0.95f, 1.0f, 1.0f);
    StartTopBandMessage("Game", 0.09f, light, 400.0f, 0.0f, 0.37f, 1.0f);
    StartTopBandMessage("over", 0.09f, light, 400.0f, 1.0f, 0.51f, 0.0f);
    CSoundEngine::GetInstance()->PlaySoundScaled(g_GameOverSound, 1.0f, kGameSound);
    CGameField::GetInstance()->DisappearStart();
}
