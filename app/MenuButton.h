#pragma once

#include <string>

#include "app/MenuItem.h"

// The glow behind a selected button; the unread fields keep the record's layout.
struct MenuGlow {
    float x;
    float y;
    float scaleX;
    float scaleY;
    float unread1[4];
    float red;
    float green;
    float blue;
    float alpha;
    float unread2[4];
};

// A line of text that glows and sparks while selected; the only item that
// carries option lists and sliders.
class CMenuButton : public CMenuItem {
public:
    CMenuButton(CMenuPage* owner, const MenuTextStyle* style, const MenuGlow* glow, const char* text,
                CMenuPage* target, bool enabled, MenuCallback callback, bool back, bool value);

    void Update() override;
    void Render(float alpha) override;
    bool HitTest(float x, float y) override;
    void OnClick(float x, float y) override;

    std::string m_text;
    MenuTextStyle m_style;
    MenuGlow m_glow;
    float m_highlight = 0.0f;
    float m_riseRate = 5.0f;  // per second
    float m_fallRate = 3.0f;
};
