// Pictures of the special figure, the colour figure, the bomb, the saw and
// the bounce bomb in a running game on the GL device.
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "game/BombEffects.h"
#include "game/BombFigure.h"
#include "game/BounceBombFigure.h"
#include "game/ColorFigure.h"
#include "game/SawFigure.h"
#include "game/SpecialBlockFigure.h"
#include "ScreenshotUtil.h"

namespace {

using namespace screenshot;

struct Mean {
    float r = 0, g = 0, b = 0;
    float Luminance() const { return (r + g + b) / 3.0f; }
};

// Mean channels over the pixels whose distance from c lies in [r0, r1].
Mean MeanIn(const Picture& p, const D3DXVECTOR2& c, float r0, float r1) {
    Mean m;
    int n = 0;
    const int reach = int(std::ceil(r1));
    for (int dy = -reach; dy <= reach; ++dy)
        for (int dx = -reach; dx <= reach; ++dx) {
            const float d = std::sqrt(float(dx * dx + dy * dy));
            if (d < r0 || d > r1) continue;
            const DWORD px = p.At(c + D3DXVECTOR2(float(dx), float(dy)));
            m.r += Picture::Channel(px, 0);
            m.g += Picture::Channel(px, 1);
            m.b += Picture::Channel(px, 2);
            ++n;
        }
    if (n) m.r /= n, m.g /= n, m.b /= n;
    return m;
}

// Mean red of the lit pixels (brightness over 40) within r of c.
float LitRed(const Picture& p, const D3DXVECTOR2& c, float r) {
    float sum = 0;
    int n = 0;
    for (int dy = -int(r); dy <= int(r); ++dy)
        for (int dx = -int(r); dx <= int(r); ++dx) {
            const DWORD px = p.At(c + D3DXVECTOR2(float(dx), float(dy)));
            if (dx * dx + dy * dy > r * r || Picture::Brightness(px) <= 40) continue;
            sum += Picture::Channel(px, 0);
            ++n;
        }
    return n ? sum / n : 0.0f;
}

// The projected radius of a sphere of world radius r about c.
float ProjectedRadius(const D3DXVECTOR3& c, float r) {
    const D3DXVECTOR2 d = Project(c + D3DXVECTOR3(r, 0, 0)) - Project(c);
    return D3DXVec2Length(&d);
}

D3DXVECTOR3 Origin(const D3DXMATRIX& world) { return D3DXVECTOR3(world._41, world._42, world._43); }

// A GL game at the 2.0 shader versions unless given, without the missing data files.
std::unique_ptr<headless::Game> GlGame(GameType gameType, DWORD vs = D3DVS_VERSION(2, 0), DWORD ps = D3DPS_VERSION(2, 0),
                                       const std::vector<std::string>& missing = {}) {
    std::unique_ptr<headless::Game> game(new headless::Game(true));
    if (!missing.empty()) testutil::LinkFolderWithout(game->Dir().file("data"), missing);
    d3d9hooks::SetShaderVersions(vs, ps);
    game->Boot();
    game->NewGame(gameType, 1, 0, 17);
    game->Step();
    return game;
}

// Puts the object in play, the figure in the preview (both may be null).
void Place(CBaseFigure* current, CBaseFigure* next) {
    CFigureGenerator* g = CFigureGenerator::GetInstance();
    g->ClearFigures();
    // Clearing deals new figures at once; they give way to the placed ones.
    if (g->current != g->next) delete g->current;
    delete g->next;
    if (next) next->Init();
    if (current) {
        current->Init();
        current->Start();
        current->Update();
    }
    g->current = current;
    g->next = next;
}

// Ragged landed rows along the bottom of the classic field.
void LandSome(int fromRow) {
    CGameField* f = CGameField::GetInstance();
    for (int y = fromRow; y < f->m_height; ++y)
        for (int x = 1; x < f->m_width - 1; ++x)
            if ((x + y) % 3) f->Cell(x, y).m_value = (x + y) % 7;
}

// Both drawing paths: the pixel-program one, and the vertex-only one forced
// by the reported shader versions.
struct Path {
    const char* suffix;
    DWORD vs, ps;
};
const Path kPaths[] = {{"", D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0)}, {"_low", D3DVS_VERSION(1, 1), D3DPS_VERSION(0, 0)}};

std::string PngName(const char* stem, const Path& path) { return std::string(stem) + path.suffix + ".png"; }

