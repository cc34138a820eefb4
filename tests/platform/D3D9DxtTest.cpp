// DXT blocks: the software decoder, and compressed textures on the GL device
// with and without the driver's S3TC.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include "d3d9hooks.h"
#include "platform/d3d9/DxtDecoder.h"
#include "support/DeviceSupport.h"

namespace {

TEST(D3D9Dxt, DecodesTheThreeBlockKinds) {
    // DXT1, four colours (c0 > c1): red, blue and the two thirds between.
    const uint8_t four[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
    auto t = d3d9::DecodeDxt(D3DFMT_DXT1, four, 4, 4);
    EXPECT_EQ(t[0], 0xFFFF0000u);
    EXPECT_EQ(t[1], 0xFF0000FFu);
    EXPECT_EQ(t[2], 0xFFAA0055u);
    EXPECT_EQ(t[3], 0xFF5500AAu);
    EXPECT_EQ(t[15], 0xFFFF0000u);
    // DXT1, three colours and transparent black (c0 <= c1).
    const uint8_t three[8] = {0x1F, 0x00, 0x00, 0xF8, 0x0E, 0, 0, 0};  // indices 2, 3, 0, 0
    t = d3d9::DecodeDxt(D3DFMT_DXT1, three, 4, 4);
    EXPECT_EQ(t[0], 0xFF7F007Fu);
    EXPECT_EQ(t[1], 0x00000000u);
    // DXT3: explicit 4-bit alpha.
    uint8_t dxt3[16] = {0x8F};
    memcpy(dxt3 + 8, four, 8);
    t = d3d9::DecodeDxt(D3DFMT_DXT3, dxt3, 4, 4);
    EXPECT_EQ(t[0], 0xFFFF0000u);
    EXPECT_EQ(t[1], 0x880000FFu);
    EXPECT_EQ(t[2] >> 24, 0u);
    // DXT5: interpolated alpha, eight steps between 255 and 0.
    uint8_t dxt5[16] = {255, 0, 0x0A, 0, 0, 0, 0, 0};
    memcpy(dxt5 + 8, four, 8);
    t = d3d9::DecodeDxt(D3DFMT_DXT5, dxt5, 4, 4);
    EXPECT_EQ(t[0] >> 24, 218u);
    EXPECT_EQ(t[1] >> 24, 0u);
    EXPECT_EQ(t[2] >> 24, 255u);
    // Levels smaller than a block keep only their texels.
    t = d3d9::DecodeDxt(D3DFMT_DXT1, four, 2, 1);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[1], 0xFF0000FFu);
}

// The parameter: whether the driver's S3TC may be used.
class D3D9DxtGl : public testutil::DeviceTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        if (!GetParam()) setenv("KOLVAR_GL_NO_S3TC", "1", 1);
        D3DPRESENT_PARAMETERS pp{};
        pp.Windowed = TRUE;
        pp.BackBufferWidth = pp.BackBufferHeight = 16;
        StartDevice(d3d9hooks::Backend::GL, pp);
        unsetenv("KOLVAR_GL_NO_S3TC");
    }
};

TEST_P(D3D9DxtGl, CompressedTextureDraws) {
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(m_dev->CreateTexture(4, 4, 1, 0, D3DFMT_DXT1, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    D3DLOCKED_RECT lr{};
    ASSERT_EQ(tex->LockRect(0, &lr, nullptr, 0), D3D_OK);
    EXPECT_EQ(lr.Pitch, 8) << "one row of one block";
    const uint8_t block[8] = {0x00, 0xF8, 0x1F, 0x00, 0xE4, 0, 0, 0};
    memcpy(lr.pBits, block, 8);
    tex->UnlockRect(0);
    struct V {
        float x, y, z, rhw, u, v;
    };
    const V quad[4] = {{-0.5f, -0.5f, 0, 1, 0, 0}, {3.5f, -0.5f, 0, 1, 1, 0}, {-0.5f, 3.5f, 0, 1, 0, 1}, {3.5f, 3.5f, 0, 1, 1, 1}};
    m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_dev->BeginScene();
    m_dev->SetRenderState(D3DRS_ZENABLE, FALSE);
    m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    m_dev->SetTexture(0, tex);
    m_dev->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
    m_dev->SetFVF(D3DFVF_XYZRHW | D3DFVF_TEX1);
    ASSERT_EQ(m_dev->DrawPrimitiveUP(D3DPT_TRIANGLESTRIP, 2, quad, sizeof(V)), D3D_OK);
    m_dev->EndScene();
    UINT w, h;
    auto p = d3d9hooks::ReadBackBuffer(m_dev, &w, &h);
    EXPECT_EQ(p[0] & 0xFFFFFF, 0xFF0000u);
    EXPECT_EQ(p[1] & 0xFFFFFF, 0x0000FFu);
    EXPECT_NEAR(static_cast<int>((p[2] >> 16) & 0xFF), 170, 3);
    tex->Release();
}

INSTANTIATE_TEST_SUITE_P(Driver, D3D9DxtGl, ::testing::Values(true, false),
                         [](const ::testing::TestParamInfo<bool>& i) { return i.param ? "S3TC" : "Decoder"; });

}  // namespace
