// The shipped themes drawn by GL: the whole screen is painted and the sky moves.
#include <gtest/gtest.h>

#include <d3d9hooks.h>

#include <string>
#include <vector>

#include "app/ThemeManager.h"
#include "engine/GraphicsEngine.h"
#include "tests/app/ThemeTestEnv.h"

namespace themetest {
namespace {

class ThemeScreenshotGlTest : public ThemeEnv {
protected:
    d3d9hooks::Backend Backend() const override { return d3d9hooks::Backend::GL; }

    std::vector<DWORD> Frame(const std::string& artifact = "") {
        CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
        std::vector<DWORD> pixels;
        if (!engine->BeginFrame(true)) return pixels;
        CThemeManager::GetInstance()->DrawBackground();
        pixels = d3d9hooks::ReadBackBuffer(engine->GetDevice(), &m_width, &m_height);
        engine->EndFrame();
        if (!artifact.empty()) {
            EXPECT_TRUE(testutil::SaveScreenshot(artifact, pixels, m_width, m_height, 64));
        }
        return pixels;
    }
    DWORD At(const std::vector<DWORD>& px, float x, float y) const {
        UINT ix = std::min(m_width - 1, UINT(x * m_width)), iy = std::min(m_height - 1, UINT(y * m_height));
        return px[iy * m_width + ix] & 0xFFFFFF;
    }
    UINT m_width = 0, m_height = 0;
};

TEST_F(ThemeScreenshotGlTest, ShippedThemesPaintTheScreenAndMove) {
    if (!CGraphicsEngine::GetInstance()->GetDevice()) KOLVAR_SKIP_WITHOUT_GL();
    struct Case {
        const char* folder;
        const char* name;
        const char* artifact;
    } cases[] = {{"simple", "Simple", "theme_simple.png"}, {"nightsky", "Night Sky", "theme_nightsky.png"}};
    for (const Case& c : cases) CopyShippedTheme(c.folder);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(CThemeManager::GetInstance()->LoadTheme(c.name, false));
        Advance(2.0);
        std::vector<DWORD> first = Frame(c.artifact);
        ASSERT_EQ(first.size(), size_t(m_width) * m_height);
        for (auto xy : {std::make_pair(0.0f, 0.0f), {1.0f, 0.0f}, {0.0f, 1.0f}, {1.0f, 1.0f}, {0.5f, 0.5f}})
            EXPECT_NE(At(first, xy.first, xy.second), 0u) << xy.first << "," << xy.second;
        Advance(0.5);
        std::vector<DWORD> later = Frame();
        int changed = 0;
        for (size_t i = 0; i < first.size(); ++i) changed += (first[i] & 0xFFFFFF) != (later[i] & 0xFFFFFF);
        EXPECT_GT(changed, 100);
        CThemeManager::GetInstance()->UnloadTheme();
    }
}

}  // namespace
}  // namespace themetest
