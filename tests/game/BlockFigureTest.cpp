#include <cmath>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "FigureTestEnv.h"
#include "audio/SoundTestView.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/Shader.h"
#include "game/BlockFigure.h"
#include "game/ColorFigure.h"
#include "game/FigureGenerator.h"
#include "game/GameMode.h"
#include "game/ObjectEmitter.h"
#include "engine/PixelShader.h"
#include "engine/VertexShader.h"

namespace {

// The figure tests' field, 21 rows high like the shipped one.
class BlockFigureTest : public figuretest::FigureTest {
protected:
    CGameField* Field(int w = 10, int h = 21) { return FigureTest::Field(w, h); }
    // Block centres of the figure, rounded to 1/1000 so that sets compare.
    static std::set<std::tuple<long, long, long>> Centres(const CBlockFigure& f) {
        std::set<std::tuple<long, long, long>> out;
        for (const CFieldBlock& b : f.blocks)
            if (!b.IsEmpty()) {
                D3DXVECTOR3 c = Centre(b);
                out.insert({std::lround(c.x * 1000), std::lround(c.y * 1000), std::lround(c.z * 1000)});
            }
        return out;
    }
};

typedef std::set<std::pair<int, int>> Cells;  // (row, column)

Cells MaskCells(const SFigurePhase& p) {
    Cells out;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (p.mask[r][c]) out.insert({r, c});
    return out;
}

// The mask turned +pi/2 about the pivot with the row-vector z rotation.
Cells Turned(const SFigurePhase& p) {
    Cells out;
    for (auto [r, c] : MaskCells(p)) {
        D3DXMATRIX rot;
        D3DXMatrixRotationZ(&rot, D3DX_PI / 2);
        D3DXVECTOR3 v(c - p.pivotX, r - p.pivotY, 0), t;
        D3DXVec3TransformCoord(&t, &v, &rot);
        out.insert({int(std::lround(t.y + p.pivotY)), int(std::lround(t.x + p.pivotX))});
    }
    return out;
}

TEST(BlockShapes, EveryTurnIsTheMaskTurnedAboutItsPivot) {
    for (int s = 0; s < CBlockFigure::kShapeCount; ++s) {
        const SFigureShape& shape = CBlockFigure::kShapes[s];
        SCOPED_TRACE(s);
        ASSERT_TRUE(shape.phaseCount == 2 || shape.phaseCount == 4);
        EXPECT_EQ(MaskCells(shape.phases[0]).size(), 4u);
        for (int p = 0; p < shape.phaseCount; ++p) {
            const SFigurePhase& from = shape.phases[p];
            if (shape.phaseCount == 4) {
                EXPECT_EQ(Turned(from), MaskCells(shape.phases[(p + 1) % 4])) << "phase " << p;
            }
            EXPECT_EQ(from.direction, shape.phaseCount == 4 || p == 0 ? 1 : 0);
            EXPECT_FLOAT_EQ(from.angle, p * D3DX_PI / 2);
        }
        if (shape.phaseCount == 2) {
            EXPECT_EQ(Turned(shape.phases[0]), MaskCells(shape.phases[1]));
        }
        for (int p = shape.phaseCount; p < 4; ++p) EXPECT_TRUE(MaskCells(shape.phases[p]).empty());
    }
    // The square looks the same in both phases.
    EXPECT_EQ(MaskCells(CBlockFigure::kShapes[3].phases[0]), MaskCells(CBlockFigure::kShapes[3].phases[1]));
}

TEST_F(BlockFigureTest, PhasesCycleAndBlocksTakeTheShapeColour) {
    Field();
    for (int s = 0; s < CBlockFigure::kShapeCount; ++s) {
        CBlockFigure f;
        f.SetShape(s, 0);
        const int count = CBlockFigure::kShapes[s].phaseCount;
        for (int step = 1; step <= count; ++step) {
            f.SetNextPhase();
            EXPECT_EQ(f.GetCurrentPhase(), step % count) << s;
            Cells laid;
            for (int i = 0; i < 16; ++i)
                if (!f.blocks[i].IsEmpty()) {
                    EXPECT_EQ(f.blocks[i].m_value, CBlockFigure::kShapeColors[s]);
                    laid.insert({i / 4, i % 4});
                }
            EXPECT_EQ(laid, MaskCells(CBlockFigure::kShapes[s].phases[f.phase]));
        }
    }
}

// At the start of a swing (four phases: -pi/2, two: +pi/2, as the figure
// script starts it) the blocks stand where they stood before the turn.
TEST_F(BlockFigureTest, SwingStartsWhereTheTurnBegan) {
    CGameField* field = Field();
    ASSERT_TRUE(Run(field->GetFieldState(), "shift = 0"));
    for (int s = 0; s < CBlockFigure::kShapeCount; ++s)
        for (int p = 0; p < CBlockFigure::kShapes[s].phaseCount; ++p) {
            CBlockFigure f;
            f.SetShape(s, p);
            f.Start();
            f.x = 3;
            f.y = 5;
            f.Update();
            auto before = Centres(f);
            f.SetNextPhase();
            f.rotate = CBlockFigure::kShapes[s].phaseCount == 4 ? -D3DX_PI / 2 : D3DX_PI / 2;
            f.Update();
            EXPECT_EQ(Centres(f), before) << "shape " << s << " phase " << p;
        }
}

TEST_F(BlockFigureTest, CanBeTestsOnlyBlocksInsidePlayableCells) {
    CGameField* field = Field(10, 21);
    field->Cell(5, 10).m_value = 3;
    field->Cell(0, 20).m_value = -2;
    struct Case {
        int shape, phase, x, y;
        bool fits;
    } cases[] = {
        {0, 0, -1, 0, true},    // bar in column 1 of the frame: column 0 of the grid
        {0, 0, -2, 0, false},   // bar outside on the left
        {0, 0, 7, 17, true},    // rows 17..20 of column 8
        {0, 0, 7, 18, false},   // row 21 does not exist
        {0, 0, 0, -1, false},   // a block in row -1
        {0, 0, 4, 7, false},    // column 5 rows 7..10 meets the block
        {0, 1, 0, 17, true},    // row 19, columns 0..3
        {0, 1, 0, 18, false},   // row 20 column 0 is outside the play area
        {0, 1, 6, -2, true},    // rows 0..1 of the frame are empty above the grid
    };
    CBlockFigure f;
    f.SetShape(2, 1);
    for (const Case& c : cases) {
        EXPECT_EQ(f.CanBe(c.x, c.y, c.shape, c.phase), c.fits) << c.shape << "/" << c.phase << " at " << c.x << "," << c.y;
        EXPECT_EQ(f.shape, 2);
        EXPECT_EQ(f.phase, 1);
    }
}

TEST_F(BlockFigureTest, BuildWritesValueAndPhaseAngleAtTheTruncatedPosition) {
    CGameField* field = Field(10, 21);
    Generator();  // holds the landing sound
    CSoundTestView sounds;
    CBlockFigure f;
    f.SetShape(0, 1);  // row 2 of the frame, four across
    f.x = 7.9f;        // columns 7..10: column 10 lies outside and is skipped
    f.y = 3.6f;
    f.Build();
    ASSERT_EQ(sounds.Calls().size(), 1u);
    EXPECT_EQ(sounds.Calls()[0].name, "boxhit.wav");
    EXPECT_EQ(sounds.Calls()[0].category, 1);
    for (int x = 0; x < 10; ++x) {
        EXPECT_EQ(field->Cell(x, 5).m_value, x >= 7 ? 0 : -1) << x;
        if (x >= 7) {
            EXPECT_FLOAT_EQ(field->Cell(x, 5).m_rotation.z, D3DX_PI / 2);
        }
    }
    int filled = 0;
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 10; ++x) filled += field->Cell(x, y).IsBlock();
    EXPECT_EQ(filled, 3);
}

