#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <managerhooks.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <initializer_list>
#include <string>

#include "engine/Loading.h"
#include "engine/Log.h"
#include "engine/ShaderManager.h"
#include "support/DeviceSupport.h"
#include "support/EngineSupport.h"

namespace {

using testutil::LogTail;

const char* kVertex = R"(// @register clip_matrix c0 4
// @register tint c4
void main()
{
    gl_Position = vec4(a_position.xyz, 1.0) * clip_matrix;
    v_color0 = tint;
}
)";

const char* kPixel = R"(// @register tint c2
void main()
{
    oC0 = v_color0 * tint;
}
)";

class ShaderManagerTest : public testutil::DeviceTest {
protected:
    void Start(DWORD vs, DWORD ps) {
        StartDevice(d3d9hooks::Backend::Null, testutil::WindowedPresent(64, 64));
        ASSERT_TRUE(m_dev);
        d3d9hooks::SetShaderVersions(vs, ps);  // the caps are read when asked
        managerhooks::SetTestDevice(m_dev);
        std::filesystem::create_directories(m_dir.file("vs"));
        std::filesystem::create_directories(m_dir.file("ps"));
        testutil::WriteFile(m_dir.file("vs/test.cg"), kVertex);
        testutil::WriteFile(m_dir.file("ps/test.cg"), kPixel);
    }
    void TearDown() override {
        m_Singletons.Now();
        managerhooks::SetTestDevice(nullptr);
        testutil::DeviceTest::TearDown();
    }
    CShaderManager* Manager() {
        CShaderManager* m = CShaderManager::GetInstance();
        m->SetVertexShadersPath(m_dir.path() + "/vs");
        m->SetPixelShadersPath(m_dir.path() + "/ps");
        return m;
    }

    testutil::TempDir m_dir;
    enginescope::Sweep m_Singletons;
};

TEST_F(ShaderManagerTest, ConstructionReadsVersionsAndPaths) {
    Start(D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4));
    LogTail log;
    CShaderManager* m = CShaderManager::GetInstance();
    EXPECT_EQ(m->GetVertexShaderMajor(), 1);
    EXPECT_EQ(m->GetVertexShaderMinor(), 1);
    EXPECT_EQ(m->GetPixelShaderMajor(), 1);
    EXPECT_EQ(m->GetPixelShaderMinor(), 4);
    EXPECT_EQ(log.Count("Vertex shaders version: 1.1"), 1);
    EXPECT_EQ(log.Count("Pixel shaders version: 1.4"), 1);
    char cwd[MAX_PATH];
    GetCurrentDirectoryA(MAX_PATH, cwd);
    EXPECT_EQ(m->GetVertexShadersPath(), cwd);
    EXPECT_FALSE(m->SetPixelShadersPath(""));
    EXPECT_EQ(m->GetPixelShadersPath(), cwd);  // the old path stays
    EXPECT_EQ(log.Count("Error, path-string is empty !"), 1);
    EXPECT_TRUE(m->SetVertexShadersPath("data\\vertex_shaders"));
    EXPECT_EQ(m->GetVertexShadersPath(), "data\\vertex_shaders");
}

