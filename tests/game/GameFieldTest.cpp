#include <cg.h>

#include "engine/Loading.h"
#include "engine/Shader.h"
#include "engine/Mesh.h"
#include "engine/ShaderManager.h"
#include "FieldTestEnv.h"

namespace {

using fieldtest::FieldTest;

// Field script whose game_FieldInit reads the shape named by the global `shape`.
const char* kShapeScript =
    "alpha = 0.5 beta = 1.5 Ax = 0 Bx = 0 Cx = 0 Dx = 0\n"
    "function game_FieldInit() ext_Create(shape) end\n";

class FieldShape : public FieldTest {
protected:
    CGameField* Field() {
        g_FieldScriptPath = Script("shape.txt", kShapeScript);
        return MakeField();
    }
    bool Read(const std::string& contents) {
        testutil::WriteFile(m_dir.file("cells.txt"), contents);
        return CGameField::GetInstance()->Create("cells.txt");
    }
    // Every cell as ext_GetFieldBlock reports it, row by row.
    std::string ReadBack() {
        CGameField* f = CGameField::GetInstance();
        lua_State* L = f->GetFieldState();
        EXPECT_TRUE(Run(L, "out = '' for y = 0, " + std::to_string(f->m_height - 1) + " do for x = 0, " +
                               std::to_string(f->m_width - 1) +
                               " do out = out .. ext_GetFieldBlock(x, y) .. ',' end out = out .. ';' end"));
        return GlobalText(L, "out");
    }
};

TEST_F(FieldShape, ReadsTokensWhateverTheLayout) {
    Field();
    struct Case { const char* file; const char* cells; } cases[] = {
        {"3 2\n101\n111\n", "2,1,2,;2,2,2,;"},
        {"3 2 1 0 1 1 1 1", "2,1,2,;2,2,2,;"},
        {"3\r\n2\r\n101\r\n111\r\n", "2,1,2,;2,2,2,;"},
        {"4 1 /A(.", "0,18,-7,-1,;"},
    };
    for (auto& c : cases) {
        ASSERT_TRUE(Read(c.file)) << c.file;
        EXPECT_EQ(ReadBack(), c.cells) << c.file;
    }
    Run(CGameField::GetInstance()->GetFieldState(), "v = ext_GetFieldBlock(2.9, 0.9)");
    EXPECT_EQ(Global(CGameField::GetInstance()->GetFieldState(), "v"), -7) << "numbers are cut to cells";
    EXPECT_FALSE(Run(CGameField::GetInstance()->GetFieldState(), "v = ext_GetFieldBlock('a', 0)"));
    EXPECT_EQ(CountBoldRed("run"), 1) << "a string for a number is a logged error";
    Run(CGameField::GetInstance()->GetFieldState(), "v = ext_GetFieldBlock(9, 0)");
    EXPECT_EQ(Global(CGameField::GetInstance()->GetFieldState(), "v"), 2) << "outside the grid answers 2";
}

TEST_F(FieldShape, BadFilesLeaveTheFieldAsItWas) {
    CGameField* f = Field();
    ASSERT_TRUE(Read("2 2 0110"));
    f->Cell(0, 0).m_value = 3;
    struct Case { const char* name; std::string contents; } cases[] = {
        {"empty", ""},
        {"zero width", "0 5"},
        {"negative height", "3 -2"},
        {"no numbers", "x y"},
        {"too few cells", "3 2 10110"},
        {"colour beyond the table", "2 1 0&"},
        {"byte of 128 or more", std::string("2 1 0") + char(0xC4)},
        {"too wide", "129 1 " + std::string(129, '1')},
        {"too high", "1 129 " + std::string(129, '1')},
    };
    for (auto& c : cases) {
        int before = CountBoldRed("cells.txt");
        EXPECT_FALSE(Read(c.contents)) << c.name;
        EXPECT_EQ(CountBoldRed("cells.txt"), before + 1) << c.name;
        EXPECT_EQ(f->m_width, 2) << c.name;
        EXPECT_EQ(f->m_height, 2) << c.name;
        EXPECT_EQ(f->m_grid.shape()[0], 2u);
        EXPECT_EQ(f->m_grid.shape()[1], 2u);
        EXPECT_EQ(f->Cell(0, 0).m_value, 3) << c.name;
    }
    EXPECT_FALSE(f->Create("no_such_file.txt"));
    EXPECT_EQ(CountBoldRed("no_such_file.txt"), 1);
}

TEST_F(FieldShape, SmallerShapeKeepsSurvivingCellsButResetsTheirValues) {
    CGameField* f = Field();
    ASSERT_TRUE(Read("3 3 000000000"));
    CFieldBlock& cell = f->Cell(1, 1);
    cell.m_value = 4;
    cell.m_scale = D3DXVECTOR3(1, 2, 3);
    cell.m_positionOffset = D3DXVECTOR3(0.5f, 0, 0);
    cell.m_waveOffset = D3DXVECTOR3(0.25f, 0, 0);
    cell.m_clipMatrix._41 = 7;
    cell.m_motionCounter = 2;
    ASSERT_TRUE(Read("2 2 0001"));
    CFieldBlock& kept = f->Cell(1, 1);
    EXPECT_EQ(kept.m_value, -2);
    EXPECT_EQ(kept.m_motionCounter, 0);
    EXPECT_FLOAT_EQ(kept.m_scale.y, 2);
    EXPECT_FLOAT_EQ(kept.m_positionOffset.x, 0.5f);
    EXPECT_FLOAT_EQ(kept.m_waveOffset.x, 0.25f);
    EXPECT_FLOAT_EQ(kept.m_clipMatrix._41, 7);
}

// Construction loads by the device's shader versions, in a fixed order; the
// fragment manager it makes last loads "block_part.x".
TEST_F(FieldTest, ConstructionLoadsByShaderVersion) {
    struct Case { DWORD vs, ps; const char* vsFile; const char* vsProfile; const char* psProfile; int decl, count; } cases[] = {
        {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), "pp_cube_map_high_vs.cg", "vs_2_0", "ps_2_0", 1, 13},
        {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4), "pp_cube_map_high_vs.cg", "vs_1_1", "ps_1_1", 1, 13},
        {D3DVS_VERSION(2, 0), D3DPS_VERSION(1, 4), "specular.cg", "vs_1_1", nullptr, 0, 12},
    };
    for (auto& c : cases) {
        SCOPED_TRACE(c.vsProfile + std::string(c.psProfile ? c.psProfile : "-"));
        d3d9hooks::SetShaderVersions(c.vs, c.ps);
        StartEngine();
        m_log.Mark();
        int before = g_LoadedResources;
        CGameField* f = MakeField();
        EXPECT_EQ(g_LoadedResources - before, c.count);
        ASSERT_NE(f->m_vertexShader, nullptr);
        EXPECT_STREQ(cgGetProfileString(cgGetProgramProfile(f->m_vertexShader->m_Program)), c.vsProfile);
        EXPECT_NE(f->m_vertexShader->m_Name.find(c.vsFile), std::string::npos);
        if (c.psProfile) {
            ASSERT_NE(f->m_pixelShader, nullptr);
            EXPECT_STREQ(cgGetProfileString(cgGetProgramProfile(f->m_pixelShader->m_Program)), c.psProfile);
        } else {
            EXPECT_EQ(f->m_pixelShader, nullptr);
        }
        for (CMesh* mesh : f->m_meshes) {
            ASSERT_NE(mesh, nullptr);
            EXPECT_EQ(mesh->GetDeclarationIndex(), c.decl);
        }
        std::vector<std::string> order = {"block_diffuse.jpg", "block_bump.jpg", "animal_block_destroy.wav",
                                          "voice1.wav", "voice2.wav", "voice3.wav", c.vsFile};
        if (c.psProfile) order.push_back("pp_cube_map_high_ps.cg");
        for (const char* m : {"block_low.x", "block_medium.x", "block_high.x", "cube.dds"}) order.push_back(m);
        auto log = m_log.Entries();
        size_t at = 0;
        for (auto& name : order) {
            while (at < log.size() && log[at].text.find(name) == std::string::npos) ++at;
            EXPECT_LT(at, log.size()) << name << " missing or out of order";
        }
        EXPECT_EQ(CountBoldRed(""), 0) << RedText();
        TearDown();
        SetUp();
    }
}

