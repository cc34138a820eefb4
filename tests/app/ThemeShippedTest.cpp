// The two themes the game ships, loaded from the built game folder.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "app/ThemeManager.h"
#include "engine/GraphicsEngine.h"
#include "engine/Ini.h"
#include "tests/app/ThemeTestEnv.h"

namespace themetest {
namespace {

const char* const kShipped[] = {"simple", "nightsky"};

std::string GameThemes() { return std::string(getenv("KOLVAR_GAME_DIR")) + "/themes/"; }

TEST(ThemeShippedData, EachFolderHoldsItsFilesAndSongs) {
    for (const char* folder : kShipped) {
        const std::string dir = GameThemes() + folder;
        for (const char* file : {"info.ini", "logo.png", "logo.bmp", "script.txt", "playlist.ini"})
            EXPECT_TRUE(testutil::FileExists(dir + "/" + file)) << dir << "/" << file;
        testutil::ScopedCwd cwd(dir);  // the INI reader takes names in the current folder
        const std::string playlist = "playlist.ini";
        const int songs = ReadIniInt(playlist, "playlist", "num");
        EXPECT_EQ(songs, 2) << folder;
        for (int i = 1; i <= songs; ++i) {
            std::string song = ReadIniString(playlist, "playlist", "song" + std::to_string(i));
            EXPECT_TRUE(!song.empty() && testutil::FileExists(dir + "/" + song)) << folder << " song" << i;
        }
    }
}

class ThemeShippedTest : public ThemeEnv {};

TEST_F(ThemeShippedTest, BothLoadAndRunWithoutAScriptError) {
    for (const char* folder : kShipped) CopyShippedTheme(folder);
    CThemeManager* m = CThemeManager::GetInstance();
    ASSERT_EQ(m->m_themeFolders.count("Simple"), 1u);
    ASSERT_EQ(m->m_themeFolders.count("Night Sky"), 1u);
    for (const char* name : {"Simple", "Night Sky"}) {
        SCOPED_TRACE(name);
        MarkLog();
        ASSERT_TRUE(m->LoadTheme(name, false));
        for (int i = 0; i < 40; ++i) {
            Advance(0.5);
            ASSERT_TRUE(CGraphicsEngine::GetInstance()->BeginFrame(true));
            m->DrawBackground();
            CGraphicsEngine::GetInstance()->EndFrame();
        }
        EXPECT_TRUE(m->HasBackground());
        EXPECT_TRUE(TextsSince("red").empty()) << TextsSince("red").front();
        m->UnloadTheme();
    }
}

}  // namespace
}  // namespace themetest
