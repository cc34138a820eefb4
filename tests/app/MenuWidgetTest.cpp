// Option lists and sliders by keys and mouse, and the pointer's fade.
#include <vector>

#include "app/MenuButton.h"
#include "app/MenuOptionList.h"
#include "app/MenuPage.h"
#include "app/MenuSlider.h"
#include "app/MousePointer.h"
#include "engine/Mouse.h"
#include "tests/app/MenuTestEnv.h"

using namespace menutest;

namespace {

std::vector<int> g_Seen;
CMenuOptionList* g_List = nullptr;
void ListChanged() { g_Seen.push_back(g_List->GetIndex()); }
std::vector<float> g_Values;
void SliderMoved(CMenuSlider* slider) { g_Values.push_back(slider->m_value); }

class MenuWidgetTest : public MenuEnv {
protected:
    void SetUp() override {
        MenuEnv::SetUp();
        g_Seen.clear();
        g_Values.clear();
        m_page = new CMenuPage(nullptr);
        m_manager->SetCurrentPage(m_page);
    }
    CMenuButton* Row(float y, const char* text, MenuCallback callback = nullptr) {
        MenuTextStyle style = Style(0.37f, y, 0.04f);
        return new CMenuButton(m_page, &style, nullptr, text, nullptr, true, callback, false, true);
    }
    CMenuSlider* Slider(int steps = 0) {
        CMenuButton* row = Row(0.4f, "music: ");
        m_row = row;
        return new CMenuSlider(row, 0.6f, 0.4f, SliderMoved, nullptr, 0.0f, 1.0f, steps);
    }
    CMenuPage* m_page = nullptr;
    CMenuButton* m_row = nullptr;
};

TEST_F(MenuWidgetTest, OptionListWrapsBothWaysWithTheChangeSoundBeforeItsCallback) {
    CMenuButton* row = Row(0.4f, "difficulty: ", ListChanged);
    MenuTextStyle normal = Style(0.6f, 0.4f, 0.04f), selected = Style(0.6f, 0.4f, 0.041f);
    g_List = new CMenuOptionList(row, &normal, &selected, {"easy", "medium", "hard"});
    m_page->Select(row);
    ClearSounds();
    for (MenuCode code : {kMenuValueUp, kMenuValueUp, kMenuValueUp, kMenuValueDown, kMenuValueDown})
        m_page->OnInput(code);
    EXPECT_EQ(g_Seen, (std::vector<int>{1, 2, 0, 2, 1}));
    EXPECT_STREQ(g_List->GetText(), "medium");
    EXPECT_EQ(Played(kChange), 5);

    // A click on the option text moves forward too; an empty list does nothing.
    float w, h;
    MeasureText(normal, g_List->GetText(), 0.0f, &w, &h);
    row->OnClick(0.6f + w / 2, 0.4f + h / 2);
    EXPECT_EQ(g_List->GetIndex(), 2);
    g_List->SetTexts({});
    ClearSounds();
    g_List->Change(true);
    EXPECT_EQ(Played(kChange), 0);
    EXPECT_STREQ(g_List->GetText(), "");
}

TEST_F(MenuWidgetTest, SliderStepsByATwentiethAndStopsAtItsEnds) {
    CMenuSlider* slider = Slider(0);
    slider->Change(true);
    EXPECT_FLOAT_EQ(slider->m_value, 0.05f);
    slider->m_value = 1.0f;
    g_Values.clear();
    slider->Change(true);
    EXPECT_FLOAT_EQ(slider->m_value, 1.0f);
    EXPECT_EQ(g_Values.size(), 1u) << "at the maximum the callback still runs";
    slider->m_value = 0.0f;
    slider->Change(false);
    EXPECT_FLOAT_EQ(slider->m_value, 0.0f);
}

TEST_F(MenuWidgetTest, SliderFollowsThePointerWhileTheButtonIsHeld) {
    CMenuSlider* slider = Slider();
    // A click on the row text leaves the thumb where it is.
    m_row->OnClick(0.38f, 0.41f);
    EXPECT_FLOAT_EQ(slider->m_value, 0.0f);
    m_manager->m_mouseHeld = false;

    // A click in the track sets the value at once and starts the drag.
    Mouse(0.675f, 0.41f, true);
    m_manager->Update();
    EXPECT_NEAR(slider->m_value, 0.5f, 0.01f);
    EXPECT_EQ(CMenuSlider::Dragged(), slider);

    // Past the right end the value holds at max, whatever item is under the pointer.
    Mouse(0.95f, 0.7f, true);
    m_manager->Update();
    EXPECT_FLOAT_EQ(slider->m_value, 1.0f);

    // Left or Right while held follow the pointer instead of stepping.
    Mouse(0.645f, 0.41f, true);
    m_manager->Update();
    m_page->Select(m_row);
    m_page->OnInput(kMenuValueDown);
    EXPECT_NEAR(slider->m_value, 0.25f, 0.01f);

    // Released: the next hit test ends the drag and the keys step again.
    Mouse(0.645f, 0.41f, false);
    m_manager->Update();
    slider->HitTest(0.1f, 0.1f);
    EXPECT_EQ(CMenuSlider::Dragged(), nullptr);
    float before = slider->m_value;
    m_page->OnInput(kMenuValueUp);
    EXPECT_NEAR(slider->m_value, before + 0.05f, 1e-5f);
}

class PointerTest : public MenuEnv {
protected:
    float Step() const override { return 0.25f; }
};

TEST_F(PointerTest, FadesAfterThreeSecondsOfRestAndComesBackOnAMove) {
    CMousePointer* pointer = CMousePointer::GetInstance();
    pointer->Update();  // first look at the mouse
    pointer->Update();  // resting from now
    ASSERT_EQ(pointer->m_state, CMousePointer::kResting);
    for (int i = 0; i < 12; ++i) {
        Advance(0.25f);
        pointer->Update();
    }
    EXPECT_EQ(pointer->m_state, CMousePointer::kResting) << "exactly 3 s of rest";
    EXPECT_EQ(pointer->Alpha(Now()), 240);
    Advance(0.25f);
    pointer->Update();
    EXPECT_EQ(pointer->m_state, CMousePointer::kFading);
    Advance(0.5f);
    EXPECT_EQ(pointer->Alpha(Now()), 120);
    Advance(0.5f);
    pointer->Update();
    EXPECT_EQ(pointer->m_state, CMousePointer::kFading);
    Advance(0.25f);
    pointer->Update();
    EXPECT_EQ(pointer->m_state, CMousePointer::kHidden);
    EXPECT_EQ(pointer->Alpha(Now()), 0);

    Mouse(0.3f, 0.3f, false);
    pointer->Update();
    EXPECT_EQ(pointer->Alpha(Now()), 240);
}

}  // namespace