// With alpha 0.5 and beta 1.0 the wave runs from beta at the top row to alpha
// two rows above the highest block.
TEST_F(BlockFigureTest, WaveWeightFollowsTheHighestBlock) {
    CGameField* field = Field(10, 21);
    float last = 0;
    auto shiftAt = [&](float y) {
        CBlockFigure f;
        f.SetShape(0, 1);  // one row of blocks, frame row 2
        f.Start();
        f.y = y - 2;
        f.Update();
        ASSERT_NE(f.blocks[8].m_value, -1);
        // The wave moves the block along the field's x; the field matrix keeps x.
        CBlockFigure still;
        still.SetShape(0, 1);
        still.Start();
        still.y = y - 2;
        Run(field->GetFieldState(), "shift = 0");
        still.Update();
        Run(field->GetFieldState(), "shift = 1");
        D3DXVECTOR3 a = Centre(f.blocks[8]), b = Centre(still.blocks[8]);
        D3DXVECTOR3 d = a - b;
        last = std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
    };
    struct Case {
        int blockRow;  // -1: empty field
        float gy, shift;
    } cases[] = {{-1, 0, 1.0f}, {-1, 9, 0.75f}, {-1, 18, 0.5f}, {-1, 20, 0.5f},
                 {0, 0, 0.5f},  {1, 9, 0.5f},  {2, 15, 0.5f}};
    for (const Case& c : cases) {
        field->Clear();
        if (c.blockRow >= 0) field->Cell(9, c.blockRow).m_value = 1;
        shiftAt(c.gy);
        EXPECT_NEAR(last, c.shift, 1e-4) << c.blockRow << " gy " << c.gy;
    }
}

