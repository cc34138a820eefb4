// The GL backend read back as pixels (under Xvfb with Mesa): clears, textured
// and pre-transformed quads, alpha test, blending, state blocks, cube maps,
// point sprites, shader constants and vertex colours.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "d3d9.h"
#include "d3d9hooks.h"
#include "d3dx9math.h"
#include "support/DeviceSupport.h"

namespace {

struct TLVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

// Float render states travel as their bits.
DWORD d3d9BitsOf(float f) {
    DWORD d;
    memcpy(&d, &f, 4);
    return d;
}

class D3D9Gl : public testutil::DeviceTest {
protected:
    static constexpr UINT kSize = 64;

    void SetUp() override {
        D3DPRESENT_PARAMETERS pp = testutil::DepthPresent(kSize, kSize, D3DFMT_D16);
        pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
        StartDevice(d3d9hooks::Backend::GL, pp);
        if (m_dev) Use2DStates();
    }

    void BeginCleared(D3DCOLOR colour = 0, DWORD flags = D3DCLEAR_TARGET) {
        m_dev->Clear(0, nullptr, flags, colour, 1.0f, 0);
        m_dev->BeginScene();
    }
    std::vector<DWORD> EndAndGrab(const char* name) {
        m_dev->EndScene();
        return Grab(name);
    }
    // Reads the back buffer, saves it as a screenshot, returns 0xAARRGGBB rows.
    std::vector<DWORD> Grab(const char* name) {
        UINT w = 0, h = 0;
        std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(m_dev, &w, &h);
        EXPECT_EQ(w, kSize);
        EXPECT_EQ(h, kSize);
        EXPECT_TRUE(testutil::SaveScreenshot(std::string("d3d9_") + name + ".png", pixels, w, h));
        return pixels;
    }
    static DWORD At(const std::vector<DWORD>& p, UINT x, UINT y) { return p[y * kSize + x] & 0xFFFFFF; }

    IDirect3DTexture9* MakeTexture(UINT w, UINT h, const std::vector<DWORD>& argb) {
        IDirect3DTexture9* tex = nullptr;
        EXPECT_EQ(m_dev->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
        D3DLOCKED_RECT lr{};
        EXPECT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < h; ++y)
            memcpy(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch, &argb[y * w], w * 4);
        tex->UnlockRect(0);
        return tex;
    }

    // Programs from GLSL text; a compile failure fails the test with the driver's log.
    IDirect3DVertexShader9* VertexShader(const char* glsl) {
        IDirect3DVertexShader9* vs = nullptr;
        EXPECT_EQ(m_dev->CreateVertexShader(D3D9BuildGlslBlob(D3D9_GLSL_VERTEX, glsl).data(), &vs), D3D_OK)
            << D3D9ShaderCompileLog(m_dev);
        return vs;
    }
    IDirect3DPixelShader9* PixelShader(const char* glsl) {
        IDirect3DPixelShader9* ps = nullptr;
        EXPECT_EQ(m_dev->CreatePixelShader(D3D9BuildGlslBlob(D3D9_GLSL_PIXEL, glsl).data(), &ps), D3D_OK)
            << D3D9ShaderCompileLog(m_dev);
        return ps;
    }

    // A screen rectangle as a two-triangle strip.
    void DrawRect(float x0, float y0, float x1, float y1, D3DCOLOR color, float z = 0.5f) {
        const TLVertex v[4] = {{x0, y0, z, 1, color, 0, 0},
                               {x1, y0, z, 1, color, 1, 0},
                               {x0, y1, z, 1, color, 0, 1},
                               {x1, y1, z, 1, color, 1, 1}};
        m_dev->SetFVF(kTLFvf);
        EXPECT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TLVertex)), D3D_OK);
    }
};

TEST_F(D3D9Gl, ClearsTheViewportAndRectangles) {
    ASSERT_EQ(m_dev->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF336699, 1.0f, 0), D3D_OK);
    const D3DRECT r{10, 20, 30, 25};
    ASSERT_EQ(m_dev->Clear(1, &r, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0), D3D_OK);
    D3DVIEWPORT9 vp{40, 40, 10, 10, 0, 1};
    m_dev->SetViewport(&vp);
    m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    auto p = Grab("clear");
    EXPECT_EQ(At(p, 0, 0), 0x336699u);
    EXPECT_EQ(At(p, 10, 20), 0xFF0000u) << "rectangles are top-down";
    EXPECT_EQ(At(p, 29, 24), 0xFF0000u);
    EXPECT_EQ(At(p, 30, 24), 0x336699u);
    EXPECT_EQ(At(p, 10, 25), 0x336699u);
    EXPECT_EQ(At(p, 40, 40), 0x00FF00u) << "a clear covers the viewport only";
    EXPECT_EQ(At(p, 49, 49), 0x00FF00u);
    EXPECT_EQ(At(p, 50, 50), 0x336699u);
    EXPECT_EQ(At(p, 39, 45), 0x336699u);
    EXPECT_EQ(m_dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
}

