#include "engine/Font.h"

#include <d3dx9.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/BitmapFont.h"
#include "engine/FontServices.h"
#include "engine/GlyphRect.h"
#include "engine/Loading.h"
#include "engine/Log.h"

namespace {
// Pixels of glyph image per unit of character width at 1024 x 768.
const float kGlyphScale = 15.0f;
// A space in a textured font advances this many glyph pixels.
const float kSpaceAdvance = 12.0f;
}  // namespace

CFont::CFont() : m_System(true), m_pBitmapFont(nullptr), m_pTexture(nullptr) { m_Name[0] = '\0'; }

CFont::~CFont() {
    if (m_System) {
        delete m_pBitmapFont;
        m_pBitmapFont = nullptr;
    } else {
        // The texture stays with the texture manager.
        m_Glyphs.clear();
    }
}

bool CFont::Load(const char* name, int height, unsigned flags, bool system) {
    CountLoadedResource();
    if (!name) {
        g_Log.PrintBold("red", "Error, name of font is NULL !");
        return false;
    }
    if (strlen(name) >= sizeof m_Name) {
        g_Log.PrintBold("red", "Error, name of font is too long: (%.64s...) !", name);
        return false;
    }
    m_System = system;
    snprintf(m_Name, sizeof m_Name, "%s", name);

    if (m_System) {
        m_pBitmapFont = new (std::nothrow) CBitmapFont(m_Name, (DWORD)(height < 0 ? 0 : height), flags);
        if (!m_pBitmapFont || FAILED(m_pBitmapFont->InitDeviceObjects(fontservices::Device()))) {
            g_Log.PrintBold("red", "Error, couldn't load font: (%s)", m_Name);
            return false;
        }
        if (SUCCEEDED(m_pBitmapFont->RestoreDeviceObjects()))
            g_Log.Print("darkgray", "Loading font: (%s) complete.", m_Name);
        else
            g_Log.PrintBold("red", "Error, couldn't load system font (%s) !", m_Name);
        return true;
    }

    m_Glyphs.clear();
    if (!fontservices::LoadTexture(&m_pTexture, m_Name)) {
        m_pTexture = nullptr;
        g_Log.PrintBold("red", "Error, couldn't load textured-font: (%s)", m_Name);
        return false;
    }
    return true;
}

void CFont::AddGlyph(char c, const CGlyphRect* rect) {
    if (!rect) return;
    m_Glyphs.insert(std::make_pair(c, *rect));
}

const CGlyphRect* CFont::FindGlyph(char c) const {
    auto it = m_Glyphs.find(c);
    return it == m_Glyphs.end() ? nullptr : &it->second;
}

void CFont::GetTextExtent(const char* text, float charWidth, float charHeight, float* width, float* height,
                          float advance) {
    float w = 0.0f, h = 0.0f;
    if (m_System) {
        if (m_pBitmapFont && text) {
            m_pBitmapFont->GetTextExtent(text, charWidth, charHeight, &w, &h);
            w *= 0.5f;
            h *= 0.5f;
        }
    } else if (text) {
        float sw = (float)fontservices::ScreenWidth(), sh = (float)fontservices::ScreenHeight();
        float sx = charWidth * kGlyphScale * sw / 1024.0f, sy = charHeight * kGlyphScale * sh / 768.0f;
        for (const char* p = text; *p; ++p) {
            if (*p == ' ') {
                w += kSpaceAdvance * sx + advance * sw;
                continue;
            }
            const CGlyphRect* g = FindGlyph(*p);
            if (!g) continue;
            w += sx * (g->m_Width + g->m_XOffset) + advance * sw;
            float gh = sy * (g->m_Height + g->m_YOffset);
            if (gh > h) h = gh;
        }
    }
    if (width) *width = w;
    if (height) *height = h;
}

void CFont::DrawText(float x, float y, float charWidth, float charHeight, D3DCOLOR color, const char* text,
                     unsigned flags, float advance) {
    if (!text) return;
    if (m_System) {
        if (!m_pBitmapFont) return;
        if (flags & kCentered) {
            float w = 0.0f, h = 0.0f;
            GetTextExtent(text, charWidth, charHeight, &w, &h, advance);
            x -= w * 0.5f;
            y -= h * 0.5f;
        }
        m_pBitmapFont->DrawTextScaled((x - 0.5f) * 2.0f, (y - 0.5f) * 2.0f, 0.0f, charWidth, charHeight, color, text, 0);
        return;
    }

    float sw = (float)fontservices::ScreenWidth(), sh = (float)fontservices::ScreenHeight();
    ID3DXSprite* sprite = fontservices::Sprite();
    IDirect3DDevice9* device = fontservices::Device();
    IDirect3DTexture9* texture = fontservices::TextureOf(m_pTexture);
    if (!sprite || !device || !texture || sw <= 0.0f || sh <= 0.0f) return;
    if (flags & kCentered) {
        float w = 0.0f, h = 0.0f;
        GetTextExtent(text, charWidth, charHeight, &w, &h, advance);
        x -= w / 2.0f / sw;
        y -= h / 2.0f / sh;
    }
    float sx = charWidth * kGlyphScale * sw / 1024.0f, sy = charHeight * kGlyphScale * sh / 768.0f;
    sprite->Begin();
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    D3DXVECTOR2 scaling(sx, sy);
    for (const char* p = text; *p; ++p) {
        if (*p == ' ') {
            x += kSpaceAdvance * sx / sw + advance;
            continue;
        }
        const CGlyphRect* g = FindGlyph(*p);
        if (!g) continue;
        RECT src = {g->m_X, g->m_Y, g->m_X + g->m_Width, g->m_Y + g->m_Height};
        D3DXVECTOR2 at(sw * x + g->m_XOffset * sx, sh * y + g->m_YOffset * sy);
        sprite->Draw(texture, &src, &scaling, nullptr, 0.0f, &at, color);
        x += sx * (g->m_Width + g->m_XOffset) / sw + advance;
    }
    sprite->End();
}

void AddFontGlyphs(CFont* font) {
    if (!font) return;
    for (const auto& g : g_FontGlyphTable) {
        const CGlyphRect rect(g[1], g[2], g[3], g[4], g[5], g[6]);
        font->AddGlyph(char(g[0]), &rect);
    }
}
