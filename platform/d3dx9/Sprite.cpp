// ID3DXSprite: screen-space textured quads drawn as pre-transformed vertices,
// with the device states saved at Begin and restored at End. Consecutive
// sprites of one texture go out as one draw; any device call that changes
// state between Begin and End sends the batch first, so every sprite draws
// with the states it was drawn under.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "d3dx9core.h"

namespace {

struct SpriteVertex {  // D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1
    float x, y, z, rhw;
    D3DCOLOR color;
    float u, v;
};
constexpr DWORD kSpriteFvf = D3DFVF_XYZRHW | D3DFVF_DIFFUSE | D3DFVF_TEX1;

std::string Vec2Text(const D3DXVECTOR2* v) {
    if (!v) return "NULL";
    char buf[64];
    snprintf(buf, sizeof buf, "{%g,%g}", v->x, v->y);
    return buf;
}

class CXSprite final : public platform::ComObject<ID3DXSprite> {
public:
    explicit CXSprite(IDirect3DDevice9* device) : m_device(device) {
        m_device->AddRef();
        OnResetDevice();
    }

    HRESULT GetDevice(IDirect3DDevice9** device) override {
        if (!device) return D3DERR_INVALIDCALL;
        m_device->AddRef();
        *device = m_device;
        return D3D_OK;
    }

    HRESULT Begin() override {
        Record("ID3DXSprite.Begin()");
        if (m_begun || m_lost || !m_saved) return D3DERR_INVALIDCALL;
        m_saved->Capture();
        SetSpriteStates();
        m_begun = true;
        D3D9AddStateListener(m_device, &CXSprite::BeforeDeviceChange, this);
        return D3D_OK;
    }

    HRESULT Draw(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXVECTOR2* scaling,
                 const D3DXVECTOR2* rotationCenter, float rotation, const D3DXVECTOR2* translation,
                 D3DCOLOR color) override {
        if (Recording()) {
        char extra[64];
        snprintf(extra, sizeof extra, ", %g, ", rotation);
        char col[16];
        snprintf(col, sizeof col, "0x%08x", color);
        Record("ID3DXSprite.Draw(" + std::string(texture ? "tex" : "NULL") + ", " +
               (srcRect ? "{" + std::to_string(srcRect->left) + "," + std::to_string(srcRect->top) + "," +
                              std::to_string(srcRect->right) + "," + std::to_string(srcRect->bottom) + "}"
                        : std::string("NULL")) +
               ", " + Vec2Text(scaling) + ", " + Vec2Text(rotationCenter) + extra + Vec2Text(translation) + ", " +
               col + ")");
        }
        // Scale, turn about the centre (in scaled pixels), then move.
        const float sx = scaling ? scaling->x : 1.0f, sy = scaling ? scaling->y : 1.0f;
        const float cx = rotationCenter ? rotationCenter->x : 0.0f, cy = rotationCenter ? rotationCenter->y : 0.0f;
        const float tx = translation ? translation->x : 0.0f, ty = translation ? translation->y : 0.0f;
        const float c = std::cos(rotation), s = std::sin(rotation);
        D3DXMATRIX m(sx * c, sx * s, 0, 0,                                         //
                     -sy * s, sy * c, 0, 0,                                        //
                     0, 0, 1, 0,                                                   //
                     -cx * c + cy * s + cx + tx, -cx * s - cy * c + cy + ty, 0, 1);
        return DrawQuad(texture, srcRect, m, color);
    }

    HRESULT DrawTransform(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXMATRIX* transform,
                          D3DCOLOR color) override {
        Record("ID3DXSprite.DrawTransform()");
        if (!transform) return D3DERR_INVALIDCALL;
        return DrawQuad(texture, srcRect, *transform, color);
    }

    HRESULT End() override {
        Record("ID3DXSprite.End()");
        if (!m_begun) return D3DERR_INVALIDCALL;
        D3D9RemoveStateListener(m_device, &CXSprite::BeforeDeviceChange, this);
        const HRESULT hr = Flush();
        m_begun = false;
        if (m_saved) m_saved->Apply();
        if (FAILED(hr)) return hr;
        return D3D_OK;
    }

    // The saved-state block lives in the default pool: it must go before a reset.
    HRESULT OnLostDevice() override {
        Record("ID3DXSprite.OnLostDevice()");
        if (m_begun) End();
        if (m_saved) m_saved->Release();
        m_saved = nullptr;
        m_lost = true;
        return D3D_OK;
    }

    HRESULT OnResetDevice() override {
        Record("ID3DXSprite.OnResetDevice()");
        if (!m_saved && FAILED(m_device->CreateStateBlock(D3DSBT_ALL, &m_saved))) return D3DERR_INVALIDCALL;
        m_lost = false;
        return D3D_OK;
    }

private:
    ~CXSprite() {
        if (m_begun) D3D9RemoveStateListener(m_device, &CXSprite::BeforeDeviceChange, this);
        if (m_batchTexture) m_batchTexture->Release();
        if (m_saved) m_saved->Release();
        m_device->Release();
    }

