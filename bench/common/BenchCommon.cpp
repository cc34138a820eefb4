#include "common/BenchCommon.h"

#include <d3d9hooks.h>
#include <sys/resource.h>

#include <algorithm>
#include <ctime>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "support/EngineScope.h"

namespace fs = std::filesystem;

namespace bench {

namespace {
// Never destroyed at exit: the log it writes to may be gone by then.
enginescope::EngineScope* g_engine = nullptr;
}  // namespace

double MsSince(Clock::time_point from) {
    return std::chrono::duration<double, std::milli>(Clock::now() - from).count();
}

double ProcessCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

GameFolder::GameFolder() {
    setenv("KOLVAR_GAME_DIR", KOLVAR_BENCH_GAME_DIR, 0);
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    const fs::path game = getenv("KOLVAR_GAME_DIR");
    char folder[] = "/tmp/kolvar-bench-XXXXXX";
    if (!mkdtemp(folder)) return;
    m_path = folder;
    std::error_code ec;
    // Everything built but the player's own files, which start fresh.
    for (const auto& entry : fs::directory_iterator(game, ec)) {
        const std::string name = entry.path().filename().string();
        if (name == "config.ini" || name == "playlist.ini" || name.rfind("log", 0) == 0 ||
            name.rfind("CMake", 0) == 0 || name.rfind("highscores", 0) == 0)
            continue;
        fs::create_symlink(entry.path(), m_path / fs::path(name), ec);
    }
    fs::copy_file(fs::path(KOLVAR_BENCH_SOURCE_DIR) / "data/templates/config.ini", m_path + "/config.ini", ec);
    std::ofstream(m_path + "/playlist.ini") << "[playlist]\r\nnum=0\r\n";
    m_previous = fs::current_path(ec).string();
    m_ok = !ec && fs::exists(m_path + "/config.ini") && fs::exists(m_path + "/data");
    if (m_ok) fs::current_path(m_path, ec);
    m_ok = m_ok && !ec;
    if (!m_ok) fprintf(stderr, "bench: no game folder from %s\n", game.c_str());
}

GameFolder::~GameFolder() {
    std::error_code ec;
    if (!m_previous.empty()) fs::current_path(m_previous, ec);
    // Links are removed, never followed.
    if (!m_path.empty()) fs::remove_all(m_path, ec);
}

enginescope::EngineScope* StartEngine(const char* caption, void (*update)()) {
    if (!getenv("KOLVAR_D3D")) d3d9hooks::SetBackend(d3d9hooks::Backend::GL);
    // The previous scope goes first: it deletes by kind and would take the new engine along.
    StopEngine();
    g_engine = new enginescope::EngineScope(enginescope::Options{caption, 1024, 768, update});
    return g_engine->Ok() ? g_engine : nullptr;
}

void StopEngine() {
    delete g_engine;
    g_engine = nullptr;
}

Figures Summarise(std::vector<double> ms) {
    Figures f;
    f.count = ms.size();
    if (ms.empty()) return f;
    std::sort(ms.begin(), ms.end());
    for (double v : ms) f.mean += v;
    f.mean /= double(ms.size());
    f.median = ms[ms.size() / 2];
    f.p95 = ms[std::min(ms.size() - 1, ms.size() * 95 / 100)];
    f.p99 = ms[std::min(ms.size() - 1, ms.size() * 99 / 100)];
    f.max = ms.back();
    return f;
}

void Report(const char* what, const std::vector<double>& ms) {
    const Figures f = Summarise(ms);
    printf("  %s: mean %.3f ms, median %.3f ms, 95th percentile %.3f ms over %zu\n", what, f.mean, f.median, f.p95,
           f.count);
}

double PeakRssMb() {
    rusage usage = {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;  // kB on Linux
}

void PrintMachineLoad() {
    double load[3] = {};
    if (getloadavg(load, 3) == 3)
        printf("machine load: %.2f %.2f %.2f (1, 5, 15 min)\n", load[0], load[1], load[2]);
}

}  // namespace bench
