#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <d3dx9core.h>
#include <wingdi.h>

#include <string>

#include "engine/BitmapFont.h"
#include "engine/Font.h"
#include "engine/FontServices.h"
#include "support/DeviceSupport.h"
#include "support/EngineSupport.h"

namespace {

// A GL device on an SDL window of the given size (Xvfb in CI).
class GlScene {
public:
    GlScene(int width, int height) : m_window("font test", width, height), m_gl(m_window.Get(), width, height, false) {}
    IDirect3DDevice9* device() const { return m_gl.Get(); }

    std::vector<DWORD> Shot(const std::string& name, UINT* w, UINT* h) {
        std::vector<DWORD> pixels = d3d9hooks::ReadBackBuffer(m_gl.Get(), w, h);
        EXPECT_TRUE(testutil::SaveScreenshot(name, pixels, *w, *h, 16));
        return pixels;
    }

private:
    testutil::GlWindow m_window;
    testutil::GlDevice m_gl;
};

IDirect3DDevice9* g_Device = nullptr;
ID3DXSprite* g_Sprite = nullptr;
IDirect3DTexture9* g_FontTexture = nullptr;
int g_Width = 0, g_Height = 0;
CTextureEntry* const kEntry = reinterpret_cast<CTextureEntry*>(static_cast<uintptr_t>(0x10));

// font.png as a managed A8R8G8B8 texture, the way the texture manager would load it.
IDirect3DTexture9* LoadFontImage(IDirect3DDevice9* device) {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba = testutil::LoadRgba(testutil::GameData("textures/font.png"), &w, &h);
    if (rgba.empty()) return nullptr;
    const unsigned char* px = rgba.data();
    IDirect3DTexture9* tex = nullptr;
    if (SUCCEEDED(device->CreateTexture(w, h, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &tex, nullptr))) {
        D3DLOCKED_RECT lr;
        if (SUCCEEDED(tex->LockRect(0, &lr, nullptr, 0))) {
            for (int y = 0; y < h; ++y) {
                DWORD* row = reinterpret_cast<DWORD*>(static_cast<BYTE*>(lr.pBits) + y * lr.Pitch);
                for (int x = 0; x < w; ++x) {
                    const unsigned char* p = px + (y * w + x) * 4;
                    row[x] = D3DCOLOR_ARGB(p[3], p[0], p[1], p[2]);
                }
            }
            tex->UnlockRect(0);
        }
    }
    return tex;
}

void UseScene(IDirect3DDevice9* device, ID3DXSprite* sprite, IDirect3DTexture9* texture, int w, int h) {
    g_Device = device;
    g_Sprite = sprite;
    g_FontTexture = texture;
    g_Width = w;
    g_Height = h;
    fontservices::Sources s = {[] { return g_Device; },
                               [] { return g_Sprite; },
                               [] { return g_Width; },
                               [] { return g_Height; },
                               [](CTextureEntry** out, const char*) {
                                   *out = kEntry;
                                   return g_FontTexture != nullptr;
                               },
                               [](CTextureEntry*) { return g_FontTexture; }};
    fontservices::SetSources(&s);
}

// A GL scene with a sprite and font.png, handed to the fonts as their sources.
struct FontScene {
    FontScene(int width, int height) : scene(width, height) {
        if (!scene.device() || FAILED(D3DXCreateSprite(scene.device(), &sprite))) return;
        texture = LoadFontImage(scene.device());
        if (texture) UseScene(scene.device(), sprite, texture, width, height);
    }
    ~FontScene() {
        if (sprite) sprite->Release();
        if (texture) texture->Release();
        fontservices::SetSources(nullptr);
    }
    bool Ready() const { return texture != nullptr; }

