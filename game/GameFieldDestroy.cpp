// Knocking a single block out of the field.
#include "game/BlockPart.h"
#include "game/GameField.h"

void CGameField::DestroyBlock(int x, int y, bool raise) {
    if (x < 0 || y < 0 || x >= m_width || y >= m_height) return;
    if (m_grid[y][x].m_value < 0) return;
    // The fragment copies the cell's place and colour before it is emptied.
    new CBlockPart(x, y);
    if (raise)
        for (int r = y - 1; r >= 0; --r)
            if (m_grid[r][x].m_value >= 0) ++m_grid[r][x].m_motionCounter;
    m_grid[y][x].Reset();
}
