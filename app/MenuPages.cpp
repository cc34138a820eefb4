#include "app/MenuPages.h"

#include <shellapi.h>
#include <win32.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

#include "app/GameFlow.h"
#include "app/Highscores.h"
#include "app/MenuButton.h"
#include "app/MenuImage.h"
#include "app/MenuManager.h"
#include "app/MenuOptionList.h"
#include "app/MenuPage.h"
#include "app/MenuSlider.h"
#include "app/MenuText.h"
#include "app/MenuTitle.h"
#include "app/WindowProc.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/GeneralParameters.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Settings.h"
#include "engine/TextureManager.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"

CMenuPage* g_MainMenuPage = nullptr;
CMenuPage* g_NewGamePage = nullptr;
CMenuPage* g_OptionsPage = nullptr;
CMenuPage* g_HighscoresPage = nullptr;
CMenuPage* g_CreditsPage = nullptr;
CMenuPage* g_GraphicsPage = nullptr;
CMenuPage* g_SoundPage = nullptr;
CMenuPage* g_GameOptionsPage = nullptr;
CMenuPage* g_ThemesPage = nullptr;

CMenuButton* g_ReturnToGameButton = nullptr;
CMenuButton* g_HighscoresBack = nullptr;
CMenuButton* g_HighscoresReset = nullptr;
CMenuButton* g_StartButton = nullptr;
CMenuOptionList* g_GameTypeList = nullptr;
CMenuOptionList* g_DifficultyList = nullptr;
CMenuOptionList* g_FallTypeList = nullptr;
CMenuButton* g_ResolutionButton = nullptr;
CMenuOptionList* g_ResolutionList = nullptr;
CMenuOptionList* g_ColorDepthList = nullptr;
CMenuOptionList* g_FullScreenList = nullptr;
CMenuOptionList* g_FrameDetailsList = nullptr;
CMenuOptionList* g_BlocksDetailsList = nullptr;
CMenuSlider* g_BackgroundSlider = nullptr;
CMenuSlider* g_GameSoundsSlider = nullptr;
CMenuSlider* g_MusicSlider = nullptr;
CMenuOptionList* g_FrameTypeList = nullptr;
CMenuSlider* g_FrameOpacitySlider = nullptr;
CMenuImage* g_ThemePrevArrow = nullptr;
CMenuImage* g_ThemeNextArrow = nullptr;
CMenuImage* g_ThemeLogo = nullptr;
CMenuOptionList* g_RandomThemeList = nullptr;
int32_t g_ThemeScrollPage = 0;
CTextureEntry* g_ThemeArrowTextures[4] = {};

