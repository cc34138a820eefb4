// Sprites on the GL device: a sprite-sheet frame and a centred 2D sprite at
// the 1024 x 768 reference size and scaled down to 800 x 600, checked by
// pixels and saved as screenshots.
#include <cstdio>
#include <cstdlib>

#include "engine/AnimatedSprite.h"
#include "engine/Sprite.h"
#include "engine/TextureManager.h"
#include "tests/engine/TextureTestEngine.h"
#include "tests/platform/TextureFiles.h"

namespace {

// A colour per sheet cell, far enough apart to tell the cells by.
uint32_t CellColour(int cell) {
    return 0xff000000u | uint32_t((cell * 37 + 40) % 256) << 16 | uint32_t((cell * 91 + 20) % 256) << 8 |
           uint32_t((cell * 53 + 80) % 256);
}

// Same colour up to filtering and rounding (alpha ignored: the clear leaves 0).
bool Near(uint32_t a, uint32_t b) {
    for (int shift : {0, 8, 16})
        if (std::abs(int((a >> shift) & 0xff) - int((b >> shift) & 0xff)) > 4) return false;
    return true;
}

class SpriteGlTest : public textest::EngineTest {
protected:
    d3d9hooks::Backend Backend() const override { return d3d9hooks::Backend::GL; }

    void WriteArt() {
        std::vector<uint32_t> sheet(512 * 512, 0);
        for (int cell = 0; cell < 71; ++cell) {
            int ox = (cell % 10) * 50, oy = (cell / 10) * 50;
            for (int y = 0; y < 50; ++y)
                for (int x = 0; x < 50; ++x) sheet[(oy + y) * 512 + ox + x] = CellColour(cell);
        }
        Write("sheet.png", texfiles::Png(512, 512, sheet));
        Write("ball.png", texfiles::Png(64, 64, texfiles::Solid(64, 64, 0xffe0c020u)));
        Write("panel.png", texfiles::Png(100, 60, texfiles::Solid(100, 60, 0xff30a0f0u)));
    }