TEST_F(D3D9Gl, PretransformedQuadMapsTexelsToPixelsWithTheHalfPixelRule) {
    // 4x4 texels, each its own colour.
    std::vector<DWORD> texels(16);
    for (UINT i = 0; i < 16; ++i) texels[i] = 0xFF000000 | (i * 16) << 16 | (255 - i * 16) << 8 | 0x40;
    IDirect3DTexture9* tex = MakeTexture(4, 4, texels);
    BeginCleared(0xFF000000);
    m_dev->SetTexture(0, tex);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    // D3D9 pixel centres sit on integer coordinates: a quad from 9.5 to 13.5
    // covers exactly pixels 10..13 with one texel each.
    DrawRect(9.5f, 19.5f, 13.5f, 23.5f, 0xFFFFFFFF);
    auto p = EndAndGrab("texel_quad");
    for (UINT y = 0; y < 4; ++y)
        for (UINT x = 0; x < 4; ++x)
            EXPECT_EQ(At(p, 10 + x, 20 + y), texels[y * 4 + x] & 0xFFFFFF) << "texel " << x << "," << y;
    EXPECT_EQ(At(p, 9, 20), 0u);
    EXPECT_EQ(At(p, 14, 20), 0u);
    EXPECT_EQ(At(p, 10, 19), 0u);
    EXPECT_EQ(At(p, 10, 24), 0u);
    tex->Release();
}

TEST_F(D3D9Gl, ModulateWithVertexColourAndNoTextureIsWhite) {
    BeginCleared(0xFF000000);
    // Stage 0 MODULATE of texture and diffuse with no texture: the diffuse colour.
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    DrawRect(0, 0, 32, 32, D3DXCOLOR(1.0f, 0.5f, 0.0f, 1.0f));  // D3DXCOLOR -> BGRA D3DCOLOR
    auto p = EndAndGrab("vertex_colour");
    EXPECT_EQ(At(p, 5, 5), 0xFF8000u);
    EXPECT_EQ(At(p, 40, 40), 0u);
}

TEST_F(D3D9Gl, AlphaTestDropsPixelsBelowTheReference) {
    BeginCleared(0xFF000000);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    m_dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ALPHAREF, 0x80);
    m_dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    DrawRect(0, 0, 16, 16, 0x7FFF0000);   // alpha 127: dropped
    DrawRect(16, 0, 32, 16, 0x80FF0000);  // alpha 128: kept
    m_dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    m_dev->SetRenderState(D3DRS_ALPHAREF, 0);
    DrawRect(0, 16, 16, 32, 0x0000FF00);  // alpha 0: dropped (the particles' test)
    DrawRect(16, 16, 32, 32, 0x0100FF00);
    auto p = EndAndGrab("alpha_test");
    EXPECT_EQ(At(p, 8, 8), 0u);
    EXPECT_EQ(At(p, 24, 8), 0xFF0000u);
    EXPECT_EQ(At(p, 8, 24), 0u);
    EXPECT_EQ(At(p, 24, 24), 0x00FF00u);
}

TEST_F(D3D9Gl, BlendingModes) {
    BeginCleared(0xFF0000FF);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG2);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    DrawRect(0, 0, 32, 32, 0x80FF0000);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);  // additive, as the particles
    DrawRect(32, 0, 64, 32, 0x8000FF00);
    auto p = EndAndGrab("blending");
    const DWORD mixed = At(p, 10, 10);
    EXPECT_NEAR(static_cast<int>(mixed >> 16), 128, 2);
    EXPECT_EQ((mixed >> 8) & 0xFF, 0u);
    EXPECT_NEAR(static_cast<int>(mixed & 0xFF), 127, 2);
    const DWORD added = At(p, 40, 10);
    EXPECT_NEAR(static_cast<int>((added >> 8) & 0xFF), 128, 2);
    EXPECT_EQ(added & 0xFF, 0xFFu) << "the blue underneath stays";
    EXPECT_EQ(At(p, 40, 40), 0x0000FFu);
}

TEST_F(D3D9Gl, StateBlockRestoresDrawingStates) {
    m_dev->BeginStateBlock();
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    m_dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    IDirect3DStateBlock9* saved = nullptr;
    ASSERT_EQ(m_dev->EndStateBlock(&saved), D3D_OK);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
    m_dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFF00FF00);
    saved->Capture();  // green, no blending
    m_dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFF0000);
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ZERO);
    BeginCleared(0xFF000080);
    DrawRect(0, 0, 32, 64, 0xFFFFFFFF);  // blended away: source ZERO, dest ZERO
    saved->Apply();
    DrawRect(32, 0, 64, 64, 0xFFFFFFFF);
    auto p = EndAndGrab("state_block");
    EXPECT_EQ(At(p, 10, 10), 0u);
    EXPECT_EQ(At(p, 40, 10), 0x00FF00u);
    saved->Release();
}

TEST_F(D3D9Gl, CubeMapFacesAreSampledByDirection) {
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(m_dev->CreateCubeTexture(4, 1, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    const DWORD faces[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00, 0x00FFFF, 0xFF00FF};
    for (int f = 0; f < 6; ++f) {
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(f), 0, &lr, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                reinterpret_cast<DWORD*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch)[x] = faces[f];
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(f), 0);
    }
    struct CubeVertex {
        float x, y, z, rhw;
        float dx, dy, dz;
    };
    const float dirs[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    BeginCleared();
    m_dev->SetTexture(0, cube);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1 | D3DFVF_TEXCOORDSIZE3(0));
    for (int f = 0; f < 6; ++f) {
        const float x0 = 10.0f * f, x1 = x0 + 10.0f;
        const float* d = dirs[f];
        const CubeVertex v[4] = {{x0, 0, 0.5f, 1, d[0], d[1], d[2]},
                                 {x1, 0, 0.5f, 1, d[0], d[1], d[2]},
                                 {x0, 10, 0.5f, 1, d[0], d[1], d[2]},
                                 {x1, 10, 0.5f, 1, d[0], d[1], d[2]}};
        ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(CubeVertex)), D3D_OK);
    }
    auto p = EndAndGrab("cube_map");
    for (int f = 0; f < 6; ++f) EXPECT_EQ(At(p, 10 * f + 5, 5), faces[f]) << "face " << f;
    cube->Release();
}

