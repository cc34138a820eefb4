// Fonts and input inside the real graphics engine and texture manager, on the
// null device.
#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <dinputhooks.h>
#include <wingdi.h>

#include <string>

#include "engine/Font.h"
#include "engine/FontManager.h"
#include "engine/GraphicsEngine.h"
#include "engine/Keyboard.h"
#include "engine/Mouse.h"
#include "engine/TextureManager.h"
#include "support/EngineSupport.h"

namespace {

class FontEngineTest : public testing::Test {
protected:
    void SetUp() override {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        platform::SetInputTestMode(true);
    }
    void TearDown() override {
        d3d9hooks::ResetAll();
        platform::SetInputTestMode(false);
    }
};

TEST_F(FontEngineTest, FontsAndInputWorkThroughTheEngine) {
    enginescope::EngineScope scope({"Kolvar font test", 640, 480, nullptr, false});
    ASSERT_TRUE(scope.Ok());
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();

    // The engine made the input devices on its window; they read its clock.
    ASSERT_NE(nullptr, CKeyboard::GetInstancePtr());
    ASSERT_NE(nullptr, CMouse::GetInstancePtr());
    CKeyboard* kb = CKeyboard::GetInstancePtr();
    kb->BindAction(5, DIK_SPACE, 0xFFFFFFFFu, 0.0f, 0.0f);
    platform::InjectKey(DIK_SPACE, true);
    kb->Update();
    EXPECT_TRUE(kb->IsActionDown(5));
    platform::InjectMouseMotion(10, 0);
    CMouse::GetInstancePtr()->Update();
    EXPECT_FLOAT_EQ(0.6f, CMouse::GetInstancePtr()->GetX());

    // The textured font through the texture manager, sized by the configured screen.
    ASSERT_TRUE(CTextureManager::GetInstance()->SetTexturePath(testutil::GameData("textures").c_str()));
    CFont* textured = nullptr;
    ASSERT_TRUE(CFontManager::GetInstance()->AddFont(&textured, "font.png", 0, 0, false));
    AddFontGlyphs(textured);
    float w = 0, h = 0;
    textured->GetTextExtent("A", 1.0f / 15, 1.0f / 15, &w, &h, 0.0f);
    EXPECT_NEAR(29 * 640.0f / 1024.0f, w, 1e-3);
    EXPECT_NEAR(28 * 480.0f / 768.0f, h, 1e-3);

    // The system font from the game's font file, and a device reset around it.
    std::string aero = testutil::GameData("fonts/aero.ttf");
    AddFontResourceA(aero.c_str());
    CFont* system = nullptr;
    ASSERT_TRUE(CFontManager::GetInstance()->AddFont(&system, "Aero", 100, 0, true));
    RemoveFontResourceA(aero.c_str());
    ASSERT_NE(nullptr, system->GetBitmapFont());
    EXPECT_TRUE(CFontManager::GetInstance()->InvalidateFonts());
    EXPECT_TRUE(CFontManager::GetInstance()->RestoreFonts());

    ASSERT_TRUE(engine->BeginFrame(true));
    d3d9hooks::ClearCallLog();
    textured->DrawText(0.5f, 0.5f, 0.05f, 0.05f, 0xFFFFFFFF, "Loading ... ", CFont::kCentered, 0.0f);
    system->DrawText(0.5f, 0.1f, 0.05f, 0.05f, 0xFFFFFFFF, "fps 60", 0, 0.0f);
    EXPECT_FALSE(d3d9hooks::CallsStartingWith("DrawPrimitive").empty());
    engine->EndFrame();
}

}  // namespace
