#pragma once

#include "app/MenuItem.h"

// A static line of text (credits, score rows) with a second style for when it is selected.
class CMenuText : public CMenuItem {
public:
    CMenuText(CMenuPage* owner, const MenuTextStyle* normal, const MenuTextStyle* selected, const char* text,
              CMenuPage* target, bool enabled, MenuCallback callback, bool back);

    void Render(float alpha) override;
    bool HitTest(float x, float y) override;
    // No enabled test and no sound: a disabled line still leads somewhere.
    void OnClick(float x, float y) override;
    // At most 255 characters are kept.
    virtual void SetText(const char* text);
    virtual char* GetText() { return m_text; }
    virtual void SetColors(const MenuTextStyle* normal, const MenuTextStyle* selected);

    char m_text[256];
    MenuTextStyle m_normal;
    MenuTextStyle m_selected;
};