TEST(FigureScreenshot, SpecialFigureIsDarkGreyOnBlueWithThePreviewBeside) {
    for (const Path& path : kPaths) {
        SCOPED_TRACE(PngName("special_figure", path));
        auto game = GlGame(kLineGame, path.vs, path.ps);
        LandSome(17);
        auto* spiral = new CSpecialBlockFigure();
        auto* square = new CSpecialBlockFigure();
        Place(nullptr, square);
        square->SetShape(0, 0);
        square->Update();
        spiral->Init();
        spiral->SetShape(3, 0);
        spiral->Start();
        CFigureGenerator::GetInstance()->current = spiral;
        game->Step(60);
        ASSERT_EQ(CFigureGenerator::GetInstance()->current, spiral);

        const D3DCOLOR blue = D3DCOLOR_XRGB(40, 80, 160);
        const Picture p = Draw(PngName("special_figure", path).c_str(), false, true, blue);
        int checked = 0;
        for (const CFieldBlock& b : spiral->blocks) {
            if (!b.IsBlock() || checked == 3) continue;
            const DWORD px = p.At(Project(BlockCentre(b)));
            const int r = Picture::Channel(px, 0), g = Picture::Channel(px, 1), bl = Picture::Channel(px, 2);
            EXPECT_LT(Picture::Brightness(px), 80) << std::hex << px;
            EXPECT_LE(std::max({r, g, bl}) - std::min({r, g, bl}), 20) << std::hex << px;
            ++checked;
        }
        EXPECT_EQ(checked, 3);
        const float fieldLeft = Project(CellCentre(0, 10)).x;
        for (const CFieldBlock& b : square->blocks)
            if (b.IsBlock()) {
                EXPECT_LT(Project(BlockCentre(b)).x, fieldLeft);
            }
    }
}

TEST(FigureScreenshot, ColourStickShowsItsColoursAndTheCycleMovesThem) {
    for (const Path& path : kPaths) {
        SCOPED_TRACE(PngName("colour_figure", path));
        auto game = GlGame(kColorGame, path.vs, path.ps);
        auto* stick = new CColorFigure(false);
        auto* big = new CColorFigure(true);
        Place(stick, big);
        const int colours[3] = {0, 1, 3};  // red, green, blue materials
        for (int r = 0; r < 3; ++r) stick->Cell(r, 1).m_value = colours[r];
        stick->Update();
        const Picture still = Draw(PngName("colour_figure", path).c_str(), false, true);
        for (int r = 0; r < 3; ++r) {
            const DWORD px = still.At(Project(BlockCentre(stick->Cell(r, 1))));
            int own = Picture::Channel(px, r), other = 0;
            for (int i = 0; i < 3; ++i)
                if (i != r) other = std::max(other, Picture::Channel(px, i));
            EXPECT_GT(own, other + 30) << r << std::hex << " 0x" << px;
        }
        const D3DXVECTOR2 top = Project(BlockCentre(stick->Cell(0, 1))),
                          bottom = Project(BlockCentre(stick->Cell(2, 1)));
        game->Press(DIK_UP);
        game->Step(5);
        game->Release(DIK_UP);
        ASSERT_TRUE(stick->cycling);
        const Picture cycle = Draw(PngName("colour_figure_cycle", path).c_str(), false, true);
        int differ = 0;
        for (float t = 0.0f; t <= 1.0f; t += 0.1f) {
            const D3DXVECTOR2 at = top + (bottom - top) * t;
            differ += std::abs(Picture::Brightness(still.At(at)) - Picture::Brightness(cycle.At(at))) > 20;
        }
        EXPECT_GE(differ, 3);
    }
}

// A block program that does not load moves the field and the figures to the
// next path down: without either high program the picture is the one the
// vertex-program path draws, and without any program the blocks keep their colours.
TEST(FigureScreenshot, MissingBlockProgramsFallBackAPathNeverToGrey) {
    Picture low;
    {
        auto game = GlGame(kLineGame, D3DVS_VERSION(1, 1), D3DPS_VERSION(0, 0));
        LandSome(17);
        game->Step();
        low = Draw("blocks_low_path.png", false, true);
    }
    const std::string highVs = "vertex_shaders/pp_cube_map_high_vs.cg";
    struct Case {
        const char* png;
        std::vector<std::string> missing;
        bool lowPath;
    } cases[] = {{"blocks_without_high_vs.png", {highVs}, true},
                 {"blocks_without_high_ps.png", {"pixel_shaders/pp_cube_map_high_ps.cg"}, true},
                 {"blocks_without_programs.png", {highVs, "vertex_shaders/specular.cg"}, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.png);
        auto game = GlGame(kLineGame, D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), c.missing);
        LandSome(17);
        game->Step();
        const Picture p = Draw(c.png, false, true);
        if (c.lowPath) {
            size_t differ = 0;
            for (size_t i = 0; i < p.px.size() && i < low.px.size(); ++i) differ += p.px[i] != low.px[i];
            EXPECT_EQ(differ, 0u);
        }
        CGameField* f = CGameField::GetInstance();
        int shown = 0, landed = 0;
        for (int y = 17; y < f->m_height; ++y)
            for (int x = 0; x < f->m_width; ++x)
                if (const int v = f->Cell(x, y).m_value; v >= 0) {
                    ++landed;
                    shown += bool(ShowsColour(p.At(Project(CellCentre(x, y))), f->m_materials[v].Diffuse));
                }
        EXPECT_GT(landed, 10);
        EXPECT_EQ(shown, landed);
    }
}

