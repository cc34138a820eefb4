// One lit, reflective block drawn on the three shader paths with the GL
// device: the 2.0 programs, the 1.1 programs, and the vertex program alone
// over the fixed-function stages. Screenshots go to the artifacts folder.
#include <gtest/gtest.h>

#include <cstring>

#include <SDL.h>
#include <d3d9hooks.h>
#include <d3dx9math.h>
#include <managerhooks.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "engine/MeshManager.h"
#include "engine/ShaderManager.h"
#include "support/DeviceSupport.h"
#include "support/EngineSupport.h"

namespace {

const UINT kSize = 256;

// Camera on -z looking at the origin and a light above-left of it, on the viewer's
// side; the transposed matrices and the object-space eye and light the programs read.
struct BlockView {
    D3DXMATRIX clip, clipT, wvT, wvIT;
    float eye[4], light[4];
};
BlockView MakeBlockView(const D3DXMATRIX& world, float eyeDistance) {
    D3DXMATRIX view, proj, wv, clip, inverse, worldInverse;
    D3DXVECTOR3 eye(0, 0, -eyeDistance), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, 0.785f, 1.f, 0.1f, 100.f);
    D3DXMatrixMultiply(&wv, &world, &view);
    D3DXMatrixMultiply(&clip, &wv, &proj);
    BlockView b;
    b.clip = clip;
    D3DXMatrixTranspose(&b.clipT, &clip);
    D3DXMatrixTranspose(&b.wvT, &wv);
    D3DXMatrixInverse(&inverse, nullptr, &wv);
    D3DXMatrixTranspose(&b.wvIT, &inverse);
    D3DXMatrixInverse(&worldInverse, nullptr, &world);
    D3DXVECTOR3 lightWorld(-3.f, 4.f, -10.f), light, eyeObject;
    D3DXVec3TransformCoord(&light, &lightWorld, &worldInverse);
    D3DXVec3TransformCoord(&eyeObject, &eye, &worldInverse);
    const float e[4] = {eyeObject.x, eyeObject.y, eyeObject.z, 1}, l[4] = {light.x, light.y, light.z, 1};
    memcpy(b.eye, e, sizeof e);
    memcpy(b.light, l, sizeof l);
    return b;
}

// The constants of the specular program, which lights the block on the vertex-only path.
struct SpecularConstants {
    const float *diffuse, *light, *range, *attenuation, *eye;
    const D3DXMATRIX *clip, *worldIT, *world;
    const float *ambient, *specular;
};
void SetSpecularConstants(CShaderManager* shaders, CVertexShader* vs, const SpecularConstants& k) {
    shaders->SetVertexShaderConstant(vs, "diffuse_color", k.diffuse, 1);
    shaders->SetVertexShaderConstant(vs, "light_position", k.light, 1);
    shaders->SetVertexShaderConstant(vs, "light_range", k.range, 1);
    shaders->SetVertexShaderConstant(vs, "light_attenuation", k.attenuation, 1);
    shaders->SetVertexShaderConstant(vs, "eye_position", k.eye, 1);
    shaders->SetVertexShaderConstant(vs, "clip_matrix", &k.clip->m[0][0], 4);
    shaders->SetVertexShaderConstant(vs, "world_matrix_it", &k.worldIT->m[0][0], 4);
    shaders->SetVertexShaderConstant(vs, "world_matrix_t", &k.world->m[0][0], 4);
    shaders->SetVertexShaderConstant(vs, "ambient_color", k.ambient, 1);
    shaders->SetVertexShaderConstant(vs, "specular_color", k.specular, 1);
}

struct PathCase {
    const char* name;
    DWORD vs, ps;
};

const float kEyeDistance = 2.2f;

