#pragma once

#include <cstdint>

class CFont;
class CMenuPage;
class CMenuValue;

// Places and colours one line of menu text. Positions and sizes are screen fractions.
struct MenuTextStyle {
    CFont* font;
    float x;
    float y;
    float charWidth;
    float charHeight;
    float advance;   // only for measuring a button's glow and spark
    uint32_t color;  // ARGB
    uint32_t flags;  // bit 0 centres on (x, y); hit tests treat only exactly 1 as centred
};

// Plain function pointers, so a page table can name its actions directly.
typedef void (*MenuCallback)();

// ARGB colour with its alpha multiplied by `alpha`, each channel limited to 0..1.
uint32_t FadeColor(uint32_t argb, float alpha);
// Text size in screen fractions (the font measures in pixels).
void MeasureText(const MenuTextStyle& style, const char* text, float advance, float* width, float* height);
// Whether (x, y) lies on the text as drawn with `style` (extra advance 0).
bool TextHit(const MenuTextStyle& style, const char* text, float x, float y, float* movedX, float* movedY);

// Base of everything on a menu page. The item appends itself to its owner
// page, which deletes it; it owns its value widget.
class CMenuItem {
public:
    CMenuItem(CMenuPage* owner, CMenuPage* target, bool enabled, MenuCallback callback, bool back, bool value);
    virtual ~CMenuItem();

    virtual void Update();
    virtual void Render(float alpha);
    virtual void SetValueWidget(CMenuValue* widget);
    virtual void Select();
    virtual void OnSelect() {}
    virtual void OnDeselect() {}
    virtual bool IsSelected();
    // Keyboard activation: target page, value change, callback; never a sound.
    virtual void Activate(bool up);
    virtual bool HitTest(float x, float y);
    virtual void OnClick(float x, float y);

    CMenuItem(const CMenuItem&) = delete;
    CMenuItem& operator=(const CMenuItem&) = delete;

protected:
    // The click of buttons and pictures: only when enabled; a target page with the click sound.
    void ButtonClick(float x, float y);

public:
    bool m_enabled;
    bool m_visible = true;
    bool m_back;
    bool m_value;
    CMenuValue* m_valueWidget = nullptr;
    MenuCallback m_callback;
    CMenuPage* m_target;
    CMenuPage* m_owner;
};
