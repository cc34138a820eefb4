#include <cmath>

#include "FrameTestEnv.h"
#include "engine/PixelShader.h"
#include "engine/VertexShader.h"

namespace {

using frametest::Dist;

class FieldRender : public frametest::FrameFixture {
protected:
    // Classic field with a red block at (1, 20), a blue one at (2, 20) and a marked green one at (3, 19).
    CGameField* BlockField() {
        CGameField* f = ClassicField();
        f->Cell(1, 20).m_value = 0;
        f->Cell(2, 20).m_value = 3;
        f->Cell(3, 19).m_value = 1;
        f->Cell(3, 19).m_removalMark = true;
        f->UpdateWorldMatrix();
        f->UpdateBlockMatrices();
        return f;
    }
    static std::string Joined(const std::vector<std::string>& calls) {
        std::string s;
        for (const auto& c : calls) s += c + "\n";
        return s;
    }
};

// The versions choose the path; a program that does not load moves the whole
// field to the next path down.
TEST_F(FieldRender, ShaderVersionsAndLoadedProgramsChooseThePath) {
    const std::string highVs = "vertex_shaders/pp_cube_map_high_vs.cg", highPs = "pixel_shaders/pp_cube_map_high_ps.cg",
                      specular = "vertex_shaders/specular.cg";
    enum Path { kHigh, kLow, kFixed };
    struct Case {
        DWORD vs, ps;
        std::vector<std::string> missing;
        Path path;
    } cases[] = {{D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4), {}, kHigh},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 0), {}, kLow},
                 {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), {}, kHigh},
                 {D3DVS_VERSION(2, 0), D3DPS_VERSION(1, 4), {}, kLow},
                 {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), {highVs}, kLow},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4), {highPs}, kLow},
                 {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), {highVs, specular}, kFixed},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 0), {specular}, kFixed}};
    for (const Case& c : cases) {
        testutil::LinkFolderWithout(m_dir.file("data"), c.missing);
        d3d9hooks::SetShaderVersions(c.vs, c.ps);
        CGameField* f = BlockField();
        std::vector<std::string> calls = DrawCalls(f);
        std::string why = std::to_string(c.vs) + "/" + std::to_string(c.ps) + " without " +
                          std::to_string(c.missing.size()) + "\n" + Joined(calls);
        EXPECT_EQ(f->m_pixelShader != nullptr, c.path == kHigh) << why;
        EXPECT_EQ(Count(calls, "DrawIndexedPrimitive"), 3) << why;
        EXPECT_EQ(Count(calls, "SetTexture(2, "), c.path == kHigh ? 1 : 0) << why;
        const int whiteFactor = c.path == kHigh ? 0 : c.path == kLow ? 3 : 1;
        EXPECT_EQ(Count(calls, "SetRenderState(D3DRS_TEXTUREFACTOR, 4294967295)"), whiteFactor) << why;
        if (c.path == kHigh) {
            EXPECT_EQ(Count(calls, "SetVertexShaderConstantF("), 3 * 5) << why;
            EXPECT_EQ(Count(calls, "SetPixelShaderConstantF("), 3 * 2 + 1) << why;  // the marked block's pulse
        } else if (c.path == kLow) {
            EXPECT_EQ(Count(calls, "SetVertexShaderConstantF("), 3 * 10) << why;
            EXPECT_EQ(Count(calls, "SetPixelShaderConstantF("), 0) << why;
            // Blending off after the marked block only; stage 1 put back after the loop.
            EXPECT_EQ(Count(calls, "SetRenderState(D3DRS_ALPHABLENDENABLE, 0)"), 1) << why;
            ASSERT_GE(calls.size(), 2u);
            EXPECT_EQ(calls[calls.size() - 2], "SetTextureStageState(1, D3DTSS_COLOROP, 1)") << why;
            EXPECT_EQ(calls.back(), "SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1)") << why;
        } else {
            // No program: each block placed by its world and tinted by its colour, then the white factor again.
            EXPECT_EQ(Count(calls, "SetVertexShaderConstantF("), 0) << why;
            EXPECT_EQ(Count(calls, "SetTransform(D3DTS_WORLD"), 4) << why;
            for (int value : {0, 3, 1})
                EXPECT_EQ(Count(calls, "SetRenderState(D3DRS_TEXTUREFACTOR, " +
                                           std::to_string(DWORD(D3DXCOLOR(f->m_materials[value].Diffuse))) + ")"),
                          1)
                    << value << why;
        }
        TearDown();
        for (const char* made : {"data", "sound.so"}) std::filesystem::remove_all(m_dir.file(made));
        SetUp();  // links the whole data folder again
    }
}

TEST_F(FieldRender, MarkedBlockPulsesOnTheHighPathAndDimsOnTheLow) {
    d3d9hooks::SetShaderVersions(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    CGameField* f = BlockField();
    f->Cell(1, 20).m_value = -1;  // the marked block is the last one drawn
    f->Cell(2, 20).m_value = -1;
    Steps(13);
    DrawCalls(f);
    const float t = CGraphicsEngine::GetInstance()->GetTime();
    float ambient[4];
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    device->GetPixelShaderConstantF(f->m_pixelShader->GetParameterRegister("ambient_color"), ambient, 1);
    const float glow = std::fabs(std::sin(5 * t)) * 3;
    EXPECT_NEAR(ambient[1], 0.3f * glow, 1e-4f);
    EXPECT_NEAR(ambient[0], 0.0f, 1e-6f);
    EXPECT_NEAR(ambient[3], std::fabs(std::sin(10 * t)) * 0.5f + 0.5f, 1e-4f);
    TearDown();
    SetUp();

    d3d9hooks::SetShaderVersions(D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 0));
    f = BlockField();
    f->Cell(1, 20).m_value = -1;
    f->Cell(2, 20).m_value = -1;
    DrawCalls(f);
    float diffuse[4];
    device = CGraphicsEngine::GetInstance()->GetDevice();
    device->GetVertexShaderConstantF(f->m_vertexShader->GetParameterRegister("diffuse_color"), diffuse, 1);
    EXPECT_EQ(diffuse[1], 0.5f);
    EXPECT_EQ(diffuse[3], 0.5f);
}

