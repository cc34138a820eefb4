// Cases that need the shell: each theme's background, and the whole game.
#include "game/BenchCases.h"

#include <d3d9hooks.h>
#include <platform.h>
#include <testaid.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
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
#include "engine/Ini.h"
#include "engine/ParticleSystem.h"
#include "engine/ParticleSystemsManager.h"
#include "game/BaseFigure.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "support/EngineScope.h"

namespace bench {

void RunBackgroundCase(int frames) {
    platform::SetFakeClock(true, 1000000000LL);
    EngineTimerRestart();
    InstallMenuManagerHooks();
    enginescope::EngineScope* scope = StartEngine("bench_game", nullptr);
    if (!scope) return;
    scope->Singletons().Track<CThemeManager>();
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
    StopEngine();  // the themes, the sound and graphics engines
    platform::SetFakeClock(false);
}

namespace {

struct WholeRun {
    int frames = 0;
    double seconds = 0.0;  // wall clock to run instead of a frame count
    std::string scene;     // where the calls of one frame go, if anywhere
    // Where the calls of a frame that draws as many particles as the slowest
    // 1 % did go, if anywhere.
    std::string heavyScene;
};
const char* const kBlockMeshes[3] = {"block_low.x", "block_medium.x", "block_high.x"};
const char* const kFrameMeshes[3] = {"frame_seg_low.x", "frame_seg_medium.x", "frame_seg_high.x"};
// Wall and CPU ms per frame (medians), and the wall ms of the heavy scene's
// frame drawn again.
double g_wholeFrameMs[3] = {};

std::vector<double> g_updateMs;
void TimedUpdateFrame() {
    const auto start = Clock::now();
    UpdateFrame();
    // At 60 frames a second a tick runs one update with the frame's time; a
    // call with no time to spend is not counted.
    if (CGraphicsEngine::GetInstance()->GetCurrentStep() > 0.0f) g_updateMs.push_back(MsSince(start));
}

// The blocks of a full field: every playable cell of every row but the four
// at the top, where figures come in, with one hole per row so none clears.
int FillField() {
    CGameField* field = CGameField::GetInstance();
    for (int y = 0; y < field->m_height; ++y)
        for (int x = 0; x < field->m_width; ++x)
            if (field->Cell(x, y).IsBlock()) field->Cell(x, y).Reset();
    int blocks = 0;
    for (int y = field->m_height - 1; y >= 4; --y) {
        int playable = 0;
        for (int x = 0; x < field->m_width; ++x) playable += !field->Cell(x, y).IsWall();
        int seen = 0;
        for (int x = 0; x < field->m_width; ++x) {
            CFieldBlock& cell = field->Cell(x, y);
            if (cell.IsWall()) continue;
            const bool hole = seen++ == y % (playable ? playable : 1);
            if (!hole) cell.m_value = (x * 3 + y) % 7, ++blocks;
        }
    }
    return blocks;
}

// A bomb, saw or bounce bomb in play blows up the blocks it reaches; putting
// them back under it would blow them up again every frame, an explosion no
// game can show. The field is refilled once it has gone.
bool WeaponInPlay() {
    const CFigureGenerator* generator = CFigureGenerator::GetInstancePtr();
    const CBaseFigure* current = generator ? generator->current : nullptr;
    // The saw is of the bomb's kind.
    return current && (current->kind == CBaseFigure::kBomb || current->kind == CBaseFigure::kBounceBomb);
}

int BlocksOnField() {
    CGameField* field = CGameField::GetInstance();
    int n = 0;
    for (int y = 0; y < field->m_height; ++y)
        for (int x = 0; x < field->m_width; ++x) n += field->Cell(x, y).IsBlock();
    return n;
}

// The calls of one more frame, then the particles it drew (world position,
// size, colour), for bench_floor to draw the same scene.
void RecordScene(const std::string& path, const std::function<void()>& frame) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    d3d9hooks::ClearCallLog();
    d3d9hooks::SetDeviceRecording(engine->GetDevice(), true);
    frame();
    d3d9hooks::SetDeviceRecording(engine->GetDevice(), false);
    FILE* out = fopen(path.c_str(), "w");
    if (out) {
        D3DVIEWPORT9 vp{};
        engine->GetDevice()->GetViewport(&vp);
        fprintf(out, "size %u %u\nblocks_mesh %s\nframe_mesh %s\n", vp.Width, vp.Height,
                kBlockMeshes[std::clamp(g_BlocksDetails, 0, 2)], kFrameMeshes[std::clamp(g_FrameDetails, 0, 2)]);
        for (const std::string& line : d3d9hooks::CallLog()) fprintf(out, "%s\n", line.c_str());
        const CParticleSystemsManager* systems = CParticleSystemsManager::GetInstancePtr();
        IDirect3DVertexBuffer9* shared = systems ? systems->GetVertexBuffer() : nullptr;
        void* data = nullptr;
        const unsigned count = systems ? systems->GetSharedVertexTotal() : 0;
        if (shared && count && SUCCEEDED(shared->Lock(0, count * sizeof(PointSpriteVertex), &data, D3DLOCK_READONLY))) {
            const auto* v = static_cast<const PointSpriteVertex*>(data);
            for (unsigned i = 0; i < count; ++i)
                fprintf(out, "point %g %g %g %g %08x\n", v[i].x, v[i].y, v[i].z, v[i].size, static_cast<unsigned>(v[i].color));
            shared->Unlock();
        }
        fclose(out);
    }
    d3d9hooks::ClearCallLog();
}

// In a child: warm start-up to the first loop frame, then a game on a full
// field under Night Sky, every frame timed: `frames` of them, or as many as
// `seconds` of wall clock take. With a scene path, the calls of one more
// frame go there for bench_floor. Returns the child's exit code.
int WholeGame(const WholeRun& run, bool report) {
    setenv("KOLVAR_LAUNCHER", "start", 1);
    const char* theme = getenv("KOLVAR_BENCH_THEME");
    WriteIniString("config.ini", "game", "theme", theme && *theme ? theme : "Night Sky");
    if (const char* details = getenv("KOLVAR_BENCH_DETAILS")) {
        WriteIniString("config.ini", "graphics", "blocks_details", details);
        WriteIniString("config.ini", "graphics", "frame_details", details);
    }
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
    int target = 0, refills = 0, fewest = 1 << 30, most = 0, offTarget = 0;
    std::vector<double> cpuMs, particles;  // per timed frame
    const CParticleSystemsManager* systems = CParticleSystemsManager::GetInstancePtr();
    auto step = [&] {
        platform::AdvanceFakeClock(16666667LL);  // the loop's pace at 60 frames a second
        engine->Tick();
        // Scripted: a landed figure or a clear puts the field back as it was, so
        // every frame draws the same full field and play never ends.
        if (target && BlocksOnField() != target && !WeaponInPlay()) FillField(), ++refills;
    };
    auto frame = [&](std::vector<double>* renderMs) {
        step();
        const auto begin = Clock::now();
        const double cpu = ProcessCpuMs();
        RenderFrame();
        if (!renderMs) return;
        renderMs->push_back(MsSince(begin));
        cpuMs.push_back(ProcessCpuMs() - cpu);
        particles.push_back(systems ? systems->GetSharedVertexTotal() : 0);
        const int now = BlocksOnField();
        if (WeaponInPlay() && now != target) {
            ++offTarget;
            return;
        }
        fewest = std::min(fewest, now), most = std::max(most, now);
    };
    for (int i = 0; i < 600 && mode->gameState != CGameMode::kPlaying; ++i) frame(nullptr);
    if (mode->gameState != CGameMode::kPlaying) return 4;

    std::vector<double> renderMs;
    g_updateMs.clear();
    target = FillField();
    // The field goes from empty to full in one frame, as no game does: the
    // renderer's buffers grow and fault in their pages. Warm-up, not timed.
    for (int i = 0; i < 10; ++i) frame(nullptr);
    cpuMs.clear(), particles.clear();
    const auto began = Clock::now();
    double nextRss = 10.0;
    size_t windowStart = 0, updateStart = 0;
    int windowRefills = 0;
    std::string rss;
    for (int i = 0; run.seconds > 0 || i < run.frames; ++i) {
        frame(&renderMs);
        if (run.seconds <= 0) continue;
        const double elapsed = MsSince(began) / 1000.0;
        if (elapsed >= nextRss) {
            // Each ten seconds on their own: what changes as play goes on.
            const Figures w = Summarise({renderMs.begin() + windowStart, renderMs.end()});
            const Figures s = Summarise({g_updateMs.begin() + updateStart, g_updateMs.end()});
            char text[160];
            snprintf(text, sizeof text,
                     "\n    %4.0f s: peak RSS %.1f MB; frame p50 %.2f, p99 %.2f, max %.2f ms; update %.3f ms; %d refills",
                     nextRss, PeakRssMb(), w.median, w.p99, w.max, s.mean, refills - windowRefills);
            rss += text;
            windowStart = renderMs.size(), updateStart = g_updateMs.size(), windowRefills = refills;
            nextRss += 10.0;
        }
        if (elapsed >= run.seconds) break;
    }
    const bool stillPlaying = mode->gameState == CGameMode::kPlaying;
    const Figures u = Summarise(g_updateMs), r = Summarise(renderMs), c = Summarise(cpuMs);
    printf("whole game (in process, GL 1024 x 768, line game, Night Sky, %d blocks on the field in every timed "
           "frame%s but the %d under a bomb or saw, refilled %d times)%s:\n",
           target, fewest == most && most == target ? "" : " [NOT: the count strayed]", offTarget, refills,
           stillPlaying ? "" : " [play ended early]");
    printf("  warm start-up to the first loop frame %.0f ms (goal 1500 ms)\n", startupMs);
    printf("  UpdateFrame %.3f ms mean, %.3f ms p95 over %zu steps (goal 0.2 ms)\n", u.mean, u.p95, u.count);
    printf("  RenderFrame %.3f ms mean over %zu frames: p50 %.3f, p95 %.3f, p99 %.3f, max %.3f ms "
           "(p99 %.2fx, max %.2fx the median)\n",
           r.mean, r.count, r.median, r.p95, r.p99, r.max, r.p99 / r.median, r.max / r.median);
    // What the slow frames draw that the others do not: a particle burst
    // is fill the software renderer pays pixel by pixel.
    double slow[2] = {}, rest[2] = {};
    std::vector<double> slowest;  // the particles of the slowest 1 %
    for (size_t i = 0; i < renderMs.size(); ++i) {
        double* into = renderMs[i] > 1.5 * r.median ? slow : rest;
        into[0] += 1, into[1] += particles[i];
        if (renderMs[i] >= r.p99) slowest.push_back(particles[i]);
    }
    printf("  frames over 1.5x the median: %.0f, drawing %.0f particles on average against %.0f in the others\n",
           slow[0], slow[0] ? slow[1] / slow[0] : 0.0, rest[0] ? rest[1] / rest[0] : 0.0);
    printf("  RenderFrame CPU (all threads) %.3f ms mean, %.3f ms median per frame\n", c.mean, c.median);
    printf("  peak RSS %.1f MB (goal 150 MB)%s%s\n", PeakRssMb(), rss.empty() ? "" : "; by time:", rss.c_str());
    // Medians, as the floor gives its own.
    g_wholeFrameMs[0] = r.median;
    g_wholeFrameMs[1] = c.median;
    if (const char* shot = getenv("KOLVAR_BENCH_SHOT")) {
        // The picture of one more frame, to hold against another build's or level's.
        d3d9hooks::CapturePresents(true);
        frame(nullptr);
        d3d9hooks::CapturePresents(false);
        UINT w = 0, h = 0;
        const std::vector<DWORD> pixels = d3d9hooks::LastPresentedFrame(engine->GetDevice(), &w, &h);
        d3d9hooks::WritePng(std::string(shot) + ".png", pixels, w, h);
        if (FILE* raw = fopen((std::string(shot) + ".raw").c_str(), "wb")) {
            fwrite(&w, sizeof w, 1, raw);
            fwrite(&h, sizeof h, 1, raw);
            fwrite(pixels.data(), sizeof(DWORD), pixels.size(), raw);
            fclose(raw);
        }
    }
    // One more frame with its calls written down: the scene the floor draws.
    if (!run.scene.empty()) RecordScene(run.scene, [&] { frame(nullptr); });
    if (!run.heavyScene.empty() && !slowest.empty()) {
        // Played on, untimed, for up to a minute: each frame drawing more
        // particles than any before it is written down and then drawn again,
        // timed, until one draws as many as the slowest 1 % did (their
        // median). The floor draws the last one written.
        const unsigned heavy = static_cast<unsigned>(Summarise(slowest).median);
        unsigned most = 0;
        for (int i = 0; i < 60 * 60 && most < heavy; ++i) {
            step();
            const unsigned now = systems ? systems->GetSharedVertexTotal() : 0;
            if (now <= most) {
                RenderFrame();
                continue;
            }
            most = now;
            RecordScene(run.heavyScene, [] { RenderFrame(); });
            std::vector<double> again;  // nothing moves between these
            for (int k = 0; k < 21; ++k) {
                const auto begin = Clock::now();
                RenderFrame();
                again.push_back(MsSince(begin));
            }
            g_wholeFrameMs[2] = Summarise(again).median;
        }
        printf("  the slowest 1 %% drew %u particles (median); the heaviest frame of the minute after drew %u, "
               "%.3f ms (median of 21 draws)\n",
               heavy, most, g_wholeFrameMs[2]);
    }
    fflush(stdout);
    ShutdownApplication();
    return 0;
}

}  // namespace

