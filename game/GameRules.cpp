#include "game/GameRules.h"

#include <lua.hpp>

#include <cmath>

#include "engine/Log.h"
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

class RulesReader {
public:
    explicit RulesReader(lua_State* L) : m_state(L) {}

    void Float(const char* name, float& out) {
        double v;
        if (Number(name, v)) out = float(v);
    }
    // Truncated toward zero; a value beyond 32 bits fails rather than wraps.
    void Int(const char* name, int& out) {
        double v;
        if (!Number(name, v)) return;
        v = std::trunc(v);
        if (!(v >= -2147483648.0 && v <= 2147483647.0)) return Fail(name, "is out of range");
        out = int(v);
    }
    void IntAsFloat(const char* name, float& out) {
        int v = 0;
        Int(name, v);
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
    r.Float("ext_BonusTime", rules.bonusTime);
    r.Int("ext_BombScore", rules.bombScore);
    r.Int("ext_SawScore", rules.sawScore);
    r.Int("ext_RubberBombs", rules.rubberBombs);
    r.Float("ext_RubberTime", rules.rubberTime);
    r.Float("ext_StartSpeed", rules.startSpeed);
    r.Float("ext_DeltaLevelSpeed", rules.deltaLevelSpeed);
    r.IntAsFloat("ext_LevelScore", rules.levelScore);
    r.IntAsFloat("ext_RotateScore", rules.rotateScore);
    r.Int("ext_FigureHitScore", rules.figureHitScore);
    if (g_GameType == 0) {
        static const char* const kLines[5] = {"ext_LineScore_1", "ext_LineScore_2", "ext_LineScore_3",
                                              "ext_LineScore_4", "ext_LineScore_More"};
        for (int i = 0; i < 5; ++i) r.Int(kLines[i], rules.lineScore[i]);
    } else if (g_GameType == 1) {
        static const char* const kScores[4] = {"ext_ColorsScore_3", "ext_ColorsScore_4", "ext_ColorsScore_5",
                                               "ext_ColorsScore_More"};
        static const char* const kStages[5] = {"ext_ColorsStageScore_2", "ext_ColorsStageScore_3",
                                               "ext_ColorsStageScore_4", "ext_ColorsStageScore_5",
                                               "ext_ColorsStageScore_More"};
        r.Int("ext_ColorsNum", rules.colorsNum);
        for (int i = 0; i < 4; ++i) r.Int(kScores[i], rules.colorsScore[i]);
        for (int i = 0; i < 5; ++i) r.Int(kStages[i], rules.colorsStageScore[i]);
    }
    lua_settop(L, top);
    if (!r.ok()) return false;
    g_GameRules = rules;
    g_BounceBombsLeft = rules.rubberBombs;
    return true;
}
