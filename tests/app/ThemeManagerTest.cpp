#include <gtest/gtest.h>

#include <platform.h>

#include <filesystem>
#include <set>

#include "app/ThemeManager.h"
#include "app/ThemeScript.h"
#include "audio/MusicPlayer.h"
#include "audio/SoundEngine.h"
#include "engine/ColorScheme.h"
#include "engine/TextureManager.h"
#include "tests/app/ThemeTestEnv.h"

namespace themetest {
namespace {

// A theme that loads one texture, one sound and one stream, recording their indexes.
const char* kLoader = R"(
tex = ext_LoadTexture("sky.png")
function game_BackgroundInit()
  snd = ext_LoadSound("ding.wav")
  str = ext_LoadStream("ding.wav")
  seen_score_r = ext_GetCurrentScheme().score_color.r
end
function game_BackgroundDraw() frames = (frames or 0) + 1 end
)";

class ThemeManagerTest : public ThemeEnv {
protected:
    void MakeLoader(const std::string& folder, const std::string& name) {
        MakeTheme(folder, name, kLoader);
        WritePng(m_dir.file("themes/" + folder + "/sky.png"), 8, 8);
        WriteWav(m_dir.file("themes/" + folder + "/ding.wav"));
    }
    void WriteWav(const std::string& path) {
        std::string wav = "RIFF";
        auto put = [&](uint32_t v, int n) {
            for (int i = 0; i < n; ++i) wav.push_back(static_cast<char>(v >> (8 * i)));
        };
        put(36 + 400, 4);
        wav += "WAVEfmt ";
        put(16, 4), put(1, 2), put(1, 2), put(44100, 4), put(88200, 4), put(2, 2), put(16, 2);
        wav += "data";
        put(400, 4);
        wav += std::string(400, '\x10');
        testutil::WriteFile(path, wav);
    }
    std::string Cwd() const { return std::filesystem::current_path().string(); }
};

TEST_F(ThemeManagerTest, ScanListsOnlyRealThemesInNameOrder) {
    MakeTheme("zeta", "A theme");
    MakeTheme("beta", "B theme");
    MakeTheme("simple", "Simple");
    MakeTheme("Dup2", "Twin");
    MakeTheme("dup1", "Twin");
    MakeTheme("nologo", "No logo", "", false);
    std::filesystem::create_directories(m_dir.file("themes/noini"));
    MakeTheme("noname", "");
    testutil::WriteFile(m_dir.file("themes/noname/info.ini"), "[general]\r\nother=1\r\n");
    MakeTheme("empty", "");
    MakeTheme("garbage", "");
    testutil::WriteFile(m_dir.file("themes/garbage/info.ini"), std::string("\x00\xff\x13[gen\x01\x02", 10));
    MakeTheme(".hidden", "Hidden");
    testutil::WriteFile(m_dir.file("themes/plain"), "[general]\r\nname=Plain\r\n");

    CThemeManager* m = CThemeManager::GetInstance();
    std::vector<std::string> names, folders;
    for (auto& t : m->m_themeFolders) names.push_back(t.first), folders.push_back(t.second);
    EXPECT_EQ(names, (std::vector<std::string>{"A theme", "B theme", "No logo", "Simple", "Twin"}));
    EXPECT_EQ(folders[4], "dup1");  // listed before "Dup2", whatever the file system's order
    EXPECT_EQ(m->m_themeLogos.size(), 5u);
    ASSERT_TRUE(m->m_themeLogos["A theme"]);
    EXPECT_TRUE(m->m_themeLogos["A theme"]->m_pTexture);
    EXPECT_FALSE(m->m_themeLogos["No logo"] && m->m_themeLogos["No logo"]->m_pTexture);

    std::multiset<std::string> banners;
    for (const auto& text : TextsSince("darkblue", true))
        if (text.rfind("-= ", 0) == 0) banners.insert(text);
    EXPECT_EQ(banners, (std::multiset<std::string>{"-= A theme =-", "-= B theme =-", "-= No logo =-",
                                                    "-= Simple =-", "-= Twin =-", "-= Twin =-"}));
    EXPECT_EQ(Cwd(), m_dir.path());
}

TEST_F(ThemeManagerTest, WithoutThemesTheGameRunsBare) {
    CThemeManager* m = CThemeManager::GetInstance();
    EXPECT_TRUE(m->m_themeFolders.empty() && m->m_themeLogos.empty());
    EXPECT_FALSE(m->LoadTheme("Simple", false));
    EXPECT_EQ(CountSince("couldn't find theme: (Simple)"), 1);
    EXPECT_FALSE(m->LoadFirstTheme());
    EXPECT_FALSE(DrawThemeBackground());  // the shell clears the frame
    EXPECT_EQ(Cwd(), m_dir.path());
}

TEST_F(ThemeManagerTest, RandomChoiceAvoidsSimple) {
    struct Case {
        std::vector<std::string> folders;
        std::set<std::string> expected;
    };
    const Case cases[] = {
        {{"simple"}, {"simple"}},
        {{"simple", "other"}, {"other"}},
        {{"simple", "one", "two"}, {"one", "two"}},
    };
    g_bRandomTheme = true;
    for (const Case& c : cases) {
        std::filesystem::remove_all(m_dir.file("themes"));
        for (const auto& f : c.folders) MakeTheme(f, "Name " + f, "", false);
        std::set<std::string> chosen;
        for (int tick = 0; tick < 64; ++tick) {
            platform::SetFakeClock(true, tick * 1000000LL);
            CThemeManager* m = CThemeManager::GetInstance();
            chosen.insert(m->m_themeFolders[g_CurrentThemeName]);
            delete m;
        }
        EXPECT_EQ(chosen, c.expected) << c.folders.size() << " themes";
    }
    // With the random option, the configured theme is never read.
    testutil::WriteFile(m_dir.file("config.ini"), "[game]\r\ntheme=Name simple\r\n");
    g_CurrentThemeName = "Name one";
    LoadStartTheme();
    EXPECT_EQ(g_CurrentThemeName, "Name one");
}

TEST_F(ThemeManagerTest, LoadLogsStepsResetsSchemeAndRestoresFolders) {
    MakeLoader("a", "A");
    CThemeManager* m = CThemeManager::GetInstance();
    g_CurrentScheme.score_color = D3DXCOLOR(1, 1, 1, 1);
    MarkLog();
    ASSERT_TRUE(m->LoadTheme("A", false));
    std::vector<std::string> steps;
    for (const auto& e : LogSince())
        if (e.bold && e.text.find("theme") != std::string::npos) steps.push_back(e.text);
    EXPECT_EQ(steps, (std::vector<std::string>{"loading from theme folder: (a)", "loading theme complete"}));
    EXPECT_FLOAT_EQ(static_cast<float>(Global("seen_score_r")), 0.25f);
    EXPECT_EQ(Cwd(), m_dir.path());
    EXPECT_EQ(std::string(CTextureManager::GetInstance()->GetTexturePath()), m_dir.path());
    EXPECT_EQ(std::string(CSoundEngine::GetInstance()->m_audioPath), m_dir.path() + "\\");
    m->DrawBackground();
    m->DrawBackground();
    EXPECT_EQ(Global("frames"), 2);
}

TEST_F(ThemeManagerTest, SwitchingReleasesTheOldThemeAndStartsFresh) {
    MakeLoader("a", "A");
    MakeLoader("b", "B");
    testutil::WriteFile(m_dir.file("themes/a/playlist.ini"), "[playlist]\r\nnum=1\r\ncurrent=0\r\nsong1=ding.wav\r\n");
    testutil::WriteFile(m_dir.file("themes/b/playlist.ini"), "[playlist]\r\nnum=1\r\ncurrent=0\r\nsong1=ding.wav\r\n");
    CThemeManager* m = CThemeManager::GetInstance();
    ASSERT_TRUE(m->LoadTheme("A", false));
    CTextureEntry* aSky = g_ThemeTextures.at(0);
    ASSERT_TRUE(aSky);
    const DWORD refsBefore = aSky->m_RefCount;
    CMusicPlayer* aPlayer = CSoundEngine::GetInstance()->m_musicPlayer;
    ASSERT_TRUE(aPlayer);
    EXPECT_EQ(aPlayer->m_songs.size(), 1u);

    MarkLog();
    m->UnloadTheme();
    EXPECT_EQ(CountSince("removing texture"), 1) << refsBefore;
    EXPECT_EQ(CountSince("unloading sound file"), 3);  // the sample, the stream and the song
    EXPECT_TRUE(g_ThemeTextures.empty() && g_ThemeSounds.empty() && g_ThemeStreams.empty());
    EXPECT_EQ(m->GetState(), nullptr);
    EXPECT_EQ(CSoundEngine::GetInstance()->m_musicPlayer, nullptr);
    EXPECT_EQ(Cwd(), m_dir.path());
    EXPECT_FALSE(testutil::FileExists(m_dir.file("playlist.ini")));  // the theme's own file keeps its place

    ASSERT_TRUE(m->LoadTheme("b", true));
    EXPECT_EQ(Global("tex"), 0);
    EXPECT_EQ(Global("snd"), 0);
    EXPECT_EQ(Global("str"), 0);
    EXPECT_NE(CSoundEngine::GetInstance()->m_musicPlayer, nullptr);
}

TEST_F(ThemeManagerTest, UserPlaylistIsLeftAlone) {
    MakeLoader("a", "A");
    MakeLoader("b", "B");
    g_bUserPlaylist = true;
    CMusicPlayer* user = new CMusicPlayer();
    CSoundEngine::GetInstance()->m_musicPlayer = user;
    CThemeManager* m = CThemeManager::GetInstance();
    m->LoadTheme("A", false);
    m->UnloadTheme();
    m->LoadTheme("B", false);
    EXPECT_EQ(CSoundEngine::GetInstance()->m_musicPlayer, user);
}

TEST_F(ThemeManagerTest, UnknownNameFallsBackToFirstTheme) {
    MakeLoader("zz", "Alpha");
    MakeLoader("aa", "Beta");
    CThemeManager* m = CThemeManager::GetInstance();
    MarkLog();
    EXPECT_TRUE(m->LoadTheme("Gone", false));
    EXPECT_EQ(CountSince("couldn't find theme: (Gone)"), 1);
    EXPECT_EQ(CountSince("loading from theme folder: (zz)"), 1);
    EXPECT_EQ(g_CurrentThemeName, "Alpha");
}

TEST_F(ThemeManagerTest, ScriptFaultsAreReportedOnceAndUnloadCleanly) {
    struct Case {
        const char* what;
        const char* script;  // "" : no script.txt
        const char* message;
    };
    const Case cases[] = {
        {"missing script", "", "script.txt"},
        {"syntax error", "function game_BackgroundInit( end", "expected"},
        {"raising init", "function game_BackgroundInit() error('init broke') end\n"
                         "function game_BackgroundDraw() end", "init broke"},
        {"missing draw", "function game_BackgroundInit() end", "game_BackgroundDraw"},
        {"raising draw", "function game_BackgroundInit() end\n"
                         "function game_BackgroundDraw() error('draw broke') end", "draw broke"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove_all(m_dir.file("themes"));
        MakeTheme("t", "T", c.script);
        CThemeManager* m = CThemeManager::GetInstance();
        MarkLog();
        m->LoadTheme("T", false);
        for (int i = 0; i < 3; ++i) m->DrawBackground();
        EXPECT_FALSE(m->HasBackground());
        auto red = TextsSince("red", true);
        ASSERT_EQ(red.size(), 1u);
        EXPECT_NE(red[0].find(c.message), std::string::npos) << red[0];
        m->UnloadTheme();
        EXPECT_EQ(CountSince("unloading theme complete"), 1);
        EXPECT_EQ(Cwd(), m_dir.path());
        delete m;
    }
}

}  // namespace
}  // namespace themetest
