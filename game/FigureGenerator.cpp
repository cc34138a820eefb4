#include "game/FigureGenerator.h"

#include <utility>

#include <cmath>
#include <stdexcept>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Keyboard.h"
#include "engine/Log.h"
#include "engine/MeshManager.h"
#include "engine/Script.h"
#include "engine/ShaderManager.h"
#include "engine/TextureManager.h"
#include "game/BaseFigure.h"
#include "game/BlockFigure.h"
#include "game/ColorFigure.h"
#include "game/GameActions.h"
#include "game/SpecialBlockFigure.h"
#include "game/BombFigure.h"
#include "game/BounceBombFigure.h"
#include "game/SawFigure.h"
#include "game/BounceBombList.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameOverHook.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/Hud.h"

namespace {

CBaseFigure* Current() {
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    return g ? g->current : nullptr;
}

void ExtBuild() {
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    CBaseFigure* figure = Current();
    if (!figure) return;
    float x = figure->x, y = figure->y;
    // A position that is not a number fails the calling hook: reporting the
    // landing anyway would score the figure and drop its blocks.
    if (!script::ReadGlobalNumber(g->state, "ext_x", x) || !script::ReadGlobalNumber(g->state, "ext_y", y))
        throw std::runtime_error("ext_Build: the position is not a number");
    figure->x = x;
    figure->y = y;
    figure->Build();
}

bool ExtCanBe(int x, int y, int type, int phase) {
    CBaseFigure* figure = Current();
    return figure && figure->CanBe(x, y, type, phase);
}
int ExtGetNextPhase() { return Current() ? Current()->GetNextPhase() : 0; }
void ExtSetNextPhase() {
    if (Current()) Current()->SetNextPhase();
}
int ExtGetCurrentPhase() { return Current() ? Current()->GetCurrentPhase() : 0; }
int ExtGetCurrentType() { return Current() ? Current()->GetCurrentType() : 0; }
int ExtGetCurrentLevel() { return CHud::HasInstance() ? CHud::GetInstancePtr()->level : 0; }
int ExtGetFieldW() { return CGameField::HasInstance() ? CGameField::GetInstancePtr()->m_width : 0; }
int ExtGetFieldH() { return CGameField::HasInstance() ? CGameField::GetInstancePtr()->m_height : 0; }
int ExtGetGameType() { return g_GameType; }
int ExtGetFallType() { return g_FallType; }
float ExtGetCurrentTime() { return EngineTime(); }

bool ActionDown(GameAction action) {
    CKeyboard* keyboard = CKeyboard::GetInstancePtr();
    return keyboard && keyboard->IsActionDown(action);
}

bool IsFigureKind(int kind) {
    return kind == CBaseFigure::kBlock || kind == CBaseFigure::kColor || kind == CBaseFigure::kSpecial;
}

// The object each request asks for, and the ordinary figure of each game type.
CBaseFigure* MakeBomb() { return new CBombFigure(); }
CBaseFigure* MakeSaw() { return new CSawFigure(); }
CBaseFigure* MakeBounceBomb() { return new CBounceBombFigure(); }
CBaseFigure* MakeSpecialFigure(GameType gameType) {
    if (gameType == kLineGame) return new CSpecialBlockFigure();
    return new CColorFigure(true);
}
CBaseFigure* MakeColorFigure() { return new CColorFigure(false); }

}  // namespace

double FigureScriptToInt(double v) {
    if (!std::isfinite(v)) return 0.0;
    return v >= 0.0 ? std::trunc(v) : std::trunc(v - 1.0);
}

CFigureGenerator* CFigureGenerator::GetInstance() { return CSingleton<CFigureGenerator>::GetInstance(); }

