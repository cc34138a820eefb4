#pragma once

#include "app/MenuValue.h"

class CMenuSlider;
class CTextureEntry;

typedef void (*SliderCallback)(CMenuSlider* slider);

// How a slider looks; the track rectangle is in screen fractions from the slider's origin.
struct SliderSkin {
    CTextureEntry* trackTexture;
    CTextureEntry* thumbTexture;
    float trackScaleX, trackScaleY;  // for a 1024 x 768 screen
    float thumbScaleX, thumbScaleY;
    float left, top, right, bottom;
    float trackColor[4];  // red, green, blue, alpha
    float thumbColor[4];
};

// A number between min and max, stepped with Left/Right or dragged with the mouse.
class CMenuSlider : public CMenuValue {
public:
    CMenuSlider(CMenuItem* owner, float x, float y, SliderCallback callback, const SliderSkin* skin, float min,
                float max, int steps);
    ~CMenuSlider() override;

    // Also the drag step: the dragged slider follows the pointer.
    bool HitTest(float x, float y) override;
    void OnClick(float x, float y) override;
    void Change(bool up) override;
    // Ignores the page fade: the slider keeps its own opacity.
    void Render(float alpha) override;

    // The defaults, with the menu manager's track and thumb pictures.
    static SliderSkin DefaultSkin();
    // The one slider being dragged, or null.
    static CMenuSlider* Dragged() { return ms_dragged; }

    float m_x;
    float m_y;
    SliderSkin m_skin;
    float m_value;
    float m_min;
    float m_max;
    int m_steps;  // 0 means 20
    SliderCallback m_callback;

private:
    static CMenuSlider* ms_dragged;
};
