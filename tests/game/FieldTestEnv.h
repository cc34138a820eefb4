// A field on the null device with dummy audio and a fake clock, in a folder
// that sees the game's data. Scripts can be written into the folder.
#pragma once

#include <gtest/gtest.h>

#include <gamefieldhooks.h>
#include <platform.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "game/GameField.h"
#include "game/GameLoop.h"
#include "game/GameSettings.h"
#include "support/EngineScope.h"
#include "support/EngineSupport.h"
#include "support/FakePlatform.h"
#include "support/TestUtil.h"

namespace fieldtest {

inline std::function<void()>& OnStep() {
    static std::function<void()> f;
    return f;
}
inline void StepCallback() {
    CGraphicsEngine* e = CGraphicsEngine::GetInstancePtr();
    if (e && e->GetCurrentStep() > 0.0f && OnStep()) OnStep()();
}

// Wave coefficients that keep every cell still.
inline constexpr char kStillWave[] = "alpha = 0.5 beta = 1.5 Ax = 0 Bx = 0 Cx = 0 Dx = 0\n";

class FieldTest : public testing::Test {
protected:
    void SetUp() override {
        const char* game = getenv("KOLVAR_GAME_DIR");
        ASSERT_TRUE(game);
        if (!testutil::FileExists(m_dir.file("data"))) {
            std::filesystem::create_directory_symlink(std::string(game) + "/data", m_dir.file("data"));
            std::filesystem::create_symlink(std::string(game) + "/sound.so", m_dir.file("sound.so"));
        }
        m_cwd.reset(new testutil::ScopedCwd(m_dir.path()));
        m_platform.emplace();
        g_GameType = kLineGame;
        g_FieldScriptPath = "data\\scripts\\field\\field.txt";
        g_FieldAnimScriptPath = "data\\scripts\\field\\field_anim.txt";
        gamefieldhooks::RearmConstruction();
        g_Log.Print("black", "field test");  // the next red line carries its colour tag
        m_log.Mark();
    }
    void TearDown() override {
        OnStep() = nullptr;
        gameloop::DeleteGamePlay();
        m_engine.reset();
        m_platform.reset();
        g_FieldScriptPath.clear();
        g_FieldAnimScriptPath.clear();
        m_cwd.reset();
    }

    void StartEngine() {
        enginescope::Options engine;
        engine.caption = "field test";
        engine.update = StepCallback;
        m_engine.reset(new enginescope::EngineScope(engine));
        ASSERT_TRUE(m_engine->Ok());
    }
    CGameField* MakeField() {
        if (!CGraphicsEngine::GetInstancePtr()) StartEngine();
        return CGameField::GetInstance();
    }
    // A field of these rows (one string per row) from a script whose top level
    // is `globals` and whose game_FieldInit runs `extra` after the shape.
    CGameField* FieldOf(const std::vector<std::string>& rows, const std::string& globals = kStillWave,
                        const std::string& extra = "") {
        std::string shape = std::to_string(rows[0].size()) + " " + std::to_string(rows.size()) + "\n";
        for (const std::string& r : rows) shape += r + "\n";
        testutil::WriteFile(m_dir.file("shape.txt"), shape);
        g_FieldScriptPath =
            Script("setup.txt", globals + "function game_FieldInit() ext_Create('shape.txt') " + extra + " end\n");
        CGameField* f = MakeField();
        f->InitFromScript();
        return f;
    }
    // A script file in the test folder, named by a Windows path.
    std::string Script(const std::string& name, const std::string& text) {
        testutil::WriteFile(m_dir.file(name), text);
        return name;
    }
    // Runs code in a state through the layer (failures are logged).
    bool Run(lua_State* L, const std::string& code) {
        static int n = 0;
        return script::RunFile(L, Script("run" + std::to_string(++n) + ".txt", code));
    }
    double Global(lua_State* L, const char* name) {
        lua_getglobal(L, name);
        double v = lua_tonumber(L, -1);
        lua_pop(L, 1);
        return v;
    }
    std::string GlobalText(lua_State* L, const char* name) {
        lua_getglobal(L, name);
        std::string v = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
        lua_pop(L, 1);
        return v;
    }
    // Advances the fake clock by whole 0.025 s steps, running OnStep in each.
    void Steps(int n) {
        for (int i = 0; i < n; ++i) {
            platform::AdvanceFakeClock(25000000LL);
            CGraphicsEngine::GetInstance()->Tick();
        }
    }
    // Moves engine time without running OnStep.
    void Wait(double seconds) {
        auto saved = OnStep();
        OnStep() = nullptr;
        platform::AdvanceFakeClock(static_cast<int64_t>(seconds * 1e9 + 0.5));
        CGraphicsEngine::GetInstance()->Tick();
        OnStep() = saved;
    }
    // The bold red lines since set-up (or the last mark), for failure messages.
    std::string RedText() const {
        std::string out;
        for (const testutil::LogEntry& e : m_log.Entries())
            if (e.bold && e.colour == "red") out += e.text + "\n";
        return out;
    }
    int CountBoldRed(const std::string& needle) const {
        int n = 0;
        for (const testutil::LogEntry& e : m_log.Entries())
            n += e.bold && e.colour == "red" && e.text.find(needle) != std::string::npos;
        return n;
    }

    testutil::LogTail m_log;
    testutil::TempDir m_dir;
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
    std::optional<testutil::FakePlatform> m_platform;
    std::unique_ptr<enginescope::EngineScope> m_engine;
};

}  // namespace fieldtest
