#include "game/GameLoop.h"

#include <lua.hpp>

#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/FontManager.h"
#include "engine/GlyphRect.h"
#include "engine/GraphicsEngine.h"
#include "engine/Keyboard.h"
#include "engine/Log.h"
#include "engine/Mouse.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/Script.h"
#include "game/AnimatedObjectList.h"
#include "game/BlockPartManager.h"
#include "game/BounceBombList.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameOverHook.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
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

// The four script names of init.txt; a missing one stops the start.
bool ReadScriptPaths(lua_State* general) {
    struct Path {
        const char* global;
        std::string* out;
    };
    const Path paths[] = {{"figure_action_script", &g_FigureScriptPath},
                          {"field_script", &g_FieldScriptPath},
                          {"frame_script", &g_FrameScriptPath},
                          {"field_anim_script", &g_FieldAnimScriptPath}};
    for (const Path& p : paths) {
        lua_getglobal(general, p.global);
        const bool ok = lua_type(general, -1) == LUA_TSTRING;
        if (ok) *p.out = lua_tostring(general, -1);
        lua_pop(general, 1);
        if (!ok) {
            g_Log.PrintBold("red", "Error, init.txt doesn't set '%s'", p.global);
            return false;
        }
    }
    return true;
}

}  // namespace

bool ReadScripts(lua_State** general, const std::string& initPath) {
    *general = script::OpenState(script::Libraries::Bare, script::Budget::General);
    if (!*general) return false;
    script::RegisterGeneralInterface(*general);
    // A script that fails part-way may have set the paths already; they alone decide.
    script::RunFile(*general, initPath);
    return ReadScriptPaths(*general);
}

bool LoadTexturedFont() {
    if (!CFontManager::GetInstance()->AddFont(&g_TexturedFont, "font.png", 0, 0, false) || !g_TexturedFont)
        return false;
    AddFontGlyphs(g_TexturedFont);
    return true;
}

void CreateGameObjects() {
    CGameField::GetInstance();
    CVarFrame::GetInstance()->CallFrameInit();
    CFigureGenerator::GetInstance();
    Run(g_hooks.makePointer);
    CHud::GetInstance();
    CMouse::GetInstance()->SetSensitivity(0.005f);
}

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
