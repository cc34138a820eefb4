#include "engine/BitmapFont.h"

#include <d3d9.h>

#include <wingdi.h>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

struct FontVertex {
    float x, y, z, rhw;
    DWORD color;
    float tu, tv;
};
static_assert(sizeof(FontVertex) == 28, "pre-transformed font vertex");

const DWORD kFontFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;
const UINT kMaxVertices = 300;
// The buffer is sized for 32-byte vertices so it could take a wider layout.
const UINT kBufferBytes = kMaxVertices * 32;
const UINT kFlushAbove = 294;
// Shrinking the font by tenths gives up here rather than looping forever.
const int kMaxShrinkSteps = 200;

FontVertex Vertex(float x, float y, float z, D3DCOLOR color, float tu, float tv) {
    FontVertex v = {x - 0.5f, y - 0.5f, z, 1.0f, color, tu, tv};
    return v;
}

}  // namespace

CBitmapFont::CBitmapFont(const char* faceName, DWORD height, DWORD flags)
    : m_dwFontHeight(height),
      m_dwFontFlags(flags),
      m_pd3dDevice(nullptr),
      m_pTexture(nullptr),
      m_pVB(nullptr),
      m_dwTexWidth(0),
      m_dwTexHeight(0),
      m_fTextScale(1.0f),
      m_dwSpacing(0),
      m_pStateBlockSaved(nullptr),
      m_pStateBlockDrawText(nullptr),
      m_bPainted(false) {
    snprintf(m_strFontName, sizeof m_strFontName, "%s", faceName ? faceName : "");
    memset(m_fTexCoords, 0, sizeof m_fTexCoords);
}

CBitmapFont::~CBitmapFont() {
    InvalidateDeviceObjects();
    DeleteDeviceObjects();
}

HRESULT CBitmapFont::CreateGdiFont(HDC dc, HFONT* font) {
    int height = -MulDiv((int)m_dwFontHeight, (int)(GetDeviceCaps(dc, LOGPIXELSY) * m_fTextScale), 72);
    DWORD weight = (m_dwFontFlags & kBold) ? FW_BOLD : FW_NORMAL;
    DWORD italic = (m_dwFontFlags & kItalic) ? TRUE : FALSE;
    *font = CreateFontA(height, 0, 0, 0, weight, italic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, ANTIALIASED_QUALITY, VARIABLE_PITCH, m_strFontName);
    return *font ? S_OK : E_FAIL;
}

HRESULT CBitmapFont::PaintAlphabet(HDC dc, bool measureOnly) {
    SIZE size;
    char str[2] = "x";
    if (!GetTextExtentPoint32A(dc, str, 1, &size)) return E_FAIL;
    m_dwSpacing = (DWORD)ceil(size.cy * 0.3f);

    DWORD x = m_dwSpacing, y = 0;
    for (unsigned c = 32; c < 127; ++c) {
        str[0] = (char)c;
        if (!GetTextExtentPoint32A(dc, str, 1, &size)) return E_FAIL;
        if ((uint64_t)x + size.cx + m_dwSpacing > m_dwTexWidth) {
            x = m_dwSpacing;
            y += size.cy + 1;
        }
        if ((uint64_t)y + size.cy > m_dwTexHeight) return D3DERR_MOREDATA;
        // The layout alone serves measuring; the pixels wait for the first draw.
        float* t = m_fTexCoords[c - 32];
        t[0] = ((float)x - m_dwSpacing) / m_dwTexWidth;
        t[1] = (float)y / m_dwTexHeight;
        t[2] = ((float)x + size.cx + m_dwSpacing) / m_dwTexWidth;
        t[3] = ((float)y + size.cy) / m_dwTexHeight;
        if (!measureOnly) ExtTextOutA(dc, (int)x, (int)y, ETO_OPAQUE, nullptr, str, 1, nullptr);
        x += size.cx + 2 * m_dwSpacing;
    }
    return S_OK;
}

// A memory context with the GDI font selected, for laying out or painting.
HRESULT CBitmapFont::OpenFontDc(HDC* dc, HFONT* font, HGDIOBJ* oldFont) {
    *dc = CreateCompatibleDC(nullptr);
    if (!*dc) return E_FAIL;
    SetMapMode(*dc, MM_TEXT);
    HRESULT hr = CreateGdiFont(*dc, font);
    if (FAILED(hr)) {
        DeleteDC(*dc);
        return hr;
    }
    *oldFont = SelectObject(*dc, *font);
    return S_OK;
}

