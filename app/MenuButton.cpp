#include "app/MenuButton.h"

#include <d3d9.h>

#include "app/MenuManager.h"
#include "engine/Font.h"
#include "engine/GraphicsEngine.h"
#include "engine/Sprite.h"
#include "engine/TextureEntry.h"
#include "engine/Utils.h"

CMenuButton::CMenuButton(CMenuPage* owner, const MenuTextStyle* style, const MenuGlow* glow, const char* text,
                         CMenuPage* target, bool enabled, MenuCallback callback, bool back, bool value)
    : CMenuItem(owner, target, enabled, callback, back, value), m_text(text ? text : ""), m_style(*style) {
    m_visible = true;
    if (glow) {
        m_glow = *glow;
        return;
    }
    // The glow is sized from the text, as wide as three texts and ten times as tall.
    float w, h;
    MeasureText(m_style, m_text.c_str(), m_style.advance, &w, &h);
    m_glow.x = m_style.x;
    m_glow.y = m_style.y;
    m_glow.scaleX = 3.0f * w;
    m_glow.scaleY = 10.0f * h;
    m_glow.unread1[0] = m_style.x;
    m_glow.unread1[1] = m_style.y;
    m_glow.unread1[2] = 1.0f;
    m_glow.unread1[3] = 1.0f;
    m_glow.red = m_glow.green = m_glow.blue = 1.0f;
    m_glow.alpha = 0.8f;
    m_glow.unread2[0] = m_glow.unread2[1] = m_glow.unread2[2] = 1.0f;
    m_glow.unread2[3] = 0.5f;
}

void CMenuButton::Update() {
    float step = CGraphicsEngine::GetInstance()->GetCurrentStep();
    if (IsSelected()) {
        m_highlight += m_riseRate * step;
        if (m_highlight > 1.0f) m_highlight = 1.0f;
    } else {
        m_highlight -= m_fallRate * step;
        if (m_highlight < 0.0f) m_highlight = 0.0f;
    }
    CMenuItem::Update();
}

void CMenuButton::Render(float alpha) {
    if (!m_visible) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CMenuManager* manager = CMenuManager::GetInstance();
    const bool centred = m_style.flags == 1;

    if (m_style.font)
        m_style.font->DrawText(m_style.x, m_style.y, m_style.charWidth, m_style.charHeight,
                               FadeColor(m_style.color, alpha), m_text.c_str(), m_style.flags, 0.0f);

    const float glowAlpha = m_highlight * alpha * m_glow.alpha;
    if (centred)
        engine->DrawSprite2D(manager->m_lightTexture, m_glow.x - 0.01f, m_glow.y, m_glow.scaleX + 0.1f, m_glow.scaleY,
                             m_glow.red, m_glow.green, m_glow.blue, glowAlpha, true, 0.0f, D3DBLEND_SRCALPHA,
                             D3DBLEND_INVSRCALPHA);
    else
        engine->DrawSprite2D(manager->m_lightTexture, m_glow.x - 0.05f, m_glow.y - 0.01f, m_glow.scaleX + 0.1f,
                             m_glow.scaleY, m_glow.red, m_glow.green, m_glow.blue, glowAlpha, false, 0.0f,
                             D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);

    const std::vector<CTextureEntry*>& frames = manager->m_spark.GetFrames();
    ID3DXSprite* sprite = engine->GetSprite();
    IDirect3DDevice9* device = engine->GetDevice();
    if (!frames.empty() && sprite && device) {
        const float W = static_cast<float>(engine->GetScreenWidth());
        const float H = static_cast<float>(engine->GetScreenHeight());
        float w, h;
        MeasureText(m_style, m_text.c_str(), m_style.advance, &w, &h);
        D3DXVECTOR2 position = centred ? D3DXVECTOR2((m_style.x - 0.06f - w / 2.0f) * W, (m_style.y - 0.03f) * H)
                                       : D3DXVECTOR2((m_style.x - 0.05f) * W, (m_style.y + h / 2.0f - 0.03f) * H);
        // Drawn every frame, selected or not, so the random draws stay in step.
        int frame = RandomInt(0, 10);
        float grey = RandomFloat(0.1f, 1.0f);
        float a = m_highlight * 0.99f * alpha;
        CTextureEntry* entry = frames[static_cast<size_t>(frame) % frames.size()];
        if (entry && entry->m_pTexture && SUCCEEDED(sprite->Begin())) {
            device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
            device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
            D3DXVECTOR2 scale(0.4f * W / 1024.0f, 0.4f * H / 768.0f);
            sprite->Draw(entry->m_pTexture, nullptr, &scale, nullptr, 0.0f, &position, D3DXCOLOR(grey, grey, grey, a));
            sprite->End();
        }
    }
    CMenuItem::Render(alpha);
}

bool CMenuButton::HitTest(float x, float y) {
    float mx, my;
    if (TextHit(m_style, m_text.c_str(), x, y, &mx, &my)) return true;
    return CMenuItem::HitTest(mx, my);
}

void CMenuButton::OnClick(float x, float y) { ButtonClick(x, y); }
