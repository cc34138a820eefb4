#include <functional>
#include <strings.h>

#include "engine/TextureManager.h"
#include "game/BaseFigure.h"
#include "game/BombFigure.h"
#include "game/BounceBombFigure.h"
#include "game/ColorFigure.h"
#include "game/GameLoop.h"
#include "game/SawFigure.h"
#include "game/SpecialBlockFigure.h"
#include "support/EngineSupport.h"
#include "support/HeadlessGame.h"

namespace {

TEST(FigureScriptToInt, TruncatesTowardMinusOneBelowZero) {
    struct Case {
        double in, out;
    } cases[] = {{0, 0}, {2.9, 2}, {-0.1, -1}, {-0.5, -1}, {-1.0, -2}, {-3.0, -4}};
    for (const Case& c : cases) EXPECT_EQ(FigureScriptToInt(c.in), c.out) << c.in;
}

double Eval(lua_State* L, const std::string& expression) {
    std::string code = "return " + expression;
    if (luaL_loadstring(L, code.c_str()) != 0 || lua_pcall(L, 0, 1, 0) != 0) {
        ADD_FAILURE() << lua_tostring(L, -1);
        lua_pop(L, 1);
        return -999;
    }
    double v = lua_type(L, -1) == LUA_TBOOLEAN ? lua_toboolean(L, -1) : lua_tonumber(L, -1);
    lua_pop(L, 1);
    return v;
}

// Boots a fresh game of the type, medium and as a brick, and steps it once: its first figure falls.
CFigureGenerator* Started(headless::Game& game, GameType type, unsigned seed) {
    game.Boot();
    game.NewGame(type, 1, 0, seed);
    game.Step();
    return CFigureGenerator::GetInstance();
}

TEST(FigureGenerator, ScriptFunctionsActOnTheCurrentFigureOnly) {
    headless::Game game;
    game.Boot();
    lua_State* L = CFigureGenerator::GetInstance()->state;
    for (const char* f : {"ext_GetNextPhase()", "ext_GetCurrentPhase()", "ext_GetCurrentType()"})
        EXPECT_EQ(Eval(L, f), 0) << f;
    EXPECT_EQ(Eval(L, "ext_CanBe(4, 1, -1, -1)"), 0);
    game.NewGame(kLineGame, 1, 0, 3);
    game.Step();
    CFigureGenerator* g = CFigureGenerator::GetInstance();
    ASSERT_NE(g->current, nullptr);
    ASSERT_NE(g->next, nullptr);
    // Truncated coordinates: 4.9, 1.2 stands for column 4, row 1.
    CGameField* field = CGameField::GetInstance();
    EXPECT_EQ(Eval(L, "ext_CanBe(4.9, 1.2, -1, -1)"), g->current->CanBe(4, 1, -1, -1));
    for (int x = 0; x < field->m_width; ++x) field->Cell(x, 1).m_value = 2;
    EXPECT_EQ(Eval(L, "ext_CanBe(4.9, 1.2, -1, -1)"), 0);
    EXPECT_EQ(Eval(L, "ext_GetFieldW()"), field->m_width);
    EXPECT_EQ(Eval(L, "ext_GetCurrentLevel()"), 1);

    // The objects without shapes answer 0 whatever their fields hold, and do
    // not turn; the self-moving ones build nothing either.
    struct Object {
        const char* name;
        std::function<CBaseFigure*()> make;
        bool builds;
    } objects[] = {{"bomb", [] { return new CBombFigure(); }, false},
                   {"saw", [] { return new CSawFigure(); }, false},
                   {"bounce bomb", [] { return new CBounceBombFigure(); }, false},
                   {"colour figure", [] { return new CColorFigure(false); }, true}};
    auto cells = [field] {
        std::vector<int> values;
        for (int y = 0; y < field->m_height; ++y)
            for (int x = 0; x < field->m_width; ++x) values.push_back(field->Cell(x, y).m_value);
        return values;
    };
    for (const Object& o : objects) {
        SCOPED_TRACE(o.name);
        CBaseFigure* object = o.make();
        object->Init();
        object->Start();
        object->phase = 1;
        object->shape = 5;
        delete g->current;
        g->current = object;
        for (const char* f : {"ext_GetNextPhase()", "ext_GetCurrentPhase()", "ext_GetCurrentType()"})
            EXPECT_EQ(Eval(L, f), 0) << f;
        const std::vector<int> before = cells();
        lua_pushnumber(L, 4);
        lua_setglobal(L, "ext_x");
        lua_pushnumber(L, 10);
        lua_setglobal(L, "ext_y");
        Eval(L, "ext_SetNextPhase()");
        EXPECT_EQ(object->phase, 1);
        EXPECT_EQ(object->shape, 5);
        if (o.builds) continue;
        Eval(L, "ext_Build()");
        EXPECT_EQ(cells(), before);
    }
}

TEST(FigureGenerator, PausedOrFlippingStepsChangeNothing) {
    headless::Game game;
    CFigureGenerator* g = Started(game, kLineGame, 5);
    game.Step(3);
    CGameMode* mode = CGameMode::GetInstance();
    CGameField* field = CGameField::GetInstance();
    ASSERT_NE(g->current, nullptr);
    const float y = g->current->y;
    for (int variant = 0; variant < 3; ++variant) {
        mode->menuState = variant == 0 ? CGameMode::kMenuOpen : CGameMode::kMenuClosed;
        mode->mode = variant == 1 ? CGameMode::kNoGame : CGameMode::kGameRunning;
        field->m_flipRunning = variant == 2;
        for (int i = 0; i < 80; ++i) g->Process();
        EXPECT_FLOAT_EQ(g->current->y, y) << variant;
    }
}

TEST(FigureGenerator, PendingFlipStartsBeforeAnyPromotion) {
    headless::Game game;
    game.Boot();
    game.NewGame(kLineGame, 1, 0, 5);
    CFigureGenerator* g = CFigureGenerator::GetInstance();
    g->ClearFigures();  // a figure waits and none falls, as between two figures
    CGameField* field = CGameField::GetInstance();
    CBaseFigure* waiting = g->next;
    ASSERT_NE(waiting, nullptr);
    ASSERT_EQ(g->current, nullptr);
    field->m_flipPending = true;
    g->Process();
    EXPECT_TRUE(field->m_flipRunning);
    EXPECT_FALSE(field->m_flipPending);
    EXPECT_EQ(g->current, nullptr);
    EXPECT_EQ(g->next, waiting);
}

// Blocks still being cleared keep the waiting figure out of the field.
TEST(FigureGenerator, MarkedBlocksDelayThePromotion) {
    headless::Game game;
    game.Boot();
    game.NewGame(kLineGame, 1, 0, 5);
    CFigureGenerator* g = CFigureGenerator::GetInstance();
    g->ClearFigures();  // a figure waits and none falls, as between two figures
    CFieldBlock& cell = CGameField::GetInstance()->Cell(3, 20);
    cell.m_value = 1;
    cell.m_removalMark = true;
    CBaseFigure* waiting = g->next;
    ASSERT_NE(waiting, nullptr);
    for (int i = 0; i < 5; ++i) g->Process();
    EXPECT_EQ(g->current, nullptr);
    EXPECT_EQ(g->next, waiting);
    cell.m_removalMark = false;
    g->Process();
    EXPECT_EQ(g->current, waiting);
}

TEST(FigureGenerator, RequestsReplaceTheWaitingFigureOnePerUpkeep) {
    headless::Game game;
    CFigureGenerator* g = Started(game, kLineGame, 5);
    ASSERT_NE(g->current, nullptr);
    g->bombFlag = g->sawFlag = g->specialFigureFlag = true;
    // Each request is consumed in order and replaces the waiting object.
    bool* const flags[] = {&g->bombFlag, &g->sawFlag, &g->specialFigureFlag};
    const int32_t kinds[] = {CBaseFigure::kBomb, CBaseFigure::kBomb, CBaseFigure::kSpecial};
    for (int i = 0; i < 3; ++i) {
        g->Process();
        EXPECT_FALSE(*flags[i]) << i;
        if (i < 2) {
            EXPECT_TRUE(*flags[i + 1]) << i;
        }
        ASSERT_NE(g->next, nullptr);
        EXPECT_EQ(g->next->kind, kinds[i]) << i;
    }
}

// A held drop is ignored by the next figure until released or 0.3 s pass.
TEST(FigureGenerator, HeldDropWaitsForReleaseOrTimeout) {
    for (bool release : {false, true}) {
        headless::Game game;
        CFigureGenerator* g = Started(game, kLineGame, 11);
        ASSERT_NE(g->current, nullptr);
        game.Press(DIK_SPACE);
        while (!g->dropSuppressed && game.Steps() < 200) game.Step();  // dropped, landed
        ASSERT_TRUE(g->dropSuppressed);
        while (!g->current && game.Steps() < 200) game.Step();
        CBaseFigure* second = g->current;
        ASSERT_NE(second, nullptr);
        const float y = second->y;
        if (release) {
            game.Release(DIK_SPACE);
            game.Step();
            game.Press(DIK_SPACE);
            game.Step();
            EXPECT_NE(g->current, second);  // dropped at once
            continue;
        }
        game.Step(8);  // under 0.3 s: still in the air
        EXPECT_EQ(g->current, second);
        EXPECT_LT(second->y - y, 2.0f);
        game.Step(6);
        EXPECT_NE(g->current, second);
    }
}

// The first landing in either game type adds the hit score, nothing else.
TEST(FigureGenerator, LandingAddsTheHitScore) {
    for (GameType type : {kLineGame, kColorGame}) {
        headless::Game game;
        CFigureGenerator* g = Started(game, type, 5);
        CBaseFigure* first = g->current;
        ASSERT_NE(first, nullptr);
        game.Press(DIK_SPACE);
        while (g->current == first && game.Steps() < 100) game.Step();
        EXPECT_EQ(CHud::GetInstance()->score, g_GameRules.figureHitScore) << type;
    }
}

// Drop and down held across a landing: the line game holds both back from the
// next figure, the colour game only the drop.
TEST(FigureGenerator, HeldKeysAfterALandingSuppressDownOnlyInTheLineGame) {
    for (GameType type : {kLineGame, kColorGame}) {
        headless::Game game;
        CFigureGenerator* g = Started(game, type, 11);
        CBaseFigure* first = g->current;
        ASSERT_NE(first, nullptr);
        game.Press(DIK_SPACE);
        game.Press(DIK_DOWN);
        while ((g->current == first || !g->current) && game.Steps() < 100) game.Step();
        CBaseFigure* second = g->current;
        ASSERT_NE(second, nullptr);
        const float y = second->y;
        game.Step(4);  // 0.1 s, under the 0.3 s hold-back
        ASSERT_EQ(g->current, second) << type << ": the drop is held back in both";
        const float fell = second->y - y;
        if (type == kLineGame)
            EXPECT_LT(fell, 0.5f) << "normal speed";
        else
            EXPECT_GT(fell, 1.0f) << "down still speeds the fall";
    }
}

// Points in a bonus period bring their object at the period's end: it takes
// the waiting figure's place at once and comes in after the landing.
TEST(FigureGenerator, BonusPeriodPointsBringTheirObjectNext) {
    struct Case {
        const char* name;
        GameType gameType;
        std::function<int()> points;
        std::function<bool(CBaseFigure*)> is;
        float x, y;
    } cases[] = {
        {"bomb", kLineGame, [] { return g_GameRules.bombScore + 100; },
         [](CBaseFigure* f) { return dynamic_cast<CBombFigure*>(f) != nullptr; }, -10, 7},
        {"saw", kLineGame, [] { return g_GameRules.sawScore + 100; },
         [](CBaseFigure* f) { return dynamic_cast<CSawFigure*>(f) != nullptr; }, -10, 8},
        {"special", kLineGame, [] { return g_GameRules.bombScore / 4; },
         [](CBaseFigure* f) { return dynamic_cast<CSpecialBlockFigure*>(f) != nullptr; }, -11, 10},
        {"colour bomb", kColorGame, [] { return g_GameRules.bombScore + 20; },
         [](CBaseFigure* f) { return dynamic_cast<CBombFigure*>(f) != nullptr; }, -10, 7},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        headless::Game game;
        CFigureGenerator* g = Started(game, c.gameType, 7);
        CHud* hud = CHud::GetInstance();
        ASSERT_NE(g->current, nullptr);
        hud->AddScore(c.points());
        hud->displayedScore = float(hud->score);
        hud->periodStart = CGraphicsEngine::GetInstance()->GetTime() - hud->bonusTime;
        game.Step();
        ASSERT_TRUE(c.is(g->next));
        EXPECT_EQ(g->next->x, c.x);
        EXPECT_EQ(g->next->y, c.y);
        CBaseFigure* object = g->next;
        game.Press(DIK_SPACE);
        while (g->current != object && game.Steps() < 200) game.Step();
        EXPECT_EQ(g->current, object);
        EXPECT_FALSE(object->preview);
    }
}

// The spark sheet's ten frames come with the generator and go with it.
TEST(FigureGenerator, SparkFramesAreLoadedAndReleased) {
    headless::Game game;
    game.Boot();
    const auto& frames = CFigureGenerator::GetInstance()->spark.GetFrames();
    ASSERT_EQ(frames.size(), 10u);
    for (size_t i = 0; i < frames.size(); ++i) {
        ASSERT_TRUE(frames[i]);
        const std::string tail = "ff" + std::to_string(i) + ".bmp";
        const std::string path = frames[i]->m_Path;
        ASSERT_GE(path.size(), tail.size());
        EXPECT_EQ(strcasecmp(path.c_str() + path.size() - tail.size(), tail.c_str()), 0) << path;
    }
    gameloop::DeleteGamePlay();
    for (CTextureEntry* t : CTextureManager::GetInstance()->GetTextures())
        EXPECT_EQ(strcasestr(t->m_Path, "spark"), nullptr) << t->m_Path;
}

struct BadScript {
    const char* name;
    const char* text;
};

// Each fault is logged in red and ends the game with nothing scored (a bad x
// while falling only keeps the old one); a refused first figure ends it quietly.
TEST(FigureGenerator, BrokenFigureScriptsAreLoggedAndEndTheGame) {
    const char* hooks =
        "function game_SetupValues(x, y, r) ext_x = x ext_y = y ext_rotate = r end\n"
        "function game_FigureInit() return 1 end\n";
    const BadScript cases[] = {
        {"missing", nullptr},
        {"syntax", "function game_FigureAction( oops\n"},
        {"boolean", "function game_FigureAction() return true end\n"},
        {"string x", "function game_FigureAction() ext_x = 'left' return 1 end\n"},
        {"string x at the landing", "function game_FigureAction() ext_y = 19 ext_x = 'left' ext_Build() return 0 end\n"},
        {"no action", ""},
        {"refused", "function game_FigureInit() return 0 end\n"},
    };
    for (const BadScript& c : cases) {
        SCOPED_TRACE(c.name);
        headless::Game game;
        if (c.text) testutil::WriteFile(game.Dir().file("fig.txt"), std::string(hooks) + c.text);
        game.Boot(game.InitWith("figure_action_script = 'fig.txt'"));
        const testutil::LogTail log;
        game.NewGame(kLineGame, 1, 0, 1);
        game.Step(40);
        int red = 0;
        for (const testutil::LogEntry& e : log.Entries()) red += e.bold && e.colour == "red";
        const std::string name = c.name;
        EXPECT_EQ(red >= 1, name != "refused");
        if (name == "string x") {
            // A position that is not a number keeps the old one; the figure still falls.
            EXPECT_FALSE(game.Over());
            continue;
        }
        EXPECT_EQ(headless::GameOverCount(), 1);
        CFigureGenerator* g = CFigureGenerator::GetInstance();
        EXPECT_EQ(g->current, nullptr);
        EXPECT_EQ(g->next, nullptr);
        EXPECT_EQ(CHud::GetInstance()->score, 0);
        EXPECT_TRUE(CGameField::GetInstance()->IsEmpty()) << "no block landed";
    }
}

}  // namespace