HRESULT CBitmapFont::InitDeviceObjects(IDirect3DDevice9* device) {
    if (!device) return E_FAIL;
    m_pd3dDevice = device;
    m_fTextScale = 1.0f;

    HDC dc = nullptr;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
    HRESULT hr = OpenFontDc(&dc, &font, &oldFont);
    if (FAILED(hr)) return hr;

    // The smallest square power of two that holds the alphabet.
    m_dwTexWidth = m_dwTexHeight = 128;
    while ((hr = PaintAlphabet(dc, true)) == D3DERR_MOREDATA && m_dwTexWidth < 0x40000000u) {
        m_dwTexWidth *= 2;
        m_dwTexHeight *= 2;
    }

    // Beyond the largest texture the font shrinks until it fits.
    D3DCAPS9 caps;
    memset(&caps, 0, sizeof caps);
    m_pd3dDevice->GetDeviceCaps(&caps);
    if (SUCCEEDED(hr) || hr == D3DERR_MOREDATA) {
        if (caps.MaxTextureWidth > 0 && m_dwTexWidth > caps.MaxTextureWidth) {
            m_fTextScale = (float)caps.MaxTextureWidth / (float)m_dwTexWidth;
            m_dwTexWidth = m_dwTexHeight = caps.MaxTextureWidth;
            bool firstPass = true;
            int steps = 0;
            do {
                if (!firstPass) m_fTextScale *= 0.9f;
                firstPass = false;
                SelectObject(dc, oldFont);
                DeleteObject(font);
                hr = CreateGdiFont(dc, &font);
                if (FAILED(hr)) break;
                SelectObject(dc, font);
                hr = PaintAlphabet(dc, true);
            } while (hr == D3DERR_MOREDATA && ++steps < kMaxShrinkSteps);
        }
    }

    // The atlas is painted when first drawn: a font that is only loaded (or
    // only measured) never holds its pixels nor the bitmap they are painted in.
    m_bPainted = false;
    if (SUCCEEDED(hr))
        hr = m_pd3dDevice->CreateTexture(m_dwTexWidth, m_dwTexHeight, 1, 0, D3DFMT_A4R4G4B4, D3DPOOL_MANAGED,
                                         &m_pTexture, nullptr);
    SelectObject(dc, oldFont);
    if (font) DeleteObject(font);
    DeleteDC(dc);
    return hr;
}

HRESULT CBitmapFont::PaintAtlas() {
    m_bPainted = true;  // once, whatever comes of it
    HDC dc = nullptr;
    HFONT font = nullptr;
    HGDIOBJ oldFont = nullptr;
    HRESULT hr = OpenFontDc(&dc, &font, &oldFont);
    if (FAILED(hr)) return hr;
    DWORD* bitmapBits = nullptr;
    BITMAPINFO info;
    memset(&info, 0, sizeof info);
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = (LONG)m_dwTexWidth;
    info.bmiHeader.biHeight = -(LONG)m_dwTexHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biBitCount = 32;
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, reinterpret_cast<void**>(&bitmapBits), nullptr, 0);
    HGDIOBJ oldBitmap = nullptr;
    if (!bitmap) hr = E_FAIL;
    if (SUCCEEDED(hr)) {
        oldBitmap = SelectObject(dc, bitmap);
        SelectObject(dc, font);
        SetTextColor(dc, RGB(255, 255, 255));
        SetBkColor(dc, 0x00000000);
        SetTextAlign(dc, TA_TOP);
        hr = PaintAlphabet(dc, false);
    }
    if (SUCCEEDED(hr)) {
        D3DLOCKED_RECT locked;
        hr = m_pTexture->LockRect(0, &locked, nullptr, 0);
        if (SUCCEEDED(hr)) {
            // White texels whose alpha is the 4-bit coverage of the rasterised glyph.
            BYTE* row = static_cast<BYTE*>(locked.pBits);
            for (DWORD y = 0; y < m_dwTexHeight; ++y) {
                WORD* dst = reinterpret_cast<WORD*>(row);
                for (DWORD x = 0; x < m_dwTexWidth; ++x) {
                    BYTE alpha = (BYTE)((bitmapBits[m_dwTexWidth * y + x] & 0xFF) >> 4);
                    dst[x] = alpha > 0 ? (WORD)((alpha << 12) | 0x0FFF) : 0;
                }
                row += locked.Pitch;
            }
            m_pTexture->UnlockRect(0);
        }
    }
    if (oldBitmap) SelectObject(dc, oldBitmap);
    SelectObject(dc, oldFont);
    if (bitmap) DeleteObject(bitmap);
    DeleteObject(font);
    DeleteDC(dc);
    return hr;
}

