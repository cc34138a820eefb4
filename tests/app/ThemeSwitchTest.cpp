// Switching between the shipped themes gives every texture back, the animated
// sprites' frames and sheets included.
#include <gtest/gtest.h>

#include <string>

#include "app/ThemeManager.h"
#include "engine/TextureManager.h"
#include "tests/app/ThemeTestEnv.h"

namespace themetest {
namespace {

class ThemeSwitchTest : public ThemeEnv {};

TEST_F(ThemeSwitchTest, SwitchingAwayReleasesEveryTexture) {
    CopyShippedTheme("simple");
    CopyShippedTheme("nightsky");
    CThemeManager* m = CThemeManager::GetInstance();
    const auto& textures = CTextureManager::GetInstance()->GetTextures();
    const size_t logos = textures.size();
    const struct {
        const char* from;
        const char* to;
    } kSwitches[] = {{"Night Sky", "Simple"}, {"Simple", "Night Sky"}};
    for (const auto& s : kSwitches) {
        SCOPED_TRACE(std::string(s.from) + " to " + s.to);
        ASSERT_TRUE(m->LoadTheme(s.from, false));
        ASSERT_GT(textures.size(), logos);
        ASSERT_TRUE(m->LoadTheme(s.to, false));
        m->UnloadTheme();
        EXPECT_EQ(textures.size(), logos);
        for (const CTextureEntry* t : textures) EXPECT_EQ(t->m_RefCount, 1u) << t->m_Path;
    }
}

}  // namespace
}  // namespace themetest
