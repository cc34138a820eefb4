#include <gtest/gtest.h>

#include <crt.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "engine/LogCapture.h"
#include "engine/Script.h"
#include "engine/Utils.h"
#include "support/TestUtil.h"
#include "support/LuaChunks.h"

namespace {

using script::Libraries;

// A state that closes itself; the tests evaluate expressions with plain Lua
// calls and run files through the layer.
struct State {
    explicit State(Libraries libs) : L(script::OpenState(libs, script::Budget::Field)) {}
    ~State() { script::CloseState(L); }
    double Number(const std::string& expr) {
        std::string code = "return " + expr;
        EXPECT_EQ(luaL_dostring(L, code.c_str()), LUA_OK) << lua_tostring(L, -1);
        double v = lua_tonumber(L, -1);
        lua_settop(L, 0);
        return v;
    }
    std::string Type(const std::string& expr) {
        std::string code = "return type(" + expr + ")";
        luaL_dostring(L, code.c_str());
        std::string t = lua_tostring(L, -1) ? lua_tostring(L, -1) : "";
        lua_settop(L, 0);
        return t;
    }
    lua_State* L;
};


// The log writes a colour tag only when the colour changes; a fresh capture
// starts with a line of another colour so the first red line carries its tag.
struct Capture : testutil::LogCapture {
    Capture() { g_Log.Print("black", "capture"); }
};

// Bold red log lines that contain the text.
int CountBoldRed(const testutil::LogCapture& log, const std::string& needle) {
    int n = 0;
    for (auto& e : testutil::ReadLogEntries(log.File()))
        if (e.bold && e.colour == "red" && e.text.find(needle) != std::string::npos) ++n;
    return n;
}

TEST(Script, VectorOperatorsDivideByReciprocal) {
    State s(Libraries::BaseMath);
    script::RegisterD3DVECTOR(s.L);
    script::RegisterD3DXVECTOR2(s.L);
    script::RegisterD3DXVECTOR3(s.L);
    script::RegisterD3DXVECTOR4(s.L);
    script::RegisterD3DXCOLOR(s.L);
    EXPECT_EQ(static_cast<float>(s.Number("(D3DXVECTOR3(5, 7, 10) / 3).x")), 1.66666675f);
    struct Case { const char* expr; double want; } cases[] = {
        {"(D3DXVECTOR3(1, 2, 3) + D3DXVECTOR3(1, 1, 1) * 2).x", 3},
        {"(D3DXVECTOR3(1, 2, 3) + D3DXVECTOR3(1, 1, 1) * 2).y", 4},
        {"(D3DXVECTOR3(1, 2, 3) + D3DXVECTOR3(1, 1, 1) * 2).z", 5},
        {"(D3DXVECTOR2(4, 6) - D3DXVECTOR2(1, 1)).y", 5},
        {"(D3DXVECTOR4(1, 2, 3, 8) / 4).w", 2},
        {"(D3DXCOLOR(0.5, 1, 0, 1) * 2 - D3DXCOLOR(1, 1, 0, 1)).g", 1},
        {"(D3DXCOLOR(0.2, 0.4, 0.6, 0.8) + D3DXCOLOR(0.1, 0.1, 0.1, 0.1)).a", 0.9f},
        {"(D3DXCOLOR(1, 2, 3, 4) / 2).b", 1.5},
        {"(function() local v = D3DXVECTOR3(); v.y = 7; return v.y end)()", 7},
    };
    for (auto& c : cases) EXPECT_FLOAT_EQ(static_cast<float>(s.Number(c.expr)), static_cast<float>(c.want)) << c.expr;
    EXPECT_EQ(s.Type("D3DVECTOR"), "userdata") << "the base type is registered";
    EXPECT_NE(luaL_dostring(s.L, "return D3DVECTOR()"), LUA_OK) << "D3DVECTOR has no constructor";
}

TEST(Script, VectorWithoutRegisteredBaseKeepsItsFields) {
    State s(Libraries::BaseMath);
    script::RegisterD3DXVECTOR3(s.L);
    EXPECT_EQ(s.Type("D3DVECTOR"), "nil");
    EXPECT_FLOAT_EQ(static_cast<float>(s.Number("(D3DXVECTOR3(1, 2, 3) * 2).z")), 6.0f);
}

TEST(Script, SchemeFieldsWriteThrough) {
    State s(Libraries::Bare);
    script::RegisterGeneralInterface(s.L);
    g_CurrentScheme.score_color = D3DXCOLOR(0, 0, 0, 0);
    g_DefaultScheme.fps_color = D3DXCOLOR(0, 0, 0, 0);
    ASSERT_EQ(luaL_dostring(s.L, "ext_GetCurrentScheme().score_color.r = 0.75\n"
                                 "local d = ext_GetDefaultScheme(); d.fps_color = D3DXCOLOR(0.1, 0.2, 0.3, 0.4)"),
              LUA_OK)
        << lua_tostring(s.L, -1);
    EXPECT_FLOAT_EQ(g_CurrentScheme.score_color.r, 0.75f);
    EXPECT_FLOAT_EQ(g_DefaultScheme.fps_color.b, 0.3f);
    EXPECT_FLOAT_EQ(g_DefaultScheme.score_color.r, 0.0f);
    EXPECT_NE(luaL_dostring(s.L, "return CColorScheme()"), LUA_OK) << "CColorScheme has no constructor";
    g_CurrentScheme = CColorScheme{};
    g_DefaultScheme = CColorScheme{};
}

TEST(Script, StatesOpenOnlyTheirLibraries) {
    State bare(Libraries::Bare);
    State field(Libraries::BaseMath);
    // A bare state has not even type(); look at the globals table directly.
    for (const char* name : {"print", "math", "string", "dofile"}) {
        lua_getglobal(bare.L, name);
        EXPECT_TRUE(lua_isnil(bare.L, -1)) << name;
        lua_settop(bare.L, 0);
    }
    for (const char* name : {"print", "math", "dofile", "loadfile", "pcall"}) EXPECT_NE(field.Type(name), "nil") << name;
    for (const char* name : {"string", "table", "io", "os", "package", "require", "coroutine", "debug"})
        EXPECT_EQ(field.Type(name), "nil") << name;
}

TEST(Script, MathRandomSharesTheProcessGenerator) {
    State a(Libraries::BaseMath);
    State b(Libraries::BaseMath);
    crt_srand(1);
    EXPECT_EQ(RandomInt(0, 100), 41);
    EXPECT_EQ(a.Number("math.random(1, 100)"), 57);
    EXPECT_EQ(b.Number("math.random(1, 100)"), 20);
    EXPECT_EQ(a.Number("(function() math.randomseed(1) return math.random(1, 100) end)()"), 1)
        << "randomseed discards no draw";
    crt_srand(1);
    EXPECT_EQ(a.Number("math.random()"), 41.0 / 32767.0);
    EXPECT_EQ(a.Number("math.random(10)"), 6) << "18467 / 32767 * 10 -> 5, plus one";
    crt_srand(1);
}

TEST(Script, RunFileTranslatesPathsAndLogsFailures) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    Capture log;
    std::filesystem::create_directories(dir.file("data/scripts/field"));
    testutil::WriteFile(dir.file("data/scripts/field/common.txt"), "shared = 12\n");
    testutil::WriteFile(dir.file("data/scripts/field/main.txt"),
                        "dofile(\"data\\\\Scripts\\\\FIELD\\\\common.txt\")\n"
                        "local f = loadfile(\"DATA\\\\scripts\\\\field\\\\common.txt\")\n"
                        "loaded = type(f)\n");
    testutil::WriteFile(dir.file("bad_range.txt"), "x = math.random(0)\n");
    testutil::WriteFile(dir.file("bad_order.txt"), "x = math.random(3, 1)\n");
    testutil::WriteFile(dir.file("syntax.txt"), "x = = 1\n");
    State s(Libraries::BaseMath);
    ASSERT_TRUE(script::RunFile(s.L, "data\\Scripts\\Field\\main.txt"));
    EXPECT_EQ(s.Number("shared"), 12);
    lua_getglobal(s.L, "loaded");
    EXPECT_STREQ(lua_tostring(s.L, -1), "function");
    lua_settop(s.L, 0);

