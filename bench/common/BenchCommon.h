// Set-up and figures shared by the game benchmarks. Run them under Xvfb:
//   xvfb-run -a -s "-screen 0 1024x768x24" build/bench/<name>/bench_<name>
#pragma once

#include <win32.h>

#include <chrono>
#include <string>
#include <vector>

namespace enginescope {
class EngineScope;
}

namespace bench {

using Clock = std::chrono::steady_clock;
double MsSince(Clock::time_point from);
// CPU time of every thread of this process so far, ms: on a busy machine the
// work a frame takes, where the wall clock also counts the waits for a core.
double ProcessCpuMs();

// A scratch game folder made current: links to the built game's files and a
// fresh config.ini, so the runs write their log and settings there, not into
// the build. Removed again by the destructor.
class GameFolder {
public:
    GameFolder();
    ~GameFolder();
    GameFolder(const GameFolder&) = delete;
    GameFolder& operator=(const GameFolder&) = delete;
    bool Ok() const { return m_ok; }
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
    bool m_ok = false;
};

// The engine windowed at 1024 x 768 with fixed 0.025 s steps, the device
// KOLVAR_D3D selects (GL unless told otherwise), and the data paths the game
// uses. Null (with a line on stderr) when there is no engine. StopEngine, or
// the next start, deletes the singletons the start made that are still there.
enginescope::EngineScope* StartEngine(const char* caption, void (*update)());
void StopEngine();

// Mean, median, 95th and 99th percentile and largest of samples in ms.
struct Figures {
    double mean = 0, median = 0, p95 = 0, p99 = 0, max = 0;
    size_t count = 0;
};
Figures Summarise(std::vector<double> ms);
void Report(const char* what, const std::vector<double>& ms);

// Peak resident set of this process, MB.
double PeakRssMb();
// The machine's one-minute load average, printed with every run's figures.
void PrintMachineLoad();

}  // namespace bench
