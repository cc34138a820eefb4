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
#include "support/DeviceSupport.h"

namespace {

using testutil::NullDevice;

int Count(const std::string& prefix) { return (int)d3d9hooks::CallsStartingWith(prefix).size(); }

TEST(BitmapFontTest, AtlasDoublesUntilTheAlphabetFits) {
    NullDevice device;
    ASSERT_NE(nullptr, device.get());
    CBitmapFont tiny("DejaVu Sans", 4, 0);
    ASSERT_EQ(S_OK, tiny.InitDeviceObjects(device.get()));
    EXPECT_EQ(128u, tiny.GetTextureWidth());
    EXPECT_EQ(128u, tiny.GetTextureHeight());
    CBitmapFont small("DejaVu Sans", 10, 0);
    ASSERT_EQ(S_OK, small.InitDeviceObjects(device.get()));
    EXPECT_EQ(256u, small.GetTextureWidth()) << "95 cells of about 18 x 16 pixels";
    CBitmapFont large("Aero", 100, CBitmapFont::kBold);
    ASSERT_EQ(S_OK, large.InitDeviceObjects(device.get()));
    EXPECT_EQ(large.GetTextureWidth(), large.GetTextureHeight());
    EXPECT_EQ(2048u, large.GetTextureWidth());
    EXPECT_FLOAT_EQ(1.0f, large.GetTextScale());
    // Spacing: 0.3 of the height of "x" (a 133-pixel em gives a 155-pixel cell).
    EXPECT_NEAR(47u, large.GetSpacing(), 1u);
    std::vector<std::string> textures = d3d9hooks::CallsStartingWith("CreateTexture(2048, 2048, 1, 0, D3DFMT_A4R4G4B4");
    EXPECT_EQ(1u, textures.size());
}

TEST(BitmapFontTest, TheAtlasIsPaintedAtTheFirstDrawOnly) {
    NullDevice device;
    CBitmapFont font("DejaVu Sans", 12, 0);
    ASSERT_EQ(S_OK, font.InitDeviceObjects(device.get()));
    ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
    // Measuring needs only the layout: a font that is never drawn never paints.
    float w = 0, h = 0;
    font.GetTextExtent("abc", 0.1f, 0.1f, &w, &h);
    EXPECT_GT(w, 0.0f);
    EXPECT_EQ(0, Count("tex#1.LockRect("));
    device.get()->BeginScene();
    for (int draw = 0; draw < 2; ++draw) {
        ASSERT_EQ(S_OK, font.DrawTextScaled(0, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "ab", 0));
        EXPECT_EQ(1, Count("tex#1.LockRect(")) << "after draw " << draw + 1;
    }
    device.get()->EndScene();
}

TEST(BitmapFontTest, FontTooLargeForTheDeviceShrinksUntilItFits) {
    NullDevice device;
    D3DCAPS9 caps = {};
    device.get()->GetDeviceCaps(&caps);
    ASSERT_EQ(4096u, caps.MaxTextureWidth);
    CBitmapFont huge("DejaVu Sans", 400, 0);
    ASSERT_EQ(S_OK, huge.InitDeviceObjects(device.get()));
    EXPECT_EQ(4096u, huge.GetTextureWidth());
    EXPECT_LE(huge.GetTextScale(), 0.5f);
    EXPECT_GT(huge.GetTextScale(), 0.2f);
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

TEST(BitmapFontTest, RestoreRecordsTwoEqualStateBlocksAndDrawingUsesThem) {
    NullDevice device;
    CBitmapFont font("DejaVu Sans", 12, CBitmapFont::kZEnable);
    ASSERT_EQ(S_OK, font.InitDeviceObjects(device.get()));
    d3d9hooks::ClearCallLog();
    ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
    std::vector<std::string> log = d3d9hooks::CallLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ("CreateVertexBuffer(9600, D3DUSAGE_WRITEONLY|D3DUSAGE_DYNAMIC, 0x0, D3DPOOL_DEFAULT) -> vb#1", log[0]);
    EXPECT_EQ(1, Count("CheckDeviceFormat(0, D3DDEVTYPE_HAL, D3DFMT_X8R8G8B8, "
                       "D3DUSAGE_RENDERTARGET|D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING, D3DRTYPE_SURFACE, "
                       "D3DFMT_X8R8G8B8)"));
    // The two recordings are the same list of states.
    auto begin1 = std::find(log.begin(), log.end(), "BeginStateBlock()");
    ASSERT_NE(log.end(), begin1);
    auto begin2 = std::find(begin1 + 1, log.end(), "BeginStateBlock()");
    ASSERT_NE(log.end(), begin2);
    std::vector<std::string> first(begin1 + 1, begin2 - 1), second(begin2 + 1, log.end() - 1);
    EXPECT_EQ(first, second);
    ASSERT_GE(first.size(), 3u);
    EXPECT_EQ("SetRenderState(D3DRS_ZENABLE, 1)", first[1]);
    EXPECT_NE(first.end(), std::find(first.begin(), first.end(), "SetRenderState(D3DRS_ALPHAREF, 8)"));
    EXPECT_EQ("SetSamplerState(0, D3DSAMP_MIPFILTER, 0)", first.back());

    device.get()->BeginScene();
    d3d9hooks::ClearCallLog();
    ASSERT_EQ(S_OK, font.DrawTextScaled(0, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "ab", CBitmapFont::kFiltered));
    std::vector<std::string> draw = d3d9hooks::CallLog();
    std::vector<std::string> expected = {"sb#1.Capture()", "sb#2.Apply()", "SetFVF(0x144)", "SetPixelShader(NULL)",
                                         "SetStreamSource(0, vb#1, 0, 28)",
                                         "SetSamplerState(0, D3DSAMP_MINFILTER, 2)",
                                         "SetSamplerState(0, D3DSAMP_MAGFILTER, 2)"};
    auto at = std::find(draw.begin(), draw.end(), expected[0]);
    ASSERT_NE(draw.end(), at);
    for (size_t i = 0; i < expected.size(); ++i, ++at) {
        ASSERT_NE(draw.end(), at);
        EXPECT_EQ(expected[i], *at);
    }
    EXPECT_EQ("sb#1.Apply()", draw.back()) << "the caller's state comes back last";
    EXPECT_EQ(1, Count("DrawPrimitive(D3DPT_TRIANGLELIST, 0, 4)"));
    device.get()->EndScene();

    // Lost device: the buffer and blocks go, the atlas stays, and a restore brings them back.
    d3d9hooks::ClearCallLog();
    font.InvalidateDeviceObjects();
    EXPECT_EQ(3, Count("vb#1.Release()") + Count("sb#1.Release()") + Count("sb#2.Release()"));
    EXPECT_EQ(E_FAIL, font.DrawTextScaled(0, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "ab", 0));
    EXPECT_EQ(0, d3d9hooks::LiveDefaultPoolResources(device.get()));
    ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
    EXPECT_EQ(S_OK, font.DrawTextScaled(0, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "ab", 0));
}

TEST(BitmapFontTest, ExtentsAndCentringUseTheFirstLineAndSkipOtherBytes) {
    NullDevice device;
    CBitmapFont font("DejaVu Sans", 20, 0);
    ASSERT_EQ(S_OK, font.InitDeviceObjects(device.get()));
    ASSERT_EQ(S_OK, font.RestoreDeviceObjects());
    float w1 = 0, h1 = 0, w2 = 0, h2 = 0, w3 = 0, h3 = 0;
    font.GetTextExtent("Hello", 0.1f, 0.1f, &w1, &h1);
    font.GetTextExtent("Hello\nworld, much longer", 0.1f, 0.1f, &w2, &h2);
    font.GetTextExtent("H\xE9llo\x7F\x01", 0.1f, 0.1f, &w3, &h3);
    EXPECT_GT(w1, 0.0f);
    EXPECT_FLOAT_EQ(w1, w2);
    EXPECT_NEAR(0.2f, h1, 1e-4) << "the line height is y scale of the viewport height (2.0)";
    float wH = 0, hH = 0, wllo = 0, hllo = 0;
    font.GetTextExtent("H", 0.1f, 0.1f, &wH, &hH);
    font.GetTextExtent("llo", 0.1f, 0.1f, &wllo, &hllo);
    EXPECT_NEAR(wH + wllo, w3, 1e-5) << "bytes outside 32..126 neither draw nor advance";
    // Twice the scale, twice the extent.
    float w4 = 0, h4 = 0;
    font.GetTextExtent("Hello", 0.2f, 0.2f, &w4, &h4);
    EXPECT_NEAR(2 * w1, w4, 1e-5);

    // Centred whatever x is passed: the same calls for x = -1 and x = 0.7
    // (after a first draw, which paints the atlas).
    device.get()->BeginScene();
    font.DrawTextScaled(0, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "", 0);
    d3d9hooks::ClearCallLog();
    font.DrawTextScaled(-1.0f, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "Hi", CBitmapFont::kCenteredX);
    std::vector<std::string> a = d3d9hooks::CallLog();
    d3d9hooks::ClearCallLog();
    font.DrawTextScaled(0.7f, 0, 0, 0.1f, 0.1f, 0xFFFFFFFF, "Hi", CBitmapFont::kCenteredX);
    EXPECT_EQ(a, d3d9hooks::CallLog());
    device.get()->EndScene();
}

}  // namespace
