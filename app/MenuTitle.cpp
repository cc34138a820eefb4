#include "app/MenuTitle.h"

#include <cmath>

#include "engine/GraphicsEngine.h"

CMenuTitle::CMenuTitle(CMenuPage* owner, const MenuTextStyle* style, const char* text)
    : CMenuText(owner, style, style, text, nullptr, false, nullptr, false), m_baseX(style->x), m_baseY(style->y) {}

void CMenuTitle::Update() {
    float now = CGraphicsEngine::GetInstance()->GetTime();
    m_normal.x = m_baseX + 0.005f * std::sin(now);
    m_normal.y = m_baseY + 0.005f * std::sin(now + 1.0f);
    CMenuItem::Update();
}
