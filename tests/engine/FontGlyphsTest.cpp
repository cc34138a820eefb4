#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "engine/GlyphRect.h"
#include "support/TestUtil.h"

namespace {

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
    const std::string path = testutil::GameData("textures/font.png");
    int w = 0, h = 0;
    std::vector<unsigned char> image = testutil::LoadRgba(path, &w, &h);
    ASSERT_FALSE(image.empty()) << path;
    const unsigned char* px = image.data();
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
}

}  // namespace
