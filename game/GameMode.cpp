#include "game/GameMode.h"

CGameMode* CGameMode::GetInstance() { return CSingleton<CGameMode>::GetInstance(); }

CGameMode::CGameMode() = default;
CGameMode::~CGameMode() = default;
