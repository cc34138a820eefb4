#pragma once

#include "app/MenuText.h"

// A page heading that sways on a small ellipse.
class CMenuTitle : public CMenuText {
public:
    CMenuTitle(CMenuPage* owner, const MenuTextStyle* style, const char* text);

    void Update() override;

    float m_baseX;
    float m_baseY;
};
