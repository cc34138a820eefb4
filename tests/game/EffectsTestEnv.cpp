#include "EffectsTestEnv.h"

#include <gtest/gtest.h>
#include <platform.h>

#include <cstdlib>
#include <memory>
#include <optional>

#include "engine/GraphicsEngine.h"
#include "support/EngineScope.h"
#include "support/FakePlatform.h"
#include "support/TestUtil.h"

namespace effectstest {

namespace {
std::function<void()> g_step;
std::unique_ptr<testutil::ScopedCwd> g_cwd;
std::optional<testutil::FakePlatform> g_platform;
std::unique_ptr<enginescope::EngineScope> g_engine;
}  // namespace

bool StartEngine() {
    g_platform.emplace();
    const char* gameDir = getenv("KOLVAR_GAME_DIR");
    if (!gameDir) {
        ADD_FAILURE() << "no game folder (KOLVAR_GAME_DIR)";
        return false;
    }
    g_cwd.reset(new testutil::ScopedCwd(gameDir));
    enginescope::Options options;
    options.caption = "effects";
    options.update = [] {
        if (CGraphicsEngine::GetInstance()->GetCurrentStep() > 0.0f && g_step) g_step();
    };
    options.dataPaths = false;
    g_engine.reset(new enginescope::EngineScope(options));
    if (!g_engine->Ok()) return false;
    CGraphicsEngine::GetInstance()->Tick();  // whatever start-up took
    return true;
}

void StopEngine() {
    g_step = nullptr;
    g_engine.reset();
    g_platform.reset();
    g_cwd.reset();
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

}  // namespace effectstest