namespace {

const uint32_t kItemColor = 0xF0F0F0F0;

MenuTextStyle Style(float x, float y, float size, uint32_t color = kItemColor, uint32_t flags = 0) {
    return MenuTextStyle{g_TexturedFont, x, y, size, size, 0.0f, color, flags};
}

// Buttons default to enabled, not back, taking the value keys.
CMenuButton* Button(CMenuPage* page, const MenuTextStyle& style, const char* text, CMenuPage* target,
                    MenuCallback action, bool back = false, bool value = true, bool enabled = true) {
    return new CMenuButton(page, &style, nullptr, text, target, enabled, action, back, value);
}

CMenuOptionList* OptionList(CMenuButton* row, const std::vector<std::string>& texts, float x = 0.6f) {
    const MenuTextStyle normal = Style(x, row->m_style.y, 0.04f, 0xE0E0E0E0);
    const MenuTextStyle selected = Style(x, row->m_style.y, 0.041f, 0xF0F0F0F0);
    return new CMenuOptionList(row, &normal, &selected, texts);
}

CMenuSlider* Slider(CMenuButton* row, SliderCallback action) {
    return new CMenuSlider(row, 0.6f, row->m_style.y, action, nullptr, 0.0f, 1.0f, 0);
}

CMenuPage* Page(const char* title, float x) {
    CMenuPage* page = new CMenuPage(nullptr);
    const MenuTextStyle style = Style(x, 0.3f, 0.065f, 0xE0A0FFFF);
    new CMenuTitle(page, &style, title);
    return page;
}

CMenuText* Text(CMenuPage* page, const MenuTextStyle& style, const char* text) {
    return new CMenuText(page, &style, &style, text, nullptr, false, nullptr, false);
}

void BuildMainMenu() {
    CMenuPage* p = g_MainMenuPage;
    Button(p, Style(0.372f, 0.4f, 0.06f), "new game", g_NewGamePage, OnOpenNewGamePage);
    Button(p, Style(0.372f, 0.46f, 0.06f), "themes", g_ThemesPage, RefreshThemesPage);
    Button(p, Style(0.372f, 0.52f, 0.06f), "options", g_OptionsPage, nullptr);
    Button(p, Style(0.372f, 0.58f, 0.06f), "high scores", g_HighscoresPage, RefreshHighscoresPage);
    Button(p, Style(0.372f, 0.64f, 0.06f), "credits", g_CreditsPage, nullptr);
    Button(p, Style(0.372f, 0.72f, 0.06f), "exit", nullptr, OnExit);
    g_ReturnToGameButton =
        Button(p, Style(0.372f, 0.9f, 0.06f), "return to game", nullptr, OnReturnToGame, true, true, false);
}

void BuildOptions() {
    CMenuPage* p = g_OptionsPage;
    Button(p, Style(0.372f, 0.4f, 0.06f), "graphics", g_GraphicsPage, OnOpenGraphicsPage);
    Button(p, Style(0.372f, 0.46f, 0.06f), "sound", g_SoundPage, OnOpenSoundPage);
    Button(p, Style(0.372f, 0.52f, 0.06f), "controls", nullptr, nullptr);
    Button(p, Style(0.372f, 0.58f, 0.06f), "game", g_GameOptionsPage, OnOpenGamePage);
    Button(p, Style(0.372f, 0.68f, 0.06f), "back", g_MainMenuPage, nullptr, true);
}

void BuildGraphics() {
    CMenuPage* p = g_GraphicsPage;
    const std::vector<std::string> levels = {"low", "medium", "high"};
    g_ResolutionButton = Button(p, Style(0.37f, 0.4f, 0.04f), "Resolution:", nullptr, nullptr);
    g_ResolutionList = OptionList(g_ResolutionButton, {});
    g_ColorDepthList =
        OptionList(Button(p, Style(0.37f, 0.44f, 0.04f), "Color depth:", nullptr, OnColorDepthChanged), {"16", "32"});
    OnColorDepthChanged();
    g_FullScreenList = OptionList(Button(p, Style(0.37f, 0.48f, 0.04f), "Full screen:", nullptr, nullptr), {"no", "yes"});
    g_FrameDetailsList = OptionList(Button(p, Style(0.37f, 0.54f, 0.04f), "Frame details:", nullptr, nullptr), levels);
    g_BlocksDetailsList = OptionList(Button(p, Style(0.37f, 0.58f, 0.04f), "Blocks details:", nullptr, nullptr), levels);
    Button(p, Style(0.411f, 0.8f, 0.04f, kItemColor, 1), "Apply", g_OptionsPage, OnApplyGraphics, false, false);
    Button(p, Style(0.625f, 0.8f, 0.04f, kItemColor, 1), "Back", g_OptionsPage, nullptr, true);
}

void BuildSound() {
    CMenuPage* p = g_SoundPage;
    g_BackgroundSlider = Slider(Button(p, Style(0.37f, 0.4f, 0.04f), "background sounds: ", nullptr, nullptr),
                                OnBackgroundVolume);
    g_GameSoundsSlider =
        Slider(Button(p, Style(0.37f, 0.45f, 0.04f), "game sounds: ", nullptr, nullptr), OnGameSoundsVolume);
    g_MusicSlider = Slider(Button(p, Style(0.37f, 0.5f, 0.04f), "music: ", nullptr, nullptr), OnMusicVolume);
    Button(p, Style(0.406f, 0.8f, 0.04f, kItemColor, 1), "Back", g_OptionsPage, nullptr, true);
}

void BuildGameOptions() {
    CMenuPage* p = g_GameOptionsPage;
    g_FrameTypeList =
        OptionList(Button(p, Style(0.37f, 0.4f, 0.04f), "frame type: ", nullptr, OnFrameType), {"solid", "segmented"});
    g_FrameOpacitySlider =
        Slider(Button(p, Style(0.37f, 0.45f, 0.04f), "frame opacity: ", nullptr, nullptr), OnFrameOpacity);
    Button(p, Style(0.406f, 0.8f, 0.04f, kItemColor, 1), "Back", g_OptionsPage, nullptr, true);
}

void BuildCredits() {
    CMenuPage* p = g_CreditsPage;
    struct Credit {
        const char* role;
        const char* name;
    };
    static const Credit kCredits[] = {{"Developer: ", "Kolvar team"},
                                      {"Design: ", "Kolvar team"},
                                      {"Animated Background: ", "Kolvar theme artists"},
                                      {"Directed By: ", "Kolvar team"}};
    for (int i = 0; i < 4; ++i) {
        Text(p, Style(0.35f, 0.4f + 0.1f * i, 0.045f, 0xF0F0F0F0), kCredits[i].role);
        Text(p, Style(0.5f, 0.45f + 0.1f * i, 0.03f, 0xD0F0FFFF), kCredits[i].name);
    }
    Button(p, Style(0.406f, 0.85f, 0.04f, 0xD0F0FFFF, 1), "Back", g_MainMenuPage, nullptr, true);
}

void BuildHighscores() {
    CMenuPage* p = g_HighscoresPage;
    for (int i = 0; i < CHighscores::kPlaces; ++i) {
        const float y = 0.42f + 0.033f * i;
        char place[16];
        snprintf(place, sizeof place, "%i", i + 1);
        Text(p, Style(0.37f, y, 0.03f, 0xF0F0F0FF), place);
        g_HighscoreNames[i] = Text(p, Style(0.41f, y, 0.03f, 0xF0F0FFF0), "");
        g_HighscoreScores[i] = Text(p, Style(0.65f, y, 0.03f, 0xF0F0F0F0), "");
    }
    RefreshHighscoresPage();
    g_HighscoresBack = Button(p, Style(0.41f, 0.9f, 0.05f, kItemColor, 1), "Back", g_MainMenuPage, nullptr, true);
    g_HighscoresReset =
        Button(p, Style(0.65f, 0.9f, 0.05f, kItemColor, 1), "Reset", nullptr, OnResetHighscores, false, false);
}

void BuildNewGame() {
    CMenuPage* p = g_NewGamePage;
    g_GameTypeList = OptionList(Button(p, Style(0.369f, 0.45f, 0.045f), "game type: ", nullptr, nullptr),
                                {std::begin(kGameTypeLabels), std::end(kGameTypeLabels)});
    g_DifficultyList = OptionList(Button(p, Style(0.369f, 0.5f, 0.045f), "difficulty: ", nullptr, nullptr),
                                  {std::begin(kDifficultyLabels), std::end(kDifficultyLabels)});
    g_FallTypeList = OptionList(Button(p, Style(0.369f, 0.55f, 0.045f), "figure falls: ", nullptr, nullptr),
                                {"as a brick", "as a ball"});
    g_StartButton =
        Button(p, Style(0.41f, 0.8f, 0.05f, kItemColor, 1), "start", nullptr, OnStartGame, false, false);
    Button(p, Style(0.645f, 0.8f, 0.05f, kItemColor, 1), "back", g_MainMenuPage, nullptr, true);
}

const std::vector<D3DDISPLAYMODE>& ModesOfDepth(int depthIndex) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    return depthIndex == 1 ? engine->GetModes32() : engine->GetModes16();
}