    for (const char* file : {"bad_range.txt", "bad_order.txt", "syntax.txt", "missing.txt"}) {
        EXPECT_FALSE(script::RunFile(s.L, file));
        EXPECT_EQ(CountBoldRed(log, std::string("Script error in ") + file), 1) << file;
        EXPECT_EQ(lua_gettop(s.L), 0) << file;
    }
    EXPECT_NE(log.Text().find("interval is empty"), std::string::npos);
}

TEST(Script, ProtectedCallsReturnFallbackAndKeepTheStack) {
    Capture log;
    State s(Libraries::BaseMath);
    script::RegisterD3DXVECTOR3(s.L);
    ASSERT_EQ(luaL_dostring(s.L, "function fails() error('boom') end\n"
                                 "function gives_text() return 'abc' end\n"
                                 "function gives_vec(a) return D3DXVECTOR3(a, 0, 0) end"),
              LUA_OK);
    luabind::object fails = script::GetGlobal(s.L, "fails");
    luabind::object text = script::GetGlobal(s.L, "gives_text");
    luabind::object vec = script::GetGlobal(s.L, "gives_vec");
    luabind::object none = script::GetGlobal(s.L, "not_there");

    EXPECT_EQ(script::Call<int>(s.L, fails, "fails", 7, nullptr), 7);
    EXPECT_EQ(script::Call<int>(s.L, text, "gives_text", -3, nullptr), -3);
    EXPECT_FALSE(script::CallVoid(s.L, none, "not_there", nullptr));
    EXPECT_FLOAT_EQ(script::Call<D3DXVECTOR3>(s.L, vec, "gives_vec", D3DXVECTOR3(0, 0, 0), nullptr, 2.5f).x, 2.5f);
    std::string html = log.Text();
    EXPECT_EQ(CountBoldRed(log, "Script error in fails:"), 1);
    EXPECT_NE(html.find("boom"), std::string::npos);
    EXPECT_EQ(CountBoldRed(log, "Script error in gives_text:"), 1);
    EXPECT_EQ(CountBoldRed(log, "Script error in not_there:"), 1);

    bool once = false;
    const int top = lua_gettop(s.L);
    for (int i = 0; i < 1000; ++i) {
        script::Call<int>(s.L, fails, "step_hook", 0, &once);
        script::Call<int>(s.L, text, "step_hook", 0, &once);
    }
    EXPECT_EQ(lua_gettop(s.L), top);
    EXPECT_EQ(CountBoldRed(log, "Script error in step_hook:"), 1) << "a per-step hook logs its first failure only";
    once = false;
    script::Call<int>(s.L, fails, "step_hook", 0, &once);
    EXPECT_EQ(CountBoldRed(log, "Script error in step_hook:"), 2) << "clearing the flag re-arms the log";

    float value = 4.0f;
    ASSERT_EQ(luaL_dostring(s.L, "num = 2.5 txt = 'a'"), LUA_OK);
    EXPECT_TRUE(script::ReadGlobalNumber(s.L, "num", value));
    EXPECT_FALSE(script::ReadGlobalNumber(s.L, "txt", value));
    EXPECT_FALSE(script::ReadGlobalNumber(s.L, "absent", value));
    EXPECT_FLOAT_EQ(value, 2.5f);
    EXPECT_EQ(lua_gettop(s.L), top);
}

