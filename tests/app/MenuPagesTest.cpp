// The game's pages built by BuildMenus, driven through the menu input codes
// (0 Left, 1 Right, 2 Up, 3 Down, 4 Enter, 5 Escape) and their actions.
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/GameFlow.h"
#include "app/Highscores.h"
#include "app/MenuButton.h"
#include "app/MenuImage.h"
#include "app/MenuOptionList.h"
#include "app/MenuPage.h"
#include "app/MenuPages.h"
#include "app/MenuSlider.h"
#include "app/MenuText.h"
#include "app/ThemeManager.h"
#include "app/WindowProc.h"
#include "audio/SoundEngine.h"
#include "engine/Ini.h"
#include "engine/Log.h"
#include "engine/TextureEntry.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "game/Hud.h"
#include "tests/app/MenuTestEnv.h"
#include "tests/engine/TextFit.h"

namespace {

using menutest::MenuEnv;

D3DDISPLAYMODE Mode(UINT w, UINT h, D3DFORMAT format) { return {w, h, 60, format}; }

class MenuPagesTest : public MenuEnv {
protected:
    void BeforeEngine() override {
        d3d9hooks::SetAdapterModes(D3DFMT_R5G6B5, {Mode(640, 480, D3DFMT_R5G6B5), Mode(800, 600, D3DFMT_R5G6B5)});
        d3d9hooks::SetAdapterModes(D3DFMT_X8R8G8B8, {Mode(800, 600, D3DFMT_X8R8G8B8), Mode(1024, 768, D3DFMT_X8R8G8B8),
                                                     Mode(1280, 1024, D3DFMT_X8R8G8B8)});
    }
    void SetUp() override {
        MenuEnv::SetUp();
        if (IsSkipped() || HasFatalFailure()) return;
        WriteIniString("config.ini", "highscores", "local_scores_file", "highscores.dat");
        g_TexturedFont = m_font;
        g_GameType = g_Difficulty = g_FallType = g_FrameType = g_FrameDetails = g_BlocksDetails = 0;
        g_bExitRequested = false;
        g_bNameEntry = false;
        // "start" starts a game only with the scripts a game needs.
        g_FieldScriptPath = "data\\scripts\\field\\field.txt";
        g_FieldAnimScriptPath = "data\\scripts\\field\\field_anim.txt";
        g_FigureScriptPath = "data\\scripts\\figure\\figure.txt";
        MakeFixtures();
        BuildMenus();
    }
    virtual void MakeFixtures() {}
    void TearDown() override {
        gameloop::DeleteGamePlay();
        g_TexturedFont = nullptr;
        g_bExitRequested = false;
        g_bNameEntry = false;
        MenuEnv::TearDown();
    }

    CMenuPage* Current() const { return m_manager->GetCurrentPage(); }
    // The first button of the page with this text.
    CMenuButton* Find(CMenuPage* page, const char* text) const {
        for (CMenuItem* item : page->m_items)
            if (auto* b = dynamic_cast<CMenuButton*>(item))
                if (b->m_text == text) return b;
        return nullptr;
    }
    void Activate(CMenuPage* page, const char* text, MenuCode input = kMenuActivate) {
        m_manager->SetCurrentPage(page);
        CMenuButton* button = Find(page, text);
        ASSERT_NE(button, nullptr) << text;
        ASSERT_TRUE(page->Select(button));
        m_manager->OnInput(input);
    }
    // The game over as the shell ends it: the score on the HUD, the menu closed.
    void GameOverWith(int score) {
        CHud::GetInstance()->score = score;
        CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
        OnGameOverFinished();
    }
    std::string Ini(const char* section, const char* key) const {
        return ReadIniString("config.ini", section, key);
    }
    std::string LogText() const {
        return testutil::ReadFile(std::string(g_Log.GetStartDirectory()) + "/log.html");
    }
};

TEST_F(MenuPagesTest, OpensOnTheMainMenuWithoutReturnToGame) {
    EXPECT_EQ(Current(), g_MainMenuPage);
    EXPECT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuOpening);
    EXPECT_EQ(g_MainMenuPage->m_selected, Find(g_MainMenuPage, "new game"));
    EXPECT_FALSE(g_ReturnToGameButton->m_enabled);
    EXPECT_FALSE(g_ReturnToGameButton->m_visible);
    // Escape reaches only the disabled "return to game": nothing happens.
    m_manager->OnInput(kMenuBack);
    EXPECT_EQ(Current(), g_MainMenuPage);
    EXPECT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuOpening);
}

