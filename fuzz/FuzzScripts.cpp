// libFuzzer entry points for what scripts and the data they name bring: a
// theme's script.txt through LoadTheme, the general script through the rules
// reader, and a field shape file. One binary each, chosen at build time. A
// broken promise (rules accepted out of range, a shape accepted out of bounds,
// a theme call that outlives its budget) aborts, so the fuzzer keeps the input.

#include <d3d9hooks.h>
#include <platform.h>
#include <win32.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "FuzzSupport.h"

#include "engine/EngineTimer.h"
#include "engine/GeneralParameters.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Script.h"
#include "support/EngineScope.h"

namespace fs = std::filesystem;

namespace {

// A private game folder for the whole run, seeing the built game's data.
const std::string& Scratch() {
    static const std::string path = fuzzsupport::MakeScratch(KOLVAR_GAME_DIR);
    return path;
}

using fuzzsupport::WriteInput;

// The engine on the null device with dummy audio, started once.
[[maybe_unused]] void StartEngine() {  // not every script target needs the engine
    static const bool started = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        fs::current_path(Scratch());
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        platform::SetFakeClock(true, 1000000000LL);
        EngineTimerRestart();
        CGeneralParameters p;
        enginescope::FillWindowed(p, "Kolvar fuzz", 1024, 768);
        if (!CGraphicsEngine::GetInstance()->SetGeneralParameters(&p)) abort();
        return true;
    }();
    (void)started;
}

// The log would grow with every run; only this run's lines matter.
void TrimLog() {
    std::error_code ignored;
    fs::resize_file(Scratch() + "/log.html", 0, ignored);
}

}  // namespace

#if defined(KOLVAR_FUZZ_THEME_SCRIPT)

#include "app/ThemeManager.h"
#include "audio/SoundEngine.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartEngine();
    static CThemeManager* manager = [] {
        CSoundEngine::GetInstance();
        fs::create_directories(Scratch() + "/themes/f");
        WriteInput(Scratch() + "/themes/f/info.ini", reinterpret_cast<const uint8_t*>("[general]\r\nname=F\r\n"), 19);
        g_bUserPlaylist = true;  // the theme's music is another harness's business
        return CThemeManager::GetInstance();
    }();
    TrimLog();
    WriteInput(Scratch() + "/themes/f/script.txt", data, size);
    manager->LoadTheme("f", true);
    for (int i = 0; i < 3; ++i) manager->DrawBackground();
    // Past the budget every instruction fails and counts one; a handler run after
    // the error adds its own few to the last look's stride.
    if (lua_State* L = manager->GetState())
        if (script::InstructionsSpent(L) > script::InstructionBudget(script::Budget::Theme) + 2000 ||
            script::MemoryUsed(L) > script::kMemoryCap + (size_t(8) << 20))
            abort();
    manager->UnloadTheme();
    if (fs::current_path() != Scratch()) abort();
    return 0;
}

#elif defined(KOLVAR_FUZZ_RULES)

#include "game/GameRules.h"
#include "game/GameSettings.h"

namespace {

bool In(double v, double low, double high) { return v >= low && v <= high; }

bool Bounded(const CGameRules& r, GameType gameType) {
    bool ok = In(r.bonusTime, 0.001, 3600) && In(r.rubberTime, 0.001, 3600) && In(r.startSpeed, 0, 1000) &&
              In(r.deltaLevelSpeed, 0, 1000) && In(r.rubberBombs, 0, 1000);
    for (double v : {double(r.bombScore), double(r.sawScore), double(r.levelScore), double(r.rotateScore),
                     double(r.figureHitScore)})
        ok = ok && In(v, 0, 1000000);
    if (gameType == kLineGame)
        for (int v : r.lineScore) ok = ok && In(v, 0, 1000000);
    if (gameType == kColorGame) {
        ok = ok && In(r.colorsNum, 1, 8);
        for (int v : r.colorsScore) ok = ok && In(v, 0, 1000000);
        for (int v : r.colorsStageScore) ok = ok && In(v, 0, 1000000);
    }
    return ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fs::current_path(Scratch());
    TrimLog();
    WriteInput(Scratch() + "/init.txt", data, size);
    lua_State* L = script::OpenState(script::Libraries::Bare, script::Budget::General);
    script::RegisterGeneralInterface(L);
    if (script::RunFile(L, "init.txt")) {
        for (GameType type : {kLineGame, kColorGame}) {
            g_GameType = type;
            g_Difficulty = static_cast<int>(size % 4);
            g_GameRules = CGameRules();
            g_GameRules.bonusTime = g_GameRules.rubberTime = 1;
            g_GameRules.colorsNum = 1;
            if (ReadGameRules(L) && !Bounded(g_GameRules, type)) abort();
        }
    }
    script::CloseState(L);
    return 0;
}

#elif defined(KOLVAR_FUZZ_FIELD_SHAPE)

#include "game/GameField.h"
#include "game/GameSettings.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    StartEngine();
    static CGameField* field = [] {
        g_FieldScriptPath = "data\\scripts\\field\\field.txt";
        g_FieldAnimScriptPath = "data\\scripts\\field\\field_anim.txt";
        return CGameField::GetInstance();
    }();
    TrimLog();
    WriteInput(Scratch() + "/shape.txt", data, size);
    if (field->Create("shape.txt")) {
        if (field->m_width < 1 || field->m_height < 1 || field->m_width > CGameField::kMaxSize ||
            field->m_height > CGameField::kMaxSize)
            abort();
        for (int y = 0; y < field->m_height; ++y)
            for (int x = 0; x < field->m_width; ++x)
                if (field->m_grid[y][x].m_value >= CGameField::kMaterials) abort();
    }
    return 0;
}

#endif