TEST_F(ShaderManagerTest, SameFileLoadsOnceButCountsTwice) {
    Start(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    CShaderManager* m = Manager();
    LogTail log;
    int before = g_LoadedResources;
    CVertexShader* a = m->LoadVertexShader("test.cg", "vs_2_0");
    CVertexShader* b = m->LoadVertexShader("test.cg", "vs_1_1");
    ASSERT_TRUE(a);
    EXPECT_EQ(a, b);
    EXPECT_EQ(g_LoadedResources, before + 2);
    EXPECT_EQ(log.Count("Loading vertex shader: (" + m_dir.path() + "/vs\\test.cg) complete."), 1);
    EXPECT_EQ(m->GetShaderCount(), 1u);

    // A pixel shader of the same full path is a different program.
    m->SetPixelShadersPath(m_dir.path() + "/vs");
    testutil::WriteFile(m_dir.file("vs/test.cg"), kPixel);
    CPixelShader* p = m->LoadPixelShader("test.cg", "ps_2_0");
    ASSERT_TRUE(p);
    EXPECT_NE(static_cast<CShader*>(p), static_cast<CShader*>(a));
    EXPECT_EQ(p->m_Kind, 1u);
    EXPECT_EQ(m->GetShaderCount(), 2u);

    EXPECT_EQ(m->LoadVertexShader("", "vs_2_0"), nullptr);
    EXPECT_EQ(m->LoadPixelShader("", "ps_2_0"), nullptr);
    EXPECT_EQ(log.Count("Couldn't load vertex shader, becouse file string is empty !"), 1);
    EXPECT_EQ(log.Count("Error, name of shader is NULL !"), 1);
    EXPECT_EQ(g_LoadedResources, before + 5);
}

TEST_F(ShaderManagerTest, ProfilesFollowTheRequestOrTheDevice) {
    Start(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    CShaderManager* m = Manager();
    testutil::WriteFile(m_dir.file("vs/other.cg"), kVertex);
    CVertexShader* latest = m->LoadVertexShader("test.cg", "");
    CVertexShader* forced = m->LoadVertexShader("other.cg", "vs_1_1");
    ASSERT_TRUE(latest && forced);
    EXPECT_EQ(cgGetProgramProfile(latest->m_Program), CG_PROFILE_VS_2_0);
    EXPECT_EQ(cgGetProgramProfile(forced->m_Program), CG_PROFILE_VS_1_1);
}

TEST_F(ShaderManagerTest, CompileErrorLeavesNothingAndALaterLoadCompiles) {
    Start(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    CShaderManager* m = Manager();
    testutil::WriteFile(m_dir.file("vs/broken.cg"), "void main()\n{\n");
    LogTail log;
    EXPECT_EQ(m->LoadVertexShader("broken.cg", "vs_2_0"), nullptr);
    EXPECT_EQ(m->GetShaderCount(), 0u);
    EXPECT_EQ(log.Count("Couldn't compile vertex shader: (" + m_dir.path() + "/vs\\broken.cg), error = (The compile "
                        "returned an error."),
              1);
    testutil::WriteFile(m_dir.file("vs/broken.cg"), kVertex);
    EXPECT_NE(m->LoadVertexShader("broken.cg", "vs_2_0"), nullptr);
    EXPECT_EQ(m->GetShaderCount(), 1u);
    // A profile that does not exist is a compile failure too.
    EXPECT_EQ(m->LoadPixelShader("test.cg", "ps_9_9"), nullptr);
    EXPECT_EQ(log.Count("Couldn't compile pixel shader: ("), 1);
}

TEST_F(ShaderManagerTest, ConstantsGoToTheirRegistersAndPersistAcrossPrograms) {
    Start(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    CShaderManager* m = Manager();
    testutil::WriteFile(m_dir.file("vs/second.cg"), "// @register other c9\nvoid main() { v_color0 = other; }\n");
    CVertexShader* vs = m->LoadVertexShader("test.cg", "vs_2_0");
    CVertexShader* second = m->LoadVertexShader("second.cg", "vs_2_0");
    CPixelShader* ps = m->LoadPixelShader("test.cg", "ps_2_0");
    ASSERT_TRUE(vs && second && ps);
    EXPECT_EQ(vs->GetParameterRegister("tint"), 4u);
    EXPECT_EQ(ps->GetParameterRegister("tint"), 2u);

    const float matrix[16] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const float tint[4] = {0.25f, 0.5f, 0.75f, 1.f};
    m->SetVertexShader(vs);
    m->SetPixelShader(ps);
    EXPECT_EQ(m->SetVertexShaderConstant(vs, "clip_matrix", matrix, 4), D3D_OK);
    EXPECT_EQ(m->SetVertexShaderConstant(vs, "tint", tint, 1), D3D_OK);
    EXPECT_EQ(m->SetPixelShaderConstant(ps, "tint", tint, 1), D3D_OK);
    // An undeclared name is refused instead of overwriting register 0.
    EXPECT_EQ(m->SetVertexShaderConstant(vs, "nothing", tint, 1), D3DERR_INVALIDCALL);
    // Registers are kept per name: one buffer holding name after name finds each its own.
    char name[16] = "tint";
    EXPECT_EQ(m->SetVertexShaderConstant(vs, name, tint, 1), D3D_OK);
    strcpy(name, "clip_matrix");
    EXPECT_EQ(m->SetVertexShaderConstant(vs, name, matrix, 4), D3D_OK);
    strcpy(name, "nothing");
    EXPECT_EQ(m->SetVertexShaderConstant(vs, name, tint, 1), D3DERR_INVALIDCALL);

    m->SetVertexShader(second);
    m->SetVertexShader(nullptr);  // fixed function
    m->SetPixelShader(nullptr);
    float back[16] = {};
    ASSERT_EQ(m_dev->GetVertexShaderConstantF(0, back, 4), D3D_OK);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(back[i], matrix[i]);
    ASSERT_EQ(m_dev->GetVertexShaderConstantF(4, back, 1), D3D_OK);
    EXPECT_EQ(back[2], 0.75f);
    ASSERT_EQ(m_dev->GetPixelShaderConstantF(2, back, 1), D3D_OK);
    EXPECT_EQ(back[1], 0.5f);
    IDirect3DVertexShader9* current = reinterpret_cast<IDirect3DVertexShader9*>(1);
    m_dev->GetVertexShader(&current);
    EXPECT_EQ(current, nullptr);
}

TEST_F(ShaderManagerTest, IdenticalDeclarationsAreShared) {
    Start(D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0));
    CShaderManager* m = Manager();
    const D3DVERTEXELEMENT9 a[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                   {0, 12, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_PSIZE, 0},
                                   D3DDECL_END()};
    const D3DVERTEXELEMENT9 same[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                      {0, 12, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_PSIZE, 0},
                                      D3DDECL_END()};
    const D3DVERTEXELEMENT9 prefix[] = {{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
                                        D3DDECL_END()};
    LogTail log;
    int before = g_LoadedResources;
    CVertexDeclaration* d1 = m->LoadVertexDeclaration(a);
    CVertexDeclaration* d2 = m->LoadVertexDeclaration(same);
    CVertexDeclaration* d3 = m->LoadVertexDeclaration(prefix);
    ASSERT_TRUE(d1 && d3);
    EXPECT_EQ(d1, d2);
    EXPECT_NE(d1, d3);
    EXPECT_EQ(m->GetDeclarationCount(), 2u);
    EXPECT_EQ(log.Count("Loading vertex declaration complete."), 2);
    EXPECT_EQ(g_LoadedResources, before);  // declarations are not counted
    EXPECT_EQ(m->LoadVertexDeclaration(nullptr), nullptr);
    EXPECT_EQ(log.Count("Couldn't load vertex declaration, becouse array of elements is empty !"), 1);

    d3d9hooks::ClearCallLog();
    m->SetVertexDeclaration(nullptr);  // leaves the current one
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("SetVertexDeclaration(").empty());
    m->SetVertexDeclaration(d1);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetVertexDeclaration(").size(), 1u);
}

// Every drawing path loads the game's programs the way the field does.
TEST_F(ShaderManagerTest, GameProgramsLoadOnEveryPath) {
    const char* game = std::getenv("KOLVAR_GAME_DIR");
    struct Path {
        DWORD vs, ps;
        const char* vsProfile;
        const char* psProfile;
    } paths[] = {{D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), "vs_2_0", "ps_2_0"},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 1), "vs_1_1", "ps_1_1"},
                 {D3DVS_VERSION(1, 1), D3DPS_VERSION(0, 0), "vs_1_1", nullptr}};
    for (const Path& p : paths) {
        testutil::ScopedCwd cwd(std::string(game ? game : "game"));
        Start(p.vs, p.ps);
        CShaderManager* m = CShaderManager::GetInstance();
        ASSERT_NE(m->LoadVertexShader("data\\vertex_shaders\\point_sprites.cg", ""), nullptr);
        m->SetVertexShadersPath(testutil::GameData("vertex_shaders"));
        m->SetPixelShadersPath(testutil::GameData("pixel_shaders"));
        // Every constant the field and the bomb set must be declared, or the
        // set is refused and the program draws with stale registers.
        auto declares = [](CShader* shader, std::initializer_list<const char*> names) {
            ASSERT_NE(shader, nullptr);
            for (const char* name : names) EXPECT_TRUE(shader->HasParameter(name)) << shader->m_Name << ": " << name;
        };
        if (p.psProfile) {
            for (const char* file : {"pp_cube_map_high_vs.cg", "bomb.cg"})
                declares(m->LoadVertexShader(file, p.vsProfile),
                         {"eye_position", "light_position", "clip_matrix", "world_matrix_t", "world_matrix_it"});
            for (const char* file : {"pp_cube_map_high_ps.cg", "bomb.cg"})
                declares(m->LoadPixelShader(file, p.psProfile), {"diffuse_color", "ambient_color"});
        }
        declares(m->LoadVertexShader("specular.cg", "vs_1_1"),
                 {"diffuse_color", "light_position", "light_range", "light_attenuation", "eye_position", "clip_matrix",
                  "world_matrix_it", "world_matrix_t", "ambient_color", "specular_color"});
        TearDown();
    }
}

}  // namespace
