#include <gtest/gtest.h>

#include <cg.h>
#include <d3d9hooks.h>
#include <d3dx9shader.h>

#include <cstring>
#include <string>

#include "support/TestUtil.h"

namespace {

TEST(CgTest, LatestProfilesFollowTheDeviceCaps) {
    struct Case {
        DWORD vs, ps;
        CGprofile vertex, pixel;
    } cases[] = {
        {D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0), CG_PROFILE_VS_2_0, CG_PROFILE_PS_2_0},
        {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 4), CG_PROFILE_VS_1_1, CG_PROFILE_PS_1_3},
        {D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 1), CG_PROFILE_VS_1_1, CG_PROFILE_PS_1_1},
        {D3DVS_VERSION(0, 0), D3DPS_VERSION(0, 0), CG_PROFILE_UNKNOWN, CG_PROFILE_UNKNOWN},
    };
    d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
    IDirect3D9* d3d = nullptr;
    IDirect3DDevice9* device = nullptr;
    ASSERT_TRUE(testutil::CreateSmallDevice(&d3d, &device));
    cgD3D9SetDevice(device);
    for (const Case& c : cases) {
        d3d9hooks::SetShaderVersions(c.vs, c.ps);  // the caps are read when asked
        EXPECT_EQ(cgD3D9GetLatestVertexProfile(), c.vertex);
        EXPECT_EQ(cgD3D9GetLatestPixelProfile(), c.pixel);
    }
    cgD3D9SetDevice(nullptr);
    device->Release();
    d3d->Release();
    d3d9hooks::ResetAll();
    EXPECT_EQ(cgD3D9GetLatestVertexProfile(), CG_PROFILE_UNKNOWN);
    EXPECT_EQ(cgGetProfile("vs_1_1"), CG_PROFILE_VS_1_1);
    EXPECT_EQ(cgGetProfile("ps_2_0"), CG_PROFILE_PS_2_0);
    EXPECT_EQ(cgGetProfile("vs_3_0"), CG_PROFILE_UNKNOWN);
    EXPECT_STREQ(cgGetProfileString(CG_PROFILE_PS_1_1), "ps_1_1");
    ASSERT_NE(cgD3D9GetOptimalOptions(CG_PROFILE_VS_2_0), nullptr);
}

const char* kProgram = R"(// a test program
// @register clip_matrix c0 4
// @register tint c6
uniform sampler2D s0;
void main()
{
#if PROFILE_VS_2_0
    gl_Position = vec4(a_position.xyz, 1.0) * clip_matrix;
#else
    gl_Position = vec4(a_position.xyz, 1.0) * clip_matrix * MY_SCALE;
#endif
    v_color0 = tint;
}
)";

TEST(CgTest, CompilesRegistersAndProfileVariants) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("prog.cg"), kProgram);
    CGcontext ctx = cgCreateContext();
    const char* args[] = {"", "-DMY_SCALE=2.0", nullptr};
    // Windows-style separators are accepted.
    std::string path = dir.path() + "\\prog.cg";
    CGprogram p = cgCreateProgramFromFile(ctx, CG_SOURCE, path.c_str(), CG_PROFILE_VS_1_1, "main", args);
    ASSERT_TRUE(p) << cgGetErrorString(cgGetError());
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    std::string text = cgGetProgramString(p, CG_COMPILED_PROGRAM);
    EXPECT_EQ(text.rfind("// vs_1_1\n", 0), 0u);
    EXPECT_NE(text.find("#define PROFILE_VS_1_1 1"), std::string::npos);
    EXPECT_EQ(text.find("PROFILE_VS_2_0 1"), std::string::npos);
    EXPECT_NE(text.find("#define MY_SCALE 2.0"), std::string::npos);
    EXPECT_NE(text.find("#define clip_matrix mat4(c[0], c[1], c[2], c[3])"), std::string::npos);
    EXPECT_NE(text.find("#define tint c[6]"), std::string::npos);
    EXPECT_NE(text.find("void main()"), std::string::npos);

    EXPECT_EQ(cgGetParameterResourceIndex(cgGetNamedParameter(p, "tint")), 6u);
    EXPECT_EQ(cgGetParameterResourceIndex(cgGetNamedParameter(p, "clip_matrix")), 0u);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);
    // A name the program lacks: no parameter, index 0 with an error raised.
    CGparameter missing = cgGetNamedParameter(p, "nothing");
    EXPECT_EQ(missing, nullptr);
    EXPECT_EQ(cgGetParameterResourceIndex(missing), 0u);
    EXPECT_EQ(cgGetError(), CG_INVALID_PARAM_HANDLE_ERROR);
    EXPECT_EQ(cgGetError(), CG_NO_ERROR);  // taking the error clears it

    // The assembled blob carries the kind and the text.
    ID3DXBuffer* blob = nullptr;
    ASSERT_EQ(D3DXAssembleShader(text.c_str(), UINT(text.size()), nullptr, nullptr, 0, &blob, nullptr), D3D_OK);
    DWORD kind = 99;
    const char* glsl = nullptr;
    ASSERT_TRUE(D3D9ReadGlslBlob(static_cast<const DWORD*>(blob->GetBufferPointer()), &kind, &glsl));
    EXPECT_EQ(kind, D3D9_GLSL_VERTEX);
    EXPECT_NE(std::string(glsl).find("clip_matrix"), std::string::npos);
    blob->Release();
    cgDestroyContext(ctx);
}