TEST_F(FieldRender, OpenMenuDrawsNothingAndDetailLevelsAreClamped) {
    CGameField* f = BlockField();
    CGameMode::GetInstance()->menuState = CGameMode::kMenuOpen;
    EXPECT_EQ(Count(DrawCalls(f), "DrawIndexedPrimitive"), 0);
    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;

    std::vector<std::string> draws[3];
    for (int level = 0; level < 3; ++level) {
        g_BlocksDetails = level;
        std::vector<std::string> calls = DrawCalls(f);
        draws[level].clear();
        for (const auto& c : calls)
            if (c.rfind("DrawIndexedPrimitive", 0) == 0) draws[level].push_back(c);
    }
    EXPECT_NE(draws[0], draws[2]);
    struct Case {
        int setting, meshOf;
    } cases[] = {{7, 2}, {-1, 0}};
    for (const Case& c : cases) {
        g_BlocksDetails = c.setting;
        std::vector<std::string> got;
        for (const auto& call : DrawCalls(f))
            if (call.rfind("DrawIndexedPrimitive", 0) == 0) got.push_back(call);
        EXPECT_EQ(got, draws[c.meshOf]) << c.setting;
    }
    g_BlocksDetails = 0;
}

TEST_F(FieldRender, BlockMatricesPlaceEachBlockOnItsCell) {
    CGameField* f = BlockField();
    f->SetRotation(-0.6f, false);
    f->Cell(2, 20).m_fallOffset = 0.3f;
    f->Cell(2, 20).m_waveOffset = D3DXVECTOR3(0.2f, 0.0f, 0.0f);
    f->UpdateBlockMatrices();
    const D3DXMATRIX before = f->Cell(2, 20).m_invWorld;
    for (int x : {1, 2, 3}) {
        int y = x == 3 ? 19 : 20;
        const CFieldBlock& cell = f->Cell(x, y);
        D3DXMATRIX world;
        D3DXMatrixInverse(&world, nullptr, &cell.m_invWorld);
        // Independent path: the cell's centre, moved in field space by fall and wave, through the field.
        D3DXVECTOR3 centre, size;
        D3DXVECTOR2 unused;
        f->GetBlockPositionCentered(x, y, &centre, &unused);
        centre += D3DXVECTOR3(cell.m_waveOffset.x, cell.m_fallOffset, 0.0f);
        D3DXVec3TransformCoord(&size, &centre, &f->m_fieldMatrix);
        EXPECT_LT(Dist(D3DXVECTOR3(world._41, world._42, world._43), size), 1e-4f) << x;
        D3DXMATRIX product = cell.m_invWorld * world;
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(product.m[i / 4][i % 4], i % 5 == 0 ? 1.0f : 0.0f, 1e-4f);
    }
    // A view turn rebuilds the field matrix at once; the block follows in the next matrices.
    f->SetRotation(0.9f, true);
    f->UpdateBlockMatrices();
    EXPECT_GT(Dist(D3DXVECTOR3(before._41, before._42, before._43),
                   D3DXVECTOR3(f->Cell(2, 20).m_invWorld._41, f->Cell(2, 20).m_invWorld._42,
                               f->Cell(2, 20).m_invWorld._43)),
              1e-3f);
}

// Only a block without turn or tilt takes the short way to its matrix: a
// turned block's x axis lies along the field's y, a tilted one's along z.
TEST_F(FieldRender, TurnedAndTiltedBlocksKeepTheirTurn) {
    CGameField* f = BlockField();
    const D3DXVECTOR3 up(0.0f, 1.0f, 0.0f);
    f->Cell(1, 20).m_rotation = D3DXVECTOR3(0.0f, 0.0f, D3DX_PI / 2);
    D3DXQuaternionRotationAxis(&f->Cell(2, 20).m_orientation, &up, D3DX_PI / 2);
    f->UpdateBlockMatrices();
    auto axis = [&](int x, int y, int row) {
        D3DXMATRIX world;
        D3DXMatrixInverse(&world, nullptr, &f->Cell(x, y).m_invWorld);
        D3DXVECTOR3 v(world.m[row][0], world.m[row][1], world.m[row][2]);
        D3DXVec3Normalize(&v, &v);
        return v;
    };
    // The marked block at (3, 19) is unturned: its axes are the field's.
    const D3DXVECTOR3 turned = axis(1, 20, 0), tilted = axis(2, 20, 0), fieldY = axis(3, 19, 1), fieldZ = axis(3, 19, 2);
    EXPECT_NEAR(std::fabs(D3DXVec3Dot(&turned, &fieldY)), 1.0f, 1e-4f);
    EXPECT_NEAR(std::fabs(D3DXVec3Dot(&tilted, &fieldZ)), 1.0f, 1e-4f);
}

}  // namespace
