#include "app/MenuImage.h"

#include <d3d9.h>

#include "engine/GraphicsEngine.h"
#include "engine/Sprite.h"
#include "engine/TextureEntry.h"

CMenuImage::CMenuImage(CMenuPage* owner, MenuPicture picture, MenuCallback callback, CMenuPage* target)
    : CMenuItem(owner, target, true, callback, false, false), m_picture(picture) {
    m_visible = false;
}

void CMenuImage::Render(float alpha) {
    if (!m_visible) return;
    const bool selected = IsSelected();
    CTextureEntry* texture = selected ? m_picture.selectedTexture : m_picture.normalTexture;
    const float* color = selected ? m_picture.selected : m_picture.normal;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    ID3DXSprite* sprite = engine->GetSprite();
    IDirect3DDevice9* device = engine->GetDevice();
    if (texture && texture->m_pTexture && sprite && device && SUCCEEDED(sprite->Begin())) {
        const float W = static_cast<float>(engine->GetScreenWidth());
        const float H = static_cast<float>(engine->GetScreenHeight());
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
        D3DXVECTOR2 position(m_picture.x * W, m_picture.y * H);
        D3DXVECTOR2 scale(W / 800.0f * m_picture.scaleX * texture->m_UExtent,
                          H / 600.0f * m_picture.scaleY * texture->m_VExtent);
        const D3DCOLOR argb = D3DXCOLOR(color[0], color[1], color[2], color[3] * alpha);
        sprite->Draw(texture->m_pTexture, nullptr, &scale, nullptr, 0.0f, &position, argb);
        sprite->End();
    }
    CMenuItem::Render(alpha);
}

void CMenuImage::SetRect(float left, float top, float right, float bottom) {
    m_rect[0] = left;
    m_rect[1] = top;
    m_rect[2] = right;
    m_rect[3] = bottom;
}

bool CMenuImage::HitTest(float x, float y) {
    CTextureEntry* texture = m_picture.normalTexture;
    if (!texture || !texture->m_pTexture) return false;
    SetRect(m_picture.x, m_picture.y, m_picture.x + texture->m_ImageWidth * m_picture.scaleX / 800.0f,
            m_picture.y + texture->m_ImageHeight * m_picture.scaleY / 600.0f);
    if (m_rect[0] <= x && x <= m_rect[2] && m_rect[1] <= y && y <= m_rect[3]) return true;
    return CMenuItem::HitTest(x, y);
}

void CMenuImage::OnClick(float x, float y) { ButtonClick(x, y); }