    bool Recording() const { return D3D9IsRecording(m_device); }
    // A literal is made a string only when recording: sprites begin and end many times a frame.
    void Record(const char* line) {
        if (Recording()) D3D9RecordCall(m_device, line);
    }
    void Record(const std::string& line) {
        if (Recording()) D3D9RecordCall(m_device, line);
    }

    static void BeforeDeviceChange(void* self) { static_cast<CXSprite*>(self)->Flush(); }

    // Sends the batched sprites: two triangles each, one draw.
    HRESULT Flush() {
        if (m_batch.empty()) return D3D_OK;
        std::vector<SpriteVertex> vertices;
        vertices.swap(m_batch);
        IDirect3DTexture9* texture = m_batchTexture;
        m_batchTexture = nullptr;
        m_device->SetTexture(0, texture);
        m_device->SetFVF(kSpriteFvf);
        HRESULT hr = m_device->DrawPrimitiveUP(D3DPT_TRIANGLELIST, static_cast<UINT>(vertices.size() / 3),
                                               vertices.data(), sizeof(SpriteVertex));
        texture->Release();
        vertices.clear();
        vertices.swap(m_batch);  // keep the storage
        return hr;
    }

    void SetSpriteStates() {
        IDirect3DDevice9* d = m_device;
        d->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        d->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        d->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        d->SetRenderState(D3DRS_BLENDOP, D3DBLENDOP_ADD);
        d->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
        d->SetRenderState(D3DRS_ALPHAREF, 0);
        d->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
        d->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        d->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
        d->SetRenderState(D3DRS_FILLMODE, D3DFILL_SOLID);
        d->SetRenderState(D3DRS_LIGHTING, FALSE);
        d->SetRenderState(D3DRS_FOGENABLE, FALSE);
        d->SetRenderState(D3DRS_STENCILENABLE, FALSE);
        d->SetRenderState(D3DRS_COLORWRITEENABLE, 0xF);
        d->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
        d->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_DIFFUSE);
        d->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        d->SetTextureStageState(0, D3DTSS_ALPHAARG2, D3DTA_DIFFUSE);
        d->SetTextureStageState(0, D3DTSS_TEXCOORDINDEX, 0);
        d->SetTextureStageState(0, D3DTSS_TEXTURETRANSFORMFLAGS, D3DTTFF_DISABLE);
        d->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
        d->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
        d->SetSamplerState(0, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        d->SetSamplerState(0, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        d->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_NONE);
        d->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        d->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
        d->SetVertexShader(nullptr);
        d->SetPixelShader(nullptr);
        d->SetFVF(kSpriteFvf);
    }

    HRESULT DrawQuad(IDirect3DTexture9* texture, const RECT* srcRect, const D3DXMATRIX& m, D3DCOLOR color) {
        if (!texture) return D3DERR_INVALIDCALL;
        D3DSURFACE_DESC desc{};
        if (FAILED(texture->GetLevelDesc(0, &desc)) || desc.Width == 0 || desc.Height == 0)
            return D3DERR_INVALIDCALL;
        RECT r = srcRect ? *srcRect : RECT{0, 0, static_cast<LONG>(desc.Width), static_cast<LONG>(desc.Height)};
        const float w = static_cast<float>(r.right - r.left), h = static_cast<float>(r.bottom - r.top);
        const bool ownScope = !m_begun;
        if (ownScope && FAILED(Begin())) return D3DERR_INVALIDCALL;
        const float corners[4][2] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
        SpriteVertex v[4];
        for (int i = 0; i < 4; ++i) {
            const float x = corners[i][0], y = corners[i][1];
            // Texel centres land on pixel centres: D3D9 needs the half-pixel shift.
            v[i].x = x * m._11 + y * m._21 + m._41 - 0.5f;
            v[i].y = x * m._12 + y * m._22 + m._42 - 0.5f;
            v[i].z = 0.0f;
            v[i].rhw = 1.0f;
            v[i].color = color;
            v[i].u = (static_cast<float>(r.left) + x) / static_cast<float>(desc.Width);
            v[i].v = (static_cast<float>(r.top) + y) / static_cast<float>(desc.Height);
        }
        if (m_batchTexture != texture) {
            Flush();
            m_batchTexture = texture;
            texture->AddRef();  // the game may let go of it before the batch goes out
        }
        const int order[6] = {0, 1, 2, 2, 1, 3};
        for (int i : order) m_batch.push_back(v[i]);
        return ownScope ? End() : D3D_OK;
    }

    IDirect3DDevice9* m_device;
    std::vector<SpriteVertex> m_batch;
    IDirect3DTexture9* m_batchTexture = nullptr;
    IDirect3DStateBlock9* m_saved = nullptr;
    bool m_begun = false;
    bool m_lost = false;
};

}  // namespace

HRESULT D3DXCreateSprite(IDirect3DDevice9* device, ID3DXSprite** sprite) {
    if (!device || !sprite) return D3DERR_INVALIDCALL;
    *sprite = new CXSprite(device);
    return D3D_OK;
}