TEST(CgTest, CompileErrorsNameTheCause) {
    testutil::TempDir dir;
    CGcontext ctx = cgCreateContext();
    struct Case {
        const char* what;
        std::string source;
        CGprofile profile;
        const char* message;
    } cases[] = {
        {"brace", "void main()\n{\n  v_color0 = vec4(1.0);\n", CG_PROFILE_VS_2_0, "line 2"},
        {"paren", "void main()\n{\n  v_color0 = vec4(1.0;\n}\n", CG_PROFILE_VS_2_0, "line 4"},
        {"no main", "void start() { }\n", CG_PROFILE_VS_2_0, "main"},
        {"version", "#version 330\nvoid main() { }\n", CG_PROFILE_VS_2_0, "#version"},
        {"open if", "#if PROFILE_VS_2_0\nvoid main() { }\n", CG_PROFILE_VS_2_0, "#if"},
        {"ps_1_1 registers", "// @register a c8\nvoid main() { }\n", CG_PROFILE_PS_1_1, "out of range"},
        {"overlap", "// @register m c0 4\n// @register v c3\nvoid main() { }\n", CG_PROFILE_VS_2_0, "c3"},
        {"twice", "// @register v c0\n// @register v c1\nvoid main() { }\n", CG_PROFILE_VS_2_0, "twice"},
        {"malformed", "// @register 9v r0\nvoid main() { }\n", CG_PROFILE_VS_2_0, "malformed"},
        {"huge register", "// @register v c99999999999999999999 4\nvoid main() { }\n", CG_PROFILE_VS_2_0, "range"},
        {"int main", "int main() { return 0; }\n", CG_PROFILE_VS_2_0, "main"},
        {"voidmain", "voidmain() { }\n", CG_PROFILE_VS_2_0, "main"},
        {"main in a comment", "// void main() { }\nvoid start() { }\n", CG_PROFILE_VS_2_0, "main"},
        {"too long", "void main() { }\n" + std::string(2 << 20, ' '), CG_PROFILE_VS_2_0, "too long"},
    };
    for (const Case& c : cases) {
        testutil::WriteFile(dir.file("bad.cg"), c.source);
        CGprogram p =
            cgCreateProgramFromFile(ctx, CG_SOURCE, dir.file("bad.cg").c_str(), c.profile, "main", nullptr);
        EXPECT_EQ(p, nullptr) << c.what;
        CGerror e = cgGetError();
        EXPECT_EQ(e, CG_COMPILER_ERROR) << c.what;
        std::string text = cgGetErrorString(e);
        EXPECT_NE(text.find(c.message), std::string::npos) << c.what << ": " << text;
        ASSERT_NE(cgGetLastListing(ctx), nullptr);
    }
    EXPECT_EQ(cgCreateProgramFromFile(ctx, CG_SOURCE, dir.file("none.cg").c_str(), CG_PROFILE_VS_2_0, "main",
                                      nullptr),
              nullptr);
    EXPECT_EQ(cgGetError(), CG_FILE_READ_ERROR);
    testutil::WriteFile(dir.file("ok.cg"), "void main() { }\n");
    testutil::WriteFile(dir.file("spaced.cg"), "void\n  main ( void )\n{\n}\n");
    EXPECT_NE(cgCreateProgramFromFile(ctx, CG_SOURCE, dir.file("spaced.cg").c_str(), CG_PROFILE_VS_2_0, "main",
                                      nullptr),
              nullptr);
    EXPECT_EQ(cgCreateProgramFromFile(ctx, CG_SOURCE, dir.file("ok.cg").c_str(), CG_PROFILE_UNKNOWN, "main", nullptr),
              nullptr);
    EXPECT_EQ(cgGetError(), CG_INVALID_PROFILE_ERROR);
    cgDestroyContext(ctx);
}