// The trail lights the top block of each column in its diffuse colour; a
// column whose top place is empty passes it down. Deleted, the figure's 160
// emitters finish and leave the manager.
TEST_F(BlockFigureTest, TrailFollowsEachColumnsTopBlockAndEndsWithTheFigure) {
    CGameField* field = Field();
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
    const size_t before = manager->GetSystems().size();
    auto* f = new CBlockFigure();
    EXPECT_EQ(manager->GetSystems().size(), before + 160);
    f->SetShape(4, 1);  // ..#. / .##. / ..#.: column 1 starts in row 1
    f->Update();
    for (int i = 0; i < 160; ++i) EXPECT_FALSE(f->trail.Emitter(i / 40, (i / 10) % 4, i % 10)->emitting);
    f->Start();
    f->Update();
    const D3DXCOLOR diffuse(field->m_materials[CBlockFigure::kShapeColors[4]].Diffuse);
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 10; ++k) {
                CObjectEmitter* e = f->trail.Emitter(r, c, k);
                const int top = c == 1 ? 1 : (c == 2 ? 0 : -1);
                ASSERT_EQ(e->emitting, r == top && k < 4) << r << "," << c << "," << k;
                if (!e->emitting) continue;
                EXPECT_EQ(e->startColor, diffuse);
                EXPECT_FLOAT_EQ(e->spacing, 0.2f);
                EXPECT_FLOAT_EQ(e->lifetime, 0.2f);
            }
    delete f;
    EXPECT_EQ(AgeEmittersDownTo(before), before);
}

// The shader constants in force at each draw of the null device, by register.
struct DrawConstants {
    std::map<unsigned, D3DXVECTOR4> vs, ps;
};

std::vector<DrawConstants> ConstantsAtDraws(const std::vector<std::string>& calls) {
    std::vector<DrawConstants> draws;
    DrawConstants now;
    for (const std::string& call : calls) {
        const bool vs = call.rfind("SetVertexShaderConstantF(", 0) == 0;
        if (vs || call.rfind("SetPixelShaderConstantF(", 0) == 0) {
            std::istringstream in(call.substr(call.find('(') + 1));
            unsigned reg = 0;
            char sep = 0;
            in >> reg >> sep >> sep;  // ", {"
            std::vector<float> v;
            for (float f; in >> f;) {
                v.push_back(f);
                if (!(in >> sep) || sep == '}') break;
            }
            for (size_t i = 0; i + 4 <= v.size(); i += 4)
                (vs ? now.vs : now.ps)[reg + unsigned(i / 4)] = D3DXVECTOR4(v[i], v[i + 1], v[i + 2], v[i + 3]);
        } else if (call.rfind("DrawIndexedPrimitive", 0) == 0) {
            draws.push_back(now);
        }
    }
    return draws;
}

D3DXMATRIX Rows(std::map<unsigned, D3DXVECTOR4>& regs, unsigned first) {
    D3DXMATRIX m;
    for (unsigned r = 0; r < 4; ++r) {
        const D3DXVECTOR4& v = regs[first + r];
        m.m[r][0] = v.x, m.m[r][1] = v.y, m.m[r][2] = v.z, m.m[r][3] = v.w;
    }
    return m;
}

::testing::AssertionResult NearIdentity(const D3DXMATRIX& m) {
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            if (std::fabs(m.m[r][c] - (r == c ? 1.0f : 0.0f)) > 1e-3f)
                return ::testing::AssertionFailure() << "element " << r << "," << c << " is " << m.m[r][c];
    return ::testing::AssertionSuccess();
}