namespace {

// The child's runs; the measured one's mean frame times (wall, CPU) come back through a pipe.
bool RunChildren(const WholeRun& run, double* frameMs) {
    for (bool report : {false, true}) {
        int fds[2];
        if (pipe(fds) != 0) return false;
        fflush(stdout);
        const pid_t pid = fork();
        if (pid == 0) {
            close(fds[0]);
            const int code = WholeGame(run, report);
            if (write(fds[1], g_wholeFrameMs, sizeof g_wholeFrameMs) != sizeof g_wholeFrameMs) _exit(5);
            _exit(code);
        }
        close(fds[1]);
        double ms[3] = {};
        const bool got = pid > 0 && read(fds[0], ms, sizeof ms) == sizeof ms;
        close(fds[0]);
        int status = 0;
        if (pid < 0 || waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
            fprintf(stderr, "whole game: the %s run failed (status %d)\n", report ? "measured" : "warm-up", status);
            return false;
        }
        if (report && got && frameMs) std::copy(ms, ms + 3, frameMs);
    }
    return true;
}

// bench_floor on the recorded scene; its mean wall and CPU ms per frame, or 0.
bool RunFloor(const std::string& scene, int frames, double* ms) {
    char command[1024];
    snprintf(command, sizeof command, "'%s' --scene '%s' --frames %d", KOLVAR_BENCH_FLOOR, scene.c_str(), frames);
    fflush(stdout);
    FILE* p = popen(command, "r");
    if (!p) return false;
    ms[0] = ms[1] = 0.0;
    char line[512];
    while (fgets(line, sizeof line, p)) {
        printf("  floor: %s", line);
        sscanf(line, "bench_floor: %lf ms per frame, %lf ms CPU (medians)", &ms[0], &ms[1]);
    }
    return pclose(p) == 0 && ms[0] > 0;
}

}  // namespace

