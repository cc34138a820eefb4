#pragma once

#include <cstdint>

// One glyph of a textured font: its rectangle in the font image (texels) and
// the offsets added to the pen position when it is drawn.
class CGlyphRect {
public:
    constexpr CGlyphRect() : m_X(0), m_Y(0), m_Width(0), m_Height(0), m_XOffset(0), m_YOffset(0) {}
    constexpr CGlyphRect(int32_t x, int32_t y, int32_t width, int32_t height, int32_t xOffset, int32_t yOffset)
        : m_X(x), m_Y(y), m_Width(width), m_Height(height), m_XOffset(xOffset), m_YOffset(yOffset) {}

    int32_t m_X;
    int32_t m_Y;
    int32_t m_Width;
    int32_t m_Height;
    int32_t m_XOffset;
    int32_t m_YOffset;
};

// The glyph table of "font.png", generated together with the image: per glyph
// the character code, then x, y, width, height, x offset and y offset.
const int kFontGlyphCount = 96;
extern const int32_t g_FontGlyphTable[kFontGlyphCount][7];

class CFont;
// Gives the textured font the glyph rectangles of the table above.
void AddFontGlyphs(CFont* font);
