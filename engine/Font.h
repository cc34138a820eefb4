#pragma once

#include <d3d9types.h>

#include <map>

#include "engine/GlyphRect.h"

class CBitmapFont;
class CTextureEntry;

// One font of the game: a system font drawn by a CBitmapFont, or a textured
// font drawn with the 2D sprite from an image of hand-placed glyphs.
// Positions and character sizes are fractions of the screen.
class CFont {
public:
    static const unsigned kCentered = 1;

    CFont();
    ~CFont();

    bool Load(const char* name, int height, unsigned flags, bool system);
    // An existing glyph of the character is kept.
    void AddGlyph(char c, const CGlyphRect* rect);
    void DrawText(float x, float y, float charWidth, float charHeight, D3DCOLOR color, const char* text,
                  unsigned flags, float advance);
    // Pixels of the configured screen for a textured font, viewport fractions for a system font.
    void GetTextExtent(const char* text, float charWidth, float charHeight, float* width, float* height,
                       float advance);

    bool IsSystem() const { return m_System; }
    const char* GetName() const { return m_Name; }
    CBitmapFont* GetBitmapFont() const { return m_pBitmapFont; }
    const CGlyphRect* FindGlyph(char c) const;

private:
    bool m_System;
    char m_Name[263];
    CBitmapFont* m_pBitmapFont;
    CTextureEntry* m_pTexture;
    std::map<char, CGlyphRect> m_Glyphs;
};
