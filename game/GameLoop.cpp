#include "game/GameLoop.h"

#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Keyboard.h"
#include "engine/Mouse.h"
#include "engine/ParticleSystemsManager.h"
#include "game/AnimatedObjectList.h"
#include "game/BlockPartManager.h"
#include "game/BounceBombList.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameOverHook.h"
#include "game/GameRules.h"
#include "game/Hud.h"
#include "game/VarFrame.h"

namespace gameloop {

namespace {

ShellHooks g_hooks;

void Run(Hook hook) {
    if (hook) hook();
}

// The field holds the animation script; a failing hook is logged there and answers 0.
void DriveFieldAnimation() {
    CGameMode* mode = CGameMode::GetInstance();
    if (mode->gameState == CGameMode::kFieldAppearing && CGameField::GetInstance()->AppearUpdate() == 0) {
        mode->gameState = CGameMode::kPlaying;
        Run(g_hooks.fieldAppeared);
    }
    if (mode->gameState == CGameMode::kFieldDisappearing && CGameField::GetInstance()->DisappearUpdate() == 0) {
        mode->gameState = CGameMode::kIdle;
        Run(g_hooks.fieldDisappeared);
    }
}

}  // namespace

void SetShellHooks(const ShellHooks& hooks) {
    g_hooks = hooks;
    SetGameOverHook(hooks.gameOver);
}

void UpdateStep() {
    CMouse::GetInstance()->Update();
    CKeyboard::GetInstance()->Update();
    Run(g_hooks.updatePointer);
    CAnimatedObjectList::GetInstance()->UpdateAll();
    CSoundEngine::GetInstance()->Update();
    CHud::GetInstance()->Process();
    CFigureGenerator::GetInstance()->Process();
    CGameField::GetInstance()->Update();
    CVarFrame::GetInstance()->UpdateTransforms();
    Run(g_hooks.updateMenus);
    CParticleSystemsManager::GetInstance()->Update();
    DriveFieldAnimation();
}

void ResetGameObjects() {
    CGameField* field = CGameField::GetInstance();
    field->InitFromScript();
    field->Update();
    CVarFrame* frame = CVarFrame::GetInstance();
    frame->NewGame();
    frame->UpdateTransforms();
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    generator->ClearFigures();
    generator->Process();
    CHud* hud = CHud::GetInstance();
    hud->Reset();
    hud->Process();
}

bool NewGame(lua_State* general) {
    CGameMode::GetInstance()->mode = CGameMode::kGameRunning;
    const bool read = ReadGameRules(general);
    ResetGameObjects();
    return read;
}

void DeleteGamePlay() {
    delete CAnimatedObjectList::GetInstancePtr();
    Run(g_hooks.deleteThemeManager);
    Run(g_hooks.deletePointer);
    delete CVarFrame::GetInstancePtr();
    delete CGameField::GetInstancePtr();
    delete CFigureGenerator::GetInstancePtr();
    delete CGameMode::GetInstancePtr();
    delete CHud::GetInstancePtr();
    // The field and the generator take these with them; one made on its own goes here.
    delete CBlockPartManager::GetInstancePtr();
    delete CBounceBombList::GetInstancePtr();
}

void Teardown(bool userPlaylist) {
    DeleteGamePlay();
    CSoundEngine* sound = CSoundEngine::GetInstancePtr();
    if (userPlaylist && sound && sound->GetMusicPlayer()) {
        CMusicPlayer* player = sound->GetMusicPlayer();
        player->Stop();
        delete player;
        sound->SetMusicPlayer(nullptr);
    }
    delete sound;
    // The engine destroys its window after the device.
    delete CGraphicsEngine::GetInstancePtr();
}

}  // namespace gameloop
