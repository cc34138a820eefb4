#include "app/MenuSlider.h"

#include <d3d9.h>

#include "app/MenuManager.h"
#include "engine/GraphicsEngine.h"

CMenuSlider* CMenuSlider::ms_dragged = nullptr;

SliderSkin CMenuSlider::DefaultSkin() {
    CMenuManager* manager = CMenuManager::GetInstance();
    return SliderSkin{manager->m_trackTexture,
                      manager->m_thumbTexture,
                      0.3f,
                      0.2f,
                      0.15f,
                      0.15f,
                      0.015f,
                      0.0f,
                      0.135f,
                      0.03f,
                      {1.0f, 1.0f, 1.0f, 0.5f},
                      {1.0f, 1.0f, 1.0f, 0.7f}};
}

CMenuSlider::CMenuSlider(CMenuItem* owner, float x, float y, SliderCallback callback, const SliderSkin* skin,
                         float min, float max, int steps)
    : CMenuValue(owner),
      m_x(x),
      m_y(y),
      m_skin(skin ? *skin : DefaultSkin()),
      m_value(min),
      m_min(min),
      m_max(max),
      m_steps(steps),
      m_callback(callback) {
    ms_dragged = nullptr;
}

CMenuSlider::~CMenuSlider() {
    if (ms_dragged == this) ms_dragged = nullptr;
}

bool CMenuSlider::HitTest(float x, float y) {
    CMenuManager* manager = CMenuManager::GetInstance();
    if (!manager->m_mouseHeld) ms_dragged = nullptr;
    bool hit = false;
    if (m_x + m_skin.left <= x && x <= m_x + m_skin.right && m_y + m_skin.top <= y && y <= m_y + m_skin.bottom) {
        if (manager->m_mouseHeld && !ms_dragged) ms_dragged = this;
        if (!ms_dragged) hit = true;
    }
    if (ms_dragged == this) {
        float span = m_skin.right - m_skin.left;
        float t = span > 0.0f ? (x - m_skin.left - m_x) / span : 0.0f;
        if (t < 0.0f) t = 0.0f;
        if (t > 1.0f) t = 1.0f;
        m_value = m_min + t * (m_max - m_min);
        if (m_callback) m_callback(this);
    }
    return ms_dragged == this || hit;
}

void CMenuSlider::OnClick(float x, float y) {
    CMenuManager::GetInstance()->m_mouseHeld = true;
    HitTest(x, y);
}

void CMenuSlider::Change(bool up) {
    CMenuManager* manager = CMenuManager::GetInstance();
    if (manager->m_mouseHeld) {
        HitTest(manager->m_lastMouseX, manager->m_lastMouseY);
        return;
    }
    float step = (m_max - m_min) / static_cast<float>(m_steps != 0 ? m_steps : 20);
    if (up) {
        m_value += step;
        if (m_value > m_max) m_value = m_max;
    } else {
        m_value -= step;
        if (m_value < m_min) m_value = m_min;
    }
    if (m_callback) m_callback(this);
}

void CMenuSlider::Render(float) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    engine->DrawSprite2D(m_skin.trackTexture, m_x, m_y, m_skin.trackScaleX, m_skin.trackScaleY, m_skin.trackColor[0],
                         m_skin.trackColor[1], m_skin.trackColor[2], m_skin.trackColor[3], false, 0.0f,
                         D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
    // A slider without a range keeps its thumb at the left end.
    float f = m_max > m_min ? (m_value - m_min) / (m_max - m_min) : 0.0f;
    engine->DrawSprite2D(m_skin.thumbTexture, m_x + m_skin.left + (m_skin.right - m_skin.left) * f,
                         m_y + (m_skin.top + m_skin.bottom) / 2.0f, m_skin.thumbScaleX, m_skin.thumbScaleY,
                         m_skin.thumbColor[0], m_skin.thumbColor[1], m_skin.thumbColor[2], m_skin.thumbColor[3], true,
                         0.0f, D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA);
}