bool RunWholeGameCase(int frames) {
    // Each run in a child of its own: the shell's singletons start once per process,
    // and the peak RSS is then the game's own. The first run warms the caches.
    // The floor draws the game's scene before and after, in the same run.
    WholeRun run;
    run.frames = frames;
    // In the game folder, where the floor runs too, unless it is to be kept.
    const char* keep = getenv("KOLVAR_BENCH_SCENE");
    run.scene = keep && *keep ? keep : "scene.txt";
    double game[3] = {}, before[2] = {}, after[2] = {};
    if (!RunChildren(run, game)) return false;
    if (RunFloor(run.scene, frames, before) && RunFloor(run.scene, frames, after) && game[0] > 0) {
        const double wall = (before[0] + after[0]) / 2, cpu = (before[1] + after[1]) / 2;
        printf("  whole game frame over the floor's (medians): %.3f / %.3f ms = %.2fx wall clock, %.3f / %.3f ms = "
               "%.2fx CPU (goal 1.25x)\n",
               game[0], wall, game[0] / wall, game[1], cpu, game[1] / cpu);
    }
    return true;
}

bool RunSoakCase(double seconds) {
    WholeRun run;
    run.seconds = seconds;
    run.scene = "scene.txt";
    run.heavyScene = "scene-heavy.txt";
    double game[3] = {};
    if (!RunChildren(run, game)) return false;
    // How much of the game's p99 the scene itself asks for: the floor's frame
    // under the slow frames' particles over its frame of the plain field.
    double plain[2] = {}, heavy[2] = {};
    if (access(run.heavyScene.c_str(), R_OK) == 0 && RunFloor(run.scene, 300, plain) &&
        RunFloor(run.heavyScene, 300, heavy) && plain[0] > 0 && heavy[0] > 0 && game[0] > 0)
        printf("  the heaviest frame over the plain one: the game %.2fx (%.3f / %.3f ms), the floor %.2fx (%.3f / %.3f "
               "ms); the game over the floor: %.2fx heavy, %.2fx plain (goal 1.25x)\n",
               game[2] / game[0], game[2], game[0], heavy[0] / plain[0], heavy[0], plain[0], game[2] / heavy[0],
               game[0] / plain[0]);
    return true;
}