TEST_F(MenuPagesTest, ReturnToGameShowsOnlyOverARunningGame) {
    CGameMode* mode = CGameMode::GetInstance();
    mode->menuState = CGameMode::kMenuClosed;
    mode->mode = CGameMode::kGameRunning;
    ShowMainMenu();
    EXPECT_TRUE(g_ReturnToGameButton->m_enabled && g_ReturnToGameButton->m_visible);
    m_manager->OnInput(kMenuBack);
    EXPECT_EQ(mode->menuState, CGameMode::kMenuClosing);
}

TEST_F(MenuPagesTest, ValueKeysOnButtonsWithoutValues) {
    struct Case {
        CMenuPage** page;
        const char* text;
        bool exits;
    } cases[] = {{&g_MainMenuPage, "exit", true},    {&g_NewGamePage, "start", false},
                 {&g_HighscoresPage, "Reset", false}, {&g_GraphicsPage, "Apply", false},
                 {&g_OptionsPage, "controls", false}};
    for (const Case& c : cases) {
        for (MenuCode input : {kMenuValueDown, kMenuValueUp}) {
            g_bExitRequested = false;
            const std::string before = testutil::ReadFile("config.ini");
            Activate(*c.page, c.text, input);
            EXPECT_EQ(g_bExitRequested, c.exits) << c.text << " " << input;
            EXPECT_EQ(Current(), *c.page) << c.text;
            EXPECT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuOpening) << c.text;
            EXPECT_EQ(testutil::ReadFile("config.ini"), before) << c.text;
        }
    }
    // Enter on "controls" leads nowhere either.
    Activate(g_OptionsPage, "controls");
    EXPECT_EQ(Current(), g_OptionsPage);
}

TEST_F(MenuPagesTest, ColorDepthListFillsTheResolutionsOfThatDepth) {
    EXPECT_EQ(g_ResolutionList->GetCount(), 2);  // 16-bit modes at build time
    EXPECT_STREQ(g_ResolutionList->GetText(), "640x480");
    g_ResolutionList->SetIndex(1);
    g_ColorDepthList->SetIndex(1);
    OnColorDepthChanged();
    ASSERT_EQ(g_ResolutionList->GetCount(), 3);
    EXPECT_EQ(g_ResolutionList->GetIndex(), 0);
    g_ResolutionList->SetIndex(2);
    EXPECT_STREQ(g_ResolutionList->GetText(), "1280x1024");
}

TEST_F(MenuPagesTest, GraphicsPageShowsTheCurrentSettings) {
    g_FrameDetails = 2;
    g_BlocksDetails = 1;
    g_ColorDepthList->SetIndex(1);
    OnColorDepthChanged();
    Activate(g_OptionsPage, "graphics");
    EXPECT_EQ(Current(), g_GraphicsPage);
    EXPECT_EQ(g_ColorDepthList->GetIndex(), 1);  // the engine runs at 32 bits
    EXPECT_EQ(g_FullScreenList->GetIndex(), 0);
    EXPECT_STREQ(g_ResolutionList->GetText(), "1024x768");
    EXPECT_EQ(g_FrameDetailsList->GetIndex(), 2);
    EXPECT_EQ(g_BlocksDetailsList->GetIndex(), 1);
}

TEST_F(MenuPagesTest, ApplyWritesTheChosenModeAlsoWhenItIsRefused) {
    for (bool refused : {false, true}) {
        g_ColorDepthList->SetIndex(1);
        OnColorDepthChanged();
        g_ResolutionList->SetIndex(refused ? 2 : 0);
        g_FrameDetailsList->SetIndex(2);
        g_BlocksDetailsList->SetIndex(1);
        if (refused) d3d9hooks::FailReset(D3DERR_INVALIDCALL, 1);
        const size_t logStart = LogText().size();
        OnApplyGraphics();
        const std::string log = LogText().substr(logStart);
        EXPECT_EQ(log.find("set general params failed... ") != std::string::npos, refused);
        const char* const written[][2] = {{"screen_w", refused ? "1280" : "800"}, {"screen_h", refused ? "1024" : "600"},
                                          {"fullscreen", "0"}, {"bits", "32"}, {"frame_details", "2"},
                                          {"blocks_details", "1"}};
        for (const auto& [key, value] : written) EXPECT_EQ(Ini("graphics", key), value) << key;
        EXPECT_EQ(g_FrameDetails, 2);
        // The refused mode leaves the engine on the mode it had.
        EXPECT_EQ(CGraphicsEngine::GetInstance()->GetScreenWidth(), 800);
    }
}

