#pragma once

#include <string>
#include <vector>

#include "app/MenuItem.h"
#include "app/MenuValue.h"

// Cycles through fixed texts of at most 49 characters each.
class CMenuOptionList : public CMenuValue {
public:
    static const int kSlot = 50;

    CMenuOptionList(CMenuItem* owner, const MenuTextStyle* normal, const MenuTextStyle* selected,
                    const std::vector<std::string>& texts);
    ~CMenuOptionList() override;

    bool HitTest(float x, float y) override;
    void OnClick(float x, float y) override;
    void Change(bool up) override;
    void Render(float alpha) override;

    // Replaces the texts; the index goes back to 0.
    void SetTexts(const std::vector<std::string>& texts);
    // Out-of-range indices are ignored, so a bad config value leaves the list as it was.
    void SetIndex(int index);
    int GetIndex() const { return m_index; }
    int GetCount() const { return m_count; }
    // The current text, "" for an empty list.
    const char* GetText() const;

    MenuTextStyle m_normal;
    MenuTextStyle m_selected;
    char* m_texts = nullptr;
    int m_count = 0;
    int m_index = 0;
};
