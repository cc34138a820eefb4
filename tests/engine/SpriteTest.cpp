// Animated sprites and theme sprites: loading numbered frames and sheets,
// frame stepping and playback, and what drawing asks of the device.
#include "engine/AnimatedSprite.h"
#include "engine/Sprite.h"
#include "engine/TextureManager.h"
#include "tests/engine/TextureTestEngine.h"
#include "tests/platform/TextureFiles.h"

namespace {

class SpriteTest : public textest::EngineTest {
protected:
    void SetUp() override {
        textest::EngineTest::SetUp();
        if (IsSkipped()) return;
        m_Engine = Start();
        CTextureManager::GetInstance()->SetTexturePath(m_Dir.path().c_str());
    }
    void Png(const std::string& name, int w, int h, uint32_t colour = 0xffc08040u) {
        Write(name, texfiles::Png(w, h, texfiles::Solid(w, h, colour)));
    }
    // Moves the engine time on by whole milliseconds.
    void Advance(int ms) {
        platform::AdvanceFakeClock(int64_t(ms) * 1000000);
        m_Engine->Tick();
    }
    // Frames shown over `steps` updates 100 ms apart (the sprites step every 95 ms).
    std::vector<int> Play(CAnimatedSprite& s, int steps) {
        std::vector<int> shown{s.GetCurrent()};
        for (int i = 0; i < steps; ++i) {
            Advance(100);
            s.Update();
            shown.push_back(s.GetCurrent());
        }
        return shown;
    }

    CGraphicsEngine* m_Engine = nullptr;
};

TEST_F(SpriteTest, LoadsNumberedFramesUnfiltered) {
    for (const char* name : {"f0001.png", "f0004.png", "f0007.png", "f0010.png"}) Png(name, 100, 60);
    CAnimatedSprite sprite;
    EXPECT_TRUE(sprite.Load("f", "png", 4, 1, 10, 3));
    ASSERT_EQ(sprite.GetNum(), 4);
    ASSERT_EQ(sprite.GetFrames().size(), 4u);
    const char* names[] = {"f0001.png", "f0004.png", "f0007.png", "f0010.png"};
    for (int i = 0; i < 4; ++i) EXPECT_EQ(std::string(sprite.GetFrames()[i]->m_Path), m_Dir.path() + "\\" + names[i]);
    // Unfiltered: the picture stays at its size in the top-left corner.
    IDirect3DTexture9* tex = sprite.GetFrames()[0]->m_pTexture;
    D3DLOCKED_RECT r;
    ASSERT_EQ(tex->LockRect(0, &r, nullptr, 0), D3D_OK);
    const uint32_t* row = static_cast<const uint32_t*>(r.pBits);
    EXPECT_EQ(row[99], 0xffc08040u);
    EXPECT_EQ(row[100], 0u);
    tex->UnlockRect(0);

    // Release gives every frame back.
    sprite.Release();
    EXPECT_TRUE(sprite.GetFrames().empty());
    EXPECT_EQ(sprite.GetNum(), 0);
    EXPECT_TRUE(CTextureManager::GetInstance()->GetTextures().empty());
}

TEST_F(SpriteTest, MissingFramesAreLeftOut) {
    for (int i : {0, 1, 3}) Png("s" + std::to_string(i) + ".png", 8, 8);
    CAnimatedSprite sprite;
    sprite.Load("s", "png", 1, 0, 3, 1);
    EXPECT_EQ(sprite.GetNum(), 3);
    EXPECT_EQ(sprite.GetFrames().size(), 3u);
    sprite.SetCurrent(7);
    EXPECT_EQ(sprite.GetCurrent(), 2);  // clamped to the frames held
    sprite.SetCurrent(-4);
    EXPECT_EQ(sprite.GetCurrent(), 0);

    // One frame: the bare name, prefix + "." + extension.
    Png("logo.png", 20, 10);
    CAnimatedSprite single;
    single.Load("logo", "png", 3, 5, 5, 1);
    ASSERT_EQ(single.GetNum(), 1);
    EXPECT_EQ(std::string(single.GetFrames()[0]->m_Path), m_Dir.path() + "\\logo.png");
    EXPECT_FLOAT_EQ(single.GetFrames()[0]->m_ImageWidth, 20.0f);

    // A step below 1 would never reach the last number: it counts as 1.
    CAnimatedSprite stalled;
    stalled.Load("s", "png", 1, 0, 3, 0);
    EXPECT_EQ(stalled.GetNum(), 3);

    // Nothing loads: nothing to draw, and drawing does nothing.
    CAnimatedSprite none;
    none.Load("nothing", "png", 2, 0, 4, 1);
    EXPECT_EQ(none.GetNum(), 0);
    d3d9hooks::ClearCallLog();
    none.SetLast();
    none.Draw();
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("SetRenderState(").empty());

    // A huge digit count pads no further than a path can hold; the name is then refused.
    CAnimatedSprite padded;
    padded.Load("p", "png", 1000, 0, 1, 1);
    EXPECT_EQ(padded.GetNum(), 0);
    EXPECT_GE(Find("Error, texture path is too long: (p" + std::string(258, '0') + "1.png)"), 0);
}

