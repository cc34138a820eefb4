#include "engine/Sprite.h"

#include "engine/GraphicsEngine.h"
#include "engine/TextureManager.h"

void CSprite::Draw() {
    // A bad index or a texture that failed to load draws nothing.
    if (texture < 0 || static_cast<size_t>(texture) >= g_ThemeTextures.size()) return;
    CTextureEntry* entry = g_ThemeTextures[texture];
    if (!entry || !entry->m_pTexture) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    ID3DXSprite* sprite = engine->GetSprite();
    if (!device || !sprite) return;

    const float sw = static_cast<float>(engine->GetScreenWidth());
    const float sh = static_cast<float>(engine->GetScreenHeight());
    D3DXVECTOR2 scaling;
    if (fit_to_screen) {
        scaling = D3DXVECTOR2(sw / entry->m_Width, sh / entry->m_Height);
    } else {
        scaling = D3DXVECTOR2(scale_x * entry->m_UExtent * sw / 800.0f, scale_y * entry->m_VExtent * sh / 600.0f);
    }
    const D3DCOLOR colour = D3DXCOLOR(color_red, color_green, color_blue, color_alpha);
    D3DXVECTOR2 centre(center_x, center_y);
    D3DXVECTOR2 translation(x * sw, y * sh);

    if (FAILED(sprite->Begin())) return;
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    sprite->Draw(entry->m_pTexture, nullptr, &scaling, &centre, 0.0f, &translation, colour);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    sprite->End();
}