// What each block's draw receives, recovered from the uploads alone: the
// world matrix from the transposed world-view, the lights and the eye back
// in world space, and which matrix went up as "world_matrix_it" (the block
// figure's inverse world on path A; the colour figure's is the field's).
TEST_F(BlockFigureTest, RenderUploadsEachPathsMatricesLightAndColour) {
    struct Case {
        DWORD vs, ps;
        bool pathA;
    } cases[] = {{D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), true},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4), true},
                 {D3DVS_VERSION(2, 0), D3DPS_VERSION(1, 4), false},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 0), false}};
    for (const Case& c : cases) {
        d3d9hooks::SetShaderVersions(c.vs, c.ps);
        CGameField* field = Field();
        CVertexShader* vs = field->m_vertexShader;
        ASSERT_TRUE(vs);
        ASSERT_EQ(field->m_pixelShader != nullptr, c.pathA);
        CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
        const D3DXMATRIX view = engine->GetCamera()->GetViewMatrix();
        D3DXMATRIX invView;
        D3DXMatrixInverse(&invView, nullptr, &view);
        const D3DXVECTOR3 camera(invView._41, invView._42, invView._43);
        const D3DXCOLOR diffuse(field->m_materials[2].Diffuse);
        for (int figure = 0; figure < 4; ++figure) {
            const bool preview = figure % 2 == 0, colour = figure >= 2;
            SCOPED_TRACE(std::to_string(c.vs) + "/" + std::to_string(c.ps) + (colour ? " colour" : " block") +
                         (preview ? " preview" : " play"));
            std::unique_ptr<CBaseFigure> f;
            if (colour) {
                auto* stick = new CColorFigure(false);
                stick->Init();
                for (CFieldBlock& b : stick->cells)
                    if (!b.IsEmpty()) b.m_value = 2;
                f.reset(stick);
            } else {
                auto* square = new CBlockFigure();
                square->SetShape(3, 0);  // the square, colour 2
                f.reset(square);
            }
            if (!preview) f->Start();
            f->Update();
            IDirect3DDevice9* device = engine->GetDevice();
            device->BeginScene();
            d3d9hooks::ClearCallLog();
            f->Render();
            std::vector<DrawConstants> draws = ConstantsAtDraws(d3d9hooks::CallLog());
            device->EndScene();
            ASSERT_GE(draws.size(), colour ? 3u : 4u);
            const D3DXVECTOR3 light = !c.pathA ? D3DXVECTOR3(0, 0, -10)
                                      : preview ? D3DXVECTOR3(-5, 10, 10)
                                                : D3DXVECTOR3(0, 0, 10);
            for (DrawConstants& d : draws) {
                D3DXMATRIX worldViewT = Rows(d.vs, vs->GetParameterRegister("world_matrix_t"));
                const D3DXMATRIX it = Rows(d.vs, vs->GetParameterRegister("world_matrix_it"));
                D3DXMATRIX worldView, world, product;
                D3DXMatrixTranspose(&worldView, &worldViewT);
                D3DXMatrixMultiply(&world, &worldView, &invView);
                if (c.pathA && !colour)
                    D3DXMatrixMultiply(&product, &it, &world);  // the inverse world
                else
                    D3DXMatrixMultiply(&product, &worldViewT, &it);  // the world-view inverse transpose
                EXPECT_TRUE(NearIdentity(product));
                const D3DXVECTOR4 l4 = d.vs[vs->GetParameterRegister("light_position")];
                const D3DXVECTOR4 e4 = d.vs[vs->GetParameterRegister("eye_position")];
                const D3DXVECTOR3 lo(l4.x, l4.y, l4.z), eo(e4.x, e4.y, e4.z);
                D3DXVECTOR3 l, e;
                D3DXVec3TransformCoord(&l, &lo, &world);
                D3DXVec3TransformCoord(&e, &eo, &world);
                const D3DXVECTOR3 dl = l - light, de = e - camera;
                EXPECT_LT(D3DXVec3Length(&dl), 0.01f) << l.x << "," << l.y << "," << l.z;
                EXPECT_LT(D3DXVec3Length(&de), 0.01f) << e.x << "," << e.y << "," << e.z;
                const D3DXVECTOR4 colour = c.pathA ? d.ps[field->m_pixelShader->GetParameterRegister("diffuse_color")]
                                                   : d.vs[vs->GetParameterRegister("diffuse_color")];
                EXPECT_EQ(D3DXCOLOR(colour.x, colour.y, colour.z, colour.w), diffuse);
                if (!c.pathA) {
                    EXPECT_EQ(d.vs[vs->GetParameterRegister("light_range")], D3DXVECTOR4(50.0f, 0.5f, 0.5f, 0.5f));
                    EXPECT_EQ(d.vs[vs->GetParameterRegister("light_attenuation")], D3DXVECTOR4(0.5f, 0.5f, 0.5f, 0.5f));
                }
            }
        }
        TearDown();
        SetUp();
    }
}

TEST_F(BlockFigureTest, AnOpenMenuHidesTheFigures) {
    Field();
    CFigureGenerator* generator = Generator();
    generator->next = new CBlockFigure();
    generator->next->Init();
    CGameMode* mode = CGameMode::GetInstance();
    const int menu = mode->menuState;
    mode->menuState = CGameMode::kMenuOpen;
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    device->BeginScene();
    d3d9hooks::ClearCallLog();
    generator->Render();
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("DrawIndexedPrimitive").empty());
    mode->menuState = CGameMode::kMenuClosed;
    generator->Render();
    EXPECT_FALSE(d3d9hooks::CallsStartingWith("DrawIndexedPrimitive").empty());
    device->EndScene();
    mode->menuState = menu;
}

}  // namespace