TEST_F(D3D9Gl, PointSpritesSpreadTheTextureOverThePoint) {
    // 2x2: top-left red, top-right green, bottom-left blue, bottom-right white.
    IDirect3DTexture9* tex = MakeTexture(2, 2, {0xFFFF0000, 0xFF00FF00, 0xFF0000FF, 0xFFFFFFFF});
    struct PointVertex {  // D3DFVF_XYZRHW | D3DFVF_PSIZE | D3DFVF_DIFFUSE
        float x, y, z, rhw, size;
        D3DCOLOR color;
    };
    const PointVertex points[2] = {{16, 16, 0.5f, 1, 16, 0xFFFFFFFF}, {48, 48, 0.5f, 1, 8, 0xFFFFFFFF}};
    BeginCleared();
    m_dev->SetTexture(0, tex);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    m_dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_PSIZE | D3DFVF_DIFFUSE);
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_POINTLIST, 2, points, sizeof(PointVertex)), D3D_OK);
    auto p = EndAndGrab("point_sprites");
    EXPECT_EQ(At(p, 11, 11), 0xFF0000u);
    EXPECT_EQ(At(p, 20, 11), 0x00FF00u);
    EXPECT_EQ(At(p, 11, 20), 0x0000FFu);
    EXPECT_EQ(At(p, 20, 20), 0xFFFFFFu);
    EXPECT_EQ(At(p, 16 + 10, 16), 0u) << "16 pixels wide, no more";
    EXPECT_EQ(At(p, 45, 45), 0xFF0000u);
    EXPECT_EQ(At(p, 53, 48), 0u) << "the second point is 8 wide";
    tex->Release();
}

TEST_F(D3D9Gl, ShaderConstantsPersistAcrossProgramSwitches) {
    // Clip-space quad from a vertex shader; colour from pixel constants.
    const char* vsText =
        "void main() {\n"
        "  gl_Position = vec4(a_position.xy * c[0].xy + c[0].zw, 0.5, 1.0);\n"
        "  v_psize = c[1].x;\n"
        "}\n";
    // Low registers reach the pixel stage by another road than high ones.
    const char* psRed = "void main() { oC0 = c[3] + c[20]; }\n";
    const char* psHalf = "void main() { oC0 = c[3] * 0.5; }\n";
    IDirect3DVertexShader9* vs = VertexShader(vsText);
    IDirect3DPixelShader9 *psA = PixelShader(psRed), *psB = PixelShader(psHalf);
    ASSERT_TRUE(vs && psA && psB);

    struct Pos {
        float x, y, z;
    };
    const Pos quad[4] = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}};
    BeginCleared();
    m_dev->SetFVF(D3DFVF_XYZ);
    m_dev->SetVertexShader(vs);
    m_dev->SetPixelShader(psB);
    const float colour[4] = {1, 0, 0, 1};
    m_dev->SetPixelShaderConstantF(3, colour, 1);  // set while the other program is bound
    const float blue[4] = {0, 0, 1, 0};
    m_dev->SetPixelShaderConstantF(20, blue, 1);
    const float left[4] = {1, 1, -1, -1};            // lower-left quarter of clip space... scaled to the left half
    m_dev->SetVertexShaderConstantF(0, left, 1);
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Pos)), D3D_OK);
    m_dev->SetPixelShader(psA);
    const float right[4] = {1, 1, 0, -1};
    m_dev->SetVertexShaderConstantF(0, right, 1);
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(Pos)), D3D_OK);
    auto p = EndAndGrab("shader_constants");
    EXPECT_NEAR(static_cast<int>(At(p, 10, 50) >> 16), 128, 1) << "half red from the second program";
    EXPECT_EQ(At(p, 50, 50), 0xFF00FFu) << "the first program still sees registers 3 and 20";
    EXPECT_EQ(At(p, 50, 10), 0u) << "upper half untouched";

    const char* broken = "void main() { oC0 = undefined_thing; }\n";
    auto badBlob = D3D9BuildGlslBlob(D3D9_GLSL_PIXEL, broken);
    IDirect3DPixelShader9* bad = nullptr;
    EXPECT_EQ(m_dev->CreatePixelShader(badBlob.data(), &bad), D3DERR_INVALIDCALL);
    EXPECT_EQ(bad, nullptr);
    EXPECT_NE(D3D9ShaderCompileLog(m_dev).find("undefined_thing"), std::string::npos) << D3D9ShaderCompileLog(m_dev);

    vs->Release();
    psA->Release();
    psB->Release();
}