CFigureGenerator::CFigureGenerator() {
    state = script::OpenState(script::Libraries::Bare, script::Budget::Figure);
    specialFigureFlag = bombFlag = sawFlag = bounceBombFlag = false;

    FigureResources& r = resources;
    CTextureManager* textures = CTextureManager::GetInstance();
    textures->GetTexture(&r.bombTexture, "bomb.jpg", false, false, 10.0f);
    textures->GetTexture(&r.particleTexture, "particle2.png", false, false, 10.0f);

    CSoundEngine* soundEngine = CSoundEngine::GetInstance();
    const std::pair<DWORD*, const char*> samples[] = {
        {&r.bounceSounds[0], "bounce1.ogg"}, {&r.bounceSounds[1], "bounce2.ogg"},
        {&r.bounceSounds[2], "bounce3.ogg"}, {&r.knockSound, "bounce4.wav"},
        {&r.bombExplodeSound, "bombexplode.wav"}, {&r.bombWaitSound, "bombwait.wav"},
        {&r.emptySound, "empty.wav"}};
    for (const auto& [sample, name] : samples) *sample = soundEngine->LoadSound(name);

    // The file only defines hooks: the functions are not registered yet.
    scriptRan = state && script::RunFile(state, g_FigureScriptPath);

    if (state) {
        using luabind::def;
        luabind::module(state)[def("ext_Build", &ExtBuild), def("ext_CanBe", &ExtCanBe),
                               def("ext_GetNextPhase", &ExtGetNextPhase),
                               def("ext_SetNextPhase", &ExtSetNextPhase),
                               def("ext_GetCurrentPhase", &ExtGetCurrentPhase),
                               def("ext_GetCurrentType", &ExtGetCurrentType), def("ext_ToInt", &FigureScriptToInt),
                               def("ext_GetCurrentLevel", &ExtGetCurrentLevel),
                               def("ext_GetFieldW", &ExtGetFieldW), def("ext_GetFieldH", &ExtGetFieldH),
                               def("ext_GetGameType", &ExtGetGameType), def("ext_GetFallType", &ExtGetFallType),
                               def("ext_GetCurrentTime", &ExtGetCurrentTime)];
    }

    CMeshManager* meshManager = CMeshManager::GetInstance();
    for (const auto& [mesh, name] : {std::make_pair(&r.sawMesh, "saw.x"),
                                     std::make_pair(&r.sawPartMeshes[0], "saw_part_1.x"),
                                     std::make_pair(&r.sawPartMeshes[1], "saw_part_2.x"),
                                     std::make_pair(&r.sawPartMeshes[2], "saw_part_3.x"),
                                     std::make_pair(&r.bounceBombMesh, "res_p1.x"),
                                     std::make_pair(&r.bounceBombGlowMesh, "res_p2.x")})
        meshManager->LoadMesh(mesh, name, 0);

    CShaderManager* shaders = CShaderManager::GetInstance();
    const int vsMajor = shaders->GetVertexShaderMajor(), vsMinor = shaders->GetVertexShaderMinor();
    const int psMajor = shaders->GetPixelShaderMajor(), psMinor = shaders->GetPixelShaderMinor();
    int bombMeshDeclaration = 1;
    if (vsMajor >= 2 && psMajor >= 2) {
        r.bombVertexShader = shaders->LoadVertexShader("bomb.cg", "vs_2_0");
        r.bombPixelShader = shaders->LoadPixelShader("bomb.cg", "ps_2_0");
        r.bombDeclaration = shaders->LoadVertexDeclaration(CMeshManager::GetDeclarationElements(1));
    } else if (vsMajor >= 1 && psMajor >= 1 && vsMinor >= 1 && psMinor >= 1) {
        r.bombVertexShader = shaders->LoadVertexShader("bomb.cg", "vs_1_1");
        r.bombPixelShader = shaders->LoadPixelShader("bomb.cg", "ps_1_1");
        r.bombDeclaration = shaders->LoadVertexDeclaration(CMeshManager::GetDeclarationElements(1));
    } else {
        r.bombVertexShader = shaders->LoadVertexShader("specular.cg", "vs_1_1");
        r.bombDeclaration = shaders->LoadVertexDeclaration(CMeshManager::GetDeclarationElements(0));
        bombMeshDeclaration = 0;
    }
    for (const auto& [mesh, name] : {std::make_pair(&r.bombMesh, "bomb.x"), std::make_pair(&r.fuseMesh, "fitil.x"),
                                     std::make_pair(&r.sphereMesh, "sphere.x")})
        meshManager->LoadMesh(mesh, name, bombMeshDeclaration);
    for (const auto& [shader, declaration] : {std::make_pair(&r.bounceBombShader, &r.bounceBombDeclaration),
                                              std::make_pair(&r.sawShader, &r.sawDeclaration)}) {
        *shader = shaders->LoadVertexShader("specular.cg", "vs_1_1");
        *declaration = shaders->LoadVertexDeclaration(CMeshManager::GetDeclarationElements(0));
    }

    spark.Load("spark\\ff", "bmp", 1, 0, 9, 1);

    suppressStart = 0.0f;
    dropSuppressed = suppressTimerStarted = false;
    next = current = nullptr;

    landingSound = soundEngine->LoadSound("boxhit.wav");

    CBounceBombList::GetInstance()->knockSound = r.knockSound;

    if (state) {
        figureActionHook = script::GetGlobal(state, "game_FigureAction");
        setupValuesHook = script::GetGlobal(state, "game_SetupValues");
        figureInitHook = script::GetGlobal(state, "game_FigureInit");
        // A file that did not run is already reported; report missing hooks of one that did.
        if (scriptRan)
            for (const auto& [hook, name] : {std::make_pair(&figureActionHook, "game_FigureAction"),
                                             std::make_pair(&setupValuesHook, "game_SetupValues"),
                                             std::make_pair(&figureInitHook, "game_FigureInit")})
                if (!script::IsFunction(*hook))
                    g_Log.PrintBold("red", "Script error: %s has no function %s", g_FigureScriptPath.c_str(), name);
    }
}