// Hooks record their calls in the script string `calls`.
const char* kRecordingScript =
    "calls = ''\n"
    "alpha = 0.25 beta = 2 Ax = 3 Bx = 4 Cx = 5 Dx = 6\n"
    "ext_Create('data\\\\fields\\\\classic.txt')\n"
    "ext_SetPosition(1, 2, 3)\n"
    "top_block = ext_GetFieldBlock(0, 0)\n"
    "function game_FieldInit() calls = calls .. 'init;' ext_Create('data\\\\fields\\\\classic.txt') end\n"
    "function game_FieldUpdate(x, y, t) calls = calls .. 'update;' return D3DXVECTOR3(x, y, t) end\n";

TEST_F(FieldTest, HooksAndTheConstructionWindow) {
    g_FieldScriptPath = Script("record.txt", kRecordingScript);
    CGameField* f = MakeField();
    lua_State* L = f->GetFieldState();
    EXPECT_EQ(GlobalText(L, "calls"), "") << "construction calls no hook";
    EXPECT_EQ(f->m_width, 0) << "a top-level ext_Create does not reach the field";
    EXPECT_EQ(f->m_height, 0);
    EXPECT_FLOAT_EQ(f->m_position.z, 17.0f);
    EXPECT_EQ(Global(L, "top_block"), 2);

    f->InitFromScript();
    EXPECT_EQ(GlobalText(L, "calls"), "init;");
    EXPECT_EQ(f->m_width, 12);
    float coefficients[] = {f->m_alpha, f->m_beta, f->m_ax, f->m_bx, f->m_cx, f->m_dx};
    float want[] = {0.25f, 2, 3, 4, 5, 6};
    for (int i = 0; i < 6; ++i) EXPECT_FLOAT_EQ(coefficients[i], want[i]) << i;
    D3DXVECTOR3 v = f->FieldUpdate(1, 2, 3);
    EXPECT_EQ(v, D3DXVECTOR3(1, 2, 3));

    Run(L, "function game_FieldInit() calls = calls .. 'new init;' end\n"
           "function game_FieldUpdate() calls = calls .. 'new update;' return D3DXVECTOR3(0, 0, 0) end\n");
    f->InitFromScript();
    f->FieldUpdate(0, 0, 0);
    EXPECT_EQ(GlobalText(L, "calls"), "init;update;new init;update;")
        << "set-up looks its hook up each time; the update hook is kept from construction";

    // A second field in the same process stays bare and safe.
    gameloop::DeleteGamePlay();
    CGameField* bare = CGameField::GetInstance();
    EXPECT_EQ(bare->GetFieldState(), nullptr);
    EXPECT_EQ(CountBoldRed("built a second time"), 1);
    bare->InitFromScript();
    EXPECT_EQ(bare->AppearUpdate(), 0);
    EXPECT_EQ(bare->FieldUpdate(1, 1, 1), D3DXVECTOR3(0, 0, 0));
    EXPECT_EQ(bare->m_width, 0);
}