TEST_F(D3D9Gl, TransformedGeometryKeepsD3DConventions) {
    // Left-handed view looking down +z; clockwise triangles are front faces.
    D3DXMATRIX world, view, proj;
    D3DXMatrixIdentity(&world);
    D3DXVECTOR3 eye(0, 0, -5), at(0, 0, 0), up(0, 1, 0);
    D3DXMatrixLookAtLH(&view, &eye, &at, &up);
    D3DXMatrixPerspectiveFovLH(&proj, D3DX_PI / 4, 1.0f, 1.0f, 100.0f);
    m_dev->SetTransform(D3DTS_WORLD, &world);
    m_dev->SetTransform(D3DTS_VIEW, &view);
    m_dev->SetTransform(D3DTS_PROJECTION, &proj);
    m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
    m_dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    struct V {
        float x, y, z;
        D3DCOLOR c;
    };
    // Upper half: clockwise on screen (drawn); lower half: counter-clockwise (culled).
    const V cw[3] = {{-1, 1, 0, 0xFFFF0000}, {1, 1, 0, 0xFFFF0000}, {0, 0.2f, 0, 0xFFFF0000}};
    const V ccw[3] = {{-1, -1, 0, 0xFF00FF00}, {1, -1, 0, 0xFF00FF00}, {0, -0.2f, 0, 0xFF00FF00}};
    // A nearer blue triangle over the left part, then a farther one that must lose.
    const V nearTri[3] = {{-1.2f, 1.2f, -1, 0xFF0000FF}, {-0.6f, 1.2f, -1, 0xFF0000FF}, {-0.9f, 0.6f, -1, 0xFF0000FF}};
    // Same screen place, a little smaller, farther away.
    const V farTri[3] = {{-1.71f, 1.74f, 1, 0xFFFFFFFF}, {-0.99f, 1.74f, 1, 0xFFFFFFFF}, {-1.35f, 1.02f, 1, 0xFFFFFFFF}};
    BeginCleared(0, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetFVF(D3DFVF_XYZ | D3DFVF_DIFFUSE);
    m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, cw, sizeof(V));
    m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, ccw, sizeof(V));
    m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, nearTri, sizeof(V));
    m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, farTri, sizeof(V));
    auto p = EndAndGrab("transformed");
    EXPECT_EQ(At(p, 32, 22), 0xFF0000u) << "clockwise front face, +y up";
    EXPECT_EQ(At(p, 32, 42), 0u) << "counter-clockwise culled";
    // The near triangle centre projects left of centre, in the upper part.
    bool sawBlue = false, sawWhite = false;
    for (UINT y = 0; y < 32; ++y)
        for (UINT x = 0; x < 32; ++x) {
            sawBlue |= At(p, x, y) == 0x0000FFu;
            sawWhite |= At(p, x, y) == 0xFFFFFFu;
        }
    EXPECT_TRUE(sawBlue);
    EXPECT_FALSE(sawWhite) << "LESSEQUAL keeps the nearer triangle";
}

TEST_F(D3D9Gl, BlendFactorAlphaStageWithTextureFactorPassesThrough) {
    // The low path: stage 1 BLENDFACTORALPHA of current and texture, factor alpha 1.
    IDirect3DTexture9* tex = MakeTexture(1, 1, {0xFF00FF00});
    BeginCleared();
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG2);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetTexture(1, tex);
    m_dev->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
    m_dev->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
    m_dev->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
    m_dev->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 0);
    m_dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    DrawRect(0, 0, 32, 32, 0xFFFF0000);
    m_dev->SetRenderState(D3DRS_TEXTUREFACTOR, 0x00FFFFFF);  // factor alpha 0: the texture
    DrawRect(32, 0, 64, 32, 0xFFFF0000);
    auto p = EndAndGrab("blend_factor_alpha");
    EXPECT_EQ(At(p, 10, 10), 0xFF0000u);
    EXPECT_EQ(At(p, 40, 10), 0x00FF00u);
    tex->Release();
}

TEST_F(D3D9Gl, AFrameHandedOverInManyPartsKeepsEveryDraw) {
    // Each column is one draw of a covering quad padded with empty triangles:
    // some 100,000 vertices a frame, so the frame goes to GL in several parts.
    constexpr int kPad = 1500;
    for (int frame = 0; frame < 2; ++frame) {
        BeginCleared(0xFF000000);
        m_dev->SetFVF(kTLFvf);
        for (UINT x = 0; x < kSize; ++x) {
            const D3DCOLOR color = D3DCOLOR_XRGB(x * 4, 255 - x * 4, frame * 200);
            const float x0 = x - 0.5f, x1 = x + 0.5f, y1 = kSize - 0.5f;
            std::vector<TLVertex> v = {{x0, -0.5f, 0.5f, 1, color, 0, 0}, {x1, -0.5f, 0.5f, 1, color, 0, 0},
                                       {x0, y1, 0.5f, 1, color, 0, 0},    {x1, -0.5f, 0.5f, 1, color, 0, 0},
                                       {x1, y1, 0.5f, 1, color, 0, 0},    {x0, y1, 0.5f, 1, color, 0, 0}};
            v.resize(v.size() + kPad * 3, TLVertex{x0, -0.5f, 0.5f, 1, color, 0, 0});
            ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(v.size() / 3), v.data(),
                                             sizeof(TLVertex)),
                      D3D_OK);
        }
        auto p = EndAndGrab("many_parts");
        for (UINT x = 0; x < kSize; ++x)
            ASSERT_EQ(At(p, x, x), static_cast<DWORD>(D3DCOLOR_XRGB(x * 4, 255 - x * 4, frame * 200)) & 0xFFFFFF)
                << "column " << x << ", frame " << frame;
        ASSERT_EQ(m_dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    }
}

