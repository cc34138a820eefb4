// Game-play costs on GL at 1024 x 768 (run under Xvfb, see common/BenchCommon.h):
// the whole game in process; DrawAll at the busiest moment of a new game (the
// three level-1 messages and a praise with its bonus line in flight); one field
// step of the colour game on a full classic field; a full field with a
// four-line clear on both shader paths; the figure steps of both games; each
// theme's background. "soak" (never run by default) plays the whole game for
// the given number of seconds instead of frames, then sets the floor's frame
// under the particles of its slowest 1 % against the game's.
//   bench_game [frames] [whole|messages|field|figures|backgrounds]
//   bench_game seconds soak
//   bench_game 0 compare a.raw b.raw [diff.png]
// The whole-game case reads KOLVAR_BENCH_THEME (a theme's name, Night Sky
// unless given), KOLVAR_BENCH_DETAILS (0-2 for blocks and frame) and
// KOLVAR_BENCH_SHOT (a path prefix for the picture of its last frame) and
// KOLVAR_BENCH_SCENE (where the recorded scene for bench_floor is kept).
#include <platform.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/BenchCommon.h"
#include "engine/EngineTimer.h"
#include "engine/GraphicsEngine.h"
#include "game/AnimatedObjectList.h"
#include "game/BenchCases.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "game/Hud.h"