void SetVolume(SoundCategory category, CMenuSlider* slider) {
    CSoundEngine::GetInstance()->m_volumes[category] = slider->m_value;
}

}  // namespace

void BuildMenus() {
    g_ThemeScrollPage = 0;
    CTextureManager* textures = CTextureManager::GetInstance();
    textures->GetTexture(&g_ThemeArrowTextures[0], "prev_theme.tga", false, false, 0.0f);
    textures->GetTexture(&g_ThemeArrowTextures[1], "prev_theme.tga", false, false, 0.0f);
    textures->GetTexture(&g_ThemeArrowTextures[2], "next_theme.tga", false, false, 0.0f);
    textures->GetTexture(&g_ThemeArrowTextures[3], "next_theme.tga", false, false, 0.0f);

    g_MainMenuPage = Page("Main menu", 0.37f);
    g_NewGamePage = Page("Choose your game", 0.36f);
    g_OptionsPage = Page("Options", 0.36f);
    g_HighscoresPage = Page("High scores", 0.36f);
    g_CreditsPage = Page("Credits", 0.36f);
    g_GraphicsPage = Page("Graphics", 0.36f);
    g_SoundPage = Page("Sound", 0.36f);
    g_GameOptionsPage = Page("Game", 0.36f);
    g_ThemesPage = Page("Choose theme:", 0.36f);

    BuildMainMenu();
    BuildOptions();
    BuildGraphics();
    BuildSound();
    BuildGameOptions();
    BuildThemesPage();
    BuildCredits();
    BuildHighscores();
    BuildNewGame();

    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
    ShowMainMenu();
}

