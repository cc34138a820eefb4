// The menu's opening and closing: panel slide, line fade, item fades and the
// state changes at the end of each transition.
#include <algorithm>

#include "app/MenuButton.h"
#include "app/MenuPage.h"
#include "game/GameMode.h"
#include "tests/app/MenuTestEnv.h"

using namespace menutest;

namespace {

class MenuAnimationTest : public MenuEnv {
protected:
    float Step() const override { return 0.125f; }
    int State() const { return CGameMode::GetInstance()->menuState; }
    // Where the open menu's panel and line would be at the given time.
    void RestAt(float now, float* panelX, float* lineAlpha) const {
        CGameMode* mode = CGameMode::GetInstance();
        const int state = mode->menuState;
        mode->menuState = CGameMode::kMenuOpen;
        m_manager->PanelAt(now, panelX, lineAlpha);
        mode->menuState = state;
    }
};

TEST_F(MenuAnimationTest, OpenPanelSwaysAndTheLineGlowsWithinTheirRanges) {
    float lowX = 1, highX = 0, lowGlow = 1, highGlow = 0;
    for (int ms = 0; ms < 3200; ++ms) {
        float px, la;
        RestAt(ms / 1000.0f, &px, &la);
        lowX = std::min(lowX, px), highX = std::max(highX, px);
        lowGlow = std::min(lowGlow, la), highGlow = std::max(highGlow, la);
    }
    EXPECT_NEAR(lowX, 0.047f, 1e-5f);
    EXPECT_NEAR(highX, 0.053f, 1e-5f);
    EXPECT_NEAR(lowGlow, 0.1f, 1e-5f);
    EXPECT_NEAR(highGlow, 0.3f, 1e-5f);
}

TEST_F(MenuAnimationTest, PanelAndLineFollowTheOpeningAndClosingCurves) {
    const struct {
        bool opening;
        float p;
        float slide;  // share of the way from the open position to the edge
        float line;   // share of the glow
    } cases[] = {{true, 0.25f, 0.25f, 0.0f},
                 {true, 0.75f, 0.0f, 0.5f},
                 {false, 0.25f, 0.0f, 0.5f},
                 {false, 0.75f, 0.25f, 0.0f}};
    for (const auto& c : cases) {
        if (c.opening)
            m_manager->Show();
        else
            m_manager->Hide();
        Advance(c.p);
        const float now = Now();
        float ox, glow, px, la;
        RestAt(now, &ox, &glow);
        m_manager->PanelAt(now, &px, &la);
        EXPECT_NEAR(px, ox + (1.0f - ox) * c.slide, 1e-5f) << c.opening << " " << c.p;
        EXPECT_NEAR(la, glow * c.line, 1e-5f) << c.opening << " " << c.p;
        EXPECT_NEAR(m_manager->TransitionFraction(), c.p, 1e-6f);
    }
}

TEST_F(MenuAnimationTest, ItemsFadeInOneAfterAnother) {
    m_manager->Show();
    Advance(0.5f);
    EXPECT_NEAR(CMenuPage::ItemAlpha(2, 5), 0.2f, 1e-5f);
    EXPECT_NEAR(CMenuPage::ItemAlpha(0, 5), 0.2f / 0.3f, 1e-5f);
    EXPECT_FLOAT_EQ(CMenuPage::ItemAlpha(4, 5), 0.0f);
}

TEST_F(MenuAnimationTest, ShowWhileClosingRestartsFromTheRightEdge) {
    CMenuPage* first = new CMenuPage(nullptr);
    CMenuPage* second = new CMenuPage(nullptr);
    MenuTextStyle style = Style(0.37f, 0.4f);
    new CMenuButton(first, &style, nullptr, "a", nullptr, true, nullptr, false, true);
    m_manager->SetCurrentPage(second);
    m_manager->Hide();
    Advance(0.5f);
    m_manager->Show();
    EXPECT_EQ(State(), CGameMode::kMenuOpening);
    EXPECT_EQ(m_manager->GetCurrentPage(), first);
    EXPECT_NE(first->m_selected, nullptr);
    float px, la;
    m_manager->PanelAt(Now(), &px, &la);
    EXPECT_FLOAT_EQ(px, 1.0f);
    EXPECT_FLOAT_EQ(la, 0.0f);
}

TEST_F(MenuAnimationTest, TransitionsEndAtTheirDuration) {
    CMenuPage* page = new CMenuPage(nullptr);
    m_manager->Show();
    Advance(0.875f);
    m_manager->Update();
    EXPECT_EQ(State(), CGameMode::kMenuOpening);
    Advance(0.125f);
    m_manager->Update();
    EXPECT_EQ(State(), CGameMode::kMenuOpen);

    m_manager->Hide();
    Advance(0.875f);
    m_manager->Update();
    EXPECT_EQ(State(), CGameMode::kMenuClosing);
    EXPECT_EQ(m_manager->GetCurrentPage(), page) << "the closing page is no longer drawn";
    Advance(0.125f);
    m_manager->Update();
    EXPECT_EQ(State(), CGameMode::kMenuClosed);
    EXPECT_EQ(m_manager->GetCurrentPage(), nullptr);
}

}  // namespace
