#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "app/ThemeManager.h"
#include "app/ThemeScript.h"
#include "audio/SoundEngine.h"
#include "engine/Script.h"
#include "engine/TextureManager.h"
#include "tests/app/ThemeTestEnv.h"

namespace themetest {
namespace {

struct Played {
    DWORD sample;
    int loop;
};
std::vector<Played> g_played;
std::vector<DWORD> g_stopped;
std::vector<int> g_volumes;

HCHANNEL FakePlayEx(HSAMPLE sample, DWORD, int, int, int, int loop) {
    g_played.push_back({sample, loop});
    return 1;
}
BOOL FakeStop(HSAMPLE sample) {
    g_stopped.push_back(sample);
    return TRUE;
}
BOOL FakeAttributes(DWORD, int, int volume, int) {
    g_volumes.push_back(volume);
    return TRUE;
}

class ThemeScriptTest : public ThemeEnv {
protected:
    void SetUp() override {
        ThemeEnv::SetUp();
        if (IsSkipped()) return;
        g_played.clear();
        g_stopped.clear();
        g_volumes.clear();
    }
    // Loads a theme whose script is the given code, run at its top level.
    lua_State* Load(const std::string& code) {
        MakeTheme("t", "T", code + "\nfunction game_BackgroundInit() end\nfunction game_BackgroundDraw() end\n");
        WritePng(m_dir.file("themes/t/wide.png"), 32, 8);
        std::filesystem::copy_file(m_dir.file("themes/t/wide.png"), m_dir.file("themes/t/tall.png"));
        CThemeManager* m = CThemeManager::GetInstance();
        m->LoadTheme("T", false);
        return m->GetState();
    }
    bool Run(const std::string& code) {
        lua_State* L = CThemeManager::GetInstance()->GetState();
        return luaL_dostring(L, code.c_str()) == LUA_OK;
    }
};

TEST_F(ThemeScriptTest, LoadsTakeSlotsInOrderAndBadIndexesAnswerZero) {
    Load("a = ext_LoadTexture('wide.png') b = ext_LoadTexture('missing.png') c = ext_LoadTexture('tall.png')\n"
         "ext_UnLoadTexture(a) ext_UnLoadTexture(7)\n"
         "w = { ext_GetTextureWidth(a), ext_GetTextureWidth(b), ext_GetTextureWidth(-1), ext_GetTextureWidth(3),"
         "      ext_GetTextureHeight(a), ext_GetTextureHeight(b) }\n"
         "s0 = ext_LoadSound('none.wav') s1 = ext_LoadSound('none2.wav')\n");
    ASSERT_TRUE(Run("ok = a == 0 and b == 1 and c == 2 and s0 == 0 and s1 == 1"));
    ASSERT_TRUE(Run("assert(ok) assert(w[1] == 32 and w[5] == 8)"));
    ASSERT_TRUE(Run("assert(w[2] == 0 and w[3] == 0 and w[4] == 0 and w[6] == 0)"));
    EXPECT_EQ(g_ThemeTextures.size(), 3u);
    EXPECT_EQ(g_ThemeSounds, (std::vector<DWORD>{0, 0}));
}

TEST_F(ThemeScriptTest, SoundsAndStreamsPlayInTheBackgroundCategory) {
    CSoundEngine* sound = CSoundEngine::GetInstance();
    Load("");
    g_ThemeSounds = {41};
    g_ThemeStreams = {0, 52};
    sound->BASS_SamplePlayEx = FakePlayEx;
    sound->BASS_SampleStop = FakeStop;
    sound->BASS_ChannelSetAttributes = FakeAttributes;
    sound->m_volumes[0] = 0.8f;
    ASSERT_TRUE(Run("ext_PlaySound(0, 0) ext_PlaySound(0, 1) ext_StopSound(0)"
                    "ext_PlaySound(5, 0) ext_PlaySound(-1, 1) ext_StopSound(9)"
                    "ext_SetStreamVolume(0, 1) ext_SetStreamVolume(1, 0.5)"));
    ASSERT_EQ(g_played.size(), 2u);
    EXPECT_EQ(g_played[0].loop, -1);  // once
    EXPECT_EQ(g_played[1].loop, 1);
    EXPECT_EQ(g_stopped, (std::vector<DWORD>{41}));
    EXPECT_EQ(g_volumes, (std::vector<int>{sound->ConvertVolume(0.4f)}));
    g_ThemeSounds.clear();
    g_ThemeStreams.clear();
}

TEST_F(ThemeScriptTest, SchemeChangesLastUntilTheNextLoad) {
    Load("ext_GetCurrentScheme().score_color = D3DXCOLOR(0, 1, 0, 1)");
    EXPECT_FLOAT_EQ(g_CurrentScheme.score_color.g, 1.0f);
    EXPECT_FLOAT_EQ(g_DefaultScheme.score_color.g, 0.5f);
    CThemeManager* m = CThemeManager::GetInstance();
    m->UnloadTheme();
    EXPECT_FLOAT_EQ(g_CurrentScheme.score_color.g, 1.0f);
    testutil::WriteFile(m_dir.file("themes/t/script.txt"), "function game_BackgroundInit() end");
    m->LoadTheme("T", false);
    EXPECT_FLOAT_EQ(g_CurrentScheme.score_color.g, 0.5f);
}

TEST_F(ThemeScriptTest, SpritesWithBadIndexesDrawNothing) {
    Load("t = ext_LoadTexture('wide.png') s = ext_newSprite()");
    ASSERT_TRUE(Run("assert(s.scale_x == 0 and s.color_alpha == 0 and s.fit_to_screen == 0 and s.texture == 0)"));
    d3d9hooks::ClearCallLog();
    ASSERT_TRUE(Run("s.texture = 4 s:Draw() s.texture = -1 s:Draw()"
                    "a = ext_newAnimatedSprite() a:Draw() assert(a:GetNum() == 0)"));
    EXPECT_TRUE(d3d9hooks::CallLog().empty());
}

}  // namespace
}  // namespace themetest
