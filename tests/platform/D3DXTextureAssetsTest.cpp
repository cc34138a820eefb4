// The generated texture set in the game folder: every file the game names is
// there, decodes, and keeps the size and layout rules the game relies on.
#include <gtest/gtest.h>

#include <d3d9types.h>

#include "platform/d3dx9/Image.h"
#include "support/TestUtil.h"

using namespace d3dximage;

namespace {

class TextureAssets : public testing::Test {
protected:
    DecodedFile Load(const std::string& name) {
        std::string bytes = testutil::ReadFile(testutil::GameData("textures/" + name));
        DecodedFile file;
        std::string error;
        EXPECT_TRUE(Decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), file, &error))
            << name << ": " << error;
        return file;
    }
    static bool PowerOfTwo(uint32_t v) { return v && !(v & (v - 1)); }
};

TEST_F(TextureAssets, EveryNamedTextureIsThereInPowerOfTwoSizes) {
    const char* names[] = {
        "particle.png",      "particle2.png",   "intro.jpg",        "time_rule.dds",  "score_line.png",
        "score_line_full.png", "figure_on.png", "figure_off.png",   "bomb_on.png",    "bomb_off.png",
        "saw_on.png",        "saw_off.png",     "light.png",        "scroll.png",     "scroller.png",
        "menu.png",          "menu_line.png",   "cursor.dds",       "next_theme.tga", "prev_theme.tga",
        "block_diffuse.jpg", "block_bump.jpg",  "cube.dds",         "bomb.jpg",       "frame.jpg",
        "spark/ff0.bmp",     "spark/ff1.bmp",   "spark/ff2.bmp",    "spark/ff3.bmp",  "spark/ff4.bmp",
        "spark/ff5.bmp",     "spark/ff6.bmp",   "spark/ff7.bmp",    "spark/ff8.bmp",  "spark/ff9.bmp",
    };
    for (const char* name : names) {
        DecodedFile f = Load(name);
        EXPECT_TRUE(PowerOfTwo(f.info.width) && PowerOfTwo(f.info.height))
            << name << " is " << f.info.width << " x " << f.info.height;
    }
}

TEST_F(TextureAssets, BonusIconsFitAboveTheScoreBar) {
    // At the HUD's scale a 64-texel icon ends above the bar and inside the screen.
    for (const char* name : {"figure_on.png", "figure_off.png", "bomb_on.png", "bomb_off.png", "saw_on.png",
                             "saw_off.png"}) {
        DecodedFile f = Load(name);
        EXPECT_EQ(f.info.width, 64u) << name;
        EXPECT_EQ(f.info.height, 64u) << name;
    }
}

TEST_F(TextureAssets, FormatsTheGameReliesOn) {
    // The loading sheet: 512 x 512 with alpha; cells outside the 71 frames empty.
    DecodedFile sheet = Load("time_rule.dds");
    EXPECT_EQ(sheet.info.width, 512u);
    EXPECT_EQ(sheet.info.format, uint32_t(D3DFMT_A8R8G8B8));
    ASSERT_FALSE(sheet.faces.empty());
    EXPECT_EQ(sheet.faces[0].at(25 + 50, 25 + 7 * 50) >> 24, 0u);  // cell 71 is blank
    EXPECT_GT(sheet.faces[0].at(25, 25 + 7 * 50 - 17) >> 24, 0u);    // frame 70's ring
    // The reflection cube has six faces.
    DecodedFile cube = Load("cube.dds");
    EXPECT_TRUE(cube.info.cube);
    EXPECT_EQ(cube.faces.size(), 6u);
    // The pointer's hot spot is its top-left texel, so the tip must be there.
    DecodedFile cursor = Load("cursor.dds");
    EXPECT_TRUE(cursor.info.alpha);
    ASSERT_FALSE(cursor.faces.empty());
    EXPECT_GT(cursor.faces[0].at(0, 0) >> 24, 200u);
    // Sparks are drawn additively: no alpha, black around the flash.
    for (int i = 0; i < 10; ++i) {
        DecodedFile spark = Load("spark/ff" + std::to_string(i) + ".bmp");
        EXPECT_FALSE(spark.info.alpha);
        ASSERT_FALSE(spark.faces.empty()) << i;
        EXPECT_EQ(spark.faces[0].at(0, 0) & 0xffffff, 0u);
    }
    // Particles and glows carry alpha that fades out at the border. The button
    // glow lies over its text: strong, yet the letters under it stay readable.
    struct Glow {
        const char* name;
        uint32_t least, most;  // alpha at the centre
    };
    for (const Glow& g : {Glow{"particle.png", 201, 255}, Glow{"particle2.png", 201, 255}, Glow{"light.png", 120, 160}}) {
        DecodedFile f = Load(g.name);
        EXPECT_TRUE(f.info.alpha) << g.name;
        ASSERT_FALSE(f.faces.empty()) << g.name;
        const Image& img = f.faces[0];
        EXPECT_EQ(img.at(0, 0) >> 24, 0u) << g.name;
        const uint32_t centre = img.at(img.width / 2, img.height / 2) >> 24;
        EXPECT_TRUE(centre >= g.least && centre <= g.most) << g.name << ": " << centre;
    }
    // The glow line is laid over the panel: same size.
    DecodedFile menu = Load("menu.png"), line = Load("menu_line.png");
    EXPECT_EQ(menu.info.width, line.info.width);
    EXPECT_EQ(menu.info.height, line.info.height);
    // The theme arrows: "prev" points up (its tip row is near the top), "next" down.
    DecodedFile prev = Load("prev_theme.tga"), next = Load("next_theme.tga");
    ASSERT_FALSE(prev.faces.empty() || next.faces.empty());
    EXPECT_GT(prev.faces[0].at(32, 14) >> 24, 128u);
    EXPECT_LT(prev.faces[0].at(32, 56) >> 24, 128u);
    EXPECT_GT(next.faces[0].at(32, 50) >> 24, 128u);
    EXPECT_LT(next.faces[0].at(32, 8) >> 24, 128u);
}

}  // namespace