D3DXMATRIX BlockWorld() {
    D3DXMATRIX rotation, scale, world;
    D3DXMatrixRotationYawPitchRoll(&rotation, 0.6f, 0.5f, 0.f);
    D3DXMatrixScaling(&scale, 0.1f, 0.1f, 0.1f);
    D3DXMatrixMultiply(&world, &scale, &rotation);
    return world;
}

// Textures made here so the test needs no image loader: a tiled diffuse
// map, a bumpy normal map (both plain when asked) and a sky-to-ground cube map.
IDirect3DTexture9* MakeTexture(IDirect3DDevice9* device, bool normalMap, bool plain = false) {
    IDirect3DTexture9* tex = nullptr;
    if (FAILED(device->CreateTexture(64, 64, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr))) return nullptr;
    D3DLOCKED_RECT lr;
    if (FAILED(tex->LockRect(0, &lr, nullptr, 0))) return tex;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            DWORD* p = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch) + x;
            if (plain) {
                *p = normalMap ? D3DCOLOR_ARGB(255, 128, 128, 255) : D3DCOLOR_ARGB(255, 220, 220, 230);
            } else if (normalMap) {
                float nx = 0.35f * std::sin(x * 0.4f), ny = 0.35f * std::sin(y * 0.4f);
                float nz = std::sqrt(1.f - nx * nx - ny * ny);
                *p = D3DCOLOR_ARGB(255, int((nx * 0.5f + 0.5f) * 255), int((ny * 0.5f + 0.5f) * 255),
                                   int((nz * 0.5f + 0.5f) * 255));
            } else {
                bool edge = x < 4 || y < 4 || x > 59 || y > 59;
                *p = edge ? D3DCOLOR_ARGB(255, 90, 90, 110) : D3DCOLOR_ARGB(255, 220, 220, 230);
            }
        }
    tex->UnlockRect(0);
    return tex;
}

IDirect3DCubeTexture9* MakeCube(IDirect3DDevice9* device) {
    IDirect3DCubeTexture9* cube = nullptr;
    if (FAILED(device->CreateCubeTexture(16, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr))) return nullptr;
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT lr;
        if (FAILED(cube->LockRect(D3DCUBEMAP_FACES(face), 0, &lr, nullptr, 0))) continue;
        // Blended by the texel direction's height, so no face edge shows.
        for (int y = 0; y < 16; ++y)
            for (int x = 0; x < 16; ++x) {
                DWORD* p = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch) + x;
                const float s = (x + 0.5f) / 8.f - 1.f, t = (y + 0.5f) / 8.f - 1.f;
                const float up = face == 2 ? 1.f : face == 3 ? -1.f : -t;
                const float sky = 0.5f + 0.5f * up / std::sqrt(1.f + s * s + t * t);
                *p = D3DCOLOR_ARGB(255, int(200 - 80 * sky), int(160 + 10 * sky), int(90 + 165 * sky));
            }
        cube->UnlockRect(D3DCUBEMAP_FACES(face), 0);
    }
    return cube;
}

// Draws the block on the GL device and returns the frame; a device that cannot
// be made or read back fails the test and returns nothing.
struct DrawOptions {
    float ambient[4] = {0.25f, 0.2f, 0.2f, 1};
    bool blend = false;  // SRCALPHA / INVSRCALPHA over the clear colour
    bool screenshot = true;
    bool plainTextures = false;  // no texture detail: only the lighting varies over a face
};

// The engine's shader and mesh managers on a GL device, the game's data paths set; the managers go
// before the device.
struct ManagedDevice {
    ManagedDevice(SDL_Window* window, UINT width, UINT height, bool depth) : gl(window, width, height, depth) {
        managerhooks::SetTestDevice(gl.Get());
    }
    ~ManagedDevice() {
        managers.Now();
        managerhooks::SetTestDevice(nullptr);
    }
    void UseGameData() {
        CMeshManager::GetInstance()->SetMeshPath(testutil::GameData("meshes").c_str());
        CShaderManager::GetInstance()->SetVertexShadersPath(testutil::GameData("vertex_shaders"));
        CShaderManager::GetInstance()->SetPixelShadersPath(testutil::GameData("pixel_shaders"));
    }

