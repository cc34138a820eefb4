// Every picture and sound the menus and the pointer use is in the game folder
// and loads, and the build leaves the "more themes" page and its shortcut there.
#include <cstdlib>

#include "app/MousePointer.h"
#include "audio/SoundEngine.h"
#include "engine/TextureManager.h"
#include "tests/app/MenuTestEnv.h"

using namespace menutest;

namespace {

class MenuDataTest : public MenuEnv {};

bool Loaded(const CTextureEntry* entry) { return entry && entry->m_pTexture && entry->m_ImageWidth > 0; }

TEST_F(MenuDataTest, MenuArtAndSoundsLoad) {
    for (CTextureEntry* entry : {m_manager->m_lightTexture, m_manager->m_trackTexture, m_manager->m_thumbTexture,
                                 m_manager->m_panelTexture, m_manager->m_lineTexture})
        EXPECT_TRUE(Loaded(entry));
    ASSERT_EQ(m_manager->m_spark.GetFrames().size(), 10u);
    for (CTextureEntry* frame : m_manager->m_spark.GetFrames()) EXPECT_TRUE(Loaded(frame));
    EXPECT_TRUE(Loaded(CMousePointer::GetInstance()->m_texture));
    for (const char* name : {"next_theme.tga", "prev_theme.tga"}) {
        CTextureEntry* entry = nullptr;
        CTextureManager::GetInstance()->GetTexture(&entry, name, false, false, 10.0f);
        EXPECT_TRUE(Loaded(entry)) << name;
    }
    CSoundEngine* sound = CSoundEngine::GetInstance();
    sound->SetAudioPath("data\\audio");
    for (const char* name : {"menu_move.wav", "menu_click.wav", "menu_change.wav"})
        EXPECT_NE(sound->LoadSound(name), 0u) << name;
}

TEST(MenuGameFolder, MoreThemesShortcutPointsAtItsPage) {
    const std::string game = getenv("KOLVAR_GAME_DIR");
    std::string url = testutil::ReadFile(game + "/more_themes.url");
    EXPECT_EQ(url, "[InternetShortcut]\r\nURL=file://" + game + "/more_themes.html\r\n");
    std::string page = testutil::ReadFile(game + "/more_themes.html");
    EXPECT_NE(page.find("themes/simple"), std::string::npos);
    EXPECT_NE(page.find("Night Sky"), std::string::npos);
}

}  // namespace