TEST_F(SpriteTest, StepsThroughFrames) {
    CAnimatedSprite s;
    s.LoadSheet("absent.dds", 2, 4, 8, 8);  // the count stands even without the picture
    EXPECT_EQ(s.GetNum(), 4);
    s.SetLast();
    EXPECT_EQ(s.GetCurrent(), 3);
    s.SetNext();
    EXPECT_EQ(s.GetCurrent(), 0);
    s.SetCurrent(1);
    s.SetPrev();
    EXPECT_EQ(s.GetCurrent(), 3);  // frame 1 goes back to the last frame, not to 0
    s.SetPrev();
    EXPECT_EQ(s.GetCurrent(), 2);
    s.SetFirst();
    EXPECT_EQ(s.GetCurrent(), 0);
}

TEST_F(SpriteTest, PlaybackTimingAndLoops) {
    CAnimatedSprite s;
    s.LoadSheet("absent.dds", 4, 4, 8, 8);
    s.SetAnimation(0, 0.095f);
    EXPECT_TRUE(s.IsAnimating());
    // Not before the interval has passed.
    Advance(50);
    s.Update();
    EXPECT_EQ(s.GetCurrent(), 0);
    Advance(50);
    s.Update();
    EXPECT_EQ(s.GetCurrent(), 1);
    EXPECT_EQ(Play(s, 4), (std::vector<int>{1, 2, 3, 0, 1}));

    // Two loops, then it stops on frame 0.
    s.SetAnimation(0, 0.095f);
    s.SetAnimationCount(2);
    EXPECT_EQ(Play(s, 10), (std::vector<int>{0, 1, 2, 3, 0, 1, 2, 3, 0, 0, 0}));
    EXPECT_FALSE(s.IsAnimating());

    // Back and forth: frame 0 only on the first sweep, a loop counted at each turn at 1.
    CAnimatedSprite d;
    d.LoadSheet("absent.dds", 4, 4, 8, 8);
    d.SetDualDirection(1);
    d.SetAnimation(0, 0.095f);
    EXPECT_EQ(Play(d, 10), (std::vector<int>{0, 1, 2, 3, 3, 2, 1, 1, 2, 3, 3}));
    d.SetAnimationCount(2);
    d.SetAnimation(3, 0.095f);
    // Still moving backward: turns at 1 (loop 1), at 3, at 1 again (loop 2: stops there).
    std::vector<int> shown = Play(d, 14);
    EXPECT_FALSE(d.IsAnimating());
    EXPECT_EQ(shown.back(), 1);

    d.SetAnimation(2, 0.095f);
    d.StopAnimation();
    Advance(500);
    d.Update();
    EXPECT_EQ(d.GetCurrent(), 2);
}

TEST_F(SpriteTest, DrawSetsItsStatesAroundTheSprite) {
    Png("sheet.png", 64, 64);
    CAnimatedSprite s;
    s.LoadSheet("sheet.png", 2, 4, 32, 32);
    s.SetCurrent(3);
    d3d9hooks::ClearCallLog();
    s.Draw();
    std::vector<std::string> states = d3d9hooks::CallsStartingWith("SetRenderState(");
    const std::vector<std::string> expected = {
        "SetRenderState(D3DRS_ZENABLE, 0)",        "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)",
        "SetRenderState(D3DRS_SRCBLEND, 5)",       "SetRenderState(D3DRS_DESTBLEND, 6)",
        "SetRenderState(D3DRS_ZENABLE, 1)",        "SetRenderState(D3DRS_ALPHABLENDENABLE, 0)",
    };
    // The sprite object sets and restores states of its own in between.
    EXPECT_TRUE(testutil::InOrder(states, expected));

    // A theme sprite with a bad index or a failed texture draws nothing.
    g_ThemeTextures = {nullptr};
    CSprite bad;
    bad.texture = 0;
    bad.color_alpha = 1;
    d3d9hooks::ClearCallLog();
    bad.Draw();
    bad.texture = 5;
    bad.Draw();
    bad.texture = -1;
    bad.Draw();
    EXPECT_TRUE(d3d9hooks::CallLog().empty());
}