TEST_F(D3D9Gl, IndexedDrawsFromDynamicBuffersWithOffsets) {
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(m_dev->CreateVertexBuffer(8 * sizeof(TLVertex), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, kTLFvf,
                                        D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    IDirect3DIndexBuffer9* ib = nullptr;
    ASSERT_EQ(m_dev->CreateIndexBuffer(12, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT, &ib, nullptr), D3D_OK);
    WORD* idx = nullptr;
    ib->Lock(0, 12, reinterpret_cast<void**>(&idx), 0);
    const WORD quad[6] = {0, 1, 2, 2, 1, 3};
    memcpy(idx, quad, sizeof quad);
    ib->Unlock();
    auto fill = [&](DWORD colorA, DWORD colorB) {
        TLVertex* v = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, reinterpret_cast<void**>(&v), D3DLOCK_DISCARD), D3D_OK);
        const float xs[2] = {0, 32};
        for (int q = 0; q < 2; ++q) {
            const DWORD c = q ? colorB : colorA;
            v[q * 4 + 0] = {xs[q], 0, 0.5f, 1, c, 0, 0};
            v[q * 4 + 1] = {xs[q] + 32, 0, 0.5f, 1, c, 0, 0};
            v[q * 4 + 2] = {xs[q], 32, 0.5f, 1, c, 0, 0};
            v[q * 4 + 3] = {xs[q] + 32, 32, 0.5f, 1, c, 0, 0};
        }
        vb->Unlock();
    };
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetFVF(kTLFvf);
    m_dev->SetIndices(ib);
    fill(0xFFFF0000, 0xFF00FF00);
    BeginCleared();
    m_dev->SetStreamSource(0, vb, 0, sizeof(TLVertex));
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    m_dev->SetStreamSource(0, vb, 4 * sizeof(TLVertex), sizeof(TLVertex));  // second quad by offset
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2), D3D_OK);
    auto first = EndAndGrab("dynamic_buffers");
    EXPECT_EQ(At(first, 10, 10), 0xFF0000u);
    EXPECT_EQ(At(first, 40, 10), 0x00FF00u);
    // Refill with discard: the next frame shows the new contents (base vertex this time).
    fill(0xFF0000FF, 0xFFFFFF00);
    BeginCleared();
    m_dev->SetStreamSource(0, vb, 0, sizeof(TLVertex));
    EXPECT_EQ(m_dev->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 4, 0, 4, 0, 2), D3D_OK);
    auto second = EndAndGrab("dynamic_buffers_2");
    EXPECT_EQ(At(second, 10, 10), 0u);
    EXPECT_EQ(At(second, 40, 10), 0xFFFF00u);
    vb->Release();
    ib->Release();
}

TEST_F(D3D9Gl, Texture16BitLayouts) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(m_dev->CreateTexture(2, 1, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    D3DLOCKED_RECT lr{};
    tex->LockRect(0, &lr, nullptr, 0);
    WORD* t = static_cast<WORD*>(lr.pBits);
    t[0] = 0xFF00;  // opaque red (the font's (a << 12) | 0x0FFF is white with coverage)
    t[1] = 0x0FFF;  // transparent white
    tex->UnlockRect(0);
    IDirect3DTexture9* rgb = nullptr;
    ASSERT_EQ(m_dev->CreateTexture(1, 1, 1, 0, D3DFMT_R5G6B5, D3DPOOL_MANAGED, &rgb, nullptr), D3D_OK);
    rgb->LockRect(0, &lr, nullptr, 0);
    *static_cast<WORD*>(lr.pBits) = 0x07E0;  // green
    rgb->UnlockRect(0);
    BeginCleared(0xFF000080);
    m_dev->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    m_dev->SetTexture(0, tex);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    DrawRect(-0.5f, -0.5f, 1.5f, 0.5f, 0xFFFFFFFF);
    m_dev->SetTexture(0, rgb);
    DrawRect(9.5f, 9.5f, 10.5f, 10.5f, 0xFFFFFFFF);
    auto p = EndAndGrab("texture_16bit");
    EXPECT_EQ(At(p, 0, 0), 0xFF0000u);
    EXPECT_EQ(At(p, 1, 0), 0x000080u) << "alpha 0 texel leaves the background";
    EXPECT_EQ(At(p, 10, 10), 0x00FF00u);
    tex->Release();
    rgb->Release();
}

TEST_F(D3D9Gl, ProgramPointSizeWithTheParticleDeclaration) {
    // The particles' layout: POSITION f3, PSIZE f1, COLOR (BGRA bytes) at 16.
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_PSIZE, 0},
        {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
        D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(m_dev->CreateVertexDeclaration(elements, &decl), D3D_OK);
    // Registers 0-3 hold a matrix, row by row; the program reads it as the
    // contract says and takes the size in pixels from register 4.
    const char* vsText =
        "void main() {\n"
        "  mat4 m = mat4(c[0], c[1], c[2], c[3]);\n"
        "  gl_Position = m * vec4(a_position.xyz, 1.0);\n"
        "  v_color0 = a_color0;\n"
        "  v_psize = a_psize * c[4].x;\n"
        "}\n";
    IDirect3DVertexShader9* vs = VertexShader(vsText);
    ASSERT_TRUE(vs);
    IDirect3DTexture9* tex = MakeTexture(2, 2, {0xFFFFFFFF, 0x00FFFFFF, 0x00FFFFFF, 0xFFFFFFFF});
    struct Particle {
        float x, y, z, size;
        D3DCOLOR color;
    };
    IDirect3DVertexBuffer9* vb = nullptr;
    ASSERT_EQ(m_dev->CreateVertexBuffer(2 * sizeof(Particle), D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_POINTS,
                                        0, D3DPOOL_DEFAULT, &vb, nullptr),
              D3D_OK);
    Particle* p = nullptr;
    ASSERT_EQ(vb->Lock(0, 2 * sizeof(Particle), reinterpret_cast<void**>(&p), D3DLOCK_DISCARD), D3D_OK);
    p[0] = {-1.0f, 0.5f, 0.5f, 8.0f, 0xFFFF8000};  // upper left once moved, orange, 16 px
    p[1] = {0.0f, -0.5f, 0.5f, 4.0f, 0xFF0080FF};  // lower right once moved, 8 px
    vb->Unlock();
    D3DXMATRIX move;  // D3D row-vector convention: the translation is in row 4
    D3DXMatrixTranslation(&move, 0.5f, 0.0f, 0.0f);
    m_dev->SetVertexShaderConstantF(0, &move._11, 4);
    const float scale[4] = {2, 0, 0, 0};
    m_dev->SetVertexShaderConstantF(4, scale, 1);
    BeginCleared();
    m_dev->SetVertexDeclaration(decl);
    m_dev->SetVertexShader(vs);
    m_dev->SetTexture(0, tex);
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    m_dev->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
    m_dev->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_ALPHAREF, 0);
    m_dev->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    m_dev->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    m_dev->SetStreamSource(0, vb, 0, sizeof(Particle));
    ASSERT_EQ(m_dev->DrawPrimitive(D3DPT_POINTLIST, 0, 2), D3D_OK);
    auto px = EndAndGrab("program_point_size");
    // Clip (-0.5, 0.5) is pixel (16, 16); the point is 16 px: 8..23.
    EXPECT_EQ(At(px, 10, 10), 0xFF8000u) << "top-left quarter of the texture is opaque";
    EXPECT_EQ(At(px, 20, 10), 0u) << "alpha 0 texels are dropped by the alpha test";
    EXPECT_EQ(At(px, 20, 20), 0xFF8000u);
    EXPECT_EQ(At(px, 25, 16), 0u);
    EXPECT_EQ(At(px, 45, 45), 0x0080FFu);
    EXPECT_EQ(At(px, 53, 47), 0u) << "8 px wide";
    vs->Release();
    decl->Release();
    vb->Release();
    tex->Release();
}

