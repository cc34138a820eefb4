// Cases that need the shell: each theme's background, and the whole game.
#include "game/BenchCases.h"

#include <platform.h>
#include <testaid.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/GameFlow.h"
#include "app/MainLoop.h"
#include "app/MenuManager.h"
#include "app/Shutdown.h"
#include "app/Startup.h"
#include "app/ThemeManager.h"
#include "audio/SoundEngine.h"
#include "common/BenchCommon.h"
#include "engine/EngineTimer.h"
#include "engine/GraphicsEngine.h"
#include "game/GameField.h"
#include "game/GameMode.h"

namespace bench {

void RunBackgroundCase(int frames) {
    platform::SetFakeClock(true, 1000000000LL);
    EngineTimerRestart();
    InstallMenuManagerHooks();
    if (!StartEngine("bench_game", nullptr)) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CSoundEngine::GetInstance()->Start();
    CThemeManager* themes = CThemeManager::GetInstance();
    const auto folders = themes->m_themeFolders;
    for (const auto& theme : folders) {
        if (!themes->LoadTheme(theme.first, false)) continue;
        std::vector<double> draw, whole;
        for (int i = 0; i < frames + 10; ++i) {
            platform::AdvanceFakeClock(16666667LL);
            engine->Tick();
            const auto begin = Clock::now();
            if (!engine->BeginFrame(false)) continue;
            const auto start = Clock::now();
            themes->DrawBackground();
            const double ms = MsSince(start);
            engine->EndFrame();
            if (i < 10) continue;  // warm-up: first uploads and program links
            draw.push_back(ms);
            whole.push_back(MsSince(begin));
        }
        const Figures d = Summarise(draw), w = Summarise(whole);
        printf("DrawBackground, theme \"%s\" (GL 1024 x 768)%s:\n", theme.first.c_str(),
               themes->HasBackground() ? "" : " [hook dropped]");
        printf("  %.3f ms mean, %.3f ms p95 per draw; %.3f ms per frame with begin and present\n", d.mean, d.p95,
               w.mean);
    }
    delete themes;
    delete CSoundEngine::GetInstancePtr();
    delete engine;
    platform::SetFakeClock(false);
}

namespace {

std::vector<double> g_updateMs;
void TimedUpdateFrame() {
    const auto start = Clock::now();
    UpdateFrame();
    // At 60 frames a second a tick runs one update with the frame's time; a
    // call with no time to spend is not counted.
    if (CGraphicsEngine::GetInstance()->GetCurrentStep() > 0.0f) g_updateMs.push_back(MsSince(start));
}

// Blocks in every playable cell of the lower rows, one hole per row so none
// clears, until there are at least `want`; the top rows stay free for figures.
int FillField(int want) {
    CGameField* field = CGameField::GetInstance();
    for (int y = 0; y < field->m_height; ++y)
        for (int x = 0; x < field->m_width; ++x)
            if (field->Cell(x, y).m_value >= 0) field->Cell(x, y).Reset();
    int blocks = 0;
    for (int y = field->m_height - 1; y >= 0 && blocks < want; --y) {
        int playable = 0;
        for (int x = 0; x < field->m_width; ++x) playable += field->Cell(x, y).m_value >= -1;
        int seen = 0;
        for (int x = 0; x < field->m_width; ++x) {
            CFieldBlock& cell = field->Cell(x, y);
            if (cell.m_value < -1) continue;
            const bool hole = seen++ == y % (playable ? playable : 1);
            if (!hole) cell.m_value = (x * 3 + y) % 7, ++blocks;
        }
    }
    return blocks;
}

// In a child: warm start-up to the first loop frame, then a game on a full
// field, every frame timed. Returns the child's exit code.
int WholeGame(int frames, bool report) {
    setenv("KOLVAR_LAUNCHER", "start", 1);
    platform::SetFakeClock(true, 1000000000LL);
    const auto start = Clock::now();
    if (!StartApplication(nullptr)) return 2;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    engine->Tick();
    RenderFrame();
    const double startupMs = MsSince(start);
    if (!report) {
        ShutdownApplication();
        return 0;
    }

    // The loop's update, timed: the engine takes the record again as F1 gives it.
    CGeneralParameters params;
    engine->GetGeneralParameters(&params);
    params.m_UpdateCallback = TimedUpdateFrame;
    if (!engine->SetGeneralParameters(&params)) return 3;
    platform::testaid::UseInjectedInput();
    CMenuManager::GetInstance()->Hide();
    StartGame();
    CGameMode* mode = CGameMode::GetInstance();
    auto frame = [&](std::vector<double>* renderMs) {
        platform::AdvanceFakeClock(16666667LL);  // the loop's pace at 60 frames a second
        engine->Tick();
        const auto begin = Clock::now();
        RenderFrame();
        if (renderMs) renderMs->push_back(MsSince(begin));
    };
    for (int i = 0; i < 600 && mode->gameState != CGameMode::kPlaying; ++i) frame(nullptr);
    if (mode->gameState != CGameMode::kPlaying) return 4;

    std::vector<double> renderMs;
    g_updateMs.clear();
    int blocks = FillField(150), fewest = blocks, refills = 0;
    for (int i = 0; i < frames; ++i) {
        int now = 0;
        CGameField* field = CGameField::GetInstance();
        for (int y = 0; y < field->m_height; ++y)
            for (int x = 0; x < field->m_width; ++x) now += field->Cell(x, y).m_value >= 0;
        fewest = std::min(fewest, now);
        // Scripted: a figure that has landed is taken away again, so play never ends.
        if (now > blocks) FillField(150), ++refills;
        frame(&renderMs);
    }
    const bool stillPlaying = mode->gameState == CGameMode::kPlaying;
    const Figures u = Summarise(g_updateMs), r = Summarise(renderMs);
    printf("whole game (in process, GL 1024 x 768, line game, %d blocks on the field, at least %d, %d figures "
           "landed)%s:\n",
           blocks, fewest, refills, stillPlaying ? "" : " [play ended early]");
    printf("  warm start-up to the first loop frame %.0f ms (goal 1500 ms)\n", startupMs);
    printf("  UpdateFrame %.3f ms mean, %.3f ms p95 over %zu steps (goal 0.2 ms)\n", u.mean, u.p95, u.count);
    printf("  RenderFrame %.3f ms mean, %.3f ms p95 over %zu frames (goal 4 ms)\n", r.mean, r.p95, r.count);
    printf("  peak RSS %.1f MB (goal 150 MB)\n", PeakRssMb());
    fflush(stdout);
    ShutdownApplication();
    return 0;
}

}  // namespace

bool RunWholeGameCase(int frames) {
    // Each run in a child of its own: the shell's singletons start once per process,
    // and the peak RSS is then the game's own. The first run warms the caches.
    for (bool report : {false, true}) {
        fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) _exit(WholeGame(frames, report));
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "whole game: the %s run failed (status %d)\n", report ? "measured" : "warm-up", status);
            return false;
        }
    }
    return true;
}

}  // namespace bench
