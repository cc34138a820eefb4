#pragma once

#include <string>

class CFont;

// Values of g_GameType; unscoped so config.ini and the scripts keep their numbers.
enum GameType : int { kLineGame = 0, kColorGame = 1 };

// Process-wide game settings; zero when the program starts. The shell fills
// them from config.ini and the menus; game play only reads them.
extern int g_GameType;       // a GameType
extern int g_Difficulty;     // 0 easy .. 3 mega-hard
extern int g_FallType;       // 0 as a brick, 1 as a ball
extern int g_FrameType;      // 0 solid, 1 segmented
extern float g_FrameOpacity;
extern int g_FrameDetails;   // 0 low .. 2 high
extern int g_BlocksDetails;  // 0 low .. 2 high
extern int g_BounceBombsLeft;

// What the new-game menu offers and the HUD shows for g_GameType and g_Difficulty.
extern const char* const kGameTypeLabels[2];
extern const char* const kDifficultyLabels[4];

// The textured font "font.png", loaded at start-up.
extern CFont* g_TexturedFont;

// Scripts named by the general script's globals.
extern std::string g_FieldScriptPath;
extern std::string g_FieldAnimScriptPath;
extern std::string g_FrameScriptPath;
extern std::string g_FigureScriptPath;
