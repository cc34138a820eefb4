#include "game/GameSettings.h"

int g_GameType = 0;
int g_Difficulty = 0;
int g_FallType = 0;
int g_FrameType = 0;
float g_FrameOpacity = 0.0f;
int g_FrameDetails = 0;
int g_BlocksDetails = 0;
int g_BounceBombsLeft = 0;

const char* const kGameTypeLabels[2] = {"simple kolvar", "color kolvar"};
const char* const kDifficultyLabels[4] = {"easy", "medium", "hard", "mega-hard"};

CFont* g_TexturedFont = nullptr;

std::string g_FieldScriptPath;
std::string g_FieldAnimScriptPath;
std::string g_FrameScriptPath;
std::string g_FigureScriptPath;