    testutil::GlDevice gl;
    enginescope::Sweep managers;
};

std::vector<DWORD> DrawBlock(const PathCase& path, SDL_Window* window, const DrawOptions& options = DrawOptions()) {
    std::vector<DWORD> pixels;
    d3d9hooks::SetShaderVersions(path.vs, path.ps);
    ManagedDevice managed(window, kSize, kSize, true);
    IDirect3DDevice9* device = managed.gl.Get();
    if (!device) {
        ADD_FAILURE() << path.name << ": no device";
        return pixels;
    }
    managed.UseGameData();
    CShaderManager* shaders = CShaderManager::GetInstance();
    CMeshManager* meshes = CMeshManager::GetInstance();

    // The field's choice of programs.
    const bool high = (shaders->GetVertexShaderMajor() >= 2 && shaders->GetPixelShaderMajor() >= 2) ||
                      (shaders->GetVertexShaderMajor() && shaders->GetVertexShaderMinor() &&
                       shaders->GetPixelShaderMajor() && shaders->GetPixelShaderMinor());
    const bool two = shaders->GetVertexShaderMajor() >= 2 && shaders->GetPixelShaderMajor() >= 2;
    CVertexShader* vs = high ? shaders->LoadVertexShader("pp_cube_map_high_vs.cg", two ? "vs_2_0" : "vs_1_1")
                             : shaders->LoadVertexShader("specular.cg", "vs_1_1");
    CPixelShader* ps = high ? shaders->LoadPixelShader("pp_cube_map_high_ps.cg", two ? "ps_2_0" : "ps_1_1")
                            : nullptr;
    CMesh* block = nullptr;
    meshes->LoadMesh(&block, "block_high.x", high ? 1 : 0);
    IDirect3DTexture9* diffuse = MakeTexture(device, false, options.plainTextures);
    IDirect3DTexture9* bump = MakeTexture(device, true, options.plainTextures);
    IDirect3DCubeTexture9* cube = MakeCube(device);
    EXPECT_TRUE(vs && (ps || !high) && block && diffuse && bump && cube) << path.name;

    if (vs && block && (ps || !high)) {
        const BlockView bv = MakeBlockView(BlockWorld(), kEyeDistance);
        const D3DXMATRIX &clipT = bv.clipT, &wvT = bv.wvT, &wvIT = bv.wvIT;
        const float *eye4 = bv.eye, *light4 = bv.light;
        const float diffuseColor[4] = {0.9f, 0.5f, 0.2f, 1};
        const float* ambientColor = options.ambient;
        const float specular[4] = {1, 1, 1, 1}, range[4] = {50, .5f, .5f, .5f}, atten[4] = {.5f, .5f, .5f, .5f};

        device->SetRenderState(D3DRS_ZENABLE, TRUE);
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, options.blend);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(20, 30, 40), 1.f, 0);
        device->BeginScene();
        shaders->SetVertexShader(vs);
        shaders->SetPixelShader(ps);
        device->SetTexture(0, diffuse);
        if (high) {
            device->SetTexture(1, bump);
            device->SetTexture(2, cube);
            shaders->SetVertexShaderConstant(vs, "eye_position", eye4, 1);
            shaders->SetVertexShaderConstant(vs, "light_position", light4, 1);
            shaders->SetVertexShaderConstant(vs, "clip_matrix", &clipT.m[0][0], 4);
            shaders->SetVertexShaderConstant(vs, "world_matrix_t", &wvT.m[0][0], 4);
            shaders->SetVertexShaderConstant(vs, "world_matrix_it", &wvIT.m[0][0], 4);
            shaders->SetPixelShaderConstant(ps, "diffuse_color", diffuseColor, 1);
            shaders->SetPixelShaderConstant(ps, "ambient_color", ambientColor, 1);
        } else {
            device->SetTexture(1, cube);
            device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
            device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
            device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
            // The stage's default alpha is the texture's; the program's alpha needs MODULATE.
            device->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
            device->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
            device->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
            device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
            device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
            device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
            device->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_ARGB(255, 255, 255, 255));
            SetSpecularConstants(shaders, vs, {diffuseColor, light4, range, atten, eye4, &clipT, &wvIT, &wvT,
                                               ambientColor, specular});
        }
        EXPECT_EQ(block->Render(device, true, true), S_OK);
        device->EndScene();
        UINT w = 0, h = 0;
        pixels = d3d9hooks::ReadBackBuffer(device, &w, &h);
        if (w != kSize || h != kSize || pixels.size() != size_t(w) * h) {
            ADD_FAILURE() << path.name << ": no " << kSize << " x " << kSize << " frame read back";
            pixels.clear();
        } else if (options.screenshot) {
            EXPECT_TRUE(testutil::SaveScreenshot("block_" + std::string(path.name) + ".png", pixels, w, h, 16));
        }
        for (int stage = 0; stage < 3; ++stage) device->SetTexture(stage, nullptr);
    }
    if (diffuse) diffuse->Release();
    if (bump) bump->Release();
    if (cube) cube->Release();
    return pixels;
}

