// The D3DX sprite: placement to the pixel, scaling and rotation, colour,
// state save and restore, and its part in a device reset.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "d3d9hooks.h"
#include "d3dx9core.h"
#include "support/DeviceSupport.h"

namespace {

// A device of the backend with a sprite on it, which goes with nothing else holding it.
class SpriteOnDevice : public testutil::DeviceTest {
protected:
    void StartSprite(d3d9hooks::Backend backend, UINT width, UINT height) {
        StartDevice(backend, testutil::DepthPresent(width, height, D3DFMT_D16));
        if (!m_dev) return;
        ASSERT_EQ(D3DXCreateSprite(m_dev, &m_sprite), D3D_OK);
    }
    void TearDown() override {
        if (m_sprite) {
            EXPECT_EQ(m_sprite->Release(), 0u);
        }
        testutil::DeviceTest::TearDown();
    }
    ID3DXSprite* m_sprite = nullptr;
};

class D3DXSpriteNull : public SpriteOnDevice {
protected:
    void SetUp() override { StartSprite(d3d9hooks::Backend::Null, 320, 240); }
};

TEST_F(D3DXSpriteNull, ResetNeedsTheSpriteToLetGo) {
    D3DPRESENT_PARAMETERS pp{};
    pp.Windowed = TRUE;
    EXPECT_EQ(m_dev->Reset(&pp), D3DERR_INVALIDCALL);
    m_sprite->OnLostDevice();
    EXPECT_EQ(m_sprite->Begin(), D3DERR_INVALIDCALL) << "nothing is drawn while the device is lost";
    EXPECT_EQ(m_dev->Reset(&pp), D3D_OK);
    EXPECT_EQ(m_sprite->OnResetDevice(), D3D_OK);

    // Begin saves, End restores the game's states, whatever the sprite set between.
    m_dev->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    m_dev->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_ONE);
    ASSERT_EQ(m_sprite->Begin(), D3D_OK);
    DWORD v = 0;
    m_dev->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, D3DZB_FALSE);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);  // what DrawSprite2D does
    IDirect3DTexture9* tex = testutil::SolidTexture(m_dev, 8, 8, 0xFFFFFFFF);
    m_dev->BeginScene();
    d3d9hooks::ClearCallLog();
    const D3DXVECTOR2 scale(0.78125f, 0.78125f), pos(400, 300);
    EXPECT_EQ(m_sprite->Draw(tex, nullptr, &scale, nullptr, 0.0f, &pos, 0xFF808080), D3D_OK);
    EXPECT_EQ(d3d9hooks::CallLog().front(), "ID3DXSprite.Draw(tex, NULL, {0.78125,0.78125}, NULL, 0, {400,300}, 0xff808080)");
    m_dev->EndScene();
    EXPECT_EQ(m_sprite->End(), D3D_OK);
    EXPECT_EQ(m_sprite->End(), D3DERR_INVALIDCALL);
    m_dev->GetRenderState(D3DRS_ZENABLE, &v);
    EXPECT_EQ(v, D3DZB_TRUE);
    m_dev->GetRenderState(D3DRS_DESTBLEND, &v);
    EXPECT_EQ(v, D3DBLEND_ZERO);
    tex->Release();
}

// Sprites of one texture share a draw; a state change between them (the
// loading screen's, the pointer's) sends the sprites before it first.
TEST_F(D3DXSpriteNull, BatchesByTextureAndFlushesBeforeStateChanges) {
    IDirect3DTexture9* a = testutil::SolidTexture(m_dev, 8, 8, 0xFFFFFFFF);
    IDirect3DTexture9* b = testutil::SolidTexture(m_dev, 8, 8, 0xFF000000);
    m_dev->BeginScene();
    ASSERT_EQ(m_sprite->Begin(), D3D_OK);
    d3d9hooks::ClearCallLog();
    const D3DXVECTOR2 pos(10, 10);
    for (IDirect3DTexture9* t : {a, a, a}) m_sprite->Draw(t, nullptr, nullptr, nullptr, 0.0f, &pos, 0xFFFFFFFF);
    m_dev->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    for (IDirect3DTexture9* t : {a, b}) m_sprite->Draw(t, nullptr, nullptr, nullptr, 0.0f, &pos, 0xFFFFFFFF);
    EXPECT_EQ(m_sprite->End(), D3D_OK);
    m_dev->EndScene();
    std::vector<std::string> order;
    for (const std::string& line : d3d9hooks::CallLog())
        if (line.rfind("DrawPrimitiveUP(", 0) == 0 || line.rfind("SetRenderState(D3DRS_DESTBLEND", 0) == 0)
            order.push_back(line);
    const std::vector<std::string> expected = {"DrawPrimitiveUP(D3DPT_TRIANGLELIST, 6, 28)",
                                               "SetRenderState(D3DRS_DESTBLEND, 2)",
                                               "DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, 28)",
                                               "DrawPrimitiveUP(D3DPT_TRIANGLELIST, 2, 28)"};
    EXPECT_EQ(order, expected);
    a->Release();
    b->Release();
}