// A bomb half way through its burn on both drawing paths: the body is lit
// and the fuse sparks glow warm.
TEST(FigureScreenshot, BombBurnsWithWarmSparksOnBothPaths) {
    for (const Path& path : kPaths) {
        SCOPED_TRACE(PngName("bomb_sparks", path));
        auto game = GlGame(kLineGame, path.vs, path.ps);
        LandSome(16);
        auto* bomb = new CBombFigure();
        Place(bomb, nullptr);
        for (int i = 0; i < 400 && bomb->state != CBombFigure::kBurning; ++i) game->Step();
        ASSERT_EQ(bomb->state, CBombFigure::kBurning);
        game->Step(20);
        ASSERT_TRUE(bomb->fuseSparks);
        const Picture p = Draw(PngName("bomb_sparks", path).c_str(), false, true);
        const D3DXVECTOR3 centre = bomb->Centre();
        EXPECT_GE(MeanIn(p, Project(centre), 0, ProjectedRadius(centre, 0.9f) * 0.7f).Luminance(), 40.0f);
        const D3DXVECTOR2 sparks = Project(bomb->fuseSparks->currentPoint);
        DWORD best = 0;
        for (int dy = -6; dy <= 6; ++dy)
            for (int dx = -6; dx <= 6; ++dx) {
                const DWORD px = p.At(sparks + D3DXVECTOR2(float(dx), float(dy)));
                if (Picture::Brightness(px) > Picture::Brightness(best)) best = px;
            }
        const int r = Picture::Channel(best, 0), g = Picture::Channel(best, 1), b = Picture::Channel(best, 2);
        EXPECT_GE(r, 200) << std::hex << best;
        EXPECT_TRUE(r >= g && g >= b) << std::hex << best;
    }
}

TEST(FigureScreenshot, SawBladeFacesTheCameraWhileCutting) {
    auto game = GlGame(kLineGame);
    LandSome(12);
    auto* saw = new CSawFigure();
    Place(saw, nullptr);
    game->Step(60);  // about 12 rows down, into the blocks
    ASSERT_EQ(saw->state, CSawFigure::kCutting);
    const Picture p = Draw("saw.png", false, true);
    const D3DXVECTOR3 centre = Origin(saw->bodyWorld);
    const float half = ProjectedRadius(centre, 0.96f) / 2.0f;
    const Mean ring = MeanIn(p, Project(centre), half - 1.0f, half + 1.0f);
    EXPECT_GE(ring.r, 120.0f);
    EXPECT_GE(ring.g, 120.0f);
    EXPECT_GE(ring.b, 120.0f);
}

// The glow turns from green to red over the bomb's life; the trail behind
// it is green.
TEST(FigureScreenshot, BounceBombGlowReddensAndItsTrailIsGreen) {
    auto game = GlGame(kLineGame);
    LandSome(8);
    auto* bomb = new CBounceBombFigure();
    Place(bomb, nullptr);
    std::vector<D3DXVECTOR3> path;
    auto fly = [&](float until) {
        while (game->Steps() < 2000 && CGraphicsEngine::GetInstance()->GetTime() - bomb->startTime < until) {
            game->Step();
            ASSERT_EQ(CFigureGenerator::GetInstance()->current, bomb);
            path.push_back(Origin(bomb->world));
        }
    };
    fly(1.0f);
    const Picture early = Draw("bounce_bomb.png", false, true);
    const D3DXVECTOR3 earlyAt = Origin(bomb->world);
    int green = 0;
    for (size_t back = 2; back <= 6; ++back) {
        const DWORD px = early.At(Project(path[path.size() - 1 - back]));
        const int r = Picture::Channel(px, 0), g = Picture::Channel(px, 1), b = Picture::Channel(px, 2);
        green += g >= 40 && g > r && g > b;
    }
    EXPECT_GE(green, 3);
    fly(0.9f * bomb->lifetime);
    const Picture late = Draw("bounce_bomb_late.png", false, true);
    const D3DXVECTOR3 lateAt = Origin(bomb->world);
    const float r0 = ProjectedRadius(earlyAt, 0.8f), r1 = ProjectedRadius(lateAt, 0.8f);
    EXPECT_GE(LitRed(late, Project(lateAt), r1), LitRed(early, Project(earlyAt), r0) + 60.0f);
}

}  // namespace