TEST(CgTest, AssemblerRejectsTextWithoutProfile) {
    ID3DXBuffer* blob = nullptr;
    ID3DXBuffer* errors = nullptr;
    const char* text = "void main() { }\n";
    EXPECT_EQ(D3DXAssembleShader(text, UINT(strlen(text)), nullptr, nullptr, 0, &blob, &errors), D3DXERR_INVALIDDATA);
    EXPECT_EQ(blob, nullptr);
    ASSERT_NE(errors, nullptr);
    EXPECT_NE(std::string(static_cast<const char*>(errors->GetBufferPointer())).find("profile"), std::string::npos);
    errors->Release();
    // Defines follow the profile line.
    const char* pixel = "// ps_2_0\nvoid main() { oC0 = vec4(LEVEL); }\n";
    D3DXMACRO defines[] = {{"LEVEL", "0.5"}, {nullptr, nullptr}};
    ASSERT_EQ(D3DXAssembleShader(pixel, UINT(strlen(pixel)), defines, nullptr, 0, &blob, nullptr), D3D_OK);
    DWORD kind = 99;
    const char* glsl = nullptr;
    ASSERT_TRUE(D3D9ReadGlslBlob(static_cast<const DWORD*>(blob->GetBufferPointer()), &kind, &glsl));
    EXPECT_EQ(kind, D3D9_GLSL_PIXEL);
    EXPECT_EQ(std::string(glsl), "// ps_2_0\n#define LEVEL 0.5\nvoid main() { oC0 = vec4(LEVEL); }\n");
    blob->Release();
}

// The game's programs compile for every profile they are loaded with and
// declare every constant their callers set.
TEST(CgTest, GameProgramsDeclareTheirConstants) {
    const std::vector<std::string> high = {"eye_position", "light_position", "clip_matrix", "world_matrix_t",
                                           "world_matrix_it"};
    const std::vector<std::string> pixel = {"diffuse_color", "ambient_color"};
    const std::vector<std::string> low = {"diffuse_color",  "light_position", "light_range",     "light_attenuation",
                                          "eye_position",   "clip_matrix",    "world_matrix_it", "world_matrix_t",
                                          "ambient_color",  "specular_color"};
    struct Case {
        const char* file;
        std::vector<CGprofile> profiles;
        std::vector<std::string> names;
    } cases[] = {
        {"vertex_shaders/point_sprites.cg", {CG_PROFILE_VS_1_1, CG_PROFILE_VS_2_0}, {"clip_matrix", "eye_position"}},
        {"vertex_shaders/pp_cube_map_high_vs.cg", {CG_PROFILE_VS_1_1, CG_PROFILE_VS_2_0}, high},
        {"pixel_shaders/pp_cube_map_high_ps.cg", {CG_PROFILE_PS_1_1, CG_PROFILE_PS_2_0}, pixel},
        {"vertex_shaders/specular.cg", {CG_PROFILE_VS_1_1}, low},
        {"vertex_shaders/bomb.cg", {CG_PROFILE_VS_1_1, CG_PROFILE_VS_2_0}, high},
        {"pixel_shaders/bomb.cg", {CG_PROFILE_PS_1_1, CG_PROFILE_PS_2_0}, pixel},
    };
    CGcontext ctx = cgCreateContext();
    for (const Case& c : cases)
        for (CGprofile profile : c.profiles) {
            const std::string path = testutil::GameData(c.file);
            CGprogram p = cgCreateProgramFromFile(ctx, CG_SOURCE, path.c_str(), profile, "main", nullptr);
            ASSERT_TRUE(p) << c.file << ": " << cgGetErrorString(cgGetError());
            for (const std::string& name : c.names)
                EXPECT_NE(cgGetNamedParameter(p, name.c_str()), nullptr) << c.file << " " << name;
        }
    cgDestroyContext(ctx);
}

}  // namespace