void ShowMainMenu() {
    CGameMode* mode = CGameMode::GetInstance();
    if (mode->menuState == CGameMode::kMenuOpen) return;
    if (g_ReturnToGameButton) {
        const bool running = mode->mode == CGameMode::kGameRunning;
        g_ReturnToGameButton->m_enabled = running;
        g_ReturnToGameButton->m_visible = running;
    }
    CMenuManager::GetInstance()->Show();
}

void OnOpenNewGamePage() {
    g_GameTypeList->SetIndex(g_GameType);
    g_DifficultyList->SetIndex(g_Difficulty);
    g_FallTypeList->SetIndex(g_FallType);
    g_NewGamePage->Select(g_StartButton);
}

void OnStartGame() {
    // The menu stays where it is when no game can start.
    if (!GameScriptsReady()) return;
    g_GameType = g_GameTypeList->GetIndex();
    g_Difficulty = g_DifficultyList->GetIndex();
    g_FallType = g_FallTypeList->GetIndex();
    settings::WriteInt(settings::Id::GameType, g_GameType);
    settings::WriteInt(settings::Id::Difficulty, g_Difficulty);
    settings::WriteInt(settings::Id::FallType, g_FallType);
    CMenuManager::GetInstance()->Hide();
    StartGame();
}

void OnReturnToGame() { CMenuManager::GetInstance()->Hide(); }

void OnExit() { g_bExitRequested = true; }

void OnOpenGraphicsPage() {
    CGeneralParameters params;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    engine->GetGeneralParameters(&params);
    const int depth = params.m_Bits == 32 ? 1 : 0;
    g_ColorDepthList->SetIndex(depth);
    g_FullScreenList->SetIndex(params.m_Windowed ? 0 : 1);
    const std::vector<D3DDISPLAYMODE>& modes = ModesOfDepth(depth);
    for (size_t i = 0; i < modes.size(); ++i) {
        if (static_cast<int32_t>(modes[i].Width) == params.m_Width &&
            static_cast<int32_t>(modes[i].Height) == params.m_Height) {
            g_ResolutionList->SetIndex(static_cast<int>(i));
            break;
        }
    }
    g_FrameDetailsList->SetIndex(g_FrameDetails);
    g_BlocksDetailsList->SetIndex(g_BlocksDetails);
}

