#include "game/GameRules.h"

#include <lua.hpp>

#include <cmath>
#include <cstdio>

#include "engine/Log.h"
#include "engine/Script.h"
#include "game/GameSettings.h"

CGameRules g_GameRules;

namespace {

// Reads one number global; false with the reason when it is missing or not a number.
bool ReadNumber(lua_State* L, const char* name, double& out, const char*& reason) {
    lua_getglobal(L, name);
    const bool ok = lua_type(L, -1) == LUA_TNUMBER;
    if (ok)
        out = lua_tonumber(L, -1);
    else
        reason = lua_type(L, -1) == LUA_TNIL ? "is missing" : "is not a number";
    lua_pop(L, 1);
    return ok;
}

// The ranges a rule may take; every check of the rules lives here. Scores stay
// far enough below 32 bits that no sum of a game can wrap.
struct Range {
    double low, high;
};
constexpr Range kScore{0, 1000000};  // scores and score steps
constexpr Range kTime{0.001, 3600};  // seconds
constexpr Range kSpeed{0, 1000};     // speeds and their steps
constexpr Range kCount{0, 1000};
constexpr Range kColours{1, 8};

class RulesReader {
public:
    explicit RulesReader(lua_State* L) : m_state(L) {}

    void Float(const char* name, float& out, Range range) {
        double v;
        if (Number(name, v) && Within(name, v, range)) out = float(v);
    }
    // Truncated toward zero before the range is checked.
    void Int(const char* name, int& out, Range range) {
        double v;
        if (Number(name, v) && Within(name, v = std::trunc(v), range)) out = int(v);
    }
    void IntAsFloat(const char* name, float& out, Range range) {
        int v = 0;
        Int(name, v, range);
        if (m_ok) out = float(v);
    }
    bool ok() const { return m_ok; }

private:
    bool Number(const char* name, double& v) {
        if (!m_ok) return false;
        const char* reason = nullptr;
        if (!ReadNumber(m_state, name, v, reason)) {
            Fail(name, reason);
            return false;
        }
        return true;
    }
    bool Within(const char* name, double v, Range range) {
        if (v >= range.low && v <= range.high) return true;  // false for NaN too
        char reason[96];
        snprintf(reason, sizeof reason, "is %g, outside %g to %g", v, range.low, range.high);
        Fail(name, reason);
        return false;
    }
    void Fail(const char* name, const char* reason) {
        g_Log.PrintBold("red", "Error: (GameRules) %s %s, the rules stay as they were", name, reason);
        m_ok = false;
    }

    lua_State* m_state;
    bool m_ok = true;
};

}  // namespace

bool ReadGameRules(lua_State* L) {
    if (!L) {
        g_Log.PrintBold("red", "Error: (GameRules) no script state to read the rules from");
        return false;
    }
    const int top = lua_gettop(L);
    lua_pushinteger(L, g_GameType);
    lua_setglobal(L, "ext_GameType");
    lua_pushinteger(L, g_Difficulty);
    lua_setglobal(L, "ext_GameDifficulty");

    script::CallScope scope(L);
    lua_getglobal(L, "game_NewGame");
    if (lua_type(L, -1) != LUA_TFUNCTION) {
        lua_settop(L, top);
        g_Log.PrintBold("red", "Error: (GameRules) game_NewGame is not a function, the rules stay as they were");
        return false;
    }
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) {
        const char* message = lua_tostring(L, -1);
        g_Log.PrintBold("red", "Error: (GameRules) game_NewGame failed: %s", message ? message : "(no message)");
        lua_settop(L, top);
        return false;
    }

    // Read into a copy: the rules change only when every value has been read.
    CGameRules rules = g_GameRules;
    RulesReader r(L);
    r.Float("ext_BonusTime", rules.bonusTime, kTime);
    r.Int("ext_BombScore", rules.bombScore, kScore);
    r.Int("ext_SawScore", rules.sawScore, kScore);
    r.Int("ext_RubberBombs", rules.rubberBombs, kCount);
    r.Float("ext_RubberTime", rules.rubberTime, kTime);
    r.Float("ext_StartSpeed", rules.startSpeed, kSpeed);
    r.Float("ext_DeltaLevelSpeed", rules.deltaLevelSpeed, kSpeed);
    r.IntAsFloat("ext_LevelScore", rules.levelScore, kScore);
    r.IntAsFloat("ext_RotateScore", rules.rotateScore, kScore);
    r.Int("ext_FigureHitScore", rules.figureHitScore, kScore);
    if (g_GameType == kLineGame) {
        static const char* const kLines[5] = {"ext_LineScore_1", "ext_LineScore_2", "ext_LineScore_3",
                                              "ext_LineScore_4", "ext_LineScore_More"};
        for (int i = 0; i < 5; ++i) r.Int(kLines[i], rules.lineScore[i], kScore);
    } else if (g_GameType == kColorGame) {
        static const char* const kScores[4] = {"ext_ColorsScore_3", "ext_ColorsScore_4", "ext_ColorsScore_5",
                                               "ext_ColorsScore_More"};
        static const char* const kStages[5] = {"ext_ColorsStageScore_2", "ext_ColorsStageScore_3",
                                               "ext_ColorsStageScore_4", "ext_ColorsStageScore_5",
                                               "ext_ColorsStageScore_More"};
        r.Int("ext_ColorsNum", rules.colorsNum, kColours);
        for (int i = 0; i < 4; ++i) r.Int(kScores[i], rules.colorsScore[i], kScore);
        for (int i = 0; i < 5; ++i) r.Int(kStages[i], rules.colorsStageScore[i], kScore);
    }
    lua_settop(L, top);
    if (!r.ok()) return false;
    g_GameRules = rules;
    g_BounceBombsLeft = rules.rubberBombs;
    return true;
}
