// Reading the rules from the general script: what game_NewGame is given, the
// order and types of the values, and failures that keep the rules whole.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "engine/Script.h"
#include "game/GameRules.h"
#include "game/GameSettings.h"
#include "tests/engine/LogCapture.h"

namespace {

std::vector<std::string> g_Asked;

// __index of the globals: notes each absent global asked for and answers 7.9.
int NoteAndAnswer(lua_State* L) {
    g_Asked.push_back(lua_tostring(L, 2));
    lua_pushnumber(L, 7.9);
    return 1;
}

const char* const kLineGameScript =
    "function game_NewGame()\n"
    "  ext_BonusTime = 30.5; ext_BombScore = 2.5; ext_SawScore = 1500; ext_RubberBombs = 3\n"
    "  ext_RubberTime = 4.5; ext_StartSpeed = 1.25; ext_DeltaLevelSpeed = 0.5\n"
    "  ext_LevelScore = 150.7; ext_RotateScore = 2000; ext_FigureHitScore = 10\n"
    "  ext_LineScore_1 = 100; ext_LineScore_2 = 300; ext_LineScore_3 = 600\n"
    "  ext_LineScore_4 = 1000; ext_LineScore_More = 1500\n"
    "end\n";

class GameRulesTest : public testing::Test {
protected:
    void SetUp() override {
        m_state = script::OpenState(script::Libraries::Bare, script::Budget::General);
        ASSERT_NE(m_state, nullptr);
        script::RegisterGeneralInterface(m_state);
        g_GameRules = CGameRules();
        g_GameType = kLineGame;
        g_Difficulty = 0;
        g_BounceBombsLeft = 0;
        g_Asked.clear();
    }
    void TearDown() override {
        script::CloseState(m_state);
        g_GameRules = CGameRules();
    }
    void Run(const std::string& text) { ASSERT_EQ(luaL_dostring(m_state, text.c_str()), 0) << text; }
    static bool Same(const CGameRules& a, const CGameRules& b) { return memcmp(&a, &b, sizeof a) == 0; }