// Mean colour of the pixels that differ from the clear colour, and their count.
struct Coverage {
    double r = 0, g = 0, b = 0;
    int count = 0;
};

Coverage Measure(const std::vector<DWORD>& pixels) {
    Coverage c;
    const DWORD background = D3DCOLOR_XRGB(20, 30, 40) & 0xFFFFFF;
    for (DWORD p : pixels) {
        if ((p & 0xFFFFFF) == background) continue;
        c.r += (p >> 16) & 255;
        c.g += (p >> 8) & 255;
        c.b += p & 255;
        ++c.count;
    }
    if (c.count) {
        c.r /= c.count;
        c.g /= c.count;
        c.b /= c.count;
    }
    return c;
}

TEST(BlockShadingGlTest, EveryShaderPathDrawsADifferentlyLitBlock) {
    testutil::GlWindow window("block", kSize, kSize);
    if (!window.Get()) KOLVAR_SKIP_WITHOUT_GL() << window.Error();
    const PathCase paths[] = {{"ps20", D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0)},
                              {"ps11", D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 1)},
                              {"vertex_only", D3DVS_VERSION(1, 1), D3DPS_VERSION(0, 0)}};
    std::vector<Coverage> seen;
    for (const PathCase& p : paths) {
        std::vector<DWORD> pixels = DrawBlock(p, window.Get());
        if (pixels.empty()) continue;  // already a failure
        seen.push_back(Measure(pixels));
        // The block covers a good part of the middle of the frame.
        EXPECT_GT(seen.back().count, int(kSize * kSize / 10)) << p.name;
        EXPECT_LT(seen.back().count, int(kSize * kSize * 9 / 10)) << p.name;
        DWORD centre = pixels[(kSize / 2) * kSize + kSize / 2] & 0xFFFFFF;
        EXPECT_NE(centre, DWORD(D3DCOLOR_XRGB(20, 30, 40) & 0xFFFFFF)) << p.name;
    }
    ASSERT_EQ(seen.size(), 3u);
    for (size_t i = 0; i < seen.size(); ++i)
        for (size_t j = i + 1; j < seen.size(); ++j) {
            double d = std::fabs(seen[i].r - seen[j].r) + std::fabs(seen[i].g - seen[j].g) +
                       std::fabs(seen[i].b - seen[j].b);
            EXPECT_GT(d, 6.0) << paths[i].name << " and " << paths[j].name << " look the same";
        }
}

