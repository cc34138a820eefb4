#pragma once

#include "app/MenuItem.h"

class CTextureEntry;

// Where and how a menu picture is drawn; scales are for an 800 x 600 screen.
struct MenuPicture {
    float x;
    float y;
    float scaleX;
    float scaleY;
    float normal[4];    // red, green, blue, alpha
    float selected[4];
    CTextureEntry* normalTexture;
    CTextureEntry* selectedTexture;
};

// A clickable picture (theme arrows, theme logo). Starts hidden: its page's
// refresh decides whether it shows.
class CMenuImage : public CMenuItem {
public:
    CMenuImage(CMenuPage* owner, MenuPicture picture, MenuCallback callback, CMenuPage* target);

    void Render(float alpha) override;
    bool HitTest(float x, float y) override;
    void OnClick(float x, float y) override;
    void SetRect(float left, float top, float right, float bottom);

    float m_rect[4] = {0.0f, 0.0f, 0.0f, 0.0f};  // left, top, right, bottom
    MenuPicture m_picture;
};