// An adapter without 16-bit modes.
class MenuPagesNoModesTest : public MenuPagesTest {
protected:
    void BeforeEngine() override {
        MenuPagesTest::BeforeEngine();
        d3d9hooks::SetAdapterModes(D3DFMT_R5G6B5, {});
    }
};

TEST_F(MenuPagesNoModesTest, ApplyWithNoModesOfTheDepthChangesNothing) {
    EXPECT_EQ(g_ResolutionList->GetCount(), 0);
    g_FrameDetailsList->SetIndex(2);
    OnApplyGraphics();
    EXPECT_NE(LogText().find("no display modes of 16 bits"), std::string::npos);
    EXPECT_EQ(Ini("graphics", "bits"), "");
    EXPECT_EQ(g_FrameDetails, 0);
    EXPECT_EQ(CGraphicsEngine::GetInstance()->GetScreenWidth(), 1024);
}

TEST_F(MenuPagesTest, NewGamePageShowsTheSettingsAndStartWritesThem) {
    WriteIniInt("config.ini", "game", "fall_type", 1);
    g_GameType = kColorGame;
    g_Difficulty = 2;
    Activate(g_MainMenuPage, "new game");
    EXPECT_EQ(Current(), g_NewGamePage);
    EXPECT_EQ(g_GameTypeList->GetIndex(), 1);
    EXPECT_EQ(g_DifficultyList->GetIndex(), 2);
    EXPECT_STREQ(g_FallTypeList->GetText(), "as a brick");
    EXPECT_EQ(g_NewGamePage->m_selected, g_StartButton);

    g_DifficultyList->SetIndex(3);
    g_FallTypeList->SetIndex(1);
    m_manager->OnInput(kMenuActivate);
    EXPECT_EQ(Ini("game", "game_type"), "1");
    EXPECT_EQ(Ini("game", "difficulty"), "3");
    EXPECT_EQ(Ini("game", "fall_type"), "1");
    EXPECT_EQ(g_Difficulty, 3);
    EXPECT_EQ(g_FallType, 1);
    EXPECT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuClosing);
}

// The page opens on "start", so a second Enter starts the game and Down walks on
// from "start" rather than from the first list.
TEST_F(MenuPagesTest, EnterTwiceThroughTheWindowStartsAGame) {
    WndProc(nullptr, WM_KEYDOWN, VK_RETURN, 0);
    ASSERT_EQ(Current(), g_NewGamePage);
    WndProc(nullptr, WM_KEYDOWN, VK_DOWN, 0);
    EXPECT_EQ(g_NewGamePage->m_selected, Find(g_NewGamePage, "back"));
    WndProc(nullptr, WM_KEYDOWN, VK_UP, 0);
    WndProc(nullptr, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuClosing);
    EXPECT_EQ(CGameMode::GetInstance()->gameState, CGameMode::kFieldAppearing);
}

TEST_F(MenuPagesTest, SoundAndGameSlidersSetTheSettings) {
    CSoundEngine* sound = CSoundEngine::GetInstance();
    sound->m_volumes[0] = 0.25f;
    sound->m_volumes[2] = 0.75f;
    Activate(g_OptionsPage, "sound");
    EXPECT_FLOAT_EQ(g_BackgroundSlider->m_value, 0.25f);
    EXPECT_FLOAT_EQ(g_MusicSlider->m_value, 0.75f);
    m_manager->OnInput(kMenuNext);  // "game sounds: "
    m_manager->OnInput(kMenuValueUp);
    EXPECT_FLOAT_EQ(sound->m_volumes[1], g_GameSoundsSlider->m_value);
    EXPECT_NE(g_GameSoundsSlider->m_value, 0.5f);

    g_FrameOpacity = 0.5f;
    g_FrameType = 1;
    Activate(g_OptionsPage, "game");
    EXPECT_FLOAT_EQ(g_FrameOpacitySlider->m_value, 0.5f);
    EXPECT_EQ(g_FrameTypeList->GetIndex(), 1);
    m_manager->OnInput(kMenuValueUp);  // frame type wraps to "solid"
    EXPECT_EQ(g_FrameType, 0);
    m_manager->OnInput(kMenuNext);
    m_manager->OnInput(kMenuValueDown);
    EXPECT_FLOAT_EQ(g_FrameOpacity, g_FrameOpacitySlider->m_value);
    EXPECT_LT(g_FrameOpacity, 0.5f);
}