class D3DXSpriteGl : public SpriteOnDevice {
protected:
    void SetUp() override { StartSprite(d3d9hooks::Backend::GL, 128, 96); }
    std::vector<DWORD> Grab(const char* name) {
        UINT w, h;
        auto p = d3d9hooks::ReadBackBuffer(m_dev, &w, &h);
        EXPECT_TRUE(testutil::SaveScreenshot(std::string("d3dx_sprite_") + name + ".png", p, w, h));
        return p;
    }
    static DWORD At(const std::vector<DWORD>& p, int x, int y) { return p[y * 128 + x] & 0xFFFFFF; }
};

TEST_F(D3DXSpriteGl, PlacesTexelsOnPixels) {
    // A 4x2 sheet: left half red, right half green; draw the right half only.
    IDirect3DTexture9* tex = nullptr;
    ASSERT_EQ(m_dev->CreateTexture(4, 2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr), D3D_OK);
    D3DLOCKED_RECT lr{};
    tex->LockRect(0, &lr, nullptr, 0);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 4; ++x)
            reinterpret_cast<DWORD*>(static_cast<uint8_t*>(lr.pBits) + y * lr.Pitch)[x] =
                x < 2 ? 0xFFFF0000 : 0xFF00FF00;
    tex->UnlockRect(0);
    m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
    m_dev->BeginScene();
    ASSERT_EQ(m_sprite->Begin(), D3D_OK);
    const RECT right{2, 0, 4, 2};
    const D3DXVECTOR2 at(10, 20);
    ASSERT_EQ(m_sprite->Draw(tex, &right, nullptr, nullptr, 0.0f, &at, 0xFFFFFFFF), D3D_OK);
    const D3DXVECTOR2 scale(4, 4), at2(40, 20);
    ASSERT_EQ(m_sprite->Draw(tex, nullptr, &scale, nullptr, 0.0f, &at2, 0xFF808080), D3D_OK);
    m_sprite->End();
    m_dev->EndScene();
    auto p = Grab("placement");
    EXPECT_EQ(At(p, 10, 20), 0x00FF00u);
    EXPECT_EQ(At(p, 11, 21), 0x00FF00u);
    EXPECT_EQ(At(p, 9, 20), 0u);
    EXPECT_EQ(At(p, 12, 20), 0u);
    EXPECT_EQ(At(p, 10, 22), 0u);
    // Scaled 4x: 16 x 8 pixels, colour modulated to half.
    EXPECT_EQ(At(p, 41, 21), 0x800000u);
    EXPECT_EQ(At(p, 54, 26), 0x008000u);
    EXPECT_EQ(At(p, 56, 21), 0u);
    EXPECT_EQ(At(p, 41, 28), 0u);
    tex->Release();
}

TEST_F(D3DXSpriteGl, RotatesAboutTheCentreAndBlends) {
    IDirect3DTexture9* tex = testutil::SolidTexture(m_dev, 16, 4, 0x80FFFFFF);
    m_dev->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    m_dev->BeginScene();
    ASSERT_EQ(m_sprite->Begin(), D3D_OK);
    // A 16x4 bar turned a quarter turn about its middle (8, 2), placed at (50, 50):
    // it becomes a 4x16 bar centred on (58, 52).
    const D3DXVECTOR2 centre(8, 2), at(50, 50);
    ASSERT_EQ(m_sprite->Draw(tex, nullptr, nullptr, &centre, D3DX_PI / 2, &at, 0xFFFFFFFF), D3D_OK);
    m_sprite->End();
    m_dev->EndScene();
    auto p = Grab("rotation");
    const DWORD half = At(p, 58, 45);
    EXPECT_NEAR(static_cast<int>(half & 0xFF), 128, 2) << "half-transparent white over black";
    EXPECT_NE(At(p, 58, 58), 0u);
    EXPECT_EQ(At(p, 50, 52), 0u) << "no longer horizontal";
    EXPECT_EQ(At(p, 58, 40), 0u);
    tex->Release();
}


TEST(D3DXBuffer, ZeroFilledAndCounted) {
    ID3DXBuffer* buffer = nullptr;
    ASSERT_EQ(D3DXCreateBuffer(64, &buffer), D3D_OK);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(buffer->GetBufferSize(), 64u);
    const auto* bytes = static_cast<const uint8_t*>(buffer->GetBufferPointer());
    ASSERT_NE(bytes, nullptr);
    for (int i = 0; i < 64; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(buffer->AddRef(), 2u);
    EXPECT_EQ(buffer->Release(), 1u);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(D3DXCreateBuffer(16, nullptr), D3DERR_INVALIDCALL);
}

}  // namespace
