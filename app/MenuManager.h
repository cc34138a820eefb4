#pragma once

#include <win32.h>

#include <vector>

#include "engine/AnimatedSprite.h"
#include "engine/Singleton.h"

class CMenuPage;
class CTextureEntry;

// Owns the menu pages, animates the panel as the menu opens and closes, feeds
// the polled mouse to the current page and holds what the items share.
// Menu states live in CGameMode: 0 closed, 1 opening, 2 closing, 3 open.
class CMenuManager : public CSingleton<CMenuManager> {
public:
    CMenuManager();
    ~CMenuManager() override;

    void Update();
    void Render();
    void Show();
    void Hide();
    void ShowFirstPage();
    void SetCurrentPage(CMenuPage* page);
    void AddPage(CMenuPage* page);
    void OnInput(int code);
    void OnMouseMove(float x, float y);
    void OnMouseClick(float x, float y);

    // Seconds into the running transition as a fraction of its duration.
    float TransitionFraction() const;
    // Panel x and line alpha at the current state and time.
    void PanelAt(float now, float* panelX, float* lineAlpha) const;

    CMenuPage* GetCurrentPage() const { return m_currentPage; }
    const std::vector<CMenuPage*>& GetPages() const { return m_pages; }

    bool m_mouseHeld = false;
    float m_lastMouseX = 0.5f;
    float m_lastMouseY = 0.5f;
    std::vector<CMenuPage*> m_pages;
    CMenuPage* m_currentPage = nullptr;
    CTextureEntry* m_lightTexture = nullptr;
    CTextureEntry* m_trackTexture = nullptr;
    CTextureEntry* m_thumbTexture = nullptr;
    CAnimatedSprite m_spark;
    DWORD m_moveSound = 0;
    DWORD m_clickSound = 0;
    DWORD m_changeSound = 0;
    float m_openDuration = 1.0f;
    float m_closeDuration = 1.0f;
    // Panel delay and span, line delay and span, item delay, per-item delay and span.
    float m_openPhases[7] = {0.0f, 0.5f, 0.5f, 0.5f, 0.3f, 0.07f, 0.3f};
    float m_closePhases[7] = {0.5f, 0.5f, 0.0f, 0.5f, 0.0f, 0.07f, 0.3f};
    float m_panelStart[2] = {1.0f, 0.0f};
    float m_panelOpen[2] = {0.05f, 0.0f};
    float m_panelEnd[2] = {1.0f, 0.0f};
    float m_transitionStart = 0.0f;
    CTextureEntry* m_panelTexture = nullptr;
    CTextureEntry* m_lineTexture = nullptr;
};

// Lets the graphics engine create and delete the menu manager with its own managers.
void InstallMenuManagerHooks();
// Plays one of the manager's sounds at 0.3 of the game-sound volume.
void PlayMenuSound(DWORD sample);
