#include "tests/app/MenuTestEnv.h"

#include <cmath>
#include <cstdlib>
#include <unistd.h>

#include "app/Highscores.h"
#include "app/MousePointer.h"
#include "app/ThemeManager.h"
#include "audio/SoundEngine.h"
#include "engine/Font.h"
#include "engine/FontManager.h"
#include "engine/GlyphRect.h"
#include "engine/MenuHooks.h"
#include "engine/Mouse.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"

namespace menutest {

namespace {
MenuEnv* g_Env = nullptr;
void StepEnv() {
    if (g_Env) g_Env->RunStep();
}
}  // namespace

void MenuEnv::RunStep() { OnStep(); }

void MenuEnv::SetUp() {
    if (Backend() == d3d9hooks::Backend::GL && !getenv("DISPLAY")) KOLVAR_SKIP_WITHOUT_GL() << "no display";
    const char* game = getenv("KOLVAR_GAME_DIR");
    ASSERT_TRUE(game);
    ASSERT_EQ(symlink((std::string(game) + "/data").c_str(), m_dir.file("data").c_str()), 0);
    ASSERT_EQ(symlink((std::string(game) + "/sound.so").c_str(), m_dir.file("sound.so").c_str()), 0);
    testutil::WriteFile(m_dir.file("config.ini"),
                        "[sound]\r\nbackground_volume=0.5\r\ngame_volume=0.5\r\nmusic_volume=0.5\r\n");
    m_cwd.reset(new testutil::ScopedCwd(m_dir.path()));

    m_platform.emplace(Backend(), true);
    BeforeEngine();
    InstallMenuManagerHooks();

    g_Env = this;
    m_engine.emplace(enginescope::Options{"Kolvar menu test", 1024, 768, StepEnv, true, Step()});
    ASSERT_TRUE(m_engine->Ok());
    m_engine->Singletons().Track<CMousePointer>();
    m_engine->Singletons().Track<CHighscores>();
    m_engine->Singletons().Track<CThemeManager>();
    m_manager = CMenuManager::GetInstancePtr();
    ASSERT_NE(m_manager, nullptr);

    ASSERT_TRUE(CFontManager::GetInstance()->AddFont(&m_font, "font.png", 0, 0, false));
    AddFontGlyphs(m_font);
    CSoundEngine* sound = CSoundEngine::GetInstance();
    m_manager->m_moveSound = sound->LoadSound(kMove);
    m_manager->m_clickSound = sound->LoadSound(kClick);
    m_manager->m_changeSound = sound->LoadSound(kChange);
    m_sounds.reset(new CSoundTestView());
    CGameMode::GetInstance()->menuState = CGameMode::kMenuOpen;
    ClearSounds();
}

void MenuEnv::TearDown() {
    g_Env = nullptr;
    m_sounds.reset();
    gameloop::DeleteGamePlay();
    m_engine.reset();  // themes, the table, the pointer, the sound and graphics engines
    SetMenuManagerHooks(nullptr, nullptr);
    m_platform.reset();
    m_cwd.reset();
}

void MenuEnv::Advance(float seconds) {
    const int steps = static_cast<int>(std::lround(seconds / Step()));
    for (int i = 0; i < steps; ++i) {
        platform::AdvanceFakeClock(static_cast<int64_t>(std::llround(Step() * 1e9)));
        CGraphicsEngine::GetInstance()->Tick();
    }
}

int MenuEnv::Played(const char* name) const {
    int n = 0;
    for (const std::string& s : m_sounds->Played()) n += s == name;
    return n;
}

void MenuEnv::ClearSounds() { m_sounds->Clear(); }

void MenuEnv::Mouse(float x, float y, bool left) {
    CMouse* mouse = CMouse::GetInstance();
    mouse->SetSensitivity(0.001f);
    platform::InjectMouseMotion(static_cast<int32_t>(std::lround((x - mouse->GetX()) * 1000.0f)),
                                static_cast<int32_t>(std::lround((y - mouse->GetY()) * 1000.0f)));
    platform::InjectMouseButton(0, left);
    mouse->Update();
}

MenuTextStyle MenuEnv::Style(float x, float y, float size, uint32_t flags) const {
    return MenuTextStyle{m_font, x, y, size, size, 0.0f, 0xF0F0F0F0u, flags};
}

}  // namespace menutest