TEST_F(D3D9Gl, MipLevelsAreSampledByFootprint) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(m_dev->CreateTexture(8, 8, 0, 0, D3DFMT_X8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    ASSERT_EQ(tex->GetLevelCount(), 4u);
    const DWORD colours[4] = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFF00};
    for (UINT l = 0; l < 4; ++l) {
        D3DSURFACE_DESC d{};
        tex->GetLevelDesc(l, &d);
        IDirect3DSurface9* surface = nullptr;
        ASSERT_EQ(tex->GetSurfaceLevel(l, &surface), D3D_OK);
        D3DLOCKED_RECT lr{};
        ASSERT_EQ(surface->LockRect(&lr, nullptr, 0), D3D_OK);
        for (UINT y = 0; y < d.Height; ++y)
            for (UINT x = 0; x < d.Width; ++x)
                reinterpret_cast<DWORD*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch)[x] = colours[l];
        surface->UnlockRect();
        surface->Release();
    }
    BeginCleared();
    m_dev->SetTexture(0, tex);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    DrawRect(0, 0, 8, 8, 0xFFFFFFFF);    // 8 texels on 8 pixels: level 0
    DrawRect(16, 0, 18, 2, 0xFFFFFFFF);  // 8 texels on 2 pixels: level 2
    m_dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    DrawRect(32, 0, 34, 2, 0xFFFFFFFF);  // no mip filter: level 0 always
    auto p = EndAndGrab("mip_levels");
    EXPECT_EQ(At(p, 4, 4), colours[0]);
    EXPECT_EQ(At(p, 16, 0), colours[2]);
    EXPECT_EQ(At(p, 32, 0), colours[0]);
    tex->Release();
}

TEST_F(D3D9Gl, DeclarationUsagesReachTheirAttributes) {
    // Declaration 1 of the meshes: position, normal, uv, tangent, binormal.
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
        {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
        {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 32, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TANGENT, 0},
        {0, 44, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BINORMAL, 0},
        D3DDECL_END()};
    IDirect3DVertexDeclaration9* decl = nullptr;
    ASSERT_EQ(m_dev->CreateVertexDeclaration(elements, &decl), D3D_OK);
    const char* vsText =
        "void main() {\n"
        "  gl_Position = vec4(a_position.xy, 0.5, 1.0);\n"
        "  v_color0 = vec4(a_normal.x, a_tangent.y, a_binormal.z, 1.0);\n"
        "  v_texcoord0 = a_texcoord0;\n"
        "}\n";
    const char* psText = "void main() { oC0 = vec4(v_color0.rgb * v_texcoord0.x, 1.0); }\n";
    IDirect3DVertexShader9* vs = VertexShader(vsText);
    IDirect3DPixelShader9* ps = PixelShader(psText);
    ASSERT_TRUE(vs && ps);
    struct MeshVertex {
        float pos[3], normal[3], uv[2], tangent[3], binormal[3];
    };
    MeshVertex v[4];
    // The right quarter keeps the clear colour.
    const float corners[4][2] = {{-1, 1}, {0.5f, 1}, {-1, -1}, {0.5f, -1}};
    for (int i = 0; i < 4; ++i)
        v[i] = MeshVertex{{corners[i][0], corners[i][1], 0}, {1, 0, 0}, {1, 0}, {0, 0.5f, 0}, {0, 0, 1}};
    BeginCleared();
    m_dev->SetVertexDeclaration(decl);
    m_dev->SetVertexShader(vs);
    m_dev->SetPixelShader(ps);
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(MeshVertex)), D3D_OK);
    auto p = EndAndGrab("declaration_usages");
    const DWORD c = At(p, 32, 32);
    EXPECT_EQ(c >> 16, 0xFFu);
    EXPECT_NEAR(static_cast<int>((c >> 8) & 0xFF), 128, 1);
    EXPECT_EQ(c & 0xFF, 0xFFu);
    EXPECT_EQ(At(p, 60, 32), 0u);
    vs->Release();
    ps->Release();
    decl->Release();
}

