#pragma once

// Rule values of the running game, read from the general script after its
// game_NewGame. All zero until the first game; the values of the game type
// not being played keep what its last game left.
struct CGameRules {
    float bonusTime = 0;       // ext_BonusTime
    int bombScore = 0;         // ext_BombScore
    int sawScore = 0;          // ext_SawScore
    int rubberBombs = 0;       // ext_RubberBombs
    float rubberTime = 0;      // ext_RubberTime
    float startSpeed = 0;      // ext_StartSpeed
    float deltaLevelSpeed = 0; // ext_DeltaLevelSpeed
    float levelScore = 0;      // ext_LevelScore, truncated
    float rotateScore = 0;     // ext_RotateScore, truncated
    int figureHitScore = 0;    // ext_FigureHitScore
    // Line game: ext_LineScore_1 .. _4, _More.
    int lineScore[5] = {0, 0, 0, 0, 0};
    // Colour game.
    int colorsNum = 0;                          // ext_ColorsNum
    int colorsScore[4] = {0, 0, 0, 0};          // ext_ColorsScore_3 .. _5, _More
    int colorsStageScore[5] = {0, 0, 0, 0, 0};  // ext_ColorsStageScore_2 .. _5, _More
};

extern CGameRules g_GameRules;

struct lua_State;

// Hands the game type and difficulty to the general script as ext_GameType and
// ext_GameDifficulty, runs its game_NewGame and reads the rules back, each
// within its range (scores 0 to 1,000,000, times 0.001 to 3600 s, speeds 0 to
// 1000, ext_RubberBombs 0 to 1000, ext_ColorsNum 1 to 8). On any failure the
// reason is logged, the previous rules stay whole and it returns false;
// g_BounceBombsLeft takes ext_RubberBombs only on success.
bool ReadGameRules(lua_State* state);
