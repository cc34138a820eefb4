#include "app/MenuOptionList.h"

#include <cstring>

#include "app/MenuManager.h"
#include "engine/Font.h"

CMenuOptionList::CMenuOptionList(CMenuItem* owner, const MenuTextStyle* normal, const MenuTextStyle* selected,
                                 const std::vector<std::string>& texts)
    : CMenuValue(owner), m_normal(*normal), m_selected(*selected) {
    SetTexts(texts);
}

CMenuOptionList::~CMenuOptionList() { delete[] m_texts; }

void CMenuOptionList::SetTexts(const std::vector<std::string>& texts) {
    delete[] m_texts;
    m_texts = nullptr;
    m_count = static_cast<int>(texts.size());
    m_index = 0;
    if (m_count == 0) return;
    m_texts = new char[static_cast<size_t>(m_count) * kSlot];
    for (int i = 0; i < m_count; ++i) {
        // A longer text is cut to its slot.
        char* slot = m_texts + static_cast<size_t>(i) * kSlot;
        strncpy(slot, texts[static_cast<size_t>(i)].c_str(), kSlot - 1);
        slot[kSlot - 1] = '\0';
    }
}

void CMenuOptionList::SetIndex(int index) {
    if (index >= 0 && index < m_count) m_index = index;
}

const char* CMenuOptionList::GetText() const {
    return m_count > 0 ? m_texts + static_cast<size_t>(m_index) * kSlot : "";
}

void CMenuOptionList::Change(bool up) {
    if (m_count == 0) return;
    PlayMenuSound(CMenuManager::GetInstance()->m_changeSound);
    m_index += up ? 1 : -1;
    if (m_index < 0) m_index = m_count - 1;
    if (m_index >= m_count) m_index = 0;
}

void CMenuOptionList::OnClick(float, float) { Change(true); }

void CMenuOptionList::Render(float alpha) {
    if (m_count == 0) return;
    const MenuTextStyle& style = IsSelected() ? m_selected : m_normal;
    if (style.font)
        style.font->DrawText(style.x, style.y, style.charWidth, style.charHeight, FadeColor(style.color, alpha),
                             GetText(), style.flags, 0.0f);
}

bool CMenuOptionList::HitTest(float x, float y) {
    if (m_count == 0) return false;
    float mx, my;
    return TextHit(m_normal, GetText(), x, y, &mx, &my);
}
