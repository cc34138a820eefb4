// The HUD panel on the GL device in the middle of a game: labels, the gauge,
// the score bar and the bonus icons side by side, and a level message in its
// hold; saved as build/test-artifacts/hud_panel.png.
#include "tests/game/HudTestEnv.h"

namespace {

class HudPanelGlTest : public hudtest::HudTest {
protected:
    d3d9hooks::Backend Backend() const override { return d3d9hooks::Backend::GL; }
};

float Brightness(DWORD c) { return float(((c >> 16) & 0xff) + ((c >> 8) & 0xff) + (c & 0xff)) / 3.0f; }

TEST_F(HudPanelGlTest, PanelShowsGaugeBarIconsAndLabels) {
    const D3DXCOLOR label(0.6f, 0.9f, 1.0f, 1.0f), value(1, 1, 1, 1);
    g_CurrentScheme.next_color = g_CurrentScheme.score_color = g_CurrentScheme.lines_color = label;
    g_CurrentScheme.level_color = g_CurrentScheme.game_type_color = g_CurrentScheme.difficulty_color = label;
    g_CurrentScheme.score_value_color = g_CurrentScheme.lines_value_color = value;
    g_CurrentScheme.level_value_color = g_CurrentScheme.game_type_value_color = value;
    g_CurrentScheme.difficulty_value_color = g_CurrentScheme.time_color = g_CurrentScheme.fps_color = value;
    g_GameType = kLineGame;
    g_Difficulty = 1;
    g_GameRules.levelScore = 1.0e7f;

    // Level 7 announced now, then held: one second of fly-in and a bit.
    StartGame(CGameMode::kMenuOpen);
    m_hud->level = 7;
    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
    Step(44);
    ASSERT_EQ(Messages(), std::vector<std::string>{"Level 7"});
    m_hud->score = 12345;
    m_hud->displayedScore = 12345.0f;
    m_hud->lines = 42;
    m_hud->periodBase = 12345 - 500;  // the points stand at the bomb score
    m_hud->periodStart = m_engine->GetTime() + 0.025f - 15.01f;
    Step();
    ASSERT_EQ(m_hud->bonusIcon, 1);
    ASSERT_FLOAT_EQ(m_hud->scoreBar, 0.5f);

    ASSERT_TRUE(m_engine->BeginFrame(true));
    m_hud->DrawPanel();
    CAnimatedObjectList::GetInstance()->DrawAll();
    UINT w = 0, h = 0;
    std::vector<DWORD> px = d3d9hooks::ReadBackBuffer(m_engine->GetDevice(), &w, &h);
    m_engine->EndFrame();
    ASSERT_EQ(w, 1024u);
    ASSERT_EQ(h, 768u);
    EXPECT_TRUE(testutil::SaveScreenshot("hud_panel.png", px, w, h, 64));
    auto at = [&](int x, int y) { return px[size_t(y) * w + x]; };
    auto mean = [&](int x0, int y0, int x1, int y1) {
        float sum = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) sum += Brightness(at(x, y));
        return sum / float((x1 - x0) * (y1 - y0));
    };

    // The bar (x 809-1005, y 601-625) is filled up to x 917.
    EXPECT_GT(mean(870, 607, 912, 619), mean(922, 607, 990, 619) + 20.0f);
    // The lit bomb (from x 891) outshines the dim figure (from x 819), both 33 px from y 561.
    EXPECT_GT(mean(895, 565, 920, 590), mean(823, 565, 848, 590) + 10.0f);

    // Label-coloured text right of and below (0.05 W, 0.45 H).
    int labelPixels = 0;
    for (int y = 346; y < 380; ++y)
        for (int x = 52; x < 150; ++x) {
            DWORD c = at(x, y);
            int r = (c >> 16) & 0xff, g = (c >> 8) & 0xff, b = c & 0xff;
            if (b > 150 && g > r + 30 && b > r + 50) ++labelPixels;
        }
    EXPECT_GT(labelPixels, 30);
    // The message at its rest point (0.44 W, 0.2 H).
    int messagePixels = 0;
    for (int y = 154; y < 210; ++y)
        for (int x = 451; x < 700; ++x) messagePixels += Brightness(at(x, y)) > 120.0f;
    EXPECT_GT(messagePixels, 100);
}

}  // namespace