TEST_F(MenuPagesTest, ResetEmptiesAndSavesTheTable) {
    CHighscores* table = CHighscores::GetInstance();
    table->AddScore(500);
    strcpy(table->m_entries[0].name, "Ann");
    RefreshHighscoresPage();
    EXPECT_STREQ(g_HighscoreNames[0]->GetText(), "Ann");
    Activate(g_HighscoresPage, "Reset");
    EXPECT_STREQ(g_HighscoreNames[0]->GetText(), "Empty");
    EXPECT_STREQ(g_HighscoreScores[0]->GetText(), "0");
    EXPECT_EQ(testutil::ReadFile("highscores.dat").size(), 2600u);
}

TEST_F(MenuPagesTest, GoodScoreOpensTheNameEntry) {
    CHighscores* table = CHighscores::GetInstance();
    for (int i = 0; i < CHighscores::kPlaces; ++i) table->m_entries[i].score = 1000 - 100 * i;
    GameOverWith(700);
    EXPECT_EQ(Current(), g_HighscoresPage);
    EXPECT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuOpening);
    EXPECT_TRUE(g_bNameEntry);
    EXPECT_EQ(g_NameEntryPlace, 3);
    EXPECT_EQ(g_HighscoresPage->m_selected, nullptr);
    EXPECT_FALSE(g_HighscoresBack->m_enabled);
    EXPECT_FALSE(g_HighscoresReset->m_enabled);
    EXPECT_STREQ(g_HighscoreScores[3]->GetText(), "700");
}

TEST_F(MenuPagesTest, PoorScoreOpensTheTableWithoutEntry) {
    CHighscores* table = CHighscores::GetInstance();
    for (int i = 0; i < CHighscores::kPlaces; ++i) table->m_entries[i].score = 1000;
    GameOverWith(10);
    EXPECT_EQ(Current(), g_HighscoresPage);
    EXPECT_FALSE(g_bNameEntry);
    EXPECT_TRUE(g_HighscoresBack->m_enabled && g_HighscoresReset->m_enabled);
}

TEST_F(MenuPagesTest, EnterStoresTheTypedNameOrNoname) {
    struct Case {
        const char* typed;
        const char* stored;
    } cases[] = {{"Ana", "Ana"}, {"   ", "Noname"}, {"", "Noname"}, {" x ", " x "}};
    for (const Case& c : cases) {
        CHighscores::GetInstance()->Clear();
        GameOverWith(50);
        ASSERT_TRUE(g_bNameEntry);
        strcpy(g_EnteredName, c.typed);
        EndNameEntry();
        EXPECT_FALSE(g_bNameEntry);
        EXPECT_TRUE(g_HighscoresBack->m_enabled && g_HighscoresReset->m_enabled);
        EXPECT_EQ(g_HighscoresPage->m_selected, g_HighscoresBack);
        EXPECT_STREQ(g_HighscoreNames[0]->GetText(), c.stored);
        const std::string file = testutil::ReadFile("highscores.dat");
        ASSERT_EQ(file.size(), 2600u);
        EXPECT_STREQ(file.c_str(), c.stored);
    }
}

// Seven themes "Theme 0".."Theme 6" in folders t0..t6; all but the last have a logo.
class MenuThemesPageTest : public MenuPagesTest {
protected:
    void MakeFixtures() override {
        for (int i = 0; i < 7; ++i) {
            const std::string folder = "themes/t" + std::to_string(i);
            std::filesystem::create_directories(m_dir.file(folder));
            testutil::WriteFile(m_dir.file(folder + "/info.ini"), "[general]\r\nname=Theme " + std::to_string(i) + "\r\n");
            testutil::WriteFile(m_dir.file(folder + "/script.txt"), "-- nothing to draw\n");
            if (i < 6)
                std::filesystem::copy_file(m_dir.file("data/textures/bomb_on.png"), m_dir.file(folder + "/logo.png"));
        }
        WriteIniString("config.ini", "game", "theme", "Theme 1");
        g_CurrentThemeName = "Theme 1";
    }
    std::vector<std::string> Shown() const {
        std::vector<std::string> texts;
        for (CMenuItem* item : g_ThemesPage->m_items)
            if (auto* b = dynamic_cast<CMenuButton*>(item))
                if (b->m_callback == OnSelectTheme && b->m_visible && b->m_enabled) texts.push_back(b->m_text);
        return texts;
    }
};

