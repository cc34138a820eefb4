// Stand-ins until the field step lands; removed on that merge.
#include "game/GameField.h"

__attribute__((weak)) void CGameField::Update() {}
__attribute__((weak)) bool CGameField::CheckClears() { return false; }
__attribute__((weak)) bool CGameField::HasMarkedBlocks() const { return false; }
__attribute__((weak)) bool CGameField::ClearColorRuns() { return false; }
