#pragma once

#include "engine/Singleton.h"

class CTextureEntry;

// The game's own pointer, drawn last in every frame; it fades out when the
// mouse rests and comes back at the first move.
class CMousePointer : public CSingleton<CMousePointer> {
public:
    enum { kMoving = 0, kResting = 1, kFading = 2, kHidden = 3 };

    CMousePointer();
    ~CMousePointer() override;

    void Update();
    void Render();
    // The alpha byte the pointer is drawn with now (0 when hidden).
    int Alpha(float now) const;

    float m_phaseStart = 0.0f;
    float m_idleDelay = 3.0f;
    float m_fadeDuration = 1.0f;
    // Far outside the screen, so the first update sees a move and starts at state 0.
    float m_lastX = -1.0f;
    float m_lastY = -1.0f;
    int m_state = kMoving;
    CTextureEntry* m_texture = nullptr;
};