TEST(D3D9GlWindow, PresentShowsTheBackBufferUprightInTheWindow) {
    d3d9hooks::ResetAll();
    d3d9hooks::SetBackend(d3d9hooks::Backend::GL);
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) KOLVAR_SKIP_WITHOUT_GL() << "no display";
    SDL_Window* window = SDL_CreateWindow("present", 0, 0, 80, 60, SDL_WINDOW_OPENGL);
    ASSERT_NE(window, nullptr);
    HWND hwnd = reinterpret_cast<HWND>(window);
    d3d9hooks::RegisterSdlWindow(hwnd, window);
    d3d9hooks::CapturePresents(true);
    IDirect3D9* d3d = Direct3DCreate9(D3D_SDK_VERSION);
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;  // 0 x 0: the window's client area
    pp.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    IDirect3DDevice9* dev = nullptr;
    ASSERT_EQ(d3d->CreateDevice(0, D3DDEVTYPE_HAL, hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &dev), D3D_OK);
    EXPECT_EQ(pp.BackBufferWidth, 80u);
    EXPECT_EQ(pp.BackBufferHeight, 60u);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF0000FF, 1.0f, 0);
    const D3DRECT top{0, 0, 80, 10};
    dev->Clear(1, &top, D3DCLEAR_TARGET, 0xFFFF0000, 1.0f, 0);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    UINT w = 0, h = 0;
    auto shown = d3d9hooks::LastPresentedFrame(dev, &w, &h);
    ASSERT_EQ(w, 80u);
    ASSERT_EQ(h, 60u);
    EXPECT_TRUE(testutil::SaveScreenshot("d3d9_present.png", shown, w, h));
    EXPECT_EQ(shown[5 * 80 + 40] & 0xFFFFFF, 0xFF0000u) << "the red band is at the top of the window";
    EXPECT_EQ(shown[50 * 80 + 40] & 0xFFFFFF, 0x0000FFu);

    // Full-screen sizes scale into whatever the window is.
    pp.Windowed = FALSE;
    pp.BackBufferWidth = 160;
    pp.BackBufferHeight = 120;
    pp.BackBufferFormat = D3DFMT_X8R8G8B8;
    ASSERT_EQ(dev->Reset(&pp), D3D_OK);
    dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF00FF00, 1.0f, 0);
    const D3DRECT left{0, 0, 80, 120};
    dev->Clear(1, &left, D3DCLEAR_TARGET, 0xFFFFFFFF, 1.0f, 0);
    ASSERT_EQ(dev->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    shown = d3d9hooks::LastPresentedFrame(dev, &w, &h);
    ASSERT_EQ(w, 80u);
    EXPECT_EQ(shown[30 * 80 + 10] & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_EQ(shown[30 * 80 + 70] & 0xFFFFFF, 0x00FF00u);
    // The window may go before the device at exit: the device must not touch it.
    d3d9hooks::RegisterSdlWindow(hwnd, nullptr);
    SDL_DestroyWindow(window);
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(dev->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    dev->BeginScene();
    dev->SetTexture(0, tex);
    dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_DIFFUSE);
    const struct {
        float x, y, z, w;
        DWORD c;
    } tri[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {10, 0, 0, 1, 0xFFFFFFFF}, {0, 10, 0, 1, 0xFFFFFFFF}};
    EXPECT_EQ(dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, tri, sizeof tri[0]), D3D_OK);
    dev->EndScene();
    dev->SetTexture(0, nullptr);
    tex->Release();
    EXPECT_EQ(dev->Release(), 0u);
    d3d->Release();
    d3d9hooks::ResetAll();
}

TEST_F(D3D9Gl, TextureStageOperationsMatchTheirFormulas) {
    // Stage 0 combines the texture factor (arg 1) and the diffuse colour (arg 2).
    const float tf[4] = {153 / 255.0f, 102 / 255.0f, 51 / 255.0f, 128 / 255.0f};  // r, g, b, a
    const float df[4] = {128 / 255.0f, 64 / 255.0f, 192 / 255.0f, 1.0f};
    struct Case {
        DWORD op, arg1;
        float (*f)(float a1, float a2, float a1Alpha, float factorAlpha);
    };
    const Case cases[] = {
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR, [](float a, float, float, float) { return a; }},
        {D3DTOP_SELECTARG2, D3DTA_TFACTOR, [](float, float b, float, float) { return b; }},
        {D3DTOP_MODULATE, D3DTA_TFACTOR, [](float a, float b, float, float) { return a * b; }},
        {D3DTOP_MODULATE2X, D3DTA_TFACTOR, [](float a, float b, float, float) { return a * b * 2; }},
        {D3DTOP_ADD, D3DTA_TFACTOR, [](float a, float b, float, float) { return a + b; }},
        {D3DTOP_SUBTRACT, D3DTA_TFACTOR, [](float a, float b, float, float) { return a - b; }},
        {D3DTOP_ADDSIGNED, D3DTA_TFACTOR, [](float a, float b, float, float) { return a + b - 0.5f; }},
        {D3DTOP_ADDSMOOTH, D3DTA_TFACTOR, [](float a, float b, float, float) { return a + b - a * b; }},
        {D3DTOP_BLENDFACTORALPHA, D3DTA_TFACTOR,
         [](float a, float b, float, float k) { return a * k + b * (1 - k); }},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR | D3DTA_COMPLEMENT, [](float a, float, float, float) { return 1 - a; }},
        {D3DTOP_SELECTARG1, D3DTA_TFACTOR | D3DTA_ALPHAREPLICATE,
         [](float, float, float aa, float) { return aa; }},
        {D3DTOP_MODULATEALPHA_ADDCOLOR, D3DTA_TFACTOR, [](float a, float b, float aa, float) { return a + aa * b; }},
    };
    BeginCleared();
    m_dev->SetRenderState(D3DRS_TEXTUREFACTOR, D3DCOLOR_ARGB(128, 153, 102, 51));
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    int i = 0;
    for (const Case& c : cases) {
        m_dev->SetTextureStageState(0, D3DTSS_COLOROP, c.op);
        m_dev->SetTextureStageState(0, D3DTSS_COLORARG1, c.arg1);
        const float x = static_cast<float>((i % 8) * 8), y = static_cast<float>((i / 8) * 8);
        DrawRect(x, y, x + 8, y + 8, D3DCOLOR_ARGB(255, 128, 64, 192));
        ++i;
    }
    auto p = EndAndGrab("stage_operations");
    i = 0;
    for (const Case& c : cases) {
        const DWORD got = At(p, (i % 8) * 8 + 4, (i / 8) * 8 + 4);
        for (int ch = 0; ch < 3; ++ch) {
            float want = c.f(tf[ch], df[ch], tf[3], tf[3]);
            want = want < 0 ? 0 : want > 1 ? 1 : want;
            const int gotChannel = static_cast<int>((got >> (16 - 8 * ch)) & 0xFF);
            EXPECT_NEAR(gotChannel, want * 255.0f, 2.0f) << "case " << i << " channel " << ch;
        }
        ++i;
    }
}

