#include "app/MousePointer.h"

#include <cmath>

#include "engine/GraphicsEngine.h"
#include "engine/Mouse.h"
#include "engine/TextureManager.h"

CMousePointer::CMousePointer() {
    CTextureManager::GetInstance()->GetTexture(&m_texture, "cursor.dds", false, false, 10.0f);
}

CMousePointer::~CMousePointer() {}

void CMousePointer::Update() {
    CMouse* mouse = CMouse::GetInstance();
    const float x = mouse->GetX();
    const float y = mouse->GetY();
    const float now = CGraphicsEngine::GetInstance()->GetTime();
    if (std::fabs(x - m_lastX) > 0.00001f || std::fabs(y - m_lastY) > 0.00001f) {
        m_state = kMoving;
    } else if (m_state == kMoving) {
        m_phaseStart = now;
        m_state = kResting;
    } else if (m_state == kResting) {
        if (now - m_phaseStart > m_idleDelay) {
            m_phaseStart = now;
            m_state = kFading;
        }
    } else if (m_state == kFading) {
        if (now - m_phaseStart > m_fadeDuration) m_state = kHidden;
    }
    m_lastX = x;
    m_lastY = y;
}

int CMousePointer::Alpha(float now) const {
    if (m_state == kHidden) return 0;
    if (m_state != kFading) return 240;
    float t = m_fadeDuration > 0.0f ? (now - m_phaseStart) / m_fadeDuration : 1.0f;
    return static_cast<int>(platform::ColourByte((1.0f - std::fmin(t, 1.0f)) * 0.94f));
}

void CMousePointer::Render() {
    if (m_state == kHidden) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    ID3DXSprite* sprite = engine->GetSprite();
    IDirect3DDevice9* device = engine->GetDevice();
    if (!sprite || !device || FAILED(sprite->Begin())) return;
    CMouse* mouse = CMouse::GetInstance();
    const float W = static_cast<float>(engine->GetScreenWidth());
    const float H = static_cast<float>(engine->GetScreenHeight());
    D3DXVECTOR2 scale(0.6f * W / 1024.0f, 0.6f * H / 768.0f);
    D3DXVECTOR2 position(mouse->GetX() * W, mouse->GetY() * H);
    device->SetRenderState(D3DRS_ZENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    if (m_texture && m_texture->m_pTexture)
        sprite->Draw(m_texture->m_pTexture, nullptr, &scale, nullptr, 0.0f, &position,
                     D3DCOLOR_ARGB(Alpha(engine->GetTime()), 255, 255, 255));
    device->SetRenderState(D3DRS_ZENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    sprite->End();
}
