#include "game/FieldRules.h"

#include <vector>

#include "game/GameRules.h"

namespace fieldrules {

bool Settled(const Grid& grid, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const CFieldBlock& cell = grid[y][x];
            if (cell.IsBlock() && cell.m_motionCounter != 0) return false;
        }
    return true;
}

bool HasMarkedBlocks(const Grid& grid, int width, int height) {
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const CFieldBlock& cell = grid[y][x];
            if (cell.IsBlock() && (cell.m_motionCounter != 0 || cell.m_removalMark)) return true;
        }
    return false;
}

int MarkFullLines(Grid& grid, int width, int height) {
    int lines = 0;
    for (int y = height - 1; y >= 0; --y) {
        int start = -1;
        bool full = true;
        for (int x = 0; x < width; ++x) {
            CFieldBlock& cell = grid[y][x];
            if (start < 0 && !cell.IsWall()) start = x;
            if (start < 0) continue;
            if (cell.IsEmpty() || (cell.IsBlock() && cell.m_removalMark)) full = false;
            if (cell.IsWall()) {
                if (full) {
                    ++lines;
                    for (int i = start; i < x; ++i) grid[y][i].m_removalMark = true;
                }
                start = -1;
                full = true;
            }
        }
    }
    return lines;
}

int MarkColorRuns(Grid& grid, int width, int height) {
    const int w = width, h = height;
    std::vector<char> flags(size_t(w > 0 ? w : 0) * size_t(h > 0 ? h : 0), 0);
    auto start = [&](int x, int y) {
        const CFieldBlock& cell = grid[y][x];
        return cell.IsBlock() && !cell.m_removalMark && cell.m_motionCounter == 0;
    };
    auto run = [&](int x, int y, int dx, int dy) {
        if (!start(x, y)) return;
        const int value = grid[y][x].m_value;
        int length = 1;
        for (int cx = x + dx, cy = y + dy; cx >= 0 && cx < w && cy >= 0 && cy < h && grid[cy][cx].m_value == value;
             cx += dx, cy += dy)
            ++length;
        if (length < 3) return;
        for (int i = 0; i < length; ++i) flags[size_t(y + i * dy) * w + size_t(x + i * dx)] = 1;
    };
    for (int y = 0; y <= h - 3; ++y)
        for (int x = 0; x < w; ++x) run(x, y, 0, 1);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x <= w - 3; ++x) run(x, y, 1, 0);
    for (int y = 0; y <= h - 3; ++y)
        for (int x = 0; x <= w - 3; ++x) run(x, y, 1, 1);
    for (int y = 0; y <= h - 3; ++y)
        for (int x = w - 1; x >= 2; --x) run(x, y, -1, 1);

    int marked = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (flags[size_t(y) * w + size_t(x)]) {
                grid[y][x].m_removalMark = true;
                ++marked;
            }
    return marked;
}

void FallStep(Grid& grid, int width, int height, float distance, float rowSpacing) {
    for (int y = height - 2; y >= 0; --y)
        for (int x = 0; x < width; ++x) {
            CFieldBlock& cell = grid[y][x];
            if (!cell.IsBlock() || cell.m_motionCounter == 0) continue;
            cell.m_fallOffset += distance;
            if (cell.m_fallOffset < rowSpacing) continue;
            CFieldBlock& below = grid[y + 1][x];
            if (!below.IsEmpty()) {
                // Never overwrite a block or a wall: behind a block still
                // falling it waits; on anything at rest the fall ends.
                if (below.IsBlock() && below.m_motionCounter != 0) {
                    cell.m_fallOffset = rowSpacing;
                } else {
                    cell.m_motionCounter = 0;
                    cell.m_fallOffset = 0.0f;
                }
                continue;
            }
            cell.m_fallOffset = 0.0f;
            --cell.m_motionCounter;
            below = cell;
            below.m_orientation = below.m_baseOrientation;
            cell.Reset();
        }
}

int LineScore(int lines) {
    if (lines <= 0) return 0;
    return g_GameRules.lineScore[lines >= 5 ? 4 : lines - 1];
}

int ColorRunScore(int marked) {
    if (marked >= 6) return 100;
    if (marked == 5) return 60;
    if (marked == 4) return 30;
    return 15;
}

int ChainBonus(int chain) {
    static const int kBonus[] = {0, 0, 50, 100, 200, 400};
    return chain >= 6 ? 1000 : (chain < 0 ? 0 : kBonus[chain]);
}

}  // namespace fieldrules