CFigureGenerator::~CFigureGenerator() {
    figureActionHook = luabind::object();
    setupValuesHook = luabind::object();
    figureInitHook = luabind::object();
    script::CloseState(state);
    DeleteObjects();
    delete CBounceBombList::GetInstancePtr();
    spark.Release();
}

void CFigureGenerator::DeleteObjects() {
    if (next == current) current = nullptr;
    delete current;
    delete next;
    current = next = nullptr;
}

void CFigureGenerator::SetGlobal(const char* name, double value) {
    if (!state) return;
    lua_pushnumber(state, value);
    lua_setglobal(state, name);
}

void CFigureGenerator::EndGame() {
    DeleteObjects();
    ShowGameOverThroughHook();
}

void CFigureGenerator::UpdateKeyRepeat() {
    if (!current) return;
    const bool held = ActionDown(kActionDrop) || (g_GameType == kLineGame && ActionDown(kActionDown));
    dropHeld = held;
    if (!held) {
        dropSuppressed = false;
        return;
    }
    if (!dropSuppressed) return;
    const float now = CGraphicsEngine::GetInstance()->GetTime();
    if (!suppressTimerStarted) {
        suppressStart = now;
        suppressTimerStarted = true;
    } else if (now - suppressStart >= 0.3f) {
        dropSuppressed = false;
    }
}

bool CFigureGenerator::StepFigure() {
    CGameField* field = CGameField::GetInstance();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CBaseFigure* figure = current;

    script::CallVoid(state, setupValuesHook, "game_SetupValues", nullptr, figure->x, figure->y, figure->rotate);

    const float w = field->m_width > 0 ? float(field->m_width) : 1.0f;
    field->SetRotation((figure->x / w - 0.5f) * 2.0f, ActionDown(kActionDown) || ActionDown(kActionDrop));

    bool p[kActionDrop + 1];
    for (GameAction a : {kActionLeft, kActionRight, kActionRotate, kActionDown, kActionDrop}) p[a] = ActionDown(a);
    if (dropSuppressed) {
        p[kActionDrop] = false;
        if (g_GameType == kLineGame) p[kActionDown] = false;
    }
    if (figure->kind == CBaseFigure::kColor) static_cast<CColorFigure*>(figure)->Animate(p[kActionRotate], false);

    double result = 0.0;
    const bool called = script::Protect(state, "game_FigureAction", [&] {
        if (!script::IsFunction(figureActionHook)) script::detail::ThrowMissing();
        result = luabind::call_function<double>(figureActionHook, int(p[kActionLeft]), int(p[kActionRight]),
                                                int(p[kActionRotate]), int(p[kActionDown]), int(p[kActionDrop]),
                                                engine->GetCurrentStep(), engine->GetTime());
    });
    // A figure the script cannot move leaves the player nothing to do.
    if (!called) {
        EndGame();
        return false;
    }
    if (static_cast<long long>(result) == 0) {
        CHud::GetInstance()->AddScore(g_GameRules.figureHitScore);
        delete current;
        current = nullptr;
        if (dropHeld) {
            dropSuppressed = true;
            suppressTimerStarted = false;
        }
        field->CheckClears();
        return false;
    }
    script::ReadGlobalNumber(state, "ext_x", figure->x);
    script::ReadGlobalNumber(state, "ext_y", figure->y);
    script::ReadGlobalNumber(state, "ext_rotate", figure->rotate);
    figure->Update();
    return true;
}

