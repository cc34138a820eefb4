// The engine window on the GL device under Xvfb: a few hundred ticked frames,
// read-back pixels of the clear and of the unit quad, and a screenshot.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <platform.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "engine/EngineTimer.h"
#include "engine/GraphicsEngine.h"
#include "engine/TextureEntry.h"
#include "support/DeviceSupport.h"
#include "support/EngineSupport.h"

namespace {

int g_Updates = 0;
void CountUpdate() { ++g_Updates; }

DWORD Rgb(DWORD argb) { return argb & 0x00FFFFFF; }

class GraphicsEngineGlTest : public testing::Test {
protected:
    void SetUp() override {
        if (!getenv("DISPLAY")) KOLVAR_SKIP_WITHOUT_GL() << "no display for GL";
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::GL);
        g_Updates = 0;
    }
    void TearDown() override {
        m_Engine.reset();
        d3d9hooks::ResetAll();
    }

    CGraphicsEngine* Start(int width, int height) {
        m_Engine.reset();
        m_Engine.emplace(enginescope::Options{"Kolvar GL test", width, height, CountUpdate, false});
        return m_Engine->Ok() ? CGraphicsEngine::GetInstancePtr() : nullptr;
    }

    static DWORD Pixel(const std::vector<DWORD>& pixels, UINT width, UINT x, UINT y) {
        return pixels[static_cast<size_t>(y) * width + x];
    }

    std::optional<enginescope::EngineScope> m_Engine;
};

TEST_F(GraphicsEngineGlTest, WindowRunsFramesAndShowsTheQuad) {
    CGraphicsEngine* engine = Start(1024, 768);
    ASSERT_NE(engine, nullptr);
    IDirect3DDevice9* device = engine->GetDevice();

    // A few hundred frames of the loop, as the shell runs them.
    int drawn = 0;
    for (int i = 0; i < 300; ++i) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&msg);
        engine->Tick();
        if (!engine->BeginFrame(true)) continue;
        device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(i % 256, 40, 80), 1.0f, 0);
        engine->EndFrame();
        ++drawn;
    }
    EXPECT_EQ(drawn, 300);
    EXPECT_GE(g_Updates, 300) << "every tick calls the update at least once";

    // A white texture on the unit quad, scaled up in front of the start camera.
    IDirect3DTexture9* texture = testutil::SolidTexture(device, 4, 4, 0xFFE0C020);
    ASSERT_NE(texture, nullptr);

    ASSERT_TRUE(engine->BeginFrame(true));
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(0, 0, 255), 1.0f, 0);
    engine->GetViewProjMatrix();
    D3DXMATRIX world;
    D3DXMatrixScaling(&world, 2.0f, 2.0f, 1.0f);
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetTexture(0, texture);
    engine->DrawQuad();
    UINT w = 0, h = 0;
    std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(device, &w, &h);
    engine->EndFrame();
    device->SetTexture(0, nullptr);
    texture->Release();

    ASSERT_FALSE(pixels.empty()) << "the GL device reads back its frame";
    ASSERT_EQ(w, 1024u);
    ASSERT_EQ(h, 768u);
    ASSERT_EQ(pixels.size(), static_cast<size_t>(w) * h);
    EXPECT_TRUE(testutil::SaveScreenshot("engine_window.png", pixels, w, h));
    EXPECT_EQ(Rgb(Pixel(pixels, w, 512, 384)), 0xE0C020u) << "the quad's texture in the middle";
    EXPECT_EQ(Rgb(Pixel(pixels, w, 5, 5)), 0x0000FFu) << "the clear colour in the corner";
    // A 2-unit quad 7 units away with a 45 degree field of view spans about 34% of the height.
    EXPECT_EQ(Rgb(Pixel(pixels, w, 512, 384 - 110)), 0xE0C020u);
    EXPECT_EQ(Rgb(Pixel(pixels, w, 512, 384 - 150)), 0x0000FFu);
}

// A white square drawn centred at the middle of the screen: natural size at
// 1024 x 768, scaled by the screen size otherwise; the colour arguments are
// clamped and rounded to bytes (1.5 -> 255, -0.2 -> 0, 0.5 -> 128).
TEST_F(GraphicsEngineGlTest, Sprite2DIsCentredAndScaledForTheScreen) {
    struct Case {
        int width, height;
        int half;  // half the drawn size in pixels
    } cases[] = {{1024, 768, 32}, {800, 600, 25}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.width);
        CGraphicsEngine* engine = Start(c.width, c.height);
        ASSERT_NE(engine, nullptr);
        IDirect3DDevice9* device = engine->GetDevice();
        IDirect3DTexture9* texture = testutil::SolidTexture(device, 64, 64, 0xFFFFFFFF);
        ASSERT_NE(texture, nullptr);
        CTextureEntry entry;
        entry.m_Width = 64;
        entry.m_Height = 64;
        entry.m_pTexture = texture;

        ASSERT_TRUE(engine->BeginFrame(true));
        device->Clear(0, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0);
        engine->DrawSprite2D(&entry, 0.5f, 0.5f, 1.0f, 1.0f, 1.5f, -0.2f, 0.5f, 1.0f, true, 0.0f, D3DBLEND_ONE,
                             D3DBLEND_ZERO);
        UINT w = 0, h = 0;
        std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(device, &w, &h);
        engine->EndFrame();
        entry.m_pTexture = nullptr;
        texture->Release();
        ASSERT_FALSE(pixels.empty()) << "the GL device reads back its frame";
        ASSERT_EQ(w, static_cast<UINT>(c.width));
        EXPECT_TRUE(testutil::SaveScreenshot("sprite2d_" + std::to_string(c.width) + ".png", pixels, w, h));

        const int cx = c.width / 2, cy = c.height / 2;
        EXPECT_EQ(Rgb(Pixel(pixels, w, cx, cy)), 0xFF0080u);
        for (int d : {-1, 1}) {
            EXPECT_EQ(Rgb(Pixel(pixels, w, cx + d * (c.half - 2), cy)), 0xFF0080u) << "inside, " << d;
            EXPECT_EQ(Rgb(Pixel(pixels, w, cx + d * (c.half + 2), cy)), 0u) << "outside, " << d;
            EXPECT_EQ(Rgb(Pixel(pixels, w, cx, cy + d * (c.half - 2))), 0xFF0080u) << "inside, " << d;
            EXPECT_EQ(Rgb(Pixel(pixels, w, cx, cy + d * (c.half + 2))), 0u) << "outside, " << d;
        }
        m_Engine.reset();
    }
}

}  // namespace
