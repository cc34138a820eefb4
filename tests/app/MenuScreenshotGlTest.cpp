// The menu on the GL device at 1024 x 768: the Main menu open with "new game"
// selected (its glow, the panel's line clear of the texts) and the pointer
// shown, and the Options page; checked by pixels and saved as screenshots.
#include <algorithm>
#include <string>
#include <vector>

#include <d3d9.h>

#include "app/MenuPages.h"
#include "app/MousePointer.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "tests/app/MenuTestEnv.h"

using namespace menutest;

namespace {

class MenuScreenshotGlTest : public MenuEnv {
protected:
    d3d9hooks::Backend Backend() const override { return d3d9hooks::Backend::GL; }
    float Step() const override { return 0.025f; }
    void OnStep() override {
        m_manager->Update();
        CMousePointer::GetInstance()->Update();
    }

    // The game's own pages, opening on the Main menu.
    void Build() {
        g_TexturedFont = m_font;
        CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
        BuildMenus();
    }
    void TearDown() override {
        g_TexturedFont = nullptr;
        MenuEnv::TearDown();
    }

    // Draws one frame over a dark backdrop and returns its pixels.
    std::vector<DWORD> Shoot(const std::string& name) {
        CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
        std::vector<DWORD> pixels;
        if (!engine->BeginFrame(true)) {
            ADD_FAILURE() << "no frame";
            return pixels;
        }
        engine->GetDevice()->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_XRGB(12, 20, 40), 1.0f, 0);
        m_manager->Render();
        CMousePointer::GetInstance()->Render();
        pixels = d3d9hooks::ReadBackBuffer(engine->GetDevice(), &m_width, &m_height);
        engine->EndFrame();
        EXPECT_TRUE(testutil::SaveScreenshot(name, pixels, m_width, m_height, 64));
        return pixels;
    }

    static int Brightness(DWORD p) { return int((p >> 16) & 0xff) + int((p >> 8) & 0xff) + int(p & 0xff); }
    // Mean brightness of a rectangle given in screen fractions.
    double Mean(const std::vector<DWORD>& px, float x0, float y0, float x1, float y1) const {
        double sum = 0;
        int n = 0;
        for (UINT y = UINT(y0 * m_height); y < UINT(y1 * m_height); ++y)
            for (UINT x = UINT(x0 * m_width); x < UINT(x1 * m_width); ++x, ++n) sum += Brightness(px[y * m_width + x]);
        return n ? sum / n : 0.0;
    }
    // Pixels of the selection's warm glow: red well above blue; the panel, the
    // texts, the title and the backdrop are grey, green or blue.
    int CountWarm(const std::vector<DWORD>& px, float y0, float y1) const {
        int n = 0;
        for (UINT y = UINT(y0 * m_height); y < UINT(y1 * m_height); ++y)
            for (UINT x = 0; x < m_width; ++x) {
                const DWORD p = px[y * m_width + x];
                const int r = (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = p & 0xff;
                n += r > 110 && r > b + 60 && g > b;
            }
        return n;
    }
    // Mean brightness of each pixel column of a rectangle given in screen fractions.
    std::vector<double> Columns(const std::vector<DWORD>& px, float x0, float y0, float x1, float y1) const {
        std::vector<double> means;
        for (UINT x = UINT(x0 * m_width); x < UINT(x1 * m_width); ++x) {
            double sum = 0;
            for (UINT y = UINT(y0 * m_height); y < UINT(y1 * m_height); ++y) sum += Brightness(px[y * m_width + x]);
            means.push_back(sum / (UINT(y1 * m_height) - UINT(y0 * m_height)));
        }
        return means;
    }
    int CountBright(const std::vector<DWORD>& px, float x0, float y0, float x1, float y1, int threshold) const {
        int n = 0;
        for (UINT y = UINT(y0 * m_height); y < UINT(y1 * m_height); ++y)
            for (UINT x = UINT(x0 * m_width); x < UINT(x1 * m_width); ++x)
                n += Brightness(px[y * m_width + x]) > threshold;
        return n;
    }

    void CheckPanelAndTitle(const std::vector<DWORD>& px) {
        ASSERT_EQ(px.size(), size_t(m_width) * m_height);
        EXPECT_GT(std::abs(Mean(px, 0.1f, 0.05f, 0.3f, 0.25f) - Mean(px, 0.0f, 0.05f, 0.04f, 0.25f)), 10.0)
            << "no panel tint";
        EXPECT_GT(CountBright(px, 0.37f, 0.3f, 0.6f, 0.37f, 450), 200) << "no title";
    }

    UINT m_width = 0, m_height = 0;
};

TEST_F(MenuScreenshotGlTest, MainMenuOpenWithTheFirstItemSelectedAndThePointer) {
    Mouse(0.75f, 0.25f, false);
    Build();
    Advance(1.5f);
    ASSERT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuOpen);
    std::vector<DWORD> px = Shoot("menu_main.png");
    ASSERT_FALSE(px.empty());
    CheckPanelAndTitle(px);
    // The selected row glows on its own; the rows below show none of it.
    EXPECT_GT(CountWarm(px, 0.39f, 0.45f), 1500) << "the selection";
    for (float y : {0.46f, 0.52f, 0.58f, 0.64f, 0.72f})
        EXPECT_LT(CountWarm(px, y + 0.005f, y + 0.05f), 20) << "row at " << y;
    // Below the items the text column is even: the panel's glowing line stands right of it.
    const std::vector<double> text = Columns(px, 0.3f, 0.77f, 0.78f, 0.88f), right = Columns(px, 0.8f, 0.77f, 0.93f, 0.88f);
    const double least = *std::min_element(text.begin(), text.end());
    EXPECT_LT(*std::max_element(text.begin(), text.end()) - least, 15.0) << "a line through the text column";
    EXPECT_GT(*std::max_element(right.begin(), right.end()) - least, 30.0) << "no line right of the text column";
    EXPECT_GT(CountBright(px, 0.75f, 0.25f, 0.77f, 0.28f, 600), 10) << "no pointer at the pointer";
    EXPECT_EQ(CountBright(px, 0.72f, 0.2f, 0.745f, 0.245f, 600), 0) << "pointer drawn off its hot spot";
}

TEST_F(MenuScreenshotGlTest, OptionsPage) {
    Mouse(0.9f, 0.9f, false);
    Build();
    m_manager->SetCurrentPage(g_OptionsPage);
    Advance(1.5f);
    std::vector<DWORD> px = Shoot("menu_options.png");
    ASSERT_FALSE(px.empty());
    CheckPanelAndTitle(px);
    EXPECT_GT(CountBright(px, 0.372f, 0.68f, 0.5f, 0.74f, 450), 100) << "no \"back\" row";
}

}  // namespace