using testutil::BinaryChunk;
using testutil::LuaLiteral;

TEST(Script, ChunksAreTextOnly) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    Capture log;
    const std::string chunk = BinaryChunk("ran = 1");
    const std::string bin = LuaLiteral(chunk);
    testutil::WriteFile(dir.file("chunk.txt"), chunk);
    testutil::WriteFile(dir.file("text.txt"), "ran = 2");
    State s(Libraries::BaseMath);
    EXPECT_FALSE(script::RunFile(s.L, "chunk.txt"));
    EXPECT_EQ(CountBoldRed(log, "binary chunk"), 1);

    // Each way a script can hand Lua a chunk answers with the text-only error, whatever mode it asks for.
    const std::string ways[] = {
        "load(" + bin + ")",
        "load(" + bin + ", 'c', 'b')",
        "load(" + bin + ", 'c', 'bt', {})",
        "loadstring(" + bin + ")",
        "load((function() local c = " + bin + " return function() local r = c; c = nil; return r end end)())",
        "loadfile('chunk.txt', 'b')",
        "select(2, pcall(dofile, 'chunk.txt'))",
    };
    for (const std::string& way : ways) {
        const std::string code = "local f, e = " + way + "; return tostring(f) .. ' ' .. tostring(e)";
        ASSERT_EQ(luaL_dostring(s.L, code.c_str()), LUA_OK) << way;
        EXPECT_NE(std::string(lua_tostring(s.L, -1)).find("binary chunk"), std::string::npos) << way;
        lua_settop(s.L, 0);
    }
    EXPECT_EQ(s.Type("ran"), "nil");
    // Text still loads through every one of them.
    EXPECT_EQ(s.Number("(function() load('ran = 3')(); return ran end)()"), 3);
    EXPECT_EQ(s.Number("(function() loadfile('text.txt', 'b')(); return ran end)()"), 2);
}

