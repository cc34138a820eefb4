#pragma once

#include <cstdint>

class CMenuButton;
class CMenuImage;
class CMenuOptionList;
class CMenuPage;
class CMenuSlider;
class CMenuText;
class CTextureEntry;

// Builds every page once at start-up and opens the menu on the Main menu.
void BuildMenus();
// The Choose theme page, from the themes known at start-up.
void BuildThemesPage();

// The pages, in the order they are created.
extern CMenuPage* g_MainMenuPage;
extern CMenuPage* g_NewGamePage;
extern CMenuPage* g_OptionsPage;
extern CMenuPage* g_HighscoresPage;
extern CMenuPage* g_CreditsPage;
extern CMenuPage* g_GraphicsPage;
extern CMenuPage* g_SoundPage;
extern CMenuPage* g_GameOptionsPage;
extern CMenuPage* g_ThemesPage;

// Widgets the actions and the game flow read.
extern CMenuButton* g_ReturnToGameButton;
extern CMenuButton* g_HighscoresBack;
extern CMenuButton* g_HighscoresReset;
extern CMenuButton* g_StartButton;
extern CMenuOptionList* g_GameTypeList;
extern CMenuOptionList* g_DifficultyList;
extern CMenuOptionList* g_FallTypeList;
extern CMenuButton* g_ResolutionButton;
extern CMenuOptionList* g_ResolutionList;
extern CMenuOptionList* g_ColorDepthList;
extern CMenuOptionList* g_FullScreenList;
extern CMenuOptionList* g_FrameDetailsList;
extern CMenuOptionList* g_BlocksDetailsList;
extern CMenuSlider* g_BackgroundSlider;
extern CMenuSlider* g_GameSoundsSlider;
extern CMenuSlider* g_MusicSlider;
extern CMenuOptionList* g_FrameTypeList;
extern CMenuSlider* g_FrameOpacitySlider;
extern CMenuImage* g_ThemePrevArrow;
extern CMenuImage* g_ThemeNextArrow;
extern CMenuImage* g_ThemeLogo;
extern CMenuOptionList* g_RandomThemeList;
extern int32_t g_ThemeScrollPage;
extern CTextureEntry* g_ThemeArrowTextures[4];  // prev, prev lit, next, next lit

void OnOpenNewGamePage();
void OnStartGame();
void OnReturnToGame();
void OnExit();
void OnOpenGraphicsPage();
void OnColorDepthChanged();
void OnApplyGraphics();
void OnOpenSoundPage();
void OnBackgroundVolume(CMenuSlider* slider);
void OnGameSoundsVolume(CMenuSlider* slider);
void OnMusicVolume(CMenuSlider* slider);
void OnOpenGamePage();
void OnFrameOpacity(CMenuSlider* slider);
void OnFrameType();
void OnResetHighscores();
void RefreshThemesPage();
void OnThemeListPrev();
void OnThemeListNext();
void OnSelectTheme();
void UpdateThemeLogo();
void OnRandomThemeOption();
void OnApplyTheme();
void OnMoreThemes();

