#include <gtest/gtest.h>

#include <d3dx9core.h>

#include <vector>

#include "engine/Font.h"
#include "engine/FontManager.h"
#include "engine/FontServices.h"
#include "engine/Loading.h"
#include "LogCapture.h"
#include "support/DeviceSupport.h"
#include "support/EngineScope.h"

namespace {

struct DrawCall {
    RECT src;
    float scaleX, scaleY, x, y;
};

// Records the glyph quads a textured font draws.
class RecordingSprite : public ID3DXSprite {
public:
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return 1; }
    ULONG Release() override { return 1; }
    HRESULT GetDevice(IDirect3DDevice9**) override { return E_FAIL; }
    HRESULT Begin() override { ++begins; return S_OK; }
    HRESULT Draw(IDirect3DTexture9*, const RECT* src, const D3DXVECTOR2* scaling, const D3DXVECTOR2*, float,
                 const D3DXVECTOR2* at, D3DCOLOR) override {
        draws.push_back({*src, scaling->x, scaling->y, at->x, at->y});
        return S_OK;
    }
    HRESULT DrawTransform(IDirect3DTexture9*, const RECT*, const D3DXMATRIX*, D3DCOLOR) override { return S_OK; }
    HRESULT End() override { ++ends; return S_OK; }
    HRESULT OnLostDevice() override { return S_OK; }
    HRESULT OnResetDevice() override { return S_OK; }
    int begins = 0, ends = 0;
    std::vector<DrawCall> draws;
};

RecordingSprite* g_Sprite = nullptr;
IDirect3DDevice9* g_Device = nullptr;
bool g_ImageLoads = true;
CTextureEntry* const kEntry = reinterpret_cast<CTextureEntry*>(static_cast<uintptr_t>(0x10));
IDirect3DTexture9* const kTexture = reinterpret_cast<IDirect3DTexture9*>(static_cast<uintptr_t>(0x20));

class FontTest : public testing::Test {
protected:
    void SetUp() override {
        g_Sprite = &m_sprite;
        g_Device = m_device.get();
        fontservices::Sources s = {
            [] { return g_Device; }, [] { return static_cast<ID3DXSprite*>(g_Sprite); }, [] { return 1024; },
            [] { return 768; },
            [](CTextureEntry** out, const char*) {
                *out = g_ImageLoads ? kEntry : nullptr;
                return g_ImageLoads;
            },
            [](CTextureEntry*) { return kTexture; }};
        fontservices::SetSources(&s);
        g_ImageLoads = true;
    }
    void TearDown() override {
        m_Singletons.Now();
        fontservices::SetSources(nullptr);
        g_Device = nullptr;
    }
    testutil::NullDevice m_device;
    RecordingSprite m_sprite;
    testutil::LogCapture m_log;
    enginescope::Sweep m_Singletons;
};

TEST_F(FontTest, ManagerLogsAndRefusesBadNames) {
    CFontManager* fm = CFontManager::GetInstance();
    EXPECT_FALSE(fm->SetFontsPath(nullptr));
    EXPECT_TRUE(fm->SetFontsPath("data\\fonts"));
    CFont* font = reinterpret_cast<CFont*>(1);
    // Every load the manager hands to a font counts for the loading screen, failed or not.
    int loaded = g_LoadedResources;
    EXPECT_FALSE(fm->AddFont(&font, nullptr, 0, 0, false));
    EXPECT_EQ(reinterpret_cast<CFont*>(1), font);
    EXPECT_EQ(loaded, g_LoadedResources);
    g_ImageLoads = false;
    EXPECT_FALSE(fm->AddFont(&font, "missing.png", 0, 0, false));
    EXPECT_EQ(0u, fm->GetFontCount());
    EXPECT_EQ(loaded + 1, g_LoadedResources);
    std::string longName(300, 'a');
    EXPECT_FALSE(fm->AddFont(&font, longName.c_str(), 0, 0, false));
    EXPECT_EQ(loaded + 2, g_LoadedResources);
    g_ImageLoads = true;
    ASSERT_TRUE(fm->AddFont(&font, "font.png", 0, 0, false));
    EXPECT_EQ(1u, fm->GetFontCount());
    EXPECT_EQ(loaded + 3, g_LoadedResources);
    EXPECT_TRUE(fm->InvalidateFonts());
    EXPECT_TRUE(fm->RestoreFonts());
    delete fm;
    std::string log = m_log.Text();
    for (const char* line : {"Initializing font manager", "Error, path-string is empty !", "path = data\\fonts",
                             "Couldn't load font, becouse file string is empty !",
                             "Error, couldn't load textured-font: (missing.png)", "invalidate font: (font.png) - complete.",
                             "unloading font: (font.png) - complete.", "Destroying complete"})
        EXPECT_NE(std::string::npos, log.find(line)) << line;
}

TEST_F(FontTest, TexturedTextAdvancesByGlyphsAndSkipsUnknownCharacters) {
    CFont* font = nullptr;
    ASSERT_TRUE(CFontManager::GetInstance()->AddFont(&font, "font.png", 0, 0, false));
    CGlyphRect a(42, 136, 20, 21, 0, 7), other(0, 0, 99, 99, 0, 0), w(399, 69, 41, 28, 0, 0);
    font->AddGlyph('a', &a);
    font->AddGlyph('a', &other);  // the first rectangle stays
    font->AddGlyph('W', &w);
    EXPECT_EQ(20, font->FindGlyph('a')->m_Width);

    // At 1024 x 768 a character width of 1/15 draws glyphs at their image size.
    float width = 0, height = 0;
    font->GetTextExtent("Wa a\xE9", 1.0f / 15, 1.0f / 15, &width, &height, 0.0f);
    EXPECT_NEAR(41 + 20 + 12 + 20, width, 1e-3);
    EXPECT_NEAR(28, height, 1e-3);
    font->GetTextExtent("aa", 1.0f / 15, 1.0f / 15, &width, &height, 0.01f);
    EXPECT_NEAR(40 + 2 * 10.24f, width, 1e-3);

    font->DrawText(0.25f, 0.5f, 1.0f / 15, 1.0f / 15, 0xFFFFFFFF, "W\xE9 a", 0, 0.0f);
    ASSERT_EQ(2u, m_sprite.draws.size());
    EXPECT_EQ(1, m_sprite.begins);
    EXPECT_EQ(1, m_sprite.ends);
    EXPECT_EQ(399, m_sprite.draws[0].src.left);
    EXPECT_EQ(440, m_sprite.draws[0].src.right);
    EXPECT_NEAR(256, m_sprite.draws[0].x, 1e-3);
    EXPECT_NEAR(384, m_sprite.draws[0].y, 1e-3);
    // 'é' has no glyph and does not move the pen; the space moves it 12 pixels.
    EXPECT_NEAR(256 + 41 + 12, m_sprite.draws[1].x, 1e-3);
    EXPECT_NEAR(384 + 7, m_sprite.draws[1].y, 1e-3);

    // Centred: the string's middle lands on the point.
    m_sprite.draws.clear();
    font->DrawText(0.5f, 0.5f, 1.0f / 15, 1.0f / 15, 0xFFFFFFFF, "Wa", CFont::kCentered, 0.0f);
    ASSERT_EQ(2u, m_sprite.draws.size());
    EXPECT_NEAR(512 - 61 / 2.0f, m_sprite.draws[0].x, 1e-3);
    EXPECT_NEAR(384 - 14, m_sprite.draws[0].y, 1e-3);
}

}  // namespace