TEST(Script, DofileAndLoadfileStayInsideTheRoot) {
    testutil::TempDir outside;
    testutil::WriteFile(outside.file("secret.txt"), "escaped = 1");
    testutil::TempDir dir;
    std::filesystem::create_directories(dir.file("themes/t"));
    testutil::WriteFile(dir.file("data.txt"), "inside = 1");
    std::filesystem::create_symlink(outside.file("secret.txt"), dir.file("themes/t/out.txt"));
    std::filesystem::create_symlink(dir.file("data.txt"), dir.file("themes/t/in.txt"));
    std::unique_ptr<State> state;
    {
        testutil::ScopedCwd root(dir.path());  // a state is rooted where it opens
        state.reset(new State(Libraries::BaseMath));
    }
    State& s = *state;
    testutil::ScopedCwd cwd(dir.file("themes/t"));
    const std::string up = std::filesystem::relative(outside.file("secret.txt"), dir.file("themes/t")).string();
    struct Case {
        std::string path;
        bool inside;
    } cases[] = {
        {outside.file("secret.txt"), false}, {up, false}, {"out.txt", false}, {"C:" + outside.file("secret.txt"), false},
        {"..\\..\\data.txt", true},          {"in.txt", true},
    };
    for (const Case& c : cases) {
        for (const char* call : {"dofile", "loadfile"}) {
            const std::string code = std::string("local ok, f, e = pcall(") + call + ", [[" + c.path +
                                     "]]); return tostring(ok and (f or e) or f)";
            ASSERT_EQ(luaL_dostring(s.L, code.c_str()), LUA_OK) << c.path;
            const std::string said = lua_tostring(s.L, -1);
            lua_settop(s.L, 0);
            EXPECT_EQ(said.find("outside the game folder") == std::string::npos, c.inside) << call << " " << said;
        }
    }
    EXPECT_EQ(s.Type("escaped"), "nil");
    EXPECT_EQ(s.Type("inside"), "number");
}

TEST(Script, RunawayCallsEndAndTheStateLivesOn) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    Capture log;
    struct Case {
        Libraries libraries;
        const char* source;
        const char* error;
    } cases[] = {
        {Libraries::Bare, "while true do end", "budget"},
        {Libraries::BaseMath, "while true do pcall(function() while true do end end) end", "budget"},
        {Libraries::BaseMath, "local t = {} for i = 1, 1e9 do t[i] = {} end", "budget"},
        {Libraries::Bare, "local s, t = 'x', {} while true do s = s .. s; t[#t + 1] = s end", "not enough memory"},
        {Libraries::BaseMath, "hoard = {} local s = 'x' while true do s = s .. s; hoard[#hoard + 1] = s end",
         "not enough memory"},
    };
    testutil::WriteFile(dir.file("fine.txt"), "fine = 1");
    for (const Case& c : cases) {
        testutil::WriteFile(dir.file("runaway.txt"), c.source);
        State s(c.libraries);
        const int before = CountBoldRed(log, c.error);
        EXPECT_FALSE(script::RunFile(s.L, "runaway.txt")) << c.source;
        EXPECT_EQ(CountBoldRed(log, c.error), before + 1) << c.source;
        EXPECT_LE(script::MemoryUsed(s.L), script::kMemoryCap) << c.source;
        // The next call starts a fresh count.
        EXPECT_TRUE(script::RunFile(s.L, "fine.txt")) << c.source;
    }
}

}  // namespace