HRESULT CBitmapFont::RestoreDeviceObjects() {
    if (!m_pd3dDevice) return E_FAIL;
    // A second restore without an invalidation in between must not leak the first.
    InvalidateDeviceObjects();
    HRESULT hr = m_pd3dDevice->CreateVertexBuffer(kBufferBytes, D3DUSAGE_WRITEONLY | D3DUSAGE_DYNAMIC, 0,
                                                  D3DPOOL_DEFAULT, &m_pVB, nullptr);
    if (FAILED(hr)) return hr;

    // Blending after the pixel stage may be missing on the render target's format.
    bool blending = false;
    IDirect3D9* d3d = nullptr;
    if (SUCCEEDED(m_pd3dDevice->GetDirect3D(&d3d)) && d3d) {
        D3DDEVICE_CREATION_PARAMETERS params;
        D3DDISPLAYMODE mode;
        IDirect3DSurface9* target = nullptr;
        D3DSURFACE_DESC desc;
        memset(&params, 0, sizeof params);
        memset(&mode, 0, sizeof mode);
        memset(&desc, 0, sizeof desc);
        m_pd3dDevice->GetCreationParameters(&params);
        m_pd3dDevice->GetDisplayMode(0, &mode);
        if (SUCCEEDED(m_pd3dDevice->GetRenderTarget(0, &target)) && target) {
            target->GetDesc(&desc);
            target->Release();
        }
        blending = SUCCEEDED(d3d->CheckDeviceFormat(params.AdapterOrdinal, params.DeviceType, mode.Format,
                                                     D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING,
                                                     D3DRTYPE_SURFACE, desc.Format));
        d3d->Release();
    }

    for (int which = 0; which < 2; ++which) {
        m_pd3dDevice->BeginStateBlock();
        m_pd3dDevice->SetTexture(0, m_pTexture);
        m_pd3dDevice->SetRenderState(D3DRS_ZENABLE, (m_dwFontFlags & kZEnable) ? TRUE : FALSE);
        if (blending) {
            m_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
            m_pd3dDevice->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            m_pd3dDevice->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        } else {
            m_pd3dDevice->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        }
        m_pd3dDevice->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        m_pd3dDevice->SetRenderState(D3DRS_ALPHAREF, 0x08);
        m_pd3dDevice->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
        m_pd3dDevice->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        m_pd3dDevice->SetRenderState(D3DRS_CULLMODE, D3DCULL_CCW);
        m_pd3dDevice->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        m_pd3dDevice->SetRenderState(D3DRS_CLIPPING, TRUE);
        m_pd3dDevice->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);
        m_pd3dDevice->SetRenderState(D3DRS_VERTEXBLEND, D3DVBF_DISABLE);
        m_pd3dDevice->SetRenderState(D3DRS_INDEXEDVERTEXBLENDENABLE, FALSE);
        m_pd3dDevice->SetRenderState(D3DRS_FOGENABLE, FALSE);
        m_pd3dDevice->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        m_pd3dDevice->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        m_pd3dDevice->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        m_pd3dDevice->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        m_pd3dDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_POINT);
        m_pd3dDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_POINT);
        m_pd3dDevice->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        hr = m_pd3dDevice->EndStateBlock(which == 0 ? &m_pStateBlockSaved : &m_pStateBlockDrawText);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

HRESULT CBitmapFont::InvalidateDeviceObjects() {
    if (m_pVB) {
        m_pVB->Release();
        m_pVB = nullptr;
    }
    if (m_pStateBlockSaved) {
        m_pStateBlockSaved->Release();
        m_pStateBlockSaved = nullptr;
    }
    if (m_pStateBlockDrawText) {
        m_pStateBlockDrawText->Release();
        m_pStateBlockDrawText = nullptr;
    }
    return S_OK;
}

HRESULT CBitmapFont::DeleteDeviceObjects() {
    if (m_pTexture) {
        m_pTexture->Release();
        m_pTexture = nullptr;
    }
    m_pd3dDevice = nullptr;
    return S_OK;
}

void CBitmapFont::GetTextExtent(const char* text, float xScale, float yScale, float* width, float* height) {
    float w = 0.0f, h = 0.0f;
    D3DVIEWPORT9 vp;
    memset(&vp, 0, sizeof vp);
    float lineHeight = (m_fTexCoords[0][3] - m_fTexCoords[0][1]) * m_dwTexHeight;
    if (text && m_pd3dDevice && m_pTexture && lineHeight > 0.0f && SUCCEEDED(m_pd3dDevice->GetViewport(&vp)) &&
        vp.Width > 0 && vp.Height > 0) {
        float kx = xScale * vp.Height / lineHeight, ky = yScale * vp.Height / lineHeight;
        float rowHeight = 0.0f;
        for (const char* p = text; *p && *p != '\n'; ++p) {
            unsigned char c = (unsigned char)*p;
            if (!Drawable(c)) continue;
            const float* t = m_fTexCoords[c - 32];
            w += (t[2] - t[0]) * m_dwTexWidth * kx - 2.0f * m_dwSpacing * kx;
            float gh = (t[3] - t[1]) * m_dwTexHeight * ky;
            if (gh > rowHeight) rowHeight = gh;
        }
        w = 2.0f * w / vp.Width;
        h = 2.0f * rowHeight / vp.Height;
    }
    if (width) *width = w;
    if (height) *height = h;
}

