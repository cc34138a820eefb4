// Textures loaded by D3DX and drawn by the GL device: the texel layout of
// each format reaches the screen with the right colours and placement.
#include <SDL.h>
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <d3dx9tex.h>

#include <cstdlib>

#include "support/DeviceSupport.h"
#include "tests/platform/TextureFiles.h"

namespace {

struct TLVertex {
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kTLFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
constexpr UINT kSize = 256;

// Four quadrants of different colours, the bottom-right one half transparent.
std::vector<uint32_t> Quadrants(int w, int h) {
    std::vector<uint32_t> px(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            px[size_t(y) * w + x] = x < w / 2 ? (y < h / 2 ? 0xffe02010u : 0xff10e020u)
                                              : (y < h / 2 ? 0xff2010e0u : 0x80f0f0f0u);
    return px;
}

bool Near(uint32_t a, uint32_t b, int tolerance) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > tolerance) return false;
    return true;
}

class D3DXTextureGl : public testutil::DeviceTest {
protected:
    void SetUp() override {
        if (!getenv("DISPLAY")) KOLVAR_SKIP_WITHOUT_GL() << "no display";
        StartDevice(d3d9hooks::Backend::GL, testutil::WindowedPresent(kSize, kSize));
        if (!m_dev) return;
        Use2DStates();
        m_dev->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        m_dev->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        m_dev->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
    }

    // The whole texture, one texel per pixel, with its top-left at (x, y).
    void DrawTexture(IDirect3DTexture9* tex, float x, float y) {
        D3DSURFACE_DESC desc;
        tex->GetLevelDesc(0, &desc);
        float x0 = x - 0.5f, y0 = y - 0.5f, x1 = x0 + desc.Width, y1 = y0 + desc.Height;
        const TLVertex v[4] = {{x0, y0, 0.5f, 1, 0xffffffffu, 0, 0},
                               {x1, y0, 0.5f, 1, 0xffffffffu, 1, 0},
                               {x0, y1, 0.5f, 1, 0xffffffffu, 0, 1},
                               {x1, y1, 0.5f, 1, 0xffffffffu, 1, 1}};
        m_dev->SetTexture(0, tex);
        m_dev->SetFVF(kTLFvf);
        EXPECT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, v, sizeof(TLVertex)), D3D_OK);
        m_dev->SetTexture(0, nullptr);
    }

    IDirect3DTexture9* Load(const std::string& path, D3DFORMAT format, DWORD filter) {
        IDirect3DTexture9* tex = nullptr;
        EXPECT_EQ(D3DXCreateTextureFromFileExA(m_dev, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, D3DX_DEFAULT, 0,
                                               format, D3DPOOL_MANAGED, filter, filter, 0, nullptr, nullptr, &tex),
                  D3D_OK);
        return tex;
    }

    testutil::TempDir m_Dir;
};

TEST_F(D3DXTextureGl, LoadedTexturesReachTheScreen) {
    std::string png = m_Dir.file("quads.png");
    testutil::WriteFile(png, texfiles::Png(100, 60, Quadrants(100, 60)));
    std::string bmp = m_Dir.file("quads.bmp");
    testutil::WriteFile(bmp, texfiles::Bmp(64, 64, Quadrants(64, 64)));

    IDirect3DTexture9* placed = Load(png, D3DFMT_UNKNOWN, D3DX_FILTER_NONE);
    IDirect3DTexture9* r565 = Load(bmp, D3DFMT_R5G6B5, D3DX_FILTER_TRIANGLE);
    IDirect3DTexture9* r4444 = Load(png, D3DFMT_A4R4G4B4, D3DX_FILTER_TRIANGLE);
    ASSERT_TRUE(placed && r565 && r4444);

    m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xff000000u, 1.0f, 0);
    m_dev->BeginScene();
    DrawTexture(placed, 0, 0);
    DrawTexture(r565, 0, 128);
    DrawTexture(r4444, 128, 128);
    m_dev->EndScene();
    UINT w = 0, h = 0;
    std::vector<DWORD> px = d3d9hooks::ReadBackBuffer(m_dev, &w, &h);
    ASSERT_EQ(w, kSize);
    EXPECT_TRUE(testutil::SaveScreenshot("d3dx_texture_formats.png", px, w, h));
    auto at = [&](int x, int y) { return uint32_t(px[size_t(y) * w + x]) & 0xffffff; };

    // Unfiltered: the 100 x 60 picture at the top-left of its 128 x 64 texture.
    EXPECT_EQ(at(10, 10), 0xe02010u);
    EXPECT_EQ(at(60, 10), 0x2010e0u);
    EXPECT_EQ(at(10, 40), 0x10e020u);
    EXPECT_EQ(at(60, 40), 0xf0f0f0u);  // blending is off: the texel colour
    EXPECT_EQ(at(110, 10), 0u);        // the padding
    EXPECT_EQ(at(10, 62), 0u);
    // 16-bit formats keep the colours to their precision.
    EXPECT_TRUE(Near(at(10, 138), 0xe02010u, 8)) << std::hex << at(10, 138);
    EXPECT_TRUE(Near(at(50, 138), 0x2010e0u, 8)) << std::hex << at(50, 138);
    EXPECT_TRUE(Near(at(10, 180), 0x10e020u, 8)) << std::hex << at(10, 180);
    // 100 x 60 stretched over 128 x 64.
    EXPECT_TRUE(Near(at(128 + 10, 128 + 10), 0xe02010u, 17)) << std::hex << at(138, 138);
    EXPECT_TRUE(Near(at(128 + 120, 128 + 10), 0x2010e0u, 17)) << std::hex << at(248, 138);
    placed->Release();
    r565->Release();
    r4444->Release();
}

}  // namespace
