#include "EffectsTestEnv.h"

#include <d3d9hooks.h>
#include <gtest/gtest.h>
#include <platform.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "support/EngineScope.h"
#include "support/TestUtil.h"

namespace effectstest {

namespace {
std::string g_savedCwd;
size_t g_logMark = 0;
std::function<void()> g_step;
std::unique_ptr<enginescope::EngineScope> g_engine;

std::string LogText() { return testutil::ReadFile(std::string(g_Log.GetStartDirectory()) + "/log.html"); }
}  // namespace

bool StartEngine(bool gl) {
    MarkLog();
    d3d9hooks::ResetAll();
    d3d9hooks::SetBackend(gl ? d3d9hooks::Backend::GL : d3d9hooks::Backend::Null);
    platform::SetFakeClock(true, 1000000000LL);
    char cwd[4096];
    g_savedCwd = getcwd(cwd, sizeof cwd) ? cwd : ".";
    const char* gameDir = getenv("KOLVAR_GAME_DIR");
    if (!gameDir || chdir(gameDir) != 0) {
        ADD_FAILURE() << "no game folder (KOLVAR_GAME_DIR)";
        return false;
    }
    enginescope::Options options;
    options.caption = "effects";
    options.update = [] {
        if (CGraphicsEngine::GetInstance()->GetCurrentStep() > 0.0f && g_step) g_step();
    };
    options.dataPaths = false;
    g_engine.reset(new enginescope::EngineScope(options));
    if (!g_engine->Ok()) return false;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    engine->Tick();  // whatever start-up took
    return true;
}

void StopEngine() {
    g_step = nullptr;
    g_engine.reset();
    d3d9hooks::ResetAll();
    platform::SetFakeClock(false);
    if (!g_savedCwd.empty() && chdir(g_savedCwd.c_str()) != 0) ADD_FAILURE() << "chdir back";
}

void SetStepFunction(std::function<void()> step) { g_step = std::move(step); }

void Step(int steps) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    for (int i = 0; i < steps; ++i) {
        platform::AdvanceFakeClock(25000000);
        engine->Tick();
    }
}

float Now() { return CGraphicsEngine::GetInstance()->GetTime(); }

void MarkLog() { g_logMark = LogText().size(); }

int CountLogLines(const std::string& text) {
    std::string log = LogText();
    log.erase(0, std::min(g_logMark, log.size()));
    int count = 0;
    size_t lineStart = 0;
    while (lineStart < log.size()) {
        size_t end = log.find("\r\n", lineStart);
        if (end == std::string::npos) end = log.size();
        if (log.substr(lineStart, end - lineStart).find(text) != std::string::npos) ++count;
        lineStart = end + 2;
    }
    return count;
}

}  // namespace effectstest