HRESULT CBitmapFont::DrawTextScaled(float x, float y, float z, float xScale, float yScale, D3DCOLOR color,
                                    const char* text, DWORD flags) {
    if (!m_pd3dDevice || !m_pTexture || !m_pVB || !m_pStateBlockSaved || !m_pStateBlockDrawText) return E_FAIL;
    if (!text) return E_INVALIDARG;
    if (!m_bPainted) PaintAtlas();
    D3DVIEWPORT9 vp;
    memset(&vp, 0, sizeof vp);
    m_pd3dDevice->GetViewport(&vp);
    float lineHeight = (m_fTexCoords[0][3] - m_fTexCoords[0][1]) * m_dwTexHeight;
    if (lineHeight <= 0.0f || vp.Width == 0 || vp.Height == 0) return E_FAIL;
    float W = (float)vp.Width, H = (float)vp.Height;
    float kx = xScale * H / lineHeight, ky = yScale * H / lineHeight;

    m_pStateBlockSaved->Capture();
    m_pStateBlockDrawText->Apply();
    m_pd3dDevice->SetFVF(kFontFvf);
    m_pd3dDevice->SetPixelShader(nullptr);
    m_pd3dDevice->SetStreamSource(0, m_pVB, 0, sizeof(FontVertex));
    if (flags & kFiltered) {
        m_pd3dDevice->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        m_pd3dDevice->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    }

    if (flags & kCenteredX) {
        float sum = 0.0f;
        for (const char* p = text; *p && *p != '\n'; ++p) {
            unsigned char c = (unsigned char)*p;
            if (!Drawable(c)) continue;
            const float* t = m_fTexCoords[c - 32];
            sum += (t[2] - t[0]) * m_dwTexWidth * kx - 2.0f * m_dwSpacing * kx;
        }
        x = -sum / W;
    }
    if (flags & kCenteredY) y = -lineHeight / H;

    float sx = (x + 1.0f) * W / 2.0f - m_dwSpacing * kx;
    float sy = (y + 1.0f) * H / 2.0f;
    float lineStart = sx;

    FontVertex* v = nullptr;
    HRESULT hr = m_pVB->Lock(0, 0, reinterpret_cast<void**>(&v), D3DLOCK_DISCARD);
    if (FAILED(hr) || !v) {
        m_pStateBlockSaved->Apply();
        return FAILED(hr) ? hr : E_FAIL;
    }
    UINT triangles = 0;
    for (const char* p = text; *p; ++p) {
        unsigned char c = (unsigned char)*p;
        if (c == '\n') {
            sx = lineStart;
            sy += yScale * H;
            continue;
        }
        if (!Drawable(c)) continue;
        const float* t = m_fTexCoords[c - 32];
        float w = (t[2] - t[0]) * m_dwTexWidth * kx;
        float h = (t[3] - t[1]) * m_dwTexHeight * ky;
        if (c != ' ') {
            *v++ = Vertex(sx, sy + h, z, color, t[0], t[3]);
            *v++ = Vertex(sx, sy, z, color, t[0], t[1]);
            *v++ = Vertex(sx + w, sy + h, z, color, t[2], t[3]);
            *v++ = Vertex(sx + w, sy, z, color, t[2], t[1]);
            *v++ = Vertex(sx + w, sy + h, z, color, t[2], t[3]);
            *v++ = Vertex(sx, sy, z, color, t[0], t[1]);
            triangles += 2;
            if (triangles * 3 > kFlushAbove) {
                m_pVB->Unlock();
                m_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
                v = nullptr;
                hr = m_pVB->Lock(0, 0, reinterpret_cast<void**>(&v), D3DLOCK_DISCARD);
                triangles = 0;
                if (FAILED(hr) || !v) {
                    m_pStateBlockSaved->Apply();
                    return FAILED(hr) ? hr : E_FAIL;
                }
            }
        }
        sx += w - 2.0f * m_dwSpacing * kx;
    }
    m_pVB->Unlock();
    if (triangles > 0) m_pd3dDevice->DrawPrimitive(D3DPT_TRIANGLELIST, 0, triangles);
    m_pStateBlockSaved->Apply();
    return S_OK;
}