bool ComparePictures(const char* a, const char* b, const char* diffPng) {
    auto load = [](const char* path, UINT* w, UINT* h) {
        std::vector<DWORD> pixels;
        FILE* f = fopen(path, "rb");
        if (!f) return pixels;
        if (fread(w, sizeof *w, 1, f) == 1 && fread(h, sizeof *h, 1, f) == 1 && *w <= 8192 && *h <= 8192) {
            pixels.resize(static_cast<size_t>(*w) * *h);
            if (fread(pixels.data(), sizeof(DWORD), pixels.size(), f) != pixels.size()) pixels.clear();
        }
        fclose(f);
        return pixels;
    };
    UINT wa = 0, ha = 0, wb = 0, hb = 0;
    const std::vector<DWORD> pa = load(a, &wa, &ha), pb = load(b, &wb, &hb);
    if (pa.empty() || pa.size() != pb.size() || wa != wb) {
        fprintf(stderr, "compare: %s and %s are not two pictures of one size\n", a, b);
        return false;
    }
    int worst = 0;
    size_t over[4] = {};  // pixels differing by more than 0, 3, 8, 32 levels
    std::vector<DWORD> diff(pa.size());
    for (size_t i = 0; i < pa.size(); ++i) {
        int d = 0;
        for (int shift : {0, 8, 16})
            d = std::max(d, std::abs(int((pa[i] >> shift) & 0xFF) - int((pb[i] >> shift) & 0xFF)));
        worst = std::max(worst, d);
        const int limits[4] = {0, 3, 8, 32};
        for (int k = 0; k < 4; ++k) over[k] += d > limits[k];
        const DWORD v = static_cast<DWORD>(std::min(255, d * 8));
        diff[i] = 0xFF000000u | v << 16 | v << 8 | v;
    }
    printf("compare %s / %s (%u x %u): largest difference %d levels; pixels over 0: %zu, over 3: %zu, "
           "over 8: %zu, over 32: %zu\n",
           a, b, wa, ha, worst, over[0], over[1], over[2], over[3]);
    if (diffPng) d3d9hooks::WritePng(diffPng, diff, wa, ha);
    return true;
}

}  // namespace bench
