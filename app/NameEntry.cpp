#include <algorithm>
#include <cstring>

#include "app/GameFlow.h"
#include "app/Highscores.h"
#include "app/MenuButton.h"
#include "app/MenuManager.h"
#include "app/MenuPage.h"
#include "app/MenuPages.h"
#include "app/MenuText.h"
#include "engine/Font.h"
#include "engine/GraphicsEngine.h"
#include "game/Hud.h"

void OnGameOverFinished() {
    ShowMainMenu();
    const int place = CHighscores::GetInstance()->AddScore(CHud::GetInstance()->score);
    RefreshHighscoresPage();
    CMenuManager::GetInstance()->SetCurrentPage(g_HighscoresPage);
    if (place < 0) return;
    g_bNameEntry = true;
    g_NameEntryPlace = place;
    g_EnteredName[0] = '\0';
    g_HighscoresPage->Select(nullptr);
    g_HighscoresBack->m_enabled = false;
    g_HighscoresReset->m_enabled = false;
    g_NameBlinkStart = CGraphicsEngine::GetInstance()->GetTime();
    g_NameBlinkOn = 0;
}

void EndNameEntry() {
    g_HighscoresBack->m_enabled = true;
    g_HighscoresReset->m_enabled = true;
    g_bNameEntry = false;
    g_HighscoresPage->OnShow();
    CHighscores* table = CHighscores::GetInstance();
    if (g_NameEntryPlace < 0 || g_NameEntryPlace >= CHighscores::kPlaces) return;
    char* name = table->m_entries[g_NameEntryPlace].name;
    const bool blank = strspn(g_EnteredName, " ") == strlen(g_EnteredName);
    // Zero-filled like strncpy, which instrumented builds warn about here.
    const char* entered = blank ? "Noname" : g_EnteredName;
    const size_t size = sizeof table->m_entries[0].name;
    memset(name, 0, size);
    memcpy(name, entered, std::min(strlen(entered), size - 1));
    table->Save();
    RefreshHighscoresPage();
}

void DrawEnteredName(const char* text) {
    if (g_NameEntryPlace < 0 || g_NameEntryPlace >= CHighscores::kPlaces) return;
    CMenuText* row = g_HighscoreNames[g_NameEntryPlace];
    if (!row || !row->m_normal.font) return;
    const MenuTextStyle& s = row->m_normal;
    s.font->DrawText(s.x, s.y, s.charWidth, s.charHeight, s.color, text, s.flags, 0.0f);
}