    GlScene scene;
    ID3DXSprite* sprite = nullptr;
    IDirect3DTexture9* texture = nullptr;
};

bool Lit(DWORD p) { return ((p >> 16) & 0xFF) > 128 && ((p >> 8) & 0xFF) > 128 && (p & 0xFF) > 128; }

class FontScreenshotTest : public testing::TestWithParam<std::pair<int, int>> {};

TEST_P(FontScreenshotTest, SystemAndTexturedTextReachTheScreen) {
    int width = GetParam().first, height = GetParam().second;
    FontScene fonts(width, height);
    GlScene& scene = fonts.scene;
    if (!scene.device()) KOLVAR_SKIP_WITHOUT_GL() << "no GL device here";
    ASSERT_TRUE(fonts.Ready());

    std::string aero = testutil::GameData("fonts/aero.ttf");
    ASSERT_EQ(1, AddFontResourceA(aero.c_str()));
    CFont system;
    ASSERT_TRUE(system.Load("Aero", 100, 0, true));
    RemoveFontResourceA(aero.c_str());
    CFont textured;
    ASSERT_TRUE(textured.Load("font.png", 0, 0, false));
    AddFontGlyphs(&textured);

    IDirect3DDevice9* d = scene.device();
    d->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, 0xFF202040, 1.0f, 0);
    d->BeginScene();
    system.DrawText(0.5f, 0.25f, 0.08f, 0.08f, 0xFFFFFFFF, "Aero system font 0123", CFont::kCentered, 0.0f);
    textured.DrawText(0.5f, 0.6f, 0.05f, 0.05f, 0xFFFFFFFF, "Loading ... ", CFont::kCentered, 0.0f);
    d->EndScene();
    UINT w = 0, h = 0;
    std::vector<DWORD> shot =
        scene.Shot("fonts_" + std::to_string(width) + "x" + std::to_string(height) + ".png", &w, &h);
    ASSERT_EQ((UINT)width, w);
    ASSERT_EQ((UINT)height, h);

    // Both lines are centred: lit pixels on both sides of the middle, in their bands only.
    auto litIn = [&](int x0, int y0, int x1, int y1) {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) n += Lit(shot[y * w + x]);
        return n;
    };
    int systemBand0 = height * 0.25 - height * 0.04, systemBand1 = height * 0.25 + height * 0.04;
    EXPECT_GT(litIn(width / 4, systemBand0, width / 2, systemBand1), 100);
    EXPECT_GT(litIn(width / 2, systemBand0, width * 3 / 4, systemBand1), 100);
    int texturedBand0 = height * 0.6 - height * 0.04, texturedBand1 = height * 0.6 + height * 0.04;
    EXPECT_GT(litIn(width / 3, texturedBand0, width / 2, texturedBand1), 50);
    EXPECT_EQ(0, litIn(0, 0, width, systemBand0 - 10));
    EXPECT_EQ(0, litIn(0, texturedBand1 + 10, width, height));
}

INSTANTIATE_TEST_SUITE_P(Resolutions, FontScreenshotTest,
                         testing::Values(std::make_pair(1024, 768), std::make_pair(800, 600)));

TEST(FontCharsetScreenshotTest, EveryGlyphLandsOnItsRectangle) {
    FontScene fonts(1024, 768);
    GlScene& scene = fonts.scene;
    if (!scene.device()) KOLVAR_SKIP_WITHOUT_GL() << "no GL device here";
    ASSERT_TRUE(fonts.Ready());
    CFont font;
    ASSERT_TRUE(font.Load("font.png", 0, 0, false));
    AddFontGlyphs(&font);

    // At 1024 x 768 and width 1/15 each glyph drawn at (x, y - y offset) lands on its own rectangle.
    IDirect3DDevice9* d = scene.device();
    d->Clear(0, nullptr, D3DCLEAR_TARGET, 0xFF000000, 1.0f, 0);
    d->BeginScene();
    for (int i = 0; i < kFontGlyphCount; ++i) {
        const int32_t* g = g_FontGlyphTable[i];
        char text[2] = {(char)g[0], 0};
        font.DrawText(g[1] / 1024.0f, (g[2] - g[6]) / 768.0f, 1.0f / 15, 1.0f / 15, 0xFFFFFFFF, text, 0, 0.0f);
    }
    d->EndScene();
    UINT w = 0, h = 0;
    std::vector<DWORD> shot = scene.Shot("font_charset_1024x768.png", &w, &h);
    ASSERT_EQ(1024u, w);

    int w0 = 0, h0 = 0;
    std::vector<unsigned char> png = testutil::LoadRgba(testutil::GameData("textures/font.png"), &w0, &h0);
    ASSERT_FALSE(png.empty());
    int mismatches = 0, inked = 0;
    for (int y = 0; y < 512; ++y)
        for (int x = 0; x < 512; ++x) {
            bool want = png[(y * 512 + x) * 4 + 3] > 160, got = Lit(shot[y * w + x]);
            bool clear = png[(y * 512 + x) * 4 + 3] < 96;
            inked += want;
            if ((want && !got) || (clear && got)) ++mismatches;
        }
    EXPECT_GT(inked, 5000);
    EXPECT_LT(mismatches, inked / 50) << "the screenshot differs from font.png";
}

}  // namespace
