#include <shellapi.h>

#include <string>
#include <vector>

#include "app/MenuButton.h"
#include "app/MenuImage.h"
#include "app/MenuOptionList.h"
#include "app/MenuPage.h"
#include "app/MenuPages.h"
#include "app/ThemeManager.h"
#include "engine/Settings.h"
#include "engine/TextureEntry.h"
#include "game/GameSettings.h"


namespace {

// One per theme known at start-up, in display-name order, with its name.
std::vector<CMenuButton*> g_themeButtons;
std::vector<std::string> g_themeNames;

MenuTextStyle Style(float x, float y, uint32_t color = 0xF0F0F0F0, uint32_t flags = 0) {
    return MenuTextStyle{g_TexturedFont, x, y, 0.04f, 0.04f, 0.0f, color, flags};
}

MenuPicture Picture(float x, float y, float sx, float sy, float normalAlpha, CTextureEntry* normal,
                    CTextureEntry* lit) {
    return MenuPicture{x, y, sx, sy, {1.0f, 1.0f, 1.0f, normalAlpha}, {1.0f, 1.0f, 1.0f, 1.0f}, normal, lit};
}

// The theme whose button is marked "[ name ]", or -1.
int MarkedTheme() {
    for (size_t n = 0; n < g_themeButtons.size(); ++n)
        if (!g_themeButtons[n]->m_text.empty() && g_themeButtons[n]->m_text[0] == '[') return static_cast<int>(n);
    return -1;
}

void SetShown(CMenuItem* item, bool shown) {
    item->m_enabled = shown;
    item->m_visible = shown;
}

}  // namespace

void BuildThemesPage() {
    CMenuPage* p = g_ThemesPage;
    g_themeButtons.clear();
    g_themeNames.clear();
    g_ThemePrevArrow = new CMenuImage(
        p, Picture(0.42f, 0.34f, 0.7f, 0.6f, 0.5f, g_ThemeArrowTextures[0], g_ThemeArrowTextures[1]), OnThemeListPrev,
        nullptr);
    for (const auto& theme : CThemeManager::GetInstance()->m_themeFolders) g_themeNames.push_back(theme.first);
    for (size_t n = 0; n < g_themeNames.size(); ++n) {
        const MenuTextStyle style = Style(0.37f, 0.41f + static_cast<float>(n % 5) * 0.06f);
        g_themeButtons.push_back(
            new CMenuButton(p, &style, nullptr, g_themeNames[n].c_str(), nullptr, true, OnSelectTheme, false, true));
    }
    g_ThemeNextArrow = new CMenuImage(
        p, Picture(0.42f, 0.69f, 0.7f, 0.6f, 0.5f, g_ThemeArrowTextures[2], g_ThemeArrowTextures[3]), OnThemeListNext,
        nullptr);
    g_ThemeLogo = new CMenuImage(p, Picture(0.61f, 0.4f, 0.9f, 0.9f, 1.0f, nullptr, nullptr), nullptr, nullptr);

    MenuTextStyle style = Style(0.37f, 0.75f, 0xF0F0F0FF);
    CMenuButton* random =
        new CMenuButton(p, &style, nullptr, "Random theme on startup", nullptr, true, OnRandomThemeOption, false, true);
    const MenuTextStyle listNormal{g_TexturedFont, 0.7f, 0.75f, 0.04f, 0.04f, 0.0f, 0xE0E0E0E0, 0};
    const MenuTextStyle listSelected{g_TexturedFont, 0.7f, 0.75f, 0.041f, 0.041f, 0.0f, 0xF0F0F0F0, 0};
    g_RandomThemeList = new CMenuOptionList(random, &listNormal, &listSelected, {"no", "yes"});
    style = Style(0.37f, 0.8f, 0xE0E0FFE0);
    new CMenuButton(p, &style, nullptr, "more themes", nullptr, true, OnMoreThemes, false, true);
    style = Style(0.411f, 0.9f, 0xF0F0F0F0, 1);
    new CMenuButton(p, &style, nullptr, "Apply", nullptr, true, OnApplyTheme, false, true);
    style = Style(0.625f, 0.9f, 0xF0F0F0F0, 1);
    new CMenuButton(p, &style, nullptr, "Back", g_MainMenuPage, true, nullptr, true, true);
}

void RefreshThemesPage() {
    const int count = static_cast<int>(g_themeButtons.size());
    const std::string& current = g_CurrentThemeName;
    for (int n = 0; n < count; ++n) {
        const std::string& name = g_themeNames[static_cast<size_t>(n)];
        g_themeButtons[static_cast<size_t>(n)]->m_text = name == current ? "[ " + name + " ]" : name;
        SetShown(g_themeButtons[static_cast<size_t>(n)],
                 5 * g_ThemeScrollPage <= n && n < 5 * (g_ThemeScrollPage + 1));
    }
    SetShown(g_ThemeNextArrow, 5 * (g_ThemeScrollPage + 1) < count);
    SetShown(g_ThemePrevArrow, g_ThemeScrollPage != 0);
    g_RandomThemeList->SetIndex(settings::ReadInt(settings::Id::RandomTheme));
    UpdateThemeLogo();
}

void OnThemeListPrev() {
    if (g_ThemeScrollPage > 0) --g_ThemeScrollPage;
    RefreshThemesPage();
}

void OnThemeListNext() {
    ++g_ThemeScrollPage;
    RefreshThemesPage();
}

void OnSelectTheme() {
    for (size_t n = 0; n < g_themeButtons.size(); ++n) g_themeButtons[n]->m_text = g_themeNames[n];
    for (CMenuButton* button : g_themeButtons)
        if (button == g_ThemesPage->m_selected) button->m_text = "[ " + button->m_text + " ]";
    UpdateThemeLogo();
}

void UpdateThemeLogo() {
    const int marked = MarkedTheme();
    if (marked < 0) return;
    CTextureEntry* logo = nullptr;
    const auto& logos = CThemeManager::GetInstance()->m_themeLogos;
    auto found = logos.find(g_themeNames[static_cast<size_t>(marked)]);
    if (found != logos.end() && found->second && found->second->m_pTexture) logo = found->second;
    g_ThemeLogo->m_visible = logo != nullptr;
    if (logo) g_ThemeLogo->m_picture.normalTexture = g_ThemeLogo->m_picture.selectedTexture = logo;
}

void OnRandomThemeOption() { settings::WriteInt(settings::Id::RandomTheme, g_RandomThemeList->GetIndex()); }

void OnApplyTheme() {
    const int marked = MarkedTheme();
    if (marked < 0) return;
    const std::string name = g_themeNames[static_cast<size_t>(marked)];
    g_CurrentThemeName = name;
    settings::WriteText(settings::Id::Theme, name);
    CThemeManager* themes = CThemeManager::GetInstance();
    themes->UnloadTheme();
    auto folder = themes->m_themeFolders.find(name);
    if (folder != themes->m_themeFolders.end()) themes->LoadTheme(folder->second, true);
    UpdateThemeLogo();
}

void OnMoreThemes() { ShellExecuteA(nullptr, "open", "more_themes.url", nullptr, nullptr, 1); }