// What each sprite hands the engine's 2D sprite: scaling, source rectangle,
// rotation centre and angle, translation and colour.
TEST_F(SpriteTest, DrawArguments) {
    auto draws = [] { return d3d9hooks::CallsStartingWith("ID3DXSprite.Draw("); };

    // A theme texture of 100 x 60 in a 128 x 64 texture, scales measured on 800 x 600.
    Png("panel.png", 100, 60);
    CTextureEntry* panel = nullptr;
    ASSERT_TRUE(CTextureManager::GetInstance()->LoadTexture(&panel, false, "panel.png", 0, 0, 1, 0, D3DFMT_UNKNOWN,
                                                            D3DPOOL_MANAGED, D3DX_FILTER_LINEAR, D3DX_FILTER_LINEAR,
                                                            0, nullptr, nullptr, false, 10.0f));
    g_ThemeTextures = {panel};
    CSprite theme;
    theme.x = 0.25f;
    theme.y = 0.5f;
    theme.scale_x = 2.0f;
    theme.scale_y = 0.5f;
    theme.center_x = 3.0f;
    theme.center_y = 4.0f;
    theme.rotate = 1.5f;  // not applied
    theme.color_red = 1.0f;
    theme.color_green = 0.5f;
    theme.color_alpha = 0.2f;
    d3d9hooks::ClearCallLog();
    theme.Draw();
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0], "ID3DXSprite.Draw(tex, NULL, {2,0.6}, {3,4}, 0, {256,384}, 0x33ff8000)");
    // Fitted to the screen: the texture's own size covers 1024 x 768, whatever the scale.
    theme.fit_to_screen = 1;
    d3d9hooks::ClearCallLog();
    theme.Draw();
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0], "ID3DXSprite.Draw(tex, NULL, {8,12}, {3,4}, 0, {256,384}, 0x33ff8000)");

    // A frame of 20 x 10: the file's picture, or the set size, from the top-left corner.
    Png("logo.png", 20, 10);
    CAnimatedSprite frame;
    frame.Load("logo", "png", 0, 0, 0, 1);
    frame.SetPosition(0.5f, 0.25f);
    frame.SetScaleXY(2.0f, 3.0f);
    frame.SetRotate(0.5f);
    frame.SetColor(1.0f, 0.0f, 0.0f);
    d3d9hooks::ClearCallLog();
    frame.Draw();
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0], "ID3DXSprite.Draw(tex, {0,0,19,9}, {2,3}, NULL, 0.5, {512,192}, 0xffff0000)");
    frame.SetAlpha(0.5f);
    frame.SetSize(8, 4);
    frame.SetCentered(1);
    d3d9hooks::ClearCallLog();
    frame.Draw();
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0], "ID3DXSprite.Draw(tex, {0,0,7,3}, {2,3}, {10,5}, 0.5, {512,192}, 0x80ff0000)");
    frame.Release();

    // A sheet cell: column and row from the frame, the centre halved in whole texels.
    Png("cells.png", 64, 64);
    CAnimatedSprite sheet;
    sheet.LoadSheet("cells.png", 2, 4, 31, 31);
    sheet.SetCurrent(3);
    sheet.SetCentered(1);
    d3d9hooks::ClearCallLog();
    sheet.Draw();
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0], "ID3DXSprite.Draw(tex, {31,31,62,62}, {1,1}, {15,15}, 0, {0,0}, 0xffffffff)");

    // A new sheet that fails to load leaves the one held in place.
    sheet.LoadSheet("absent.png", 4, 8, 16, 16);
    EXPECT_EQ(sheet.GetNum(), 8);
    d3d9hooks::ClearCallLog();
    sheet.Draw();
    ASSERT_EQ(draws().size(), 1u);
    EXPECT_EQ(draws()[0], "ID3DXSprite.Draw(tex, {48,0,64,16}, {1,1}, {8,8}, 0, {0,0}, 0xffffffff)");
}

TEST_F(SpriteTest, NumbersFromScriptsAreBounded) {
    // A range of four billion numbers tries the first 4096 names only.
    for (const char* name : {"g0.png", "g1.png", "g2.png"}) Png(name, 4, 4);
    CAnimatedSprite frames;
    EXPECT_TRUE(frames.Load("g", "png", 1, 0, 2147483647, 1));
    EXPECT_EQ(frames.GetNum(), 3);
    EXPECT_GE(Find("Error, animated sprite g: no more than 4096 frames are loaded"), 0);
    // Nor does a sprite hold more than 4096 frames, however often it loads.
    for (int i = 0; i < 4100; ++i) frames.Load("g0", "png", 1, 0, 0, 1);
    EXPECT_EQ(frames.GetNum(), 4096);
    frames.Release();

    Png("sheet.png", 64, 64);
    CAnimatedSprite sheet;
    ASSERT_TRUE(sheet.LoadSheet("sheet.png", 2, 4, 32, 32));
    sheet.SetCurrent(3);
    struct Case {
        int columns, count, width, height;
    } refused[] = {
        {1, 1, 2147483647, 2147483647}, {3, 4, 32, 32}, {2, 5, 32, 32}, {0, 4, 32, 32},
        {2, -1, 32, 32},                {-2, 4, -32, 32},
    };
    for (const Case& c : refused) {
        EXPECT_FALSE(sheet.LoadSheet("sheet.png", c.columns, c.count, c.width, c.height)) << c.columns << " " << c.width;
        EXPECT_EQ(sheet.GetNum(), 4);
        d3d9hooks::ClearCallLog();
        sheet.Draw();  // the layout held before still draws its cell
        auto draws = d3d9hooks::CallsStartingWith("ID3DXSprite.Draw(");
        ASSERT_EQ(draws.size(), 1u);
        EXPECT_NE(draws[0].find("(tex, {32,32,64,64},"), std::string::npos) << draws[0];
    }
    sheet.Release();
}

}  // namespace
