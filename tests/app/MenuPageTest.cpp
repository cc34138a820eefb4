// Menu pages and items by keyboard and mouse: selection walks, activation,
// back items, value keys, clicks and hit rectangles, with the sounds counted.
#include <string>
#include <vector>

#include "app/MenuButton.h"
#include "app/MenuImage.h"
#include "app/MenuOptionList.h"
#include "app/MenuPage.h"
#include "app/MenuSlider.h"
#include "app/MenuText.h"
#include "engine/Mouse.h"
#include "game/GameMode.h"
#include "tests/app/MenuTestEnv.h"

using namespace menutest;

namespace {

std::vector<std::string> g_Calls;
void CallA() { g_Calls.push_back("a"); }
void CallB() { g_Calls.push_back("b"); }

class MenuPageTest : public MenuEnv {
protected:
    void SetUp() override {
        MenuEnv::SetUp();
        g_Calls.clear();
    }
    // A button on its own row of the page.
    CMenuButton* Button(CMenuPage* page, float y, const char* text, CMenuPage* target = nullptr,
                        MenuCallback callback = nullptr, bool back = false, bool value = true, bool enabled = true) {
        MenuTextStyle style = Style(0.37f, y);
        return new CMenuButton(page, &style, nullptr, text, target, enabled, callback, back, value);
    }
};

TEST_F(MenuPageTest, UpAndDownWrapAndSkipItemsThatCannotBeSelected) {
    CMenuPage* page = new CMenuPage(nullptr);
    CMenuButton* first = Button(page, 0.4f, "first");
    Button(page, 0.46f, "disabled", nullptr, nullptr, false, true, false);
    CMenuButton* hidden = Button(page, 0.52f, "hidden");
    hidden->m_visible = false;
    CMenuButton* last = Button(page, 0.58f, "last");
    m_manager->SetCurrentPage(page);
    EXPECT_EQ(page->m_selected, first);

    ClearSounds();
    const struct {
        MenuCode code;
        CMenuItem* selected;
    } walk[] = {{kMenuNext, last}, {kMenuNext, first}, {kMenuPrevious, last}, {kMenuPrevious, first}};
    for (const auto& step : walk) {
        m_manager->OnInput(step.code);
        EXPECT_EQ(page->m_selected, step.selected) << "code " << step.code;
    }
    EXPECT_EQ(Played(kMove), 4);
}

TEST_F(MenuPageTest, UpWithOneSelectableItemKeepsItSilently) {
    CMenuPage* page = new CMenuPage(nullptr);
    Button(page, 0.4f, "off", nullptr, nullptr, false, true, false);
    CMenuButton* only = Button(page, 0.46f, "only");
    m_manager->SetCurrentPage(page);
    ClearSounds();
    m_manager->OnInput(kMenuPrevious);
    m_manager->OnInput(kMenuNext);
    EXPECT_EQ(page->m_selected, only);
    EXPECT_EQ(Played(kMove), 0);
}

TEST_F(MenuPageTest, EnterOpensTheTargetPageWhichSelectsItsFirstItemWithoutAClick) {
    CMenuPage* main = new CMenuPage(nullptr);
    CMenuPage* options = new CMenuPage(nullptr);
    Button(main, 0.4f, "options", options, CallA);
    Button(options, 0.4f, "off", nullptr, nullptr, false, true, false);
    CMenuButton* back = Button(options, 0.5f, "back", main, nullptr, true);
    m_manager->ShowFirstPage();
    ASSERT_EQ(m_manager->GetCurrentPage(), main);
    ClearSounds();
    m_manager->OnInput(kMenuActivate);
    EXPECT_EQ(m_manager->GetCurrentPage(), options);
    EXPECT_EQ(options->m_selected, back);
    EXPECT_EQ(g_Calls, std::vector<std::string>{"a"});
    EXPECT_EQ(Played(kClick), 0);
}

TEST_F(MenuPageTest, EscapeActivatesEveryEnabledBackItemInOrder) {
    CMenuPage* page = new CMenuPage(nullptr);
    Button(page, 0.4f, "b", nullptr, CallB, true);
    Button(page, 0.46f, "not back", nullptr, CallA, false);
    Button(page, 0.52f, "a", nullptr, CallA, true);
    Button(page, 0.58f, "disabled back", nullptr, CallB, true, true, false);
    m_manager->SetCurrentPage(page);
    m_manager->OnInput(kMenuBack);
    EXPECT_EQ(g_Calls, (std::vector<std::string>{"b", "a"}));
}

TEST_F(MenuPageTest, LeftAndRightActOnlyOnValueItemsWithoutTarget) {
    CMenuPage* page = new CMenuPage(nullptr);
    CMenuPage* other = new CMenuPage(nullptr);
    const struct {
        bool value;
        CMenuPage* target;
        bool acts;
    } cases[] = {{true, nullptr, true}, {false, nullptr, false}, {true, other, false}};
    for (const auto& c : cases) {
        CMenuButton* button = Button(page, 0.4f, "item", c.target, CallA, false, c.value);
        for (MenuCode code : {kMenuValueDown, kMenuValueUp}) {
            m_manager->SetCurrentPage(page);
            page->Select(button);
            g_Calls.clear();
            m_manager->OnInput(code);
            EXPECT_EQ(g_Calls.size(), c.acts ? 1u : 0u) << "value " << c.value << " code " << code;
            EXPECT_EQ(m_manager->GetCurrentPage(), page);
        }
    }
}

TEST_F(MenuPageTest, PointerSelectsOnlyWhenItMoves) {
    CMenuPage* page = new CMenuPage(nullptr);
    CMenuButton* top = Button(page, 0.4f, "top");
    CMenuButton* bottom = Button(page, 0.6f, "bottom");
    m_manager->SetCurrentPage(page);
    Mouse(0.4f, 0.42f, false);
    m_manager->Update();
    EXPECT_EQ(page->m_selected, top);
    m_manager->OnInput(kMenuNext);
    m_manager->Update();
    m_manager->Update();
    EXPECT_EQ(page->m_selected, bottom) << "a resting pointer overrode the keyboard";
}

TEST_F(MenuPageTest, AHeldButtonClicksOnceAndAPressDuringOpeningCountsWhenOpen) {
    CMenuPage* page = new CMenuPage(nullptr);
    Button(page, 0.4f, "go", nullptr, CallA);
    m_manager->Show();
    Mouse(0.4f, 0.42f, true);
    for (int i = 0; i < 3; ++i) m_manager->Update();
    EXPECT_TRUE(g_Calls.empty()) << "clicked while opening";
    Advance(1.0f);
    m_manager->Update();  // the step that opens the menu
    ASSERT_EQ(CGameMode::GetInstance()->menuState, CGameMode::kMenuOpen);
    for (int i = 0; i < 3; ++i) m_manager->Update();
    EXPECT_EQ(g_Calls.size(), 1u);
    Mouse(0.4f, 0.42f, false);
    m_manager->Update();
    Mouse(0.4f, 0.42f, true);
    m_manager->Update();
    EXPECT_EQ(g_Calls.size(), 2u);
}

TEST_F(MenuPageTest, ClickRulesOfButtonsTextsAndPictures) {
    CMenuPage* page = new CMenuPage(nullptr);
    CMenuPage* target = new CMenuPage(nullptr);
    m_manager->SetCurrentPage(page);

    // A disabled button ignores the click, and its slider is not dragged through it.
    CMenuButton* disabled = Button(page, 0.4f, "volume", nullptr, CallA, false, true, false);
    CMenuSlider* slider = new CMenuSlider(disabled, 0.6f, 0.4f, nullptr, nullptr, 0.0f, 1.0f, 0);
    disabled->OnClick(0.7f, 0.41f);
    EXPECT_TRUE(g_Calls.empty());
    EXPECT_EQ(CMenuSlider::Dragged(), nullptr);
    EXPECT_FLOAT_EQ(slider->m_value, 0.0f);

    // A button without a target clicks silently; with one it plays the click.
    CMenuButton* silent = Button(page, 0.5f, "silent", nullptr, CallA);
    CMenuButton* leads = Button(page, 0.6f, "leads", target, CallB);
    ClearSounds();
    silent->OnClick(0.38f, 0.52f);
    EXPECT_EQ(Played(kClick), 0);
    leads->OnClick(0.38f, 0.62f);
    EXPECT_EQ(Played(kClick), 1);
    EXPECT_EQ(m_manager->GetCurrentPage(), target);
    EXPECT_EQ(g_Calls, (std::vector<std::string>{"a", "b"}));

    // A disabled text line still leads to its target and runs its callback.
    m_manager->SetCurrentPage(page);
    g_Calls.clear();
    MenuTextStyle style = Style(0.37f, 0.7f);
    CMenuText* text = new CMenuText(page, &style, &style, "credits", target, false, CallA, false);
    text->OnClick(0.38f, 0.72f);
    EXPECT_EQ(m_manager->GetCurrentPage(), target);
    EXPECT_EQ(g_Calls, std::vector<std::string>{"a"});

    // A picture without a texture is never hit, not even through its value widget.
    MenuPicture picture = {0.6f, 0.4f, 1.0f, 1.0f, {1, 1, 1, 1}, {1, 1, 1, 1}, nullptr, nullptr};
    CMenuImage* image = new CMenuImage(page, picture, CallB, nullptr);
    new CMenuSlider(image, 0.6f, 0.4f, nullptr, nullptr, 0.0f, 1.0f, 0);
    EXPECT_FALSE(image->HitTest(0.7f, 0.41f));
}

TEST_F(MenuPageTest, CentredButtonHitRectangleCoversItsCentredText) {
    CMenuPage* page = new CMenuPage(nullptr);
    MenuTextStyle style = Style(0.5f, 0.5f, 0.05f, 1);
    CMenuButton* button = new CMenuButton(page, &style, nullptr, "Apply", nullptr, true, nullptr, false, false);
    float w, h;
    MeasureText(style, "Apply", 0.0f, &w, &h);
    ASSERT_GT(w, 0.05f);
    const struct {
        float dx, dy;
        bool hit;
    } points[] = {{0, 0, true},          {-0.45f, -0.45f, true}, {0.45f, 0.45f, true},
                  {-0.55f, 0, false},    {0.55f, 0, false},      {0, 0.55f, false},
                  {0.6f, 0.6f, false}};
    for (const auto& p : points)
        EXPECT_EQ(button->HitTest(0.5f + p.dx * w, 0.5f + p.dy * h), p.hit) << p.dx << ", " << p.dy;
}

}  // namespace
