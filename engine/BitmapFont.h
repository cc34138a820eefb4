#pragma once

#include <d3d9types.h>

struct IDirect3DDevice9;
struct IDirect3DTexture9;
struct IDirect3DVertexBuffer9;
struct IDirect3DStateBlock9;

// Draws text in an installed font: the printable ASCII characters of a GDI
// font are laid out in one texture at device set-up and rasterised into it
// when first drawn, and a string is drawn as screen-space quads in one or a
// few draw calls.
class CBitmapFont {
public:
    // Flags of the font.
    static const DWORD kBold = 1;
    static const DWORD kItalic = 2;
    static const DWORD kZEnable = 4;
    // Flags of DrawTextScaled.
    static const DWORD kCenteredX = 1;
    static const DWORD kCenteredY = 2;
    static const DWORD kFiltered = 8;

    CBitmapFont(const char* faceName, DWORD height, DWORD flags = 0);
    ~CBitmapFont();

    HRESULT InitDeviceObjects(IDirect3DDevice9* device);
    HRESULT RestoreDeviceObjects();
    HRESULT InvalidateDeviceObjects();
    HRESULT DeleteDeviceObjects();

    // x and y run from -1 (left, top) to +1 (right, bottom) across the viewport;
    // the scales are the line height as a fraction of the viewport height.
    HRESULT DrawTextScaled(float x, float y, float z, float xScale, float yScale, D3DCOLOR color,
                           const char* text, DWORD flags = 0);
    // The first line's size in the units of DrawTextScaled (a full viewport is 2.0).
    void GetTextExtent(const char* text, float xScale, float yScale, float* width, float* height);

    DWORD GetTextureWidth() const { return m_dwTexWidth; }
    DWORD GetTextureHeight() const { return m_dwTexHeight; }
    float GetTextScale() const { return m_fTextScale; }
    DWORD GetSpacing() const { return m_dwSpacing; }

private:
    HRESULT CreateGdiFont(HDC dc, HFONT* font);
    HRESULT OpenFontDc(HDC* dc, HFONT* font, HGDIOBJ* oldFont);
    HRESULT PaintAlphabet(HDC dc, bool measureOnly);
    HRESULT PaintAtlas();
    static bool Drawable(unsigned char c) { return c >= 32 && c < 127; }

    DWORD m_dwFontHeight;
    DWORD m_dwFontFlags;
    char m_strFontName[80];
    IDirect3DDevice9* m_pd3dDevice;
    IDirect3DTexture9* m_pTexture;
    IDirect3DVertexBuffer9* m_pVB;
    DWORD m_dwTexWidth;
    DWORD m_dwTexHeight;
    float m_fTextScale;
    float m_fTexCoords[128 - 32][4];
    DWORD m_dwSpacing;
    IDirect3DStateBlock9* m_pStateBlockSaved;
    IDirect3DStateBlock9* m_pStateBlockDrawText;
    bool m_bPainted;  // the atlas holds the alphabet's pixels
};
