// Themes are downloads from strangers: each hostile theme here fails on its
// own, logged, and the game goes on without its background.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <lua.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>

#include "app/LoadingScreen.h"
#include "app/Startup.h"
#include "app/ThemeManager.h"
#include "app/ThemeScript.h"
#include "engine/GraphicsEngine.h"
#include "engine/Loading.h"
#include "engine/Script.h"
#include "engine/TextureManager.h"
#include "game/GameSettings.h"
#include "tests/app/ThemeTestEnv.h"
#include "support/LuaChunks.h"

namespace themetest {
namespace {

using testutil::BinaryChunk;
using testutil::LuaLiteral;

const char* const kQuietHooks = "function game_BackgroundInit() end\nfunction game_BackgroundDraw() end\n";

class ThemeHostileTest : public ThemeEnv {
protected:
    // The one theme "T" of the folder, made from the script, loaded with the log marked; its manager.
    CThemeManager* LoadLone(const std::string& script, const std::function<void()>& beside = nullptr) {
        std::filesystem::remove_all(m_dir.file("themes"));
        MakeTheme("t", "T", script);
        if (beside) beside();
        CThemeManager* m = CThemeManager::GetInstance();
        MarkLog();
        EXPECT_TRUE(m->LoadTheme("T", false));
        return m;
    }
    // Bold red lines since the mark that hold the text.
    int RedLinesWith(const char* text) const {
        int found = 0;
        for (const std::string& line : TextsSince("red", true)) found += line.find(text) != std::string::npos;
        return found;
    }
    void MakeGoodTheme() {
        MakeTheme("good", "Good", "function game_BackgroundInit() end\nfunction game_BackgroundDraw() drawn = 1 end\n");
    }
};

TEST_F(ThemeHostileTest, EachFailsOnItsOwnAndTheGameGoesOn) {
    testutil::TempDir outside;
    testutil::WriteFile(outside.file("secret.txt"), "function game_BackgroundInit() end\n");
    const std::string themeFolder = m_dir.file("themes/t");
    std::filesystem::create_directories(themeFolder);
    const std::string upAndOut = std::filesystem::relative(outside.file("secret.txt"), themeFolder).string();
    const std::string chunk = BinaryChunk(kQuietHooks);
    struct Case {
        const char* what;
        std::string script;
        const char* logged;  // in a bold red line
        bool background;     // still drawn after the failure
    };
    const Case cases[] = {
        {"binary script", chunk, "binary chunk", false},
        {"binary load", "assert(load(" + LuaLiteral(chunk) + "))()\n", "binary chunk", false},
        {"dofile absolute", "dofile([[" + outside.file("secret.txt") + "]])\n", "outside the game folder", false},
        {"dofile up and out", "dofile([[" + upAndOut + "]])\n", "outside the game folder", false},
        {"endless load", "while true do end\n", "budget", false},
        {"endless draw", "function game_BackgroundInit() end\nfunction game_BackgroundDraw() while true do end end\n",
         "budget", false},
        {"endless handler", "xpcall(function() error('boom') end, function(m) while true do end end)\n",
         "budget", false},
        {"endless init behind pcall",
         "function game_BackgroundInit() while true do pcall(function() while true do end end) end end\n",
         "budget", false},
        {"memory eater", "hoard = {} local s = 'x' while true do s = s .. s; hoard[#hoard + 1] = s end\n",
         "not enough memory", false},
        {"globals that loop", "setmetatable(_G, {__index = function() while true do end end})\n"
                              "function game_BackgroundInit() end\n",
         "game_BackgroundDraw", false},
        // The binding's own dispatch would abort on these; bound operators still work.
        {"number before a vector", "v = D3DXVECTOR3(1, 2, 3) * 2 assert(v.z == 6) x = 2 * v\n", "No such operator", false},
        {"text before a sprite", "x = 'a' .. ext_newSprite()\n", "No such operator", false},
        {"constructor on a number", "ext_newSprite.__init(1)\n", "__init builds", false},
        {"constructor on a built sprite", "s = ext_newAnimatedSprite() s.__init(s)\n", "__init builds", false},
        {"huge frame range", "function game_BackgroundInit() s = ext_newAnimatedSprite()\n"
                             "  s:Load('f', 'png', 1, -2147483647, 2147483647, 1) end\n"
                             "function game_BackgroundDraw() s:Draw() end\n",
         "no more than 4096 frames", true},
        {"huge sheet", "function game_BackgroundInit() s = ext_newAnimatedSprite()\n"
                       "  s:LoadSheet('sky.png', 1, 1, 2147483647, 2147483647); s:SetCurrent(2147483647) end\n"
                       "function game_BackgroundDraw() s:Draw() end\n",
         "do not fit", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CThemeManager* m = LoadLone(c.script, [&] {
            WritePng(m_dir.file("themes/t/sky.png"), 8, 8);
            MakeGoodTheme();
        });
        for (int i = 0; i < 3; ++i) m->DrawBackground();
        EXPECT_EQ(m->HasBackground(), c.background);
        EXPECT_GE(RedLinesWith(c.logged), 1) << c.logged;
        m->UnloadTheme();
        EXPECT_EQ(CountSince("unloading theme complete"), 1);
        EXPECT_EQ(std::filesystem::current_path().string(), m_dir.path());

        // The next theme loads and draws as ever.
        EXPECT_TRUE(m->LoadTheme("Good", false));
        m->DrawBackground();
        EXPECT_TRUE(m->HasBackground());
        EXPECT_EQ(Global("drawn"), 1);
        delete m;
    }
}

// A loop of calls that go to the disk ends with the budget, as a loop of plain
// instructions does, instead of holding the game while the disk answers.
TEST_F(ThemeHostileTest, DiskCallsSpendTheBudget) {
    struct Case {
        const char* call;  // one step of the loop
        int files;         // the files that step looks for
    };
    const Case cases[] = {
        {"ext_LoadTexture('missing.png')", 1},
        {"ext_LoadSound('missing.wav')", 1},
        {"ext_LoadStream('missing.ogg')", 1},
        {"s:Load('missing', 'png', 2, 1, 8, 1)", 8},
        {"s:LoadSheet('missing.png', 1, 1, 8, 8)", 1},
        {"loadfile('missing.txt')", 1},
    };
    const int64_t budget = script::InstructionBudget(script::Budget::Theme);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        CThemeManager* m = LoadLone(std::string("n = 0\nfunction game_BackgroundInit() s = ext_newAnimatedSprite()\n"
                                                "  for i = 1, 1000000 do ") +
                                    c.call + "; n = n + 1 end end\nfunction game_BackgroundDraw() end\n");
        EXPECT_FALSE(m->HasBackground());
        EXPECT_LE(Global("n"), double(budget / (script::kDiskCallCost * c.files) + 1));
        EXPECT_GE(RedLinesWith("budget"), 1);
        m->UnloadTheme();
        delete m;
    }
}

// Every load holds a slot until the theme goes: past its cap a load is refused
// and logged, and the script goes on.
TEST_F(ThemeHostileTest, LoadsStopAtTheirCaps) {
    struct Case {
        const char* call;
        size_t cap;
        size_t (*held)();
    };
    const Case cases[] = {
        {"ext_LoadTexture('missing.png')", kMaxThemeTextures, [] { return g_ThemeTextures.size(); }},
        {"ext_LoadSound('missing.wav')", kMaxThemeSounds, [] { return g_ThemeSounds.size(); }},
        {"ext_LoadStream('missing.ogg')", kMaxThemeStreams, [] { return g_ThemeStreams.size(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.call);
        CThemeManager* m = LoadLone("n = 0\nfunction game_BackgroundInit() for i = 1, " + std::to_string(c.cap + 10) +
                                    " do " + c.call + "; n = n + 1 end end\nfunction game_BackgroundDraw() end\n");
        EXPECT_TRUE(m->HasBackground());
        EXPECT_EQ(Global("n"), double(c.cap + 10));
        EXPECT_EQ(c.held(), c.cap);
        EXPECT_EQ(CountSince("no more than"), 1);
        m->UnloadTheme();
        delete m;
    }
}

// Lua runs finalizers where no budget reaches: an endless one must never run.
TEST_F(ThemeHostileTest, EndlessFinalizersNeverRun) {
    const char* const planted[] = {
        "setmetatable({}, {__gc = function() while true do end end})\n",
        "local mt = getmetatable(ext_newSprite()) or {}; mt.__gc = function() while true do end end\n",
        "local mt = {}; setmetatable({}, mt); mt.__gc = function() while true do end end\n",
        "if class then class 'A'; function A:__finalize() while true do end end; a = A(); a = nil end\n",
    };
    for (const char* script : planted) {
        SCOPED_TRACE(script);
        CThemeManager* m = LoadLone(std::string(script) + "collectgarbage()\n" + kQuietHooks);
        m->DrawBackground();
        EXPECT_TRUE(m->HasBackground());
        m->UnloadTheme();
        EXPECT_EQ(CountSince("unloading theme complete"), 1);
        delete m;
    }
}

// A theme that fills its state to the brink and then calls into the game: the
// memory error comes in the script, never across the binding's C++ frames (the
// sanitizer pass sees no leak), and the next theme loads as ever.
TEST_F(ThemeHostileTest, MemoryRunsOutInScriptsNotInBoundCalls) {
    const char* const calls[] = {
        "ext_newSprite()",
        "ext_newAnimatedSprite()",
        "s:Load('sky', 'png', 1, 1, 3, 1)",
        "s:LoadSheet('sky.png', 1, 1, 8, 8)",
        "ext_LoadTexture('sky.png')",
        "ext_LoadSound('missing.wav')",
        "ext_LoadStream('missing.ogg')",
    };
    // Pieces of every power of two up to 64 KiB, each hoarded until the next
    // copy no longer fits: the state ends a few bytes short of its cap. The
    // collector gives memory back over time, so the brink is sought again
    // before every call.
    const std::string brink = "local function add(p) hoard = {p .. 'y', hoard} end\n"
                              "local pieces = {'x'}\n"
                              "for i = 2, 17 do pieces[i] = pieces[i - 1] .. pieces[i - 1] end\n"
                              "local function brink() for i = 17, 1, -1 do while pcall(add, pieces[i]) do end end end\n";
    for (const char* call : calls) {
        SCOPED_TRACE(call);
        CThemeManager* m = LoadLone("function game_BackgroundInit() s = ext_newAnimatedSprite()\n" + brink +
                                        "  local f = function() local x = " + call + "; held = {x, held} end\n"
                                        "  done = 0\n  for i = 1, 10 do brink(); pcall(f); done = done + 1 end\n"
                                        "end\nfunction game_BackgroundDraw() end\n",
                                    [&] {
                                        WritePng(m_dir.file("themes/t/sky.png"), 8, 8);
                                        MakeGoodTheme();
                                    });
        EXPECT_TRUE(m->HasBackground());
        EXPECT_EQ(Global("done"), 10);
        m->UnloadTheme();
        EXPECT_TRUE(m->LoadTheme("Good", false));
        m->DrawBackground();
        EXPECT_EQ(Global("drawn"), 1);
        delete m;
    }
}

// A theme whose sprite names thousands of missing frames, loaded behind the
// loading screen on the GL device as at start-up: every name is still tried,
// logged and counted, yet the theme loads in about the time of a good one.
class ThemeLoadTimeGlTest : public ThemeEnv {
protected:
    d3d9hooks::Backend Backend() const override { return d3d9hooks::Backend::GL; }
};

TEST_F(ThemeLoadTimeGlTest, MissingFramesCostAboutAGoodThemesLoad) {
    if (!CGraphicsEngine::GetInstance()->GetDevice()) KOLVAR_SKIP_WITHOUT_GL();
    CopyShippedTheme("simple");
    std::filesystem::copy(m_dir.file("themes/simple"), m_dir.file("themes/missing"),
                          std::filesystem::copy_options::recursive);
    testutil::WriteFile(m_dir.file("themes/missing/info.ini"), "[general]\r\nname=Missing\r\n");
    {
        FILE* f = fopen(m_dir.file("themes/missing/script.txt").c_str(), "a");
        ASSERT_TRUE(f);
        fputs("\nlocal init = game_BackgroundInit\nfunction game_BackgroundInit() init()\n"
              "  local s = ext_newAnimatedSprite(); s:Load('missing', 'png', 4, 1, 4096, 1); frames = s:GetNum() end\n",
              f);
        fclose(f);
    }
    WritePng(m_dir.file("intro.png"), 512, 512);
    WritePng(m_dir.file("sheet.png"), 500, 400);
    CTextureManager* textures = CTextureManager::GetInstance();
    textures->SetTexturePath(m_dir.path().c_str());
    ASSERT_TRUE(textures->GetTexture(&g_IntroTexture, "intro.png", false, false, 0.0f));
    // Start-up's font and sprite belong to an engine gone with an earlier test.
    g_TexturedFont = nullptr;
    g_LoadingSprite = CAnimatedSprite();
    g_LoadingSprite.LoadSheet("sheet.png", 10, 71, 50, 50);
    SetLoadingScreenProc(DrawLoadingScreen);
    g_bLoadingScreen = true;
    g_ResCount = 0;  // the full bar throughout: only a step that changes nothing is left to skip

    CThemeManager* m = CThemeManager::GetInstance();
    struct Load {
        double seconds = 1e9;  // the fastest of the tries
        int counted = 0;
        int failed = 0;
    };
    auto load = [&](const char* theme, Load& out) {
        MarkLog();
        g_LoadedResources = 0;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(m->LoadTheme(theme, false));
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        out.seconds = std::min(out.seconds, took.count());
        out.counted = g_LoadedResources;
        out.failed = CountSince("couldn't load texture");
        EXPECT_TRUE(m->HasBackground()) << theme;
    };
    Load good, missing;
    for (int i = 0; i < 2; ++i) {
        load("Simple", good);
        load("Missing", missing);
        EXPECT_EQ(Global("frames"), 0);
    }
    EXPECT_EQ(missing.counted - good.counted, 4096);
    EXPECT_EQ(missing.failed - good.failed, 4096);
    // About eight times here; a present for each name made it hundreds of times.
    EXPECT_LT(missing.seconds, 30.0 * good.seconds) << missing.seconds << " s against " << good.seconds << " s";
    printf("theme load: %.3f s with 4096 missing frames, %.3f s good\n", missing.seconds, good.seconds);

    // The next good theme loads and draws as ever.
    EXPECT_TRUE(m->LoadTheme("Simple", false));
    m->DrawBackground();
    EXPECT_TRUE(m->HasBackground());

    g_bLoadingScreen = false;
    SetLoadingScreenProc(nullptr);
    g_LoadingSprite = CAnimatedSprite();  // its sheet goes with this test's engine
    textures->RemoveTexture(g_IntroTexture);
    g_IntroTexture = nullptr;
}

}  // namespace
}  // namespace themetest
