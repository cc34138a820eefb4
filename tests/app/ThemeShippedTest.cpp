// The two themes the game ships, loaded from the built game folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

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

// Glows and rays fade to nothing before the edge of their texture (of each
// cell of a sprite sheet), so no square edge shows where they are drawn.
TEST(ThemeShippedData, SpritesFadeOutBeforeTheirEdges) {
    struct Sprite {
        std::string file;
        int cell;  // 0: the whole texture
    };
    std::vector<Sprite> all = {{"nightsky/moon.png", 0}, {"simple/cloud.png", 0}, {"simple/glow.png", 64}};
    for (int i = 1; i <= 8; ++i) all.push_back({"nightsky/star0" + std::to_string(i) + ".png", 0});
    for (const Sprite& sprite : all) {
        int w = 0, h = 0;
        const std::vector<unsigned char> rgba = testutil::LoadRgba(GameThemes() + sprite.file, &w, &h);
        ASSERT_FALSE(rgba.empty()) << sprite.file;
        const int cellW = sprite.cell ? sprite.cell : w, cellH = sprite.cell ? sprite.cell : h;
        int edge = 0, lit = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                const int cx = x % cellW, cy = y % cellH, alpha = rgba[(size_t(y) * w + x) * 4 + 3];
                if (std::min(std::min(cx, cy), std::min(cellW - 1 - cx, cellH - 1 - cy)) == 0) edge = std::max(edge, alpha);
                lit += alpha > 128;
            }
        EXPECT_EQ(edge, 0) << sprite.file;
        EXPECT_GT(lit, 0) << sprite.file;
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
