// Stand-in until the field step lands: the cell is emptied, no fragment.
#include "game/GameField.h"

__attribute__((weak)) void CGameField::DestroyBlock(int x, int y, bool /*raise*/) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    m_grid[y][x].Reset();
}
