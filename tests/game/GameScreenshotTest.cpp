// Pictures of a running game on the GL device (Xvfb, llvmpipe), saved under
// build/test-artifacts/ and checked at the projected centres of cells and blocks.
#include <d3d9hooks.h>

#include <algorithm>

#include "game/BlockFigure.h"
#include "game/CellSeekerEffect.h"
#include "game/VarFrame.h"
#include "support/HeadlessGame.h"
#include "ScreenshotUtil.h"

namespace {

using namespace screenshot;

TEST(GameScreenshot, FallingFigureShowsItsColourAndTrailWithThePreviewBeside) {
    headless::Game game(true);
    d3d9hooks::SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    game.Boot();
    game.NewGame(kLineGame, 1, 0, 321);
    CGameField* field = CGameField::GetInstance();
    for (int x = 1; x <= 10; ++x)
        if (x != 5) field->Cell(x, 20).m_value = x % 7;
    for (int x = 1; x <= 3; ++x) field->Cell(x, 19).m_value = 3;
    CFigureGenerator* generator = CFigureGenerator::GetInstance();
    while (game.Steps() < 400 && !(generator->current && generator->current->y >= 5.0f)) game.Step();
    ASSERT_TRUE(generator->current && generator->next);
    auto* figure = dynamic_cast<CBlockFigure*>(generator->current);
    auto* preview = dynamic_cast<CBlockFigure*>(generator->next);
    ASSERT_TRUE(figure && preview);

    const Picture p = Draw("figure_high.png", false, true);
    const D3DCOLORVALUE colour = field->m_materials[CBlockFigure::kShapeColors[figure->shape]].Diffuse;
    const D3DXVECTOR3 up = CellCentre(1, 9) - CellCentre(1, 10);
    int blocks = 0, trails = 0;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            const CFieldBlock& b = figure->blocks[r * 4 + c];
            if (!b.IsBlock()) continue;
            ++blocks;
            EXPECT_TRUE(ShowsColour(p.At(Project(BlockCentre(b))), colour)) << r << "," << c;
            if (r > 0 && figure->blocks[(r - 1) * 4 + c].IsBlock()) continue;
            trails += Picture::Brightness(p.At(Project(BlockCentre(b) + up * 0.6f))) > 40;
        }
    EXPECT_EQ(blocks, 4);
    EXPECT_GE(trails, 1);
    const float fieldLeft = Project(CellCentre(0, 10)).x;
    for (const CFieldBlock& b : preview->blocks) {
        if (!b.IsBlock()) continue;
        const D3DXVECTOR2 at = Project(BlockCentre(b));
        EXPECT_LT(at.x, fieldLeft);
        EXPECT_GT(Picture::Brightness(p.At(at)), 20);
    }
}

TEST(GameScreenshot, FieldFrameAndClearingOnBothPaths) {
    struct Case {
        DWORD vs, ps;
        int frameType;
        const char* name;
        bool high;
    } cases[] = {{D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), 1, "field_frame_high.png", true},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 0), 0, "field_frame_low.png", false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        headless::Game game(true);
        d3d9hooks::SetShaderVersions(k.vs, k.ps);
        g_FrameType = k.frameType;
        g_FrameOpacity = 1.0f;
        g_FrameDetails = 2;
        g_BlocksDetails = 2;
        game.Boot();
        game.NewGame(kLineGame, 1, 0, 55);

        // A full bottom line under red and blue blocks; the comets start on it.
        CGameField* field = CGameField::GetInstance();
        const int mid = field->m_height / 2;
        int bottom = field->m_height - 1;
        while (bottom > 0 && !field->Cell(field->m_width / 2, bottom).IsEmpty()) --bottom;
        int placed = 0;
        for (int x = 0; x < field->m_width; ++x) {
            if (field->Cell(x, bottom).IsEmpty()) field->Cell(x, bottom).m_value = x % 2 ? 0 : 3;
            if (field->Cell(x, bottom - 1).IsEmpty() && placed < 6)
                field->Cell(x, bottom - 1).m_value = placed++ < 3 ? 0 : 3;
        }
        field->CheckClears();
        game.Step(36);
        int marked = 0, inside = 0;
        for (int x = 0; x < field->m_width; ++x) {
            marked += field->Cell(x, bottom).m_removalMark;
            inside += !field->Cell(x, bottom).IsWall();
        }
        ASSERT_GT(marked, 0);
        ASSERT_LT(marked, inside);

        const Picture p = Draw(k.name, true, false);
        for (int value : {0, 3}) {
            int seen = 0, wrong = 0;
            for (int y = bottom - 3; y <= bottom; ++y)
                for (int x = 0; x < field->m_width; ++x) {
                    const CFieldBlock& b = field->Cell(x, y);
                    if (b.m_value != value || b.m_removalMark) continue;
                    // A comet covers what lies near it, its tail at most one more block.
                    const D3DXVECTOR2 at = Project(BlockCentre(b));
                    bool covered = false;
                    for (CCellSeekerEffect* seeker : field->m_cellSeekers) {
                        const D3DXVECTOR2 d = Project(seeker->position) - at;
                        covered |= D3DXVec2Length(&d) < 40.0f;
                    }
                    if (covered) continue;
                    ++seen;
                    wrong += !ShowsColour(p.At(at), field->m_materials[value].Diffuse);
                }
            EXPECT_GT(seen, 1) << value;
            EXPECT_LE(wrong, 1) << value;
        }
        // The wall cells beside the first and last playable cell of a middle row.
        int first = -1, last = -1;
        for (int x = 0; x < field->m_width; ++x)
            if (field->Cell(x, mid).IsEmpty()) {
                if (first < 0) first = x;
                last = x;
            }
        ASSERT_GT(first, 0);
        ASSERT_LT(last, field->m_width - 1);
        EXPECT_LT(Picture::Brightness(p.At(Project(CellCentre((first + last) / 2, 4)))), 12);
        EXPECT_GT(Picture::Brightness(p.At(Project(CellCentre(first - 1, mid)))), 40);
        EXPECT_GT(Picture::Brightness(p.At(Project(CellCentre(last + 1, mid)))), 40);
        if (k.high) {
            int bright = 0;
            for (CCellSeekerEffect* seeker : field->m_cellSeekers)
                bright = std::max(bright, p.Brightest(Project(seeker->position), 8));
            EXPECT_GT(bright, 180);
        }
    }
    g_FrameType = g_FrameDetails = g_BlocksDetails = 0;
    g_FrameOpacity = 0.0f;
}

}  // namespace
