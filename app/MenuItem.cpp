#include "app/MenuItem.h"

#include "app/MenuManager.h"
#include "app/MenuPage.h"
#include "app/MenuValue.h"
#include "engine/Font.h"
#include "engine/GraphicsEngine.h"
#include "engine/Sprite.h"

uint32_t FadeColor(uint32_t argb, float alpha) {
    float a = static_cast<float>((argb >> 24) & 0xff) / 255.0f * alpha;
    float r = static_cast<float>((argb >> 16) & 0xff) / 255.0f;
    float g = static_cast<float>((argb >> 8) & 0xff) / 255.0f;
    float b = static_cast<float>(argb & 0xff) / 255.0f;
    return D3DXCOLOR(r, g, b, a);
}

void MeasureText(const MenuTextStyle& style, const char* text, float advance, float* width, float* height) {
    *width = 0.0f;
    *height = 0.0f;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    if (!style.font || !engine || engine->GetScreenWidth() <= 0 || engine->GetScreenHeight() <= 0) return;
    float w = 0.0f, h = 0.0f;
    style.font->GetTextExtent(text, style.charWidth, style.charHeight, &w, &h, advance);
    *width = w / static_cast<float>(engine->GetScreenWidth());
    *height = h / static_cast<float>(engine->GetScreenHeight());
}

bool TextHit(const MenuTextStyle& style, const char* text, float x, float y, float* movedX, float* movedY) {
    float w, h;
    MeasureText(style, text, 0.0f, &w, &h);
    if (style.flags == 1) {
        x += w / 2.0f;
        y += h / 2.0f;
    }
    *movedX = x;
    *movedY = y;
    return style.x <= x && x <= style.x + w && style.y <= y && y <= style.y + h;
}

CMenuItem::CMenuItem(CMenuPage* owner, CMenuPage* target, bool enabled, MenuCallback callback, bool back,
                     bool value)
    : m_enabled(enabled), m_back(back), m_value(value), m_callback(callback), m_target(target), m_owner(owner) {
    if (owner) owner->AddItem(this);
}

CMenuItem::~CMenuItem() { delete m_valueWidget; }

void CMenuItem::Update() {
    if (m_valueWidget) m_valueWidget->Update();
}

void CMenuItem::Render(float alpha) {
    if (m_valueWidget) m_valueWidget->Render(alpha);
}

void CMenuItem::SetValueWidget(CMenuValue* widget) {
    if (m_valueWidget && m_valueWidget != widget) delete m_valueWidget;
    m_valueWidget = widget;
}

void CMenuItem::Select() {
    if (m_owner) m_owner->Select(this);
}

bool CMenuItem::IsSelected() { return m_owner && m_owner->m_selected == this; }

void CMenuItem::Activate(bool up) {
    if (m_target) CMenuManager::GetInstance()->SetCurrentPage(m_target);
    if (m_valueWidget) m_valueWidget->Change(up);
    if (m_callback) m_callback();
}

bool CMenuItem::HitTest(float x, float y) { return m_valueWidget && m_valueWidget->HitTest(x, y); }

void CMenuItem::OnClick(float x, float y) {
    if (m_valueWidget) m_valueWidget->OnClick(x, y);
}

void CMenuItem::ButtonClick(float x, float y) {
    if (!m_enabled) return;
    if (HitTest(x, y)) {
        if (m_target) {
            CMenuManager::GetInstance()->SetCurrentPage(m_target);
            PlayMenuSound(CMenuManager::GetInstance()->m_clickSound);
        }
        if (m_valueWidget) m_valueWidget->OnClick(x, y);
        if (m_callback) m_callback();
    }
    if (m_valueWidget) m_valueWidget->HitTest(x, y);
}
