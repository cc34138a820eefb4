#include <gtest/gtest.h>

#define STB_IMAGE_STATIC
#define STB_IMAGE_IMPLEMENTATION
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
#include <stb/stb_image.h>
#pragma GCC diagnostic pop

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include "engine/GlyphRect.h"

namespace {

struct Expected {
    int c, x, y, w, h, xo, yo;
};

TEST(FontGlyphsTest, TableCoversTheCharacterSetWithTheFixedRows) {
    std::string wanted = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz~!@#$%^&*()_-+=|\\[]{}:;'<>,./?`\"";
    wanted += "\xA9\xAE";
    ASSERT_EQ(96u, wanted.size());
    std::set<int> chars;
    for (int i = 0; i < kFontGlyphCount; ++i) {
        const int32_t* g = g_FontGlyphTable[i];
        EXPECT_TRUE(chars.insert(g[0]).second) << "twice: " << g[0];
        EXPECT_NE(' ', g[0]) << "the space only advances";
        EXPECT_GT(g[3], 0);
        EXPECT_GT(g[4], 0);
        EXPECT_GE(g[1], 0);
        EXPECT_GE(g[2], 0);
        EXPECT_LE(g[1] + g[3], 512);
        EXPECT_LE(g[2] + g[4], 512);
        EXPECT_EQ(0, g[5]);
    }
    for (unsigned char c : wanted) EXPECT_EQ(1u, chars.count(c)) << "missing " << int(c);

    const Expected fixed[] = {
        {'0', 12, 9, 28, 28, 0, 0},     {'1', 43, 9, 8, 28, 0, 0},      {'A', 277, 9, 29, 28, 0, 0},
        {'I', 14, 69, 7, 28, 0, 0},     {'W', 399, 69, 41, 28, 0, 0},   {'a', 42, 136, 20, 21, 0, 7},
        {'g', 176, 136, 20, 28, 0, 7},  {'j', 234, 129, 12, 34, 0, 0},  {'$', 285, 187, 25, 34, 0, -2},
        {'_', 471, 220, 19, 5, 0, 30},  {'-', 492, 203, 14, 7, 0, 15},  {',', 300, 271, 5, 8, 0, 23},
        {0xA9, 365, 251, 26, 26, 0, 2}, {0xAE, 395, 251, 26, 26, 0, 2},
    };
    for (const Expected& e : fixed) {
        const int32_t* g = nullptr;
        for (int i = 0; i < kFontGlyphCount; ++i)
            if (g_FontGlyphTable[i][0] == e.c) g = g_FontGlyphTable[i];
        ASSERT_NE(nullptr, g) << e.c;
        EXPECT_EQ(e.x, g[1]) << char(e.c);
        EXPECT_EQ(e.y, g[2]) << char(e.c);
        EXPECT_EQ(e.w, g[3]) << char(e.c);
        EXPECT_EQ(e.h, g[4]) << char(e.c);
        EXPECT_EQ(e.yo, g[6]) << char(e.c);
    }
    // Capitals, digits and letters with an ascender are 28 high on their row's
    // cap line; small letters without one start 7 lower, 21 high when they have
    // no descender either. Marks keep to their rows' bands.
    auto has = [](const char* set, int c) { return c > 0 && c < 128 && strchr(set, c) != nullptr; };
    for (int i = 0; i < kFontGlyphCount; ++i) {
        const int32_t* g = g_FontGlyphTable[i];
        const int c = g[0];
        int capLine = has("0123456789ABCDEFGH", c)  ? 9
                      : has("IJKLMNOPQRSTUVWXY", c) ? 69
                      : has("Zabcdefghijklmnopqrstu", c) ? 129
                      : has("vwxyz", c)                   ? 189
                                                          : -1;
        if (capLine < 0) {
            bool row4 = has("~`!@#$%^&*()_-", c);
            int lo = row4 ? 187 : 247, hi = row4 ? 220 : 271;
            EXPECT_GE(g[2], lo) << char(c);
            EXPECT_LE(g[2], hi) << char(c);
            continue;
        }
        if (c == 'j') continue;  // reaches from the cap line below the baseline
        bool xHeight = has("acegmnopqrsuvwxyz", c);
        EXPECT_EQ(capLine + (xHeight ? 7 : 0), g[2]) << char(c);
        EXPECT_EQ(xHeight ? 7 : 0, g[6]) << char(c);
        if (has("0123456789ABCDEFGHIKLMNOPRSTUVWXYZbdfhiklt", c)) {
            EXPECT_EQ(28, g[4]) << char(c);
        }
        if (has("acemnorsuvwxz", c)) {
            EXPECT_EQ(21, g[4]) << char(c);
        }
    }
}

TEST(FontGlyphsTest, ImageHoldsEachGlyphInsideItsRectangleOnly) {
    const char* game = getenv("KOLVAR_GAME_DIR");
    ASSERT_NE(nullptr, game);
    std::string path = std::string(game) + "/data/textures/font.png";
    int w = 0, h = 0, n = 0;
    unsigned char* px = stbi_load(path.c_str(), &w, &h, &n, 4);
    ASSERT_NE(nullptr, px) << path;
    ASSERT_EQ(512, w);
    ASSERT_EQ(512, h);
    std::vector<int> owner(512 * 512, -1);
    for (int i = 0; i < kFontGlyphCount; ++i) {
        const int32_t* g = g_FontGlyphTable[i];
        int ink = 0;
        for (int y = g[2]; y < g[2] + g[4]; ++y)
            for (int x = g[1]; x < g[1] + g[3]; ++x) {
                EXPECT_EQ(-1, owner[y * 512 + x]) << "rectangles overlap at " << x << "," << y;
                owner[y * 512 + x] = i;
                ink += px[(y * 512 + x) * 4 + 3] > 128;
            }
        EXPECT_GT(ink, 4) << "empty glyph " << g[0];
        // A glyph advances by its rectangle's width: a clear column on each side keeps letters apart.
        for (int y = g[2]; y < g[2] + g[4]; ++y)
            for (int x : {g[1], g[1] + g[3] - 1})
                EXPECT_EQ(0, px[(y * 512 + x) * 4 + 3]) << "glyph " << g[0] << " touches its side at " << x << "," << y;
    }
    int stray = 0;
    for (int i = 0; i < 512 * 512; ++i) {
        EXPECT_EQ(255, px[i * 4]) << "glyphs are white";
        if (owner[i] < 0 && px[i * 4 + 3] != 0) ++stray;
    }
    EXPECT_EQ(0, stray) << "coverage outside every rectangle";
    stbi_image_free(px);
}

}  // namespace