TEST_F(D3D9Gl, LightingWithoutLightsGivesEmissivePlusAmbient) {
    // D3D's default: lighting on. With no lights a lit vertex shows the
    // material's emissive colour plus the ambient term; alpha from the diffuse.
    m_dev->SetRenderState(D3DRS_LIGHTING, TRUE);
    m_dev->SetRenderState(D3DRS_AMBIENT, 0xFF404040);
    D3DMATERIAL9 material{};
    material.Emissive = D3DCOLORVALUE{0.5f, 0.0f, 0.0f, 1.0f};
    material.Ambient = D3DCOLORVALUE{0.0f, 1.0f, 0.0f, 1.0f};
    material.Diffuse = D3DCOLORVALUE{1.0f, 1.0f, 1.0f, 1.0f};
    m_dev->SetMaterial(&material);
    struct V {
        float x, y, z;
        float nx, ny, nz;
    };
    const V quad[4] = {{-1, 1, 0.5f, 0, 0, -1}, {1, 1, 0.5f, 0, 0, -1}, {-1, -1, 0.5f, 0, 0, -1}, {1, -1, 0.5f, 0, 0, -1}};
    BeginCleared();
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetFVF(D3DFVF_XYZ | D3DFVF_NORMAL);
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V)), D3D_OK);
    m_dev->SetRenderState(D3DRS_LIGHTING, FALSE);  // unlit and without colours: white
    const V corner[3] = {{-1, 1, 0.5f, 0, 0, -1}, {-0.5f, 1, 0.5f, 0, 0, -1}, {-1, 0.5f, 0.5f, 0, 0, -1}};
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLELIST, 1, corner, sizeof(V)), D3D_OK);
    auto p = EndAndGrab("lighting_default");
    const DWORD lit = At(p, 40, 40);
    EXPECT_NEAR(static_cast<int>(lit >> 16), 128, 2);
    EXPECT_NEAR(static_cast<int>((lit >> 8) & 0xFF), 64, 2);
    EXPECT_EQ(lit & 0xFF, 0u);
    EXPECT_EQ(At(p, 2, 2), 0xFFFFFFu);
}

TEST_F(D3D9Gl, PointScaleFollowsTheDistanceFormula) {
    // Fixed-function points: size = viewport height * size * sqrt(1 / (A + B d + C d^2)).
    struct V {
        float x, y, z, size;
        D3DCOLOR c;
    };
    const V pts[2] = {{-0.5f, 0.0f, 0.0f, 0.25f, 0xFFFFFFFF}, {0.5f, 0.0f, 0.0f, 0.25f, 0xFFFFFFFF}};
    m_dev->SetRenderState(D3DRS_POINTSCALEENABLE, TRUE);
    m_dev->SetRenderState(D3DRS_POINTSCALE_A, d3d9BitsOf(1.0f));
    m_dev->SetRenderState(D3DRS_POINTSCALE_B, d3d9BitsOf(0.0f));
    m_dev->SetRenderState(D3DRS_POINTSCALE_C, d3d9BitsOf(0.0f));
    BeginCleared();
    m_dev->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
    m_dev->SetFVF(D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE);
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &pts[0], sizeof(V)), D3D_OK);  // 64 * 0.25 = 16 px
    m_dev->SetRenderState(D3DRS_POINTSCALE_A, d3d9BitsOf(4.0f));                        // halves it: 8 px
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_POINTLIST, 1, &pts[1], sizeof(V)), D3D_OK);
    auto p = EndAndGrab("point_scale");
    // Clip x -0.5 is pixel 16; 16 px wide covers 8..23.
    EXPECT_EQ(At(p, 9, 32), 0xFFFFFFu);
    EXPECT_EQ(At(p, 22, 32), 0xFFFFFFu);
    EXPECT_EQ(At(p, 25, 32), 0u);
    EXPECT_EQ(At(p, 45, 32), 0xFFFFFFu);
    EXPECT_EQ(At(p, 42, 32), 0u) << "8 px wide: 44..51";
}

}  // namespace