TEST_F(MenuThemesPageTest, FiveThemesPerScreenWithTheArrowsThatLeadOn) {
    Activate(g_MainMenuPage, "themes");
    ASSERT_EQ(Current(), g_ThemesPage);
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Theme 0", "[ Theme 1 ]", "Theme 2", "Theme 3", "Theme 4"}));
    EXPECT_TRUE(g_ThemeNextArrow->m_visible);
    EXPECT_FALSE(g_ThemePrevArrow->m_visible);
    OnThemeListNext();
    EXPECT_EQ(Shown(), (std::vector<std::string>{"Theme 5", "Theme 6"}));
    EXPECT_FALSE(g_ThemeNextArrow->m_visible);
    EXPECT_TRUE(g_ThemePrevArrow->m_visible);
    OnThemeListPrev();
    OnThemeListPrev();  // not below the first screen
    EXPECT_EQ(g_ThemeScrollPage, 0);
}

TEST_F(MenuThemesPageTest, SelectingMarksTheThemeAndShowsItsLogo) {
    Activate(g_MainMenuPage, "themes");
    Activate(g_ThemesPage, "Theme 3");
    EXPECT_EQ(Find(g_ThemesPage, "[ Theme 3 ]"), g_ThemesPage->m_selected);
    EXPECT_NE(Find(g_ThemesPage, "Theme 1"), nullptr);
    EXPECT_TRUE(g_ThemeLogo->m_visible);
    EXPECT_EQ(g_ThemeLogo->m_picture.normalTexture, CThemeManager::GetInstance()->m_themeLogos["Theme 3"]);
    OnThemeListNext();
    Activate(g_ThemesPage, "Theme 6");
    EXPECT_FALSE(g_ThemeLogo->m_visible);
}

TEST_F(MenuThemesPageTest, BackKeepsTheThemeApplySwitchesIt) {
    Activate(g_MainMenuPage, "themes");
    Activate(g_ThemesPage, "Theme 4");
    const std::string before = testutil::ReadFile("config.ini");
    Activate(g_ThemesPage, "Back");
    EXPECT_EQ(Current(), g_MainMenuPage);
    EXPECT_EQ(testutil::ReadFile("config.ini"), before);
    EXPECT_EQ(g_CurrentThemeName, "Theme 1");

    Activate(g_MainMenuPage, "themes");
    Activate(g_ThemesPage, "Theme 4");
    const size_t logStart = LogText().size();
    Activate(g_ThemesPage, "Apply");
    EXPECT_EQ(g_CurrentThemeName, "Theme 4");
    EXPECT_EQ(Ini("game", "theme"), "Theme 4");
    EXPECT_NE(LogText().find("loading from theme folder: (t4)", logStart), std::string::npos);
}

TEST_F(MenuThemesPageTest, RandomOptionIsStored) {
    WriteIniInt("config.ini", "preloader_themes", "random", 1);
    Activate(g_MainMenuPage, "themes");
    EXPECT_EQ(g_RandomThemeList->GetIndex(), 1);
    Activate(g_ThemesPage, "Random theme on startup", kMenuValueUp);
    EXPECT_EQ(Ini("preloader_themes", "random"), "0");
}

TEST_F(MenuPagesTest, MoreThemesOpensTheShortcutShown) {
    const std::string record = m_dir.file("shell.log");
    setenv("KOLVAR_SHELL_LOG", record.c_str(), 1);
    testutil::WriteFile("more_themes.url", "[InternetShortcut]\r\nURL=file:///nowhere/more_themes.html\r\n");
    Activate(g_ThemesPage, "more themes");
    unsetenv("KOLVAR_SHELL_LOG");
    const std::string log = testutil::ReadFile(record);
    EXPECT_EQ(log.substr(0, 21), "open\tmore_themes.url\t");
    EXPECT_EQ(log.substr(log.size() - 3), "\t1\n");
}

