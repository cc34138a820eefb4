#include "tests/app/ThemeTestEnv.h"

#include <platform.h>
#include <stb_image_write.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "app/ThemeManager.h"
#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Script.h"

namespace themetest {

void ThemeEnv::SetUp() {
    if (Backend() == d3d9hooks::Backend::GL && !getenv("DISPLAY")) KOLVAR_SKIP_WITHOUT_GL() << "no display";
    testutil::WriteFile(m_dir.file("config.ini"),
                        "[sound]\r\nbackground_volume=0.8\r\ngame_volume=0.5\r\nmusic_volume=0.5\r\n");
    m_cwd.reset(new testutil::ScopedCwd(m_dir.path()));
    m_platform.emplace(Backend());
    g_bRandomTheme = false;
    g_bUserPlaylist = false;
    g_CurrentThemeName.clear();
    g_DefaultScheme = CColorScheme();
    g_DefaultScheme.score_color = D3DXCOLOR(0.25f, 0.5f, 0.75f, 1.0f);
    g_CurrentScheme = g_DefaultScheme;

    m_engine.emplace(enginescope::Options{"Kolvar theme test", 1024, 768, nullptr, false});
    ASSERT_TRUE(m_engine->Ok());
    m_engine->Singletons().Track<CThemeManager>();
    CSoundEngine::GetInstance();
    MarkLog();
}

void ThemeEnv::TearDown() {
    m_engine.reset();  // the theme manager, the sound and graphics engines
    m_platform.reset();
    m_cwd.reset();
}

void ThemeEnv::MakeTheme(const std::string& folder, const std::string& name, const std::string& script, bool logo) {
    std::filesystem::create_directories(m_dir.file("themes/" + folder));
    testutil::WriteFile(m_dir.file("themes/" + folder + "/info.ini"), "[general]\r\nname=" + name + "\r\n");
    if (!script.empty()) testutil::WriteFile(m_dir.file("themes/" + folder + "/script.txt"), script);
    if (logo) WritePng(m_dir.file("themes/" + folder + "/logo.png"), 16, 16);
}

void ThemeEnv::WritePng(const std::string& path, int width, int height) {
    std::vector<unsigned char> pixels(static_cast<size_t>(width * height * 4), 200);
    ASSERT_NE(stbi_write_png(path.c_str(), width, height, 4, pixels.data(), width * 4), 0);
}

void ThemeEnv::CopyShippedTheme(const std::string& folder) {
    const char* game = getenv("KOLVAR_GAME_DIR");
    ASSERT_TRUE(game);
    std::filesystem::create_directories(m_dir.file("themes"));
    std::filesystem::copy(std::string(game) + "/themes/" + folder, m_dir.file("themes/" + folder),
                          std::filesystem::copy_options::recursive);
}

std::vector<std::string> ThemeEnv::TextsSince(const std::string& colour, bool boldOnly) const {
    std::vector<std::string> out;
    for (const auto& e : LogSince())
        if ((colour.empty() || e.colour == colour) && (!boldOnly || e.bold)) out.push_back(e.text);
    return out;
}

int ThemeEnv::CountSince(const std::string& needle) const {
    int n = 0;
    for (const auto& e : LogSince()) n += e.text.find(needle) != std::string::npos;
    return n;
}

double ThemeEnv::Global(const char* name) const {
    lua_State* L = CThemeManager::GetInstance()->GetState();
    if (!L) return -1;
    lua_getglobal(L, name);
    double v = lua_isnumber(L, -1) ? lua_tonumber(L, -1) : -1;
    lua_pop(L, 1);
    return v;
}

void ThemeEnv::Advance(double seconds) {
    platform::AdvanceFakeClock(static_cast<int64_t>(seconds * 1e9 + 0.5));
    CGraphicsEngine::GetInstance()->Tick();
}

}  // namespace themetest