// Each face of the block is a flat quad of two triangles meeting on the
// diagonal from (+u, -v) to (-u, +v). Pixels just either side of it must
// match wherever the face is seen: a step means a value interpolated
// differently on the two triangles.
TEST(BlockShadingGlTest, FlatFacesShowNoSeamOnTheirDiagonal) {
    testutil::GlWindow window("seam", kSize, kSize);
    if (!window.Get()) KOLVAR_SKIP_WITHOUT_GL() << window.Error();
    const PathCase paths[] = {{"seam_ps20", D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0)},
                              {"seam_ps11", D3DVS_VERSION(1, 1), D3DPS_VERSION(1, 1)}};
    DrawOptions plain;
    plain.plainTextures = true;
    plain.screenshot = false;
    std::vector<DWORD> frames[2];
    for (int i = 0; i < 2; ++i) frames[i] = DrawBlock(paths[i], window.Get(), plain);
    ASSERT_FALSE(frames[0].empty() || frames[1].empty());

    const BlockView bv = MakeBlockView(BlockWorld(), kEyeDistance);
    auto pixelAt = [&](const std::vector<DWORD>& frame, const D3DXVECTOR3& p) {
        D3DXVECTOR3 ndc;
        D3DXVec3TransformCoord(&ndc, &p, &bv.clip);
        const int x = int((ndc.x + 1.f) * 0.5f * kSize), y = int((1.f - ndc.y) * 0.5f * kSize);
        return frame[size_t(y) * kSize + size_t(x)];
    };
    const float half = 4.5f, inner = 3.6f, offset = 0.4f;  // the block's size, its flat part, the step off the diagonal
    int facesSeen = 0;
    for (int axis = 0; axis < 3; ++axis)
        for (int sign = -1; sign <= 1; sign += 2) {
            D3DXVECTOR3 normal(0, 0, 0), toEye, eye(bv.eye[0], bv.eye[1], bv.eye[2]);
            (&normal.x)[axis] = float(sign);
            toEye = eye - normal * half;
            D3DXVec3Normalize(&toEye, &toEye);
            if (D3DXVec3Dot(&toEye, &normal) < 0.3f) continue;  // hidden or seen edge-on
            ++facesSeen;
            const int ua = (axis + 1) % 3, va = (axis + 2) % 3;
            for (float along : {-0.5f, 0.f, 0.5f}) {
                D3DXVECTOR3 a = normal * half, b = normal * half;
                (&a.x)[ua] = inner * along + offset, (&a.x)[va] = -inner * along + offset;
                (&b.x)[ua] = inner * along - offset, (&b.x)[va] = -inner * along - offset;
                for (int i = 0; i < 2; ++i) {
                    const DWORD pa = pixelAt(frames[i], a), pb = pixelAt(frames[i], b);
                    for (int shift = 0; shift <= 16; shift += 8)
                        EXPECT_NEAR(int((pa >> shift) & 255), int((pb >> shift) & 255), 4)
                            << paths[i].name << " face " << axis << sign << " at " << along;
                }
            }
        }
    EXPECT_GE(facesSeen, 2);
}

// A program that passes the stand-in's checks but not the GL compiler: the
// load fails, the log carries the driver's message, nothing is kept.
TEST(BlockShadingGlTest, GlCompileErrorsReachTheLog) {
    testutil::GlWindow window("compile", 64, 64);
    if (!window.Get()) KOLVAR_SKIP_WITHOUT_GL() << window.Error();
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("typo.cg"), "// @register tint c0\nvoid main()\n{\n    v_color0 = tintt;\n}\n");
    ManagedDevice managed(window.Get(), 64, 64, false);
    ASSERT_TRUE(managed.gl.Get());
    CShaderManager* m = CShaderManager::GetInstance();
    m->SetVertexShadersPath(dir.path());
    testutil::LogTail tail;
    CVertexShader* shader = m->LoadVertexShader("typo.cg", "vs_2_0");
    const std::string log = tail.Text();
    EXPECT_EQ(shader, nullptr);
    EXPECT_EQ(m->GetShaderCount(), 0u);
    EXPECT_NE(log.find("Couldn't create vertex shader: (typo.cg), code = ("), std::string::npos) << log;
    EXPECT_NE(log.find("tintt"), std::string::npos) << log;  // the driver names the unknown identifier
}

