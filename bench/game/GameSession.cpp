#include "game/GameSession.h"

#include <crt.h>
#include <d3d9hooks.h>
#include <gamefieldhooks.h>
#include <platform.h>
#include <varframehooks.h>

#include "common/BenchCommon.h"
#include "engine/EngineTimer.h"
#include "engine/GraphicsEngine.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/Script.h"
#include "game/FigureGenerator.h"
#include "game/GameActions.h"
#include "game/GameField.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/VarFrame.h"

namespace bench {

namespace {

std::vector<double> g_stepMs;
bool g_over = false;

void OnGameOver() {
    g_over = true;
    CGameMode* mode = CGameMode::GetInstance();
    mode->gameState = CGameMode::kFieldDisappearing;
    mode->mode = CGameMode::kNoGame;
    CGameField::GetInstance()->DisappearStart();
}

// The game's update step without the shell's parts; whole steps are timed,
// the tick's remainder runs untimed as in the shell's bench.
void UpdateStep() {
    const auto start = Clock::now();
    gameloop::UpdateStep();
    if (CGraphicsEngine::GetInstance()->GetCurrentStep() > 0.0f) g_stepMs.push_back(MsSince(start));
}

}  // namespace

GameSession::GameSession(DWORD vertexShaderVersion, DWORD pixelShaderVersion, int frameType) {
    d3d9hooks::SetShaderVersions(vertexShaderVersion, pixelShaderVersion);
    platform::SetFakeClock(true, 1000000000LL);
    EngineTimerRestart();
    gamefieldhooks::RearmConstruction();
    varframehooks::RearmConstruction();
    gameloop::ShellHooks hooks;
    hooks.gameOver = OnGameOver;
    gameloop::SetShellHooks(hooks);
    g_FrameType = frameType;
    g_FrameOpacity = 1.0f;
    g_FrameDetails = 2;
    g_BlocksDetails = 2;
    if (!gameloop::ReadScripts(&m_general)) return;
    if (!StartEngine("bench_game", UpdateStep) || !gameloop::LoadTexturedFont()) return;
    gameloop::CreateGameObjects();
    BindGameActions();
    m_ok = true;
}

GameSession::~GameSession() {
    gameloop::Teardown(false);
    // Fonts belong to the font manager, which went with the engine.
    g_TexturedFont = nullptr;
    if (m_general) script::CloseState(m_general);
    gameloop::SetShellHooks(gameloop::ShellHooks());
    d3d9hooks::ClearShaderVersions();
    platform::SetFakeClock(false);
    g_GameRules = CGameRules();
    g_stepMs.clear();
}

void GameSession::NewGame(GameType gameType, unsigned seed) {
    crt_srand(seed);
    g_GameType = gameType;
    g_Difficulty = 1;
    g_FallType = 0;
    g_over = false;
    CGameMode* mode = CGameMode::GetInstance();
    mode->menuState = CGameMode::kMenuClosed;
    mode->gameState = CGameMode::kPlaying;
    gameloop::NewGame(m_general);
}

void GameSession::Step(int n) {
    for (int i = 0; i < n; ++i) {
        platform::AdvanceFakeClock(25000000LL);
        CGraphicsEngine::GetInstance()->Tick();
    }
}

bool GameSession::Over() const { return g_over; }

std::vector<double>& GameSession::StepMs() { return g_stepMs; }

double GameSession::Draw(bool frame, bool field, bool figures, bool particles, double* wholeMs) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const auto begin = Clock::now();
    if (!engine->BeginFrame(true)) return 0.0;
    const auto start = Clock::now();
    if (frame) CVarFrame::GetInstance()->Render();
    if (figures) CFigureGenerator::GetInstance()->Render();
    if (field) CGameField::GetInstance()->Render();
    if (particles) CParticleSystemsManager::GetInstance()->Render();
    const double ms = MsSince(start);
    engine->EndFrame();
    if (wholeMs) *wholeMs = MsSince(begin);
    return ms;
}

double GameSession::EmptyFrame() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const auto start = Clock::now();
    if (engine->BeginFrame(true)) engine->EndFrame();
    return MsSince(start);
}

size_t LiveParticleSystems() {
    CParticleSystemsManager* particles = CParticleSystemsManager::GetInstancePtr();
    return particles ? particles->GetSystems().size() : 0;
}

}  // namespace bench
