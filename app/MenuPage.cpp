#include "app/MenuPage.h"

#include "app/MenuItem.h"
#include "app/MenuManager.h"
#include "game/GameMode.h"

namespace {
float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }
}  // namespace

CMenuPage::CMenuPage(CMenuPage* parent) : m_parent(parent) { CMenuManager::GetInstance()->AddPage(this); }

CMenuPage::~CMenuPage() {
    for (CMenuItem* item : m_items) delete item;
    m_items.clear();
}

void CMenuPage::Update() {
    for (CMenuItem* item : m_items) item->Update();
}

float CMenuPage::ItemAlpha(int i, int n) {
    CMenuManager* manager = CMenuManager::GetInstance();
    const int state = CGameMode::GetInstance()->menuState;
    const float p = manager->TransitionFraction();
    if (state == CGameMode::kMenuOpening) {
        const float* ph = manager->m_openPhases;
        return Clamp01((p - ph[4] - ph[5] * static_cast<float>(i)) / ph[6]);
    }
    if (state == CGameMode::kMenuClosing) {
        const float* ph = manager->m_closePhases;
        return 1.0f - Clamp01((p - ph[4] - ph[5] * static_cast<float>(n - i)) / ph[6]);
    }
    return 1.0f;
}

void CMenuPage::Render() {
    const int n = static_cast<int>(m_items.size());
    for (int i = 0; i < n; ++i) m_items[static_cast<size_t>(i)]->Render(ItemAlpha(i, n));
}

void CMenuPage::AddItem(CMenuItem* item) {
    if (item) m_items.push_back(item);
}

bool CMenuPage::Select(CMenuItem* item) {
    if (item == m_selected) return true;
    if (item && (!item->m_enabled || !item->m_visible)) return false;
    PlayMenuSound(CMenuManager::GetInstance()->m_moveSound);
    CMenuItem* previous = m_selected;
    if (previous) previous->OnDeselect();
    m_selected = item;
    if (item) item->OnSelect();
    return true;
}

void CMenuPage::OnShow() {
    m_selected = nullptr;
    SelectNext();
}

void CMenuPage::GoBack() { CMenuManager::GetInstance()->SetCurrentPage(m_parent); }

void CMenuPage::OnInput(int code) {
    switch (code) {
        case kMenuValueDown:
        case kMenuValueUp:
            if (m_selected && !m_selected->m_target && m_selected->m_value)
                m_selected->Activate(code == kMenuValueUp);
            break;
        case kMenuPrevious:
            SelectPrevious();
            break;
        case kMenuNext:
            SelectNext();
            break;
        case kMenuActivate:
            if (m_selected) m_selected->Activate(true);
            break;
        case kMenuBack: {
            // An activation may change the page's items' flags; walk a copy.
            std::vector<CMenuItem*> items = m_items;
            for (CMenuItem* item : items)
                if (item->m_back && item->m_enabled) item->Activate(true);
            break;
        }
        default:
            break;
    }
}

void CMenuPage::OnMouseMove(float x, float y) {
    for (CMenuItem* item : m_items)
        if (item->HitTest(x, y)) Select(item);
}

void CMenuPage::OnMouseClick(float x, float y) {
    std::vector<CMenuItem*> items = m_items;
    for (CMenuItem* item : items) item->OnClick(x, y);
}

bool CMenuPage::SelectNext() {
    if (m_items.empty()) return false;
    const int n = static_cast<int>(m_items.size());
    const int current = m_selected ? FindItem(m_selected) : -1;
    // With nothing selected the walk starts at the first item.
    for (int k = 1; k <= n; ++k) {
        int i = (current + k) % n;
        if (current >= 0 && i == current) break;
        if (Select(m_items[static_cast<size_t>(i)])) return true;
    }
    return false;
}

bool CMenuPage::SelectPrevious() {
    if (m_items.empty() || !m_selected) return false;
    const int n = static_cast<int>(m_items.size());
    const int current = FindItem(m_selected);
    if (current < 0) return false;
    for (int k = 1; k < n; ++k) {
        int i = (current - k + n) % n;
        if (Select(m_items[static_cast<size_t>(i)])) return true;
    }
    return false;
}

int CMenuPage::FindItem(CMenuItem* item) {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i] == item) return static_cast<int>(i);
    return -1;
}
