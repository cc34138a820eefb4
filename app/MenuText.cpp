#include "app/MenuText.h"

#include <cstring>

#include "app/MenuManager.h"
#include "app/MenuValue.h"
#include "engine/Font.h"

CMenuText::CMenuText(CMenuPage* owner, const MenuTextStyle* normal, const MenuTextStyle* selected, const char* text,
                     CMenuPage* target, bool enabled, MenuCallback callback, bool back)
    : CMenuItem(owner, target, enabled, callback, back, true) {
    m_text[0] = '\0';
    m_visible = true;
    SetText(text);
    SetColors(normal, selected);
}

void CMenuText::SetText(const char* text) {
    if (!text) text = "";
    strncpy(m_text, text, sizeof m_text - 1);
    m_text[sizeof m_text - 1] = '\0';
}

void CMenuText::SetColors(const MenuTextStyle* normal, const MenuTextStyle* selected) {
    if (normal) m_normal = *normal;
    if (selected) m_selected = *selected;
}

void CMenuText::Render(float alpha) {
    if (!m_visible) return;
    const MenuTextStyle& style = IsSelected() ? m_selected : m_normal;
    if (style.font)
        style.font->DrawText(style.x, style.y, style.charWidth, style.charHeight, FadeColor(style.color, alpha),
                             m_text, style.flags, 0.0f);
    CMenuItem::Render(1.0f);
}

bool CMenuText::HitTest(float x, float y) {
    float mx, my;
    if (TextHit(m_normal, m_text, x, y, &mx, &my)) return true;
    return CMenuItem::HitTest(mx, my);
}

void CMenuText::OnClick(float x, float y) {
    if (HitTest(x, y)) {
        if (m_target) CMenuManager::GetInstance()->SetCurrentPage(m_target);
        if (m_valueWidget) m_valueWidget->Change(true);
        if (m_callback) m_callback();
    }
    if (m_valueWidget) m_valueWidget->HitTest(x, y);
}