namespace {

void Step() {
    if (CGraphicsEngine::GetInstance()->GetCurrentStep() <= 0.0f) return;
    CAnimatedObjectList::GetInstance()->UpdateAll();
    CHud::GetInstance()->Process();
}

// The game's own praise ("excellent !") and bonus line of a four-line clear.
void AddPraise() { AddPraiseMessages(2, 1000); }

size_t Ghosts() {
    size_t n = 0;
    for (const auto& object : CAnimatedObjectList::GetInstance()->GetObjects()) n += object->GetTrace().size();
    return n;
}

// The messages' DrawAll and the colour game's field step, on an engine of their own.
void RunMessagesAndColourStep(int frames) {
    platform::SetFakeClock(true, 1000000000LL);
    EngineTimerRestart();
    if (!bench::StartEngine("bench_game", Step)) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    if (!gameloop::LoadTexturedFont()) return;

    // A new game: the level-1 announcement, and a four-line clear at once.
    g_GameRules.bonusTime = 30.0f;
    g_GameRules.bombScore = 500;
    g_GameRules.sawScore = 1500;
    g_GameRules.levelScore = 1000.0f;
    g_GameRules.rotateScore = 5000.0f;
    g_BounceBombsLeft = 3;
    auto newGame = [] {
        CGameMode* mode = CGameMode::GetInstance();
        mode->mode = CGameMode::kGameRunning;
        mode->menuState = CGameMode::kMenuClosed;
        CHud* hud = CHud::GetInstance();
        hud->Reset();
        hud->Process();
        AddPraise();
    };
    newGame();
    // The busiest moment: the step with the most trail samples alive.
    size_t most = 0;
    int busiestStep = 0;
    for (int s = 1; s <= 60; ++s) {
        platform::AdvanceFakeClock(25000000);
        engine->Tick();
        if (Ghosts() > most) most = Ghosts(), busiestStep = s;
    }
    // Replay up to that moment with time standing still from then on.
    gameloop::DeleteGamePlay();
    newGame();
    for (int s = 1; s <= busiestStep; ++s) {
        platform::AdvanceFakeClock(25000000);
        engine->Tick();
    }
    const size_t messages = CAnimatedObjectList::GetInstance()->GetObjects().size();
    const size_t ghosts = Ghosts();

    auto frame = [&](double* drawSeconds) {
        if (!engine->BeginFrame(true)) return;
        auto start = bench::Clock::now();
        CAnimatedObjectList::GetInstance()->DrawAll();
        if (drawSeconds)
            *drawSeconds += std::chrono::duration<double>(bench::Clock::now() - start).count();
        engine->EndFrame();
    };
    for (int i = 0; i < 10; ++i) frame(nullptr);
    double draw = 0.0;
    const auto drawStart = bench::Clock::now();
    for (int i = 0; i < frames; ++i) frame(&draw);
    const double total = std::chrono::duration<double>(bench::Clock::now() - drawStart).count();
    printf("bench_game DrawAll (GL, 1024 x 768): %zu messages, %zu ghost texts (+%zu texts), %.2f s into the game\n",
           messages, ghosts, messages, busiestStep * 0.025);
    printf("  %.3f ms per DrawAll, %.3f ms per frame with begin and present, over %d frames\n", draw * 1e3 / frames,
           total * 1e3 / frames, frames);

    // One field step of the colour game on a full classic field: every step
    // searches the whole grid, marks the runs and scores them.
    g_GameType = kColorGame;
    g_FieldScriptPath = "data\\scripts\\field\\field.txt";
    g_FieldAnimScriptPath = "data\\scripts\\field\\field_anim.txt";
    CGameField* field = CGameField::GetInstance();
    if (!field->Create("data\\fields\\classic.txt")) {
        fprintf(stderr, "no classic field\n");
        return;
    }
    for (int y = 0; y < field->m_height; ++y)
        for (int x = 0; x < field->m_width; ++x)
            if (field->Cell(x, y).IsEmpty()) field->Cell(x, y).m_value = (x / 3 + y) % 7;
    const int steps = frames * 10;
    double fieldSeconds = 0.0;
    int marked = 0;
    for (int i = 0; i < steps; ++i) {
        for (int y = 0; y < field->m_height; ++y)
            for (int x = 0; x < field->m_width; ++x) field->Cell(x, y).m_removalMark = false;
        CFigureGenerator::GetInstance()->chainCount = 0;
        auto begin = bench::Clock::now();
        field->Update();
        fieldSeconds += std::chrono::duration<double>(bench::Clock::now() - begin).count();
        if (i == 0)
            for (int y = 0; y < field->m_height; ++y)
                for (int x = 0; x < field->m_width; ++x) marked += field->Cell(x, y).m_removalMark;
    }
    printf("bench_game field step (colour game, full classic field, %d blocks marked per step):\n", marked);
    printf("  %.2f us per CGameField::Update over %d steps\n", fieldSeconds * 1e6 / steps, steps);
    g_TexturedFont = nullptr;  // the font manager's, gone with the engine
    gameloop::Teardown(false);
    g_FieldScriptPath.clear();
    g_FieldAnimScriptPath.clear();
    g_GameType = kLineGame;
    g_GameRules = CGameRules();
    platform::SetFakeClock(false);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 4 && !strcmp(argv[2], "compare")) return bench::ComparePictures(argv[3], argv[4], argc > 5 ? argv[5] : nullptr) ? 0 : 1;
    const int frames = argc > 1 ? std::max(1, atoi(argv[1])) : 100;
    const std::string only = argc > 2 ? argv[2] : "";
    auto wanted = [&](const char* name) { return only.empty() || only == name; };
    bench::GameFolder folder;
    if (!folder.Ok()) return 1;
    bench::PrintMachineLoad();
    if (only == "soak") {
        const bool soaked = bench::RunSoakCase(frames);
        bench::PrintMachineLoad();
        return soaked ? 0 : 1;
    }
    // First, while this process has no window: the whole game runs in children.
    bool ok = true;
    if (wanted("whole")) ok = bench::RunWholeGameCase(frames * 3 / 2);
    if (wanted("messages")) RunMessagesAndColourStep(frames);
    if (wanted("field")) bench::RunFieldCase(std::max(1, frames / 40));
    if (wanted("figures")) bench::RunFigureCases(frames * 3);
    if (wanted("backgrounds")) bench::RunBackgroundCase(frames);
    bench::PrintMachineLoad();
    return ok ? 0 : 1;
}