// Every text of every page (each option text, the widest scores) lies inside
// the screen at 4:3 and 16:9, and no picture of the themes page covers a text:
// the shipped themes' logos with each theme marked.
class MenuFitTest : public MenuPagesTest, public testing::WithParamInterface<textfit::ScreenMode> {
protected:
    struct Box {
        float left, top, right, bottom;
        std::string text;
    };
    void BeforeEngine() override {
        MenuPagesTest::BeforeEngine();
        d3d9hooks::SetAdapterModes(D3DFMT_X8R8G8B8, {Mode(1024, 768, D3DFMT_X8R8G8B8), Mode(1280, 720, D3DFMT_X8R8G8B8),
                                                     Mode(1600, 900, D3DFMT_X8R8G8B8), Mode(1920, 1080, D3DFMT_X8R8G8B8)});
    }
    void MakeFixtures() override {
        ASSERT_EQ(symlink((std::string(getenv("KOLVAR_GAME_DIR")) + "/themes").c_str(), m_dir.file("themes").c_str()), 0);
        CGeneralParameters params;
        ASSERT_TRUE(CGraphicsEngine::GetInstance()->GetGeneralParameters(&params));
        params.m_Width = GetParam().width;
        params.m_Height = GetParam().height;
        ASSERT_TRUE(CGraphicsEngine::GetInstance()->SetGeneralParameters(&params));
    }
    static Box TextBox(const MenuTextStyle& style, const char* text) {
        float w = 0.0f, h = 0.0f;
        MeasureText(style, text, 0.0f, &w, &h);
        const bool centred = style.flags & 1;
        const float left = centred ? style.x - w / 2 : style.x, top = centred ? style.y - h / 2 : style.y;
        return Box{left, top, left + w, top + h, text};
    }
    // Every text a page can show: its items' texts in both styles and every option of their lists.
    static std::vector<Box> Texts(CMenuPage* page, bool visibleOnly) {
        std::vector<Box> boxes;
        for (CMenuItem* item : page->m_items) {
            if (visibleOnly && !item->m_visible) continue;
            if (auto* button = dynamic_cast<CMenuButton*>(item)) boxes.push_back(TextBox(button->m_style, button->m_text.c_str()));
            if (auto* text = dynamic_cast<CMenuText*>(item))
                for (const MenuTextStyle* style : {&text->m_normal, &text->m_selected}) boxes.push_back(TextBox(*style, text->m_text));
            if (auto* list = dynamic_cast<CMenuOptionList*>(item->m_valueWidget))
                for (int i = 0; i < list->GetCount(); ++i)
                    for (const MenuTextStyle* style : {&list->m_normal, &list->m_selected})
                        boxes.push_back(TextBox(*style, list->m_texts + i * CMenuOptionList::kSlot));
        }
        return boxes;
    }
    static bool Overlap(const Box& a, const Box& b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    }
};

TEST_P(MenuFitTest, TextsStayOnTheScreenAndNoPictureCoversOne) {
    CHighscores* table = CHighscores::GetInstance();
    for (HighscoreEntry& entry : table->m_entries) entry.score = textfit::WidestFigure(m_font);
    RefreshHighscoresPage();
    int texts = 0;
    for (CMenuPage* page : m_manager->GetPages()) {
        for (const Box& box : Texts(page, false)) {
            ++texts;
            EXPECT_TRUE(box.left >= 0.0f && box.top >= 0.0f && box.right <= 1.0f && box.bottom <= 1.0f)
                << "\"" << box.text << "\" from " << box.left << "," << box.top << " to " << box.right << "," << box.bottom;
        }
    }
    EXPECT_GT(texts, 100);

    Activate(g_MainMenuPage, "themes");
    for (const char* theme : {"Simple", "Night Sky"}) {
        SCOPED_TRACE(theme);
        Activate(g_ThemesPage, theme);
        ASSERT_TRUE(g_ThemeLogo->m_visible);
        const std::vector<Box> boxes = Texts(g_ThemesPage, true);
        for (CMenuItem* item : g_ThemesPage->m_items) {
            auto* picture = dynamic_cast<CMenuImage*>(item);
            if (!picture || !picture->m_visible) continue;
            picture->HitTest(-1.0f, -1.0f);  // places its rectangle where it is drawn
            const Box drawn{picture->m_rect[0], picture->m_rect[1], picture->m_rect[2], picture->m_rect[3], "picture"};
            EXPECT_TRUE(drawn.right > drawn.left && drawn.right <= 1.0f && drawn.bottom <= 1.0f);
            for (const Box& box : boxes)
                EXPECT_FALSE(Overlap(drawn, box)) << "covers \"" << box.text << "\" from " << drawn.left << ","
                                                  << drawn.top << " to " << drawn.right << "," << drawn.bottom;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Modes, MenuFitTest, testing::ValuesIn(textfit::kModes));

}  // namespace