void CFigureGenerator::Process() {
    CGameMode* mode = CGameMode::GetInstance();
    if (mode->menuState != CGameMode::kMenuClosed || mode->mode != CGameMode::kGameRunning) return;
    CGameField* field = CGameField::GetInstance();
    if (field->m_flipRunning) return;

    UpdateKeyRepeat();
    CBounceBombList::GetInstance()->Update();

    if (current && IsFigureKind(current->kind)) {
        if (!StepFigure()) return;
    }
    if (current && (current->kind == CBaseFigure::kBomb || current->kind == CBaseFigure::kBounceBomb)) {
        if (!current->ProcessKeys(ActionDown(kActionLeft), ActionDown(kActionRight), ActionDown(kActionRotate),
                                 ActionDown(kActionDown), ActionDown(kActionDrop))) {
            delete current;
            current = nullptr;
            if (dropHeld) {
                dropSuppressed = true;
                suppressTimerStarted = false;
            }
            field->CheckClears();
            return;
        }
    }
    if (current) {
        Upkeep();
        return;
    }

    bool pending = false;
    if (g_GameType == kLineGame)
        pending = field->HasMarkedBlocks();
    else if (g_GameType == kColorGame)
        pending = field->ClearColorRuns();
    if (pending) {
        Upkeep();
        return;
    }

    if (field->m_flipPending) {
        field->StartFlip();
        return;
    }

    field->m_fallSpeed = 5.0f;
    chainCount = 0;

    if (!next) {
        Upkeep();
        return;
    }
    Promote();
}

void CFigureGenerator::Promote() {
    current = next;
    if (IsFigureKind(current->kind)) {
        current->Start();
        SetGlobal("ext_x", current->x);
        SetGlobal("ext_y", current->y);
        SetGlobal("ext_rotate", current->rotate);
        SetGlobal("ext_StartSpeed", g_GameRules.startSpeed);
        SetGlobal("ext_DeltaLevelSpeed", g_GameRules.deltaLevelSpeed);
        SetGlobal("ext_LevelScore", g_GameRules.levelScore);
        double result = 0.0;
        const bool called = script::Protect(state, "game_FigureInit", [&] {
            if (!script::IsFunction(figureInitHook)) script::detail::ThrowMissing();
            result = luabind::call_function<double>(figureInitHook);
        });
        if (!called || static_cast<long long>(result) == 0) {
            // current and next are the same object here.
            next = nullptr;
            EndGame();
            return;
        }
        script::ReadGlobalNumber(state, "moving_rotate_color_speed", colorAnimSpeed);
    } else {
        current->Start();
    }
    current->Update();
    next = nullptr;
    Upkeep();
}

CBaseFigure* CFigureGenerator::CreateObject() {
    CBaseFigure* object = nullptr;
    if (bombFlag) {
        bombFlag = false;
        object = MakeBomb();
    } else if (sawFlag) {
        sawFlag = false;
        object = MakeSaw();
    } else if (bounceBombFlag) {
        bounceBombFlag = false;
        object = MakeBounceBomb();
    } else if (specialFigureFlag && (g_GameType == kLineGame || g_GameType == kColorGame)) {
        specialFigureFlag = false;
        object = g_GameType == kLineGame ? MakeSpecialFigure(kLineGame) : MakeSpecialFigure(kColorGame);
    } else if (g_GameType == kLineGame) {
        object = new CBlockFigure();
    } else if (g_GameType == kColorGame) {
        object = MakeColorFigure();
    }
    if (object) object->Init();
    return object;
}

void CFigureGenerator::Upkeep() {
    if (bombFlag || sawFlag || bounceBombFlag || specialFigureFlag) {
        delete next;
        next = nullptr;
    }
    if (next) {
        next->Update();
        return;
    }
    next = CreateObject();
    if (next) next->Update();
}

void CFigureGenerator::ClearFigures() {
    DeleteObjects();
    specialFigureFlag = bombFlag = sawFlag = bounceBombFlag = false;
    Process();
}

void CFigureGenerator::Render() {
    if (CGameMode::GetInstance()->menuState != CGameMode::kMenuClosed) return;
    if (CBounceBombList* list = CBounceBombList::GetInstancePtr()) list->Render();
    if (current) current->Render();
    if (next) next->Render();
}