    lua_State* m_state = nullptr;
};

TEST_F(GameRulesTest, NewGameSeesTypeAndDifficultyAndValuesAreReadInOrder) {
    g_GameType = kLineGame;
    g_Difficulty = 2;
    Run("function game_NewGame() seen = ext_GameType * 10 + ext_GameDifficulty end");
    lua_pushglobaltable(m_state);
    lua_newtable(m_state);
    lua_pushcfunction(m_state, NoteAndAnswer);
    lua_setfield(m_state, -2, "__index");
    lua_setmetatable(m_state, -2);
    lua_pop(m_state, 1);

    ASSERT_TRUE(ReadGameRules(m_state));
    lua_getglobal(m_state, "seen");
    EXPECT_EQ(lua_tonumber(m_state, -1), 2.0);
    lua_pop(m_state, 1);
    const std::vector<std::string> order = {
        "ext_BonusTime",   "ext_BombScore",   "ext_SawScore",      "ext_RubberBombs",    "ext_RubberTime",
        "ext_StartSpeed",  "ext_DeltaLevelSpeed", "ext_LevelScore", "ext_RotateScore",   "ext_FigureHitScore",
        "ext_LineScore_1", "ext_LineScore_2", "ext_LineScore_3",   "ext_LineScore_4",    "ext_LineScore_More"};
    EXPECT_EQ(g_Asked, order);
    // 7.9 as each type: float, integer, and integer kept as a float.
    EXPECT_FLOAT_EQ(g_GameRules.bonusTime, 7.9f);
    EXPECT_EQ(g_GameRules.bombScore, 7);
    EXPECT_EQ(g_GameRules.levelScore, 7.0f);
    EXPECT_EQ(g_GameRules.lineScore[4], 7);
    EXPECT_EQ(g_BounceBombsLeft, 7);
}

TEST_F(GameRulesTest, NumbersAreTruncatedTowardZero) {
    Run(kLineGameScript);
    ASSERT_TRUE(ReadGameRules(m_state));
    EXPECT_EQ(g_GameRules.levelScore, 150.0f);
    EXPECT_EQ(g_GameRules.bombScore, 2);
    EXPECT_FLOAT_EQ(g_GameRules.bonusTime, 30.5f);
    EXPECT_EQ(g_GameRules.rotateScore, 2000.0f);
    EXPECT_EQ(g_GameRules.lineScore[2], 600);
    EXPECT_EQ(g_BounceBombsLeft, 3);
}

TEST_F(GameRulesTest, ColourGameKeepsTheLineScoresOfTheLastLineGame) {
    Run(kLineGameScript);
    ASSERT_TRUE(ReadGameRules(m_state));
    g_GameType = kColorGame;
    Run("function game_NewGame()\n"
        "  ext_LineScore_1 = 9; ext_ColorsNum = 5\n"
        "  ext_ColorsScore_3 = 1; ext_ColorsScore_4 = 2; ext_ColorsScore_5 = 3; ext_ColorsScore_More = 4\n"
        "  ext_ColorsStageScore_2 = 5; ext_ColorsStageScore_3 = 6; ext_ColorsStageScore_4 = 7\n"
        "  ext_ColorsStageScore_5 = 8; ext_ColorsStageScore_More = 9\n"
        "end\n");
    ASSERT_TRUE(ReadGameRules(m_state));
    EXPECT_EQ(g_GameRules.lineScore[0], 100);
    EXPECT_EQ(g_GameRules.colorsNum, 5);
    EXPECT_EQ(g_GameRules.colorsStageScore[4], 9);
}

TEST_F(GameRulesTest, FailureIsLoggedByNameAndKeepsThePreviousRules) {
    struct Case {
        const char* script;  // run after the line game's script
        const char* logged;
    };
    const Case cases[] = {
        {"ext_SawScore = nil; local f = game_NewGame; game_NewGame = function() f(); ext_SawScore = nil end",
         "ext_SawScore"},
        {"local f = game_NewGame; game_NewGame = function() f(); ext_LineScore_4 = '1000' end", "ext_LineScore_4"},
        {"local f = game_NewGame; game_NewGame = function() f(); ext_RubberBombs = 1e12 end", "ext_RubberBombs"},
        {"game_NewGame = function() local x = nil; return x.field end", "game_NewGame"},
        {"game_NewGame = 5", "game_NewGame"},
    };
    for (const Case& c : cases) {
        g_GameRules = CGameRules();
        g_GameRules.bombScore = 77;
        g_BounceBombsLeft = 4;
        const CGameRules before = g_GameRules;
        Run(kLineGameScript);
        Run(c.script);
        testutil::LogCapture log;
        EXPECT_FALSE(ReadGameRules(m_state)) << c.script;
        EXPECT_TRUE(Same(g_GameRules, before)) << c.script;
        EXPECT_EQ(g_BounceBombsLeft, 4) << c.script;
        EXPECT_NE(log.Text().find(c.logged), std::string::npos) << c.script;
        EXPECT_EQ(lua_gettop(m_state), 0) << c.script;
    }
    EXPECT_FALSE(ReadGameRules(nullptr));
}

TEST_F(GameRulesTest, ValuesOutsideTheirRangeAreRefusedAtTheEdges) {
    struct Case {
        GameType gameType;
        const char* name;
        double low, high;  // the edges are taken, one step beyond is refused
        double beyond;
    };
    const Case cases[] = {
        {kLineGame, "ext_BonusTime", 0.001, 3600, 0.0005},    {kLineGame, "ext_RubberTime", 0.001, 3600, 0.0005},
        {kLineGame, "ext_BombScore", 0, 1000000, 1},          {kLineGame, "ext_SawScore", 0, 1000000, 1},
        {kLineGame, "ext_FigureHitScore", 0, 1000000, 1},     {kLineGame, "ext_LevelScore", 0, 1000000, 1},
        {kLineGame, "ext_RotateScore", 0, 1000000, 1},        {kLineGame, "ext_LineScore_More", 0, 1000000, 1},
        {kLineGame, "ext_StartSpeed", 0, 1000, 0.5},          {kLineGame, "ext_DeltaLevelSpeed", 0, 1000, 0.5},
        {kLineGame, "ext_RubberBombs", 0, 1000, 1},           {kColorGame, "ext_ColorsNum", 1, 8, 1},
        {kColorGame, "ext_ColorsScore_3", 0, 1000000, 1},      {kColorGame, "ext_ColorsStageScore_More", 0, 1000000, 1},
    };
    const std::string colourGame =
        "function game_NewGame()\n"
        "  ext_ColorsNum = 5; ext_ColorsScore_3 = 1; ext_ColorsScore_4 = 2; ext_ColorsScore_5 = 3\n"
        "  ext_ColorsScore_More = 4; ext_ColorsStageScore_2 = 5; ext_ColorsStageScore_3 = 6\n"
        "  ext_ColorsStageScore_4 = 7; ext_ColorsStageScore_5 = 8; ext_ColorsStageScore_More = 9\n"
        "  ext_BonusTime = 30; ext_BombScore = 2; ext_SawScore = 1500; ext_RubberBombs = 3\n"
        "  ext_RubberTime = 4.5; ext_StartSpeed = 1.25; ext_DeltaLevelSpeed = 0.5\n"
        "  ext_LevelScore = 150; ext_RotateScore = 2000; ext_FigureHitScore = 10\n"
        "end\n";
    for (const Case& c : cases) {
        g_GameType = c.gameType;
        auto withValue = [&](double v) {
            Run(c.gameType == kLineGame ? kLineGameScript : colourGame.c_str());
            char tail[160];
            snprintf(tail, sizeof tail, "local f = game_NewGame; game_NewGame = function() f(); %s = %.17g end",
                     c.name, v);
            Run(tail);
        };
        for (double v : {c.low, c.high}) {
            withValue(v);
            EXPECT_TRUE(ReadGameRules(m_state)) << c.name << " = " << v;
        }
        for (double v : {c.low - c.beyond, c.high + c.beyond}) {
            g_GameRules = CGameRules();
            withValue(v);
            testutil::LogCapture log;
            EXPECT_FALSE(ReadGameRules(m_state)) << c.name << " = " << v;
            EXPECT_TRUE(Same(g_GameRules, CGameRules())) << c.name << " = " << v;
            EXPECT_NE(log.Text().find(c.name), std::string::npos) << c.name << " = " << v;
        }
    }
    // Not a number at all is not within any range.
    Run(kLineGameScript);
    Run("local f = game_NewGame; game_NewGame = function() f(); ext_BonusTime = 0/0 end");
    EXPECT_FALSE(ReadGameRules(m_state));
}

}  // namespace
