// Needs the Direct3D layer; builds once it is in the tree.
#if __has_include(<d3d9hooks.h>)
#include <gtest/gtest.h>

#include <d3d9.h>
#include <d3d9hooks.h>

#include <algorithm>
#include <string>

#include "engine/BitmapFont.h"
#include "engine/Font.h"
#include "engine/FontManager.h"
#include "engine/FontServices.h"
#include "LogCapture.h"

namespace {

// A null recording device with a 1024 x 768 viewport.
class NullDevice {
public:
    NullDevice(UINT width = 1024, UINT height = 768) {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = {};
        pp.Windowed = TRUE;
        pp.BackBufferWidth = width;
        pp.BackBufferHeight = height;
        pp.BackBufferFormat = D3DFMT_X8R8G8B8;
        pp.SwapEffect = D3DSWAPEFFECT_DISCARD;
        if (m_d3d)
            m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(static_cast<uintptr_t>(1)),
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &m_device);
    }
    ~NullDevice() {
        if (m_device) m_device->Release();
        if (m_d3d) m_d3d->Release();
        d3d9hooks::ResetAll();
    }
    IDirect3DDevice9* get() const { return m_device; }

private:
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

int Count(const std::string& prefix) { return (int)d3d9hooks::CallsStartingWith(prefix).size(); }

TEST(BitmapFontTest, AtlasDoublesUntilTheAlphabetFits) {
    NullDevice device;
    ASSERT_NE(nullptr, device.get());
    CBitmapFont small("DejaVu Sans", 10, 0);
    ASSERT_EQ(S_OK, small.InitDeviceObjects(device.get()));
    EXPECT_EQ(128u, small.GetTextureWidth());
    EXPECT_EQ(128u, small.GetTextureHeight());
    CBitmapFont large("Aero", 100, CBitmapFont::kBold);
    ASSERT_EQ(S_OK, large.InitDeviceObjects(device.get()));
    EXPECT_EQ(large.GetTextureWidth(), large.GetTextureHeight());
    EXPECT_GE(large.GetTextureWidth(), 1024u);
    EXPECT_FLOAT_EQ(1.0f, large.GetTextScale());
    // Spacing: 0.3 of the height of "x" (a 133-pixel em gives a 155-pixel cell).
    EXPECT_NEAR(47u, large.GetSpacing(), 1u);
}

TEST(BitmapFontTest, DrawingBeforeInitFailsAndEmptyTextDrawsNothing) {
    CBitmapFont font("DejaVu Sans", 12, 0);
    EXPECT_EQ(E_FAIL, font.DrawTextScaled(0, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "abc", 0));
    float w = 1, h = 1;
    font.GetTextExtent("abc", 0.1f, 0.1f, &w, &h);
    EXPECT_EQ(0.0f, w);
    EXPECT_EQ(0.0f, h);

    NullDevice device;
    ASSERT_EQ(S_OK, font.InitDeviceObjects(device.get()));
    ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
    d3d9hooks::ClearCallLog();
    ASSERT_EQ(S_OK, font.DrawTextScaled(0, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "", 0));
    EXPECT_EQ(0, Count("DrawPrimitive("));
}

TEST(BitmapFontTest, LongTextIsDrawnInBatchesAndStateIsRestored) {
    NullDevice device;
    CBitmapFont font("DejaVu Sans", 12, 0);
    ASSERT_EQ(S_OK, font.InitDeviceObjects(device.get()));
    ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
    device.get()->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    d3d9hooks::ClearCallLog();
    // 60 visible characters and spaces: 49 quads fill a batch (294 vertices), the rest a second.
    std::string text;
    for (int i = 0; i < 60; ++i) text += (i % 10 == 9) ? ' ' : char('a' + i % 26);
    ASSERT_EQ(S_OK, font.DrawTextScaled(-1, -1, 0, 0.05f, 0.05f, 0xFFFFFFFF, text.c_str(), 0));
    std::vector<std::string> draws = d3d9hooks::CallsStartingWith("DrawPrimitive(");
    ASSERT_EQ(2u, draws.size());
    // The batch is flushed at 50 quads (300 vertices); spaces make no triangles,
    // so the 54 visible characters leave 4 quads for the second batch.
    EXPECT_NE(std::string::npos, draws[0].find("100)")) << draws[0];
    EXPECT_NE(std::string::npos, draws[1].find(" 8)")) << draws[1];
    DWORD cull = 0;
    device.get()->GetRenderState(D3DRS_CULLMODE, &cull);
    EXPECT_EQ((DWORD)D3DCULL_NONE, cull) << "the saved block puts the caller's state back";
}

}  // namespace

#endif
