#include "app/MenuManager.h"

#include <cmath>

#include "app/MenuPage.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/MenuHooks.h"
#include "engine/Mouse.h"
#include "engine/Sprite.h"
#include "engine/TextureManager.h"
#include "game/GameMode.h"

namespace {

float Clamp01(float v) { return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v); }

void LoadMenuTexture(CTextureEntry** out, const char* name) {
    *out = nullptr;
    CTextureManager::GetInstance()->GetTexture(out, name, false, false, 10.0f);
}

void CreateHook() { CMenuManager::GetInstance(); }
void DestroyHook() { delete CMenuManager::GetInstancePtr(); }

}  // namespace

void InstallMenuManagerHooks() { SetMenuManagerHooks(CreateHook, DestroyHook); }

void PlayMenuSound(DWORD sample) { CSoundEngine::GetInstance()->PlaySoundScaled(sample, 0.3f, kGameSound); }

CMenuManager::CMenuManager() {
    g_Log.Print("blue", "Initializing menu manager");
    // The engine makes the manager before start-up names the texture folder;
    // the menu pictures live in the game's texture folder either way.
    CTextureManager* textures = CTextureManager::GetInstance();
    if (textures->GetTexturePath()[0] == '\0') textures->SetTexturePath("data\\textures");
    LoadMenuTexture(&m_lightTexture, "light.png");
    LoadMenuTexture(&m_trackTexture, "scroll.png");
    LoadMenuTexture(&m_thumbTexture, "scroller.png");
    LoadMenuTexture(&m_panelTexture, "menu.png");
    LoadMenuTexture(&m_lineTexture, "menu_line.png");
    m_spark.Load("spark\\ff", "bmp", 1, 0, 9, 1);
    g_Log.Print("green", "Complete");
}

CMenuManager::~CMenuManager() {
    g_Log.Print("blue", "Destroying menu manager");
    m_currentPage = nullptr;
    for (CMenuPage* page : m_pages) delete page;
    m_pages.clear();
    if (CTextureManager::GetInstancePtr()) m_spark.Release();
    g_Log.Print("green", "Destroying complete");
}

float CMenuManager::TransitionFraction() const {
    const int state = CGameMode::GetInstance()->menuState;
    const float duration = state == CGameMode::kMenuClosing ? m_closeDuration : m_openDuration;
    const float elapsed = CGraphicsEngine::GetInstance()->GetTime() - m_transitionStart;
    return duration > 0.0f ? elapsed / duration : 1.0f;
}

void CMenuManager::PanelAt(float now, float* panelX, float* lineAlpha) const {
    const float ox = m_panelOpen[0] + 0.003f * std::sin(3.0f * now);
    const float glow = 0.1f + 0.2f * std::fabs(std::sin(now));
    *panelX = ox;
    *lineAlpha = glow;
    const int state = CGameMode::GetInstance()->menuState;
    if (state == CGameMode::kMenuOpening) {
        const float p = m_openDuration > 0.0f ? (now - m_transitionStart) / m_openDuration : 1.0f;
        const float s = Clamp01((p - m_openPhases[0]) / m_openPhases[1]);
        *panelX = ox + (m_panelStart[0] - ox) * (1.0f - s) * (1.0f - s);
        *lineAlpha = glow * Clamp01((p - m_openPhases[2]) / m_openPhases[3]);
    } else if (state == CGameMode::kMenuClosing) {
        const float p = m_closeDuration > 0.0f ? (now - m_transitionStart) / m_closeDuration : 1.0f;
        const float s = Clamp01((p - m_closePhases[0]) / m_closePhases[1]);
        *panelX = ox + (m_panelEnd[0] - ox) * s * s;
        *lineAlpha = glow * (1.0f - Clamp01((p - m_closePhases[2]) / m_closePhases[3]));
    }
}

void CMenuManager::Update() {
    CGameMode* mode = CGameMode::GetInstance();
    const float elapsed = CGraphicsEngine::GetInstance()->GetTime() - m_transitionStart;
    if (mode->menuState == CGameMode::kMenuOpening) {
        if (elapsed >= m_openDuration) mode->menuState = CGameMode::kMenuOpen;
    } else if (mode->menuState == CGameMode::kMenuClosing) {
        if (elapsed >= m_closeDuration) {
            mode->menuState = CGameMode::kMenuClosed;
            m_currentPage = nullptr;
        }
    } else if (CMouse* mouse = CMouse::GetInstancePtr()) {
        const float x = mouse->GetX();
        const float y = mouse->GetY();
        if (x != m_lastMouseX || y != m_lastMouseY) OnMouseMove(x, y);
        m_lastMouseX = x;
        m_lastMouseY = y;
        if (mouse->GetLeftButton()) {
            if (!m_mouseHeld) {
                OnMouseClick(x, y);
                m_mouseHeld = true;
            }
        } else {
            m_mouseHeld = false;
        }
    }
    if (m_currentPage) m_currentPage->Update();
}

void CMenuManager::Render() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const int state = CGameMode::GetInstance()->menuState;
    ID3DXSprite* sprite = engine->GetSprite();
    if (state != CGameMode::kMenuClosed && sprite && m_panelTexture && m_panelTexture->m_pTexture &&
        m_panelTexture->m_Width > 0.0f && m_panelTexture->m_Height > 0.0f && SUCCEEDED(sprite->Begin())) {
        const float W = static_cast<float>(engine->GetScreenWidth());
        const float H = static_cast<float>(engine->GetScreenHeight());
        float px, la;
        PanelAt(engine->GetTime(), &px, &la);
        D3DXVECTOR2 panelScale(0.9f * W / m_panelTexture->m_Width, H / m_panelTexture->m_Height);
        D3DXVECTOR2 panelPos(px * W, 0.0f);
        sprite->Draw(m_panelTexture->m_pTexture, nullptr, &panelScale, nullptr, 0.0f, &panelPos,
                     D3DCOLOR_ARGB(160, 32, 64, 32));
        if (m_lineTexture && m_lineTexture->m_pTexture) {
            D3DXVECTOR2 lineScale(0.7f * W / m_panelTexture->m_Width, H / m_panelTexture->m_Height);
            D3DXVECTOR2 linePos(0.34f * W, 0.0f);
            sprite->Draw(m_lineTexture->m_pTexture, nullptr, &lineScale, nullptr, 0.0f, &linePos,
                         D3DXCOLOR(1.0f, 1.0f, 1.0f, la));
        }
        sprite->End();
    }
    if (m_currentPage) m_currentPage->Render();
}

void CMenuManager::Show() {
    CGameMode::GetInstance()->menuState = CGameMode::kMenuOpening;
    m_transitionStart = CGraphicsEngine::GetInstance()->GetTime();
    ShowFirstPage();
}

void CMenuManager::Hide() {
    m_transitionStart = CGraphicsEngine::GetInstance()->GetTime();
    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosing;
}

void CMenuManager::ShowFirstPage() { SetCurrentPage(m_pages.empty() ? nullptr : m_pages.front()); }

void CMenuManager::SetCurrentPage(CMenuPage* page) {
    m_currentPage = page;
    if (page) page->OnShow();
}

void CMenuManager::AddPage(CMenuPage* page) {
    if (page) m_pages.push_back(page);
}

void CMenuManager::OnInput(int code) {
    if (m_currentPage) m_currentPage->OnInput(code);
}

void CMenuManager::OnMouseMove(float x, float y) {
    if (m_currentPage) m_currentPage->OnMouseMove(x, y);
}

void CMenuManager::OnMouseClick(float x, float y) {
    if (m_currentPage) m_currentPage->OnMouseClick(x, y);
}