// Every generated mesh in a 4 x 5 grid with the vertex-lighting program, for
// a person to look at; each must cover a fair part of its cell.
TEST(BlockShadingGlTest, GalleryOfTheGameMeshes) {
    const UINT cellSize = 128, cols = 4, rows = 5;
    testutil::GlWindow window("gallery", cellSize * cols, cellSize * rows);
    if (!window.Get()) KOLVAR_SKIP_WITHOUT_GL() << window.Error();
    d3d9hooks::SetShaderVersions(D3DVS_VERSION(1, 1), D3DPS_VERSION(0, 0));
    ManagedDevice managed(window.Get(), cellSize * cols, cellSize * rows, true);
    IDirect3DDevice9* device = managed.gl.Get();
    ASSERT_TRUE(device);
    managed.UseGameData();
    CShaderManager* shaders = CShaderManager::GetInstance();
    CMeshManager* meshes = CMeshManager::GetInstance();
    CVertexShader* vs = shaders->LoadVertexShader("specular.cg", "vs_1_1");
    ASSERT_TRUE(vs);
    IDirect3DTexture9* white = MakeTexture(device, false);

    const char* names[] = {"block_low.x",  "block_medium.x",  "block_high.x",       "block_part.x",
                           "frame.x",      "frame_seg_low.x", "frame_seg_medium.x", "frame_seg_high.x",
                           "bomb.x",       "fitil.x",         "sphere.x",           "saw.x",
                           "saw_part_1.x", "saw_part_2.x",    "saw_part_3.x",       "res_p1.x",
                           "res_p2.x"};
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_XRGB(20, 30, 40), 1.f, 0);
    device->BeginScene();
    shaders->SetVertexShader(vs);
    shaders->SetPixelShader(nullptr);
    device->SetTexture(0, white);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    const float diffuse[4] = {0.7f, 0.75f, 0.9f, 1}, ambient[4] = {0.15f, 0.15f, 0.2f, 1}, specular[4] = {1, 1, 1, 1};
    const float range[4] = {50, .5f, .5f, .5f}, atten[4] = {.5f, .5f, .5f, .5f};
    size_t drawn = 0;
    for (size_t i = 0; i < sizeof names / sizeof names[0] && i < cols * rows; ++i) {
        CMesh* mesh = nullptr;
        ASSERT_TRUE(meshes->LoadMesh(&mesh, names[i], 0)) << names[i];
        // Centre and scale by the mesh's own bounds so every model fills its cell.
        ID3DXMesh* sys = mesh->GetSysMemMesh();
        float* v = nullptr;
        float lo[3] = {1e30f, 1e30f, 1e30f}, hi[3] = {-1e30f, -1e30f, -1e30f};
        sys->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&v));
        for (DWORD k = 0; k < sys->GetNumVertices(); ++k)
            for (int a = 0; a < 3; ++a) {
                lo[a] = std::min(lo[a], v[k * 8 + a]);
                hi[a] = std::max(hi[a], v[k * 8 + a]);
            }
        sys->UnlockVertexBuffer();
        float radius = 0.5f * std::sqrt((hi[0] - lo[0]) * (hi[0] - lo[0]) + (hi[1] - lo[1]) * (hi[1] - lo[1]) +
                                        (hi[2] - lo[2]) * (hi[2] - lo[2]));
        D3DVIEWPORT9 viewport = {DWORD(i % cols) * cellSize, DWORD(i / cols) * cellSize, cellSize, cellSize, 0, 1};
        device->SetViewport(&viewport);
        D3DXMATRIX centre, scale, turn, world;
        D3DXMatrixTranslation(&centre, -0.5f * (lo[0] + hi[0]), -0.5f * (lo[1] + hi[1]), -0.5f * (lo[2] + hi[2]));
        D3DXMatrixScaling(&scale, 1.f / radius, 1.f / radius, 1.f / radius);
        D3DXMatrixRotationYawPitchRoll(&turn, 0.5f, -0.6f, 0.f);
        D3DXMatrixMultiply(&world, &centre, &scale);
        D3DXMatrixMultiply(&world, &world, &turn);
        const BlockView bv = MakeBlockView(world, 2.6f);
        SetSpecularConstants(shaders, vs, {diffuse, bv.light, range, atten, bv.eye, &bv.clipT, &bv.wvIT, &bv.wvT, ambient,
                                           specular});
        EXPECT_EQ(mesh->Render(device, true, true), S_OK);
        ++drawn;
    }
    device->EndScene();
    UINT w = 0, h = 0;
    std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(device, &w, &h);
    device->SetTexture(0, nullptr);
    if (white) white->Release();
    ASSERT_EQ(w, cellSize * cols);
    ASSERT_EQ(h, cellSize * rows);
    ASSERT_EQ(pixels.size(), size_t(w) * h);
    EXPECT_TRUE(testutil::SaveScreenshot("mesh_gallery.png", pixels, w, h, 64));
    EXPECT_EQ(drawn, sizeof names / sizeof names[0]);
    for (size_t i = 0; i < drawn; ++i) {
        int covered = 0;
        for (UINT y = 0; y < cellSize; ++y)
            for (UINT x = 0; x < cellSize; ++x) {
                DWORD p = pixels[(i / cols * cellSize + y) * w + i % cols * cellSize + x] & 0xFFFFFF;
                if (p != (D3DCOLOR_XRGB(20, 30, 40) & 0xFFFFFF)) ++covered;
            }
        EXPECT_GT(covered, int(cellSize * cellSize / 40)) << names[i];
    }
}