TEST_F(FieldTest, ScriptErrorsAreLoggedOnceAndGiveFallbacks) {
    g_FieldScriptPath = Script("broken.txt", "alpha = 1\nfunction game_FieldInit( end\n");
    g_FieldAnimScriptPath = Script("anim.txt",
                                   "function game_AppearUpdate() error('appear broke') end\n"
                                   "function game_DisappearUpdate() return 'soon' end\n");
    CGameField* f = MakeField();
    EXPECT_EQ(CountBoldRed("broken.txt"), 1) << "the syntax error names the file";
    f->InitFromScript();
    EXPECT_EQ(CountBoldRed("game_FieldInit"), 1) << "a missing hook is logged";
    EXPECT_FLOAT_EQ(f->m_rotation.x, D3DX_PI) << "the field is still cleared";
    for (const char* g : {"beta", "Ax", "Bx", "Cx", "Dx"}) EXPECT_EQ(CountBoldRed(g), 1) << g;
    EXPECT_FLOAT_EQ(f->m_alpha, 0.5f) << "alpha = 1 never ran: the file failed to load";

    Run(f->GetFieldState(), "function game_FieldUpdate() return 'text' end\nbeta = 'x'");
    lua_State* anim = f->GetAnimState();
    const int animTop = lua_gettop(anim);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(f->AppearUpdate(), 0);
        EXPECT_EQ(f->DisappearUpdate(), 0);
        EXPECT_EQ(f->FieldUpdate(1, 1, 1), D3DXVECTOR3(0, 0, 0)) << "the update hook was kept as missing";
    }
    f->AppearStart();
    EXPECT_EQ(lua_gettop(anim), animTop);
    EXPECT_EQ(CountBoldRed("game_AppearUpdate"), 1);
    EXPECT_NE(m_log.Entries().back().text.find("game_AppearStart"), std::string::npos);
    EXPECT_EQ(CountBoldRed("game_DisappearUpdate"), 1);
    EXPECT_EQ(CountBoldRed("game_FieldUpdate"), 1);
    f->InitFromScript();
    EXPECT_EQ(CountBoldRed("beta"), 2) << "a non-number coefficient is logged";
    f->AppearUpdate();
    EXPECT_EQ(CountBoldRed("game_AppearUpdate"), 2) << "set-up re-arms the per-step log";
}

}  // namespace