    // Draws frame 23 of the sheet at (0.25, 0.25), the ball centred and a theme
    // sprite of the 100 x 60 panel at (0.75, 0.1); returns the frame's pixels.
    std::vector<DWORD> DrawScene(CGraphicsEngine* engine, UINT& width, UINT& height, const std::string& shot) {
        CTextureManager::GetInstance()->SetTexturePath(m_Dir.path().c_str());
        CAnimatedSprite sheet;
        sheet.LoadSheet("sheet.png", 10, 71, 50, 50);
        sheet.SetCurrent(23);
        sheet.SetPosition(0.25f, 0.25f);
        CTextureEntry* ball = nullptr;
        EXPECT_TRUE(CTextureManager::GetInstance()->GetTexture(&ball, "ball.png", false, false, 10.0f));
        CTextureEntry* panel = nullptr;
        EXPECT_TRUE(CTextureManager::GetInstance()->LoadTexture(&panel, false, "panel.png", 0, 0, 1, 0, D3DFMT_UNKNOWN,
                                                                D3DPOOL_MANAGED, D3DX_FILTER_LINEAR,
                                                                D3DX_FILTER_LINEAR, 0, nullptr, nullptr, false, 10.0f));
        g_ThemeTextures = {panel};
        CSprite theme;
        theme.x = 0.75f;
        theme.y = 0.1f;
        theme.scale_x = theme.scale_y = 1.0f;
        theme.color_red = theme.color_green = theme.color_blue = theme.color_alpha = 1.0f;
        std::vector<DWORD> pixels;
        if (!engine->BeginFrame(true)) {
            ADD_FAILURE() << "no frame";
            return pixels;
        }
        sheet.Draw();
        theme.Draw();
        engine->DrawSprite2D(ball, 0.5f, 0.5f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f, true, 0.0f, D3DBLEND_SRCALPHA,
                             D3DBLEND_INVSRCALPHA);
        pixels = d3d9hooks::ReadBackBuffer(engine->GetDevice(), &width, &height);
        engine->EndFrame();
        EXPECT_TRUE(testutil::SaveScreenshot(shot, pixels, width, height, 3));
        return pixels;
    }
};

// Frame 23 is column 3, row 2 of the sheet, drawn texel for pixel at 1024 x 768
// and at 0.78125 of that at 800 x 600; the ball is centred; the theme sprite is
// measured on 800 x 600 (128 x 77 pixels at the reference size, its file's size below).
TEST_F(SpriteGlTest, SheetFrameCentredSpriteAndThemeSpriteForTheScreen) {
    struct Probe {
        int x, y;
        uint32_t colour;
    };
    const uint32_t kBlack = 0xff000000u, kCell = CellColour(23), kBall = 0xffe0c020u, kPanel = 0xff30a0f0u;
    struct Screen {
        int width, height;
        const char* shot;
        std::vector<Probe> probes;
    } screens[] = {
        {1024, 768, "sprite_sheet_frame_1024x768.png",
         {{259, 195, kCell}, {281, 217, kCell}, {302, 238, kCell}, {310, 217, kBlack}, {281, 246, kBlack},
          {252, 217, kBlack}, {483, 355, kBall}, {512, 384, kBall}, {541, 413, kBall}, {476, 384, kBlack},
          {548, 384, kBlack}, {512, 348, kBlack}, {771, 80, kPanel}, {892, 149, kPanel}, {900, 107, kBlack},
          {828, 158, kBlack}}},
        {800, 600, "sprite_sheet_frame_800x600.png",
         {{203, 153, kCell}, {219, 169, kCell}, {235, 185, kCell}, {243, 169, kBlack}, {378, 300, kBall},
          {400, 300, kBall}, {422, 300, kBall}, {371, 300, kBlack}, {429, 300, kBlack}, {603, 63, kPanel},
          {696, 116, kPanel}, {704, 90, kBlack}, {650, 124, kBlack}}},
    };
    WriteArt();
    for (const Screen& screen : screens) {
        SCOPED_TRACE(screen.shot);
        UINT w = 0, h = 0;
        std::vector<DWORD> px = DrawScene(Start(screen.width, screen.height), w, h, screen.shot);
        ASSERT_EQ(w, UINT(screen.width));
        ASSERT_EQ(h, UINT(screen.height));
        for (const Probe& p : screen.probes)
            EXPECT_PRED2(Near, uint32_t(px[size_t(p.y) * w + p.x]), p.colour) << p.x << "," << p.y;
        m_Singletons.Now();
    }
}

// The game's own art through the same paths the game uses: a theme-style
// background fitted to the screen, the loading gauge and HUD icons.
TEST_F(SpriteGlTest, GameArtOnScreen) {
    CGraphicsEngine* engine = Start(1024, 768);
    CTextureManager* textures = CTextureManager::GetInstance();
    textures->SetTexturePath(testutil::GameData("textures").c_str());
    CTextureEntry* intro = nullptr;
    ASSERT_TRUE(textures->LoadTexture(&intro, false, "intro.jpg", 0, 0, 1, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                      D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR, 0, nullptr, nullptr, false, 10.0f));
    g_ThemeTextures = {intro};
    CSprite background;
    background.fit_to_screen = 1;
    background.scale_x = background.scale_y = 0.1f;  // not used when fitted
    background.color_red = background.color_green = background.color_blue = background.color_alpha = 1.0f;
    CAnimatedSprite gauge;
    gauge.LoadSheet("time_rule.dds", 10, 71, 50, 50);
    gauge.SetCurrent(45);
    gauge.SetPosition(0.05f, 0.85f);
    gauge.SetScale(2.0f);
    CAnimatedSprite bomb;
    bomb.Load("bomb_on", "png", 0, 0, 0, 1);
    bomb.SetPosition(0.8f, 0.8f);

    ASSERT_TRUE(engine->BeginFrame(true));
    background.Draw();
    gauge.Draw();
    bomb.Draw();
    UINT w = 0, h = 0;
    std::vector<DWORD> px = d3d9hooks::ReadBackBuffer(engine->GetDevice(), &w, &h);
    engine->EndFrame();
    EXPECT_TRUE(testutil::SaveScreenshot("sprite_game_art.png", px, w, h, 64));
    ASSERT_EQ(w, 1024u);
    // The fitted background leaves no black corner; the gauge ring is lit.
    EXPECT_NE(px[5 * w + 5] & 0xffffff, 0u);
    EXPECT_NE(px[(h - 5) * w + w - 5] & 0xffffff, 0u);
    g_ThemeTextures.clear();
    gauge.Release();
    bomb.Release();
}

}  // namespace