// What other code relies on in the programs: the ambient colour adds to the
// high path's lighting (marked blocks pulse it), and the vertex-lighting
// program carries ambient alpha times diffuse alpha (the frame's opacity).
TEST(BlockShadingGlTest, AmbientAddsAndOpacityBlends) {
    testutil::GlWindow window("contract", kSize, kSize);
    if (!window.Get()) KOLVAR_SKIP_WITHOUT_GL() << window.Error();
    const PathCase high = {"contract_high", D3DVS_VERSION(2, 0), D3DPS_VERSION(2, 0)};
    const PathCase low = {"contract_low", D3DVS_VERSION(1, 1), D3DPS_VERSION(0, 0)};
    DrawOptions dark, bright, opaque, faded;
    dark.screenshot = bright.screenshot = opaque.screenshot = faded.screenshot = false;
    for (int i = 0; i < 3; ++i) {
        dark.ambient[i] = 0.f;
        bright.ambient[i] = 0.6f;
    }
    opaque.blend = faded.blend = true;
    faded.ambient[3] = 0.5f;
    std::vector<DWORD> a = DrawBlock(high, window.Get(), dark), b = DrawBlock(high, window.Get(), bright);
    std::vector<DWORD> c = DrawBlock(low, window.Get(), opaque), d = DrawBlock(low, window.Get(), faded);
    ASSERT_FALSE(a.empty() || b.empty() || c.empty() || d.empty());
    Coverage ca = Measure(a), cb = Measure(b);
    EXPECT_GT(cb.r + cb.g + cb.b, ca.r + ca.g + ca.b + 60.0);
    // Half opacity lets the clear colour through: the covered pixels move towards it.
    Coverage cc = Measure(c), cd = Measure(d);
    EXPECT_LT(cd.r, cc.r - 20.0);
    EXPECT_GT(cd.count, cc.count / 2);
}

}  // namespace
