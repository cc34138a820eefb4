#include "game/GameRules.h"

CGameRules g_GameRules;