void OnColorDepthChanged() {
    std::vector<std::string> texts;
    for (const D3DDISPLAYMODE& mode : ModesOfDepth(g_ColorDepthList->GetIndex())) {
        char text[32];
        snprintf(text, sizeof text, "%ix%i", static_cast<int>(mode.Width), static_cast<int>(mode.Height));
        texts.push_back(text);
    }
    g_ResolutionList->SetTexts(texts);
}

void OnApplyGraphics() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const int depthIndex = g_ColorDepthList->GetIndex();
    const std::vector<D3DDISPLAYMODE>& modes = ModesOfDepth(depthIndex);
    const int bits = depthIndex == 1 ? 32 : 16;
    const int index = g_ResolutionList->GetIndex();
    // Without a mode of that depth there is nothing to switch to; keep everything as it is.
    if (index < 0 || index >= static_cast<int>(modes.size())) {
        g_Log.Print("red", "no display modes of %d bits", bits);
        return;
    }
    CGeneralParameters old;
    engine->GetGeneralParameters(&old);
    CGeneralParameters params = old;
    params.m_Windowed = g_FullScreenList->GetIndex() == 0;
    params.m_Bits = bits;
    params.m_Width = static_cast<int32_t>(modes[static_cast<size_t>(index)].Width);
    params.m_Height = static_cast<int32_t>(modes[static_cast<size_t>(index)].Height);
    if (!engine->SetGeneralParameters(&params)) {
        g_Log.PrintBold("red", "set general params failed... ");
        engine->SetGeneralParameters(&old);
    }
    g_FrameDetails = g_FrameDetailsList->GetIndex();
    g_BlocksDetails = g_BlocksDetailsList->GetIndex();
    settings::WriteInt(settings::Id::ScreenW, params.m_Width);
    settings::WriteInt(settings::Id::ScreenH, params.m_Height);
    settings::WriteInt(settings::Id::Fullscreen, params.m_Windowed ? 0 : 1);
    settings::WriteInt(settings::Id::Bits, bits);
    settings::WriteInt(settings::Id::FrameDetails, g_FrameDetails);
    settings::WriteInt(settings::Id::BlocksDetails, g_BlocksDetails);
}

void OnOpenSoundPage() {
    CSoundEngine* sound = CSoundEngine::GetInstance();
    g_BackgroundSlider->m_value = sound->m_volumes[kBackgroundSound];
    g_GameSoundsSlider->m_value = sound->m_volumes[kGameSound];
    g_MusicSlider->m_value = sound->m_volumes[kMusicSound];
}

void OnBackgroundVolume(CMenuSlider* slider) { SetVolume(kBackgroundSound, slider); }

void OnGameSoundsVolume(CMenuSlider* slider) { SetVolume(kGameSound, slider); }

void OnMusicVolume(CMenuSlider* slider) {
    SetVolume(kMusicSound, slider);
    CSoundEngine* sound = CSoundEngine::GetInstance();
    if (sound->m_musicPlayer) sound->m_musicPlayer->SetVolume(slider->m_value);
}

void OnOpenGamePage() {
    g_FrameOpacitySlider->m_value = g_FrameOpacity;
    g_FrameTypeList->SetIndex(g_FrameType);
}

void OnFrameOpacity(CMenuSlider* slider) { g_FrameOpacity = slider->m_value; }

void OnFrameType() { g_FrameType = g_FrameTypeList->GetIndex(); }

void OnResetHighscores() {
    CHighscores* table = CHighscores::GetInstance();
    table->Clear();
    table->Save();
    RefreshHighscoresPage();
}