// Script code that Lua would run with hooks off, or that C calls, still ends
// with the budget, in every state kind that has the base library.
TEST(Script, HandlersAndMetamethodsRunWithinTheBudget) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    Capture log;
    const std::string loop = "local function loop() while true do end end\n"
                             "local a = setmetatable({}, {__%s = loop})\n"
                             "local b = setmetatable({}, getmetatable(a) or {})\n";
    struct Case {
        const char* what;  // a metamethod, or nullptr for a whole script
        const char* run;
    } cases[] = {
        {nullptr, "xpcall(function() error('boom') end, function(m) while true do end end)"},
        {nullptr, "xpcall(function() while true do end end, function(m) while true do end end)"},
        {nullptr, "while true do xpcall(function() while true do end end, function(m) return m end) end"},
        {"tostring", "tostring(a)"}, {"index", "local x = a.x"},     {"newindex", "a.x = 1"},
        {"eq", "local x = a == b"},  {"lt", "local x = a < b"},      {"le", "local x = a <= b"},
        {"concat", "local x = a .. b"}, {"call", "a()"},             {"len", "local x = #a"},
        {"add", "local x = a + b"},  {"unm", "local x = -a"},        {"pairs", "pairs(a)"},
        {"ipairs", "ipairs(a)"},
    };
    testutil::WriteFile(dir.file("fine.txt"), "fine = 1");
    for (script::Budget budget : {script::Budget::Field, script::Budget::FieldAnimation, script::Budget::Frame,
                                  script::Budget::Theme}) {
        for (const Case& c : cases) {
            std::string source = c.run;
            if (c.what) {
                char head[256];
                snprintf(head, sizeof head, loop.c_str(), c.what);
                source = head + source;
            }
            SCOPED_TRACE(source);
            testutil::WriteFile(dir.file("runaway.txt"), source);
            lua_State* L = script::OpenState(Libraries::BaseMath, budget);
            const int before = CountBoldRed(log, "budget");
            EXPECT_FALSE(script::RunFile(L, "runaway.txt"));
            EXPECT_EQ(CountBoldRed(log, "budget"), before + 1);
            EXPECT_TRUE(script::RunFile(L, "fine.txt"));
            script::CloseState(L);
        }
    }
}

// xpcall keeps its meaning: results on success, the handler's value on failure.
TEST(Script, XpcallKeepsItsResults) {
    State s(Libraries::BaseMath);
    struct Case { const char* expr; double want; } cases[] = {
        {"select('#', xpcall(function(a, b) return a, b, 3 end, print, 1, 2))", 4},
        {"select(4, xpcall(function(a, b) return a, b, 3 end, print, 1, 2))", 3},
        {"select(2, xpcall(function() error(7, 0) end, function(m) return m * 2 end))", 14},
        {"(xpcall(function() error(7, 0) end, function(m) return m * 2 end)) and 1 or 0", 0},
        {"(pcall(xpcall, function() end)) and 1 or 0", 0},
    };
    for (auto& c : cases) EXPECT_EQ(s.Number(c.expr), c.want) << c.expr;
}

// A state filled to the brink by its script: the game's own pushes in the next
// call still succeed (an unprotected memory error would abort the game), and
// the script fails at its first instruction instead.
TEST(Script, HostPushesAtTheBrinkSucceedAndTheScriptFails) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    testutil::WriteFile(dir.file("brink.txt"),
                        "local function add(p) hoard = {p .. 'y', hoard} end\n"
                        "pieces = {'x'}\n"
                        "for i = 2, 17 do pieces[i] = pieces[i - 1] .. pieces[i - 1] end\n"
                        "for i = 17, 1, -1 do while pcall(add, pieces[i]) do end end\n");
    State s(Libraries::BaseMath);
    ASSERT_TRUE(script::RunFile(s.L, "brink.txt"));
    script::CallScope scope(s.L);
    const std::string text(64 * 1024, 'h');
    for (int i = 0; i < 4; ++i) lua_pushstring(s.L, (text + std::to_string(i)).c_str());
    ASSERT_EQ(luaL_loadstring(s.L, "more = {}"), LUA_OK);
    EXPECT_NE(lua_pcall(s.L, 0, 0, 0), LUA_OK);
    EXPECT_EQ(std::string(lua_tostring(s.L, -1)), "not enough memory");
    EXPECT_LE(script::MemoryUsed(s.L), script::kMemoryCap);
    lua_settop(s.L, 0);
}
