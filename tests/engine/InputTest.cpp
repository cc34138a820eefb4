#include <gtest/gtest.h>

#include <dinputhooks.h>

#include "engine/DirectInput.h"
#include "engine/Keyboard.h"
#include "engine/Mouse.h"
#include "LogCapture.h"
#include "support/EngineScope.h"

namespace {

float g_Now = 0.0f;
float TestTime() { return g_Now; }
HWND TestWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x77)); }

class InputTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetInputTestMode(true);
        SetInputSources(TestTime, TestWindow);
        g_Now = 0.0f;
    }
    void TearDown() override {
        m_Singletons.Now();
        if (GetDirectInput()) ReleaseDirectInput();
        platform::SetInputFault(platform::InputFault::None);
        platform::SetInputTestMode(false);
        SetInputSources(nullptr, nullptr);
    }
    std::string Log() { return m_log.Text(); }

    // One update step of the given length.
    void Step(CKeyboard* kb, float dt) {
        g_Now += dt;
        kb->Update();
    }
    // Whether the action fires in an update at the given time.
    bool FiresAt(CKeyboard* kb, float now, unsigned action) {
        g_Now = now;
        kb->Update();
        return kb->IsActionDown(action);
    }

    testutil::LogCapture m_log;
    enginescope::Sweep m_Singletons;
};

TEST_F(InputTest, CreateAndReleaseLogTheirSteps) {
    ASSERT_TRUE(CreateDirectInput(nullptr));
    EXPECT_EQ(g_DirectInput, GetDirectInput());
    ReleaseDirectInput();
    EXPECT_EQ(nullptr, GetDirectInput());
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("Creating DirectInput8 object"));
    EXPECT_NE(std::string::npos, log.find("Release DirectInput8 object"));

    platform::SetInputFault(platform::InputFault::Create);
    EXPECT_FALSE(CreateDirectInput(nullptr));
    EXPECT_EQ(nullptr, GetDirectInput());
    EXPECT_NE(std::string::npos, Log().find("Error, couldn't create DirectInput8 object. Code = DIERR_GENERIC"));
}

TEST_F(InputTest, KeyboardWithoutDirectInputHasNoDeviceAndNoKeys) {
    CKeyboard* kb = CKeyboard::GetInstance();
    kb->BindAction(1, DIK_LEFT, 0xFFFFFFFFu, 0.0f, 0.0f);
    platform::InjectKey(DIK_LEFT, true);
    Step(kb, 0.025f);
    EXPECT_FALSE(kb->IsActionDown(1));
    EXPECT_EQ(std::string::npos, Log().find("Creating keyboard device"));
}

TEST_F(InputTest, DeviceSetupFailuresAreLoggedAndLeaveAQuietDevice) {
    ASSERT_TRUE(CreateDirectInput(nullptr));
    platform::SetInputFault(platform::InputFault::SetCooperativeLevel);
    CKeyboard* kb = CKeyboard::GetInstance();
    platform::SetInputFault(platform::InputFault::Acquire);
    CMouse* mouse = CMouse::GetInstance();
    platform::SetInputFault(platform::InputFault::None);
    std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("Error, couldn't set cooperative level for keyboard. Code = DIERR_GENERIC"));
    EXPECT_NE(std::string::npos, log.find("Error, couldn't activate mouse. Code = DIERR_OTHERAPPHASPRIO"));
    // Reading a half-made device fails quietly: nothing fires, nothing moves.
    kb->BindAction(5, DIK_SPACE, 0xFFFFFFFFu, 0.0f, 0.0f);
    platform::InjectKey(DIK_SPACE, true);
    Step(kb, 0.025f);
    EXPECT_FALSE(kb->IsActionDown(5));
    platform::InjectMouseMotion(30, 0);
    mouse->Update();
    // The mouse was set up apart from the acquisition, so the retry takes it now.
    platform::InjectMouseMotion(10, 0);
    mouse->Update();
    EXPECT_FLOAT_EQ(0.5f + 10 * 0.01f, mouse->GetX());
}

TEST_F(InputTest, HeldKeyFiresOnPressThenAfterDelayThenEveryStep) {
    ASSERT_TRUE(CreateDirectInput(nullptr));
    CKeyboard* kb = CKeyboard::GetInstance();
    kb->BindAction(1, DIK_LEFT, 0xFFFFFFFFu, 0.2f, 0.0f);
    kb->BindAction(0, DIK_A, DIK_Q, 0.5f, 0.25f);

    // Left held for 1 s at 0.025 s per step.
    platform::InjectKey(DIK_LEFT, true);
    std::vector<int> fired;
    for (int step = 0; step < 40; ++step) {
        Step(kb, 0.025f);
        if (kb->IsActionDown(1)) fired.push_back(step);
    }
    ASSERT_GE(fired.size(), 2u);
    EXPECT_EQ(0, fired[0]);
    // Float steps: the delay is reached on step 8 (0.2 s after the press) or one later.
    EXPECT_TRUE(fired[1] == 8 || fired[1] == 9) << fired[1];
    EXPECT_EQ(40u - fired[1] + 1u, fired.size()) << "with interval 0 every later step fires";
    // The zero-length remainder step fires too with interval 0.
    Step(kb, 0.0f);
    EXPECT_TRUE(kb->IsActionDown(1));

    // Released: no pulse, and the next press fires at once.
    platform::InjectKey(DIK_LEFT, false);
    Step(kb, 0.025f);
    EXPECT_FALSE(kb->IsActionDown(1));
    platform::InjectKey(DIK_LEFT, true);
    Step(kb, 0.025f);
    EXPECT_TRUE(kb->IsActionDown(1));
    platform::InjectKey(DIK_LEFT, false);

    // The second key of an action, with a real interval: press, +0.5 s, then every 0.25 s.
    platform::InjectKey(DIK_Q, true);
    EXPECT_TRUE(FiresAt(kb, 10.0f, 0));
    EXPECT_FALSE(kb->IsActionDown(1));
    EXPECT_FALSE(FiresAt(kb, 10.4f, 0));
    EXPECT_TRUE(FiresAt(kb, 10.5f, 0));
    EXPECT_FALSE(FiresAt(kb, 10.7f, 0));
    EXPECT_TRUE(FiresAt(kb, 10.75f, 0));
}

TEST_F(InputTest, UnboundAndOutOfRangeCodesNeverFire) {
    ASSERT_TRUE(CreateDirectInput(nullptr));
    CKeyboard* kb = CKeyboard::GetInstance();
    kb->BindAction(2, DIK_RIGHT, 0xFFFFFFFFu, 0.2f, 0.0f);
    kb->BindAction(3, 300, 256, 0.0f, 0.0f);
    kb->BindAction(20, DIK_SPACE, DIK_SPACE, 0.0f, 0.0f);  // no such action: refused
    for (int k = 0; k < 256; ++k) platform::InjectKey(k, true);
    Step(kb, 0.025f);
    EXPECT_TRUE(kb->IsActionDown(2));
    EXPECT_FALSE(kb->IsActionDown(3));
    EXPECT_FALSE(kb->IsActionDown(4)) << "never bound";
    EXPECT_FALSE(kb->IsActionDown(20));
    EXPECT_FALSE(kb->IsActionDown(0xFFFFFFFFu));
    EXPECT_NE(std::string::npos, Log().find("Error, couldn't bind action 20"));
}

TEST_F(InputTest, PulsesLastOneStepAndFocusLossKeepsThem) {
    ASSERT_TRUE(CreateDirectInput(nullptr));
    CKeyboard* kb = CKeyboard::GetInstance();
    kb->BindAction(4, DIK_DOWN, 0xFFFFFFFFu, 1.0f, 1.0f);
    // A press and release between two polls gives one pulse.
    platform::InjectKey(DIK_DOWN, true);
    platform::InjectKey(DIK_DOWN, false);
    Step(kb, 0.025f);
    EXPECT_TRUE(kb->IsActionDown(4));
    Step(kb, 0.025f);
    EXPECT_FALSE(kb->IsActionDown(4));

    platform::InjectKey(DIK_DOWN, true);
    Step(kb, 0.025f);
    EXPECT_TRUE(kb->IsActionDown(4));
    Step(kb, 0.025f);
    EXPECT_FALSE(kb->IsActionDown(4)) << "a pulse lasts one step";

    // Without focus the step keeps the last values, and the device comes back later.
    platform::InjectKey(DIK_DOWN, false);
    Step(kb, 0.025f);
    platform::InjectKey(DIK_DOWN, true);
    Step(kb, 0.025f);
    ASSERT_TRUE(kb->IsActionDown(4));
    platform::SetInputFocus(false);
    platform::InjectKey(DIK_DOWN, false);
    Step(kb, 0.025f);
    EXPECT_TRUE(kb->IsActionDown(4)) << "a step that cannot read changes nothing";
    Step(kb, 0.025f);
    EXPECT_TRUE(kb->IsActionDown(4));
    platform::SetInputFocus(true);
    Step(kb, 0.025f);  // re-acquired here, read in the next step
    Step(kb, 0.025f);
    EXPECT_FALSE(kb->IsActionDown(4));
}

TEST_F(InputTest, BindingSharesKeyTimingAndLeavesOtherKeysAlone) {
    ASSERT_TRUE(CreateDirectInput(nullptr));
    CKeyboard* kb = CKeyboard::GetInstance();
    // Untouched keys keep delay 1.0 / interval 0.1.
    kb->BindAction(1, DIK_LEFT, 0xFFFFFFFFu, 0.0f, 0.0f);
    kb->BindAction(6, DIK_Z, 0xFFFFFFFFu, 1.0f, 0.1f);
    platform::InjectKey(DIK_X, true);
    platform::InjectKey(DIK_Z, true);
    EXPECT_TRUE(FiresAt(kb, 1.0f, 6));
    EXPECT_FALSE(FiresAt(kb, 1.99f, 6));
    EXPECT_TRUE(FiresAt(kb, 2.0f, 6));
    // A later binding that shares Z changes its timing for both actions.
    kb->BindAction(7, DIK_Z, 0xFFFFFFFFu, 0.0f, 0.0f);
    EXPECT_TRUE(FiresAt(kb, 2.01f, 6));  // phase cleared: a fresh press
    EXPECT_TRUE(kb->IsActionDown(7));
    EXPECT_TRUE(FiresAt(kb, 2.02f, 6));
}

TEST_F(InputTest, MouseMovesBySensitivityClampedAndKeepsValuesWhileLost) {
    ASSERT_TRUE(CreateDirectInput(nullptr));
    CMouse* mouse = CMouse::GetInstance();
    EXPECT_FLOAT_EQ(0.5f, mouse->GetX());
    EXPECT_FLOAT_EQ(0.5f, mouse->GetY());
    EXPECT_FLOAT_EQ(0.01f, mouse->GetSensitivity());
    EXPECT_TRUE(platform::InputCursorHidden()) << "the exclusive mouse hides the system cursor";
    mouse->SetSensitivity(0.005f);

    platform::InjectMouseMotion(1000, 0);
    mouse->Update();
    EXPECT_FLOAT_EQ(1.0f, mouse->GetX()) << "clamped, not 5.5";
    platform::InjectMouseMotion(-40, 20);
    mouse->Update();
    EXPECT_FLOAT_EQ(0.8f, mouse->GetX());
    EXPECT_FLOAT_EQ(0.6f, mouse->GetY());
    platform::InjectMouseMotion(0, -5000);
    mouse->Update();
    EXPECT_FLOAT_EQ(0.0f, mouse->GetY());

    platform::InjectMouseButton(0, true);
    platform::InjectMouseButton(2, true);
    mouse->Update();
    EXPECT_TRUE(mouse->GetLeftButton());
    EXPECT_FALSE(mouse->GetRightButton());

    // Focus lost: position and buttons stay, motion meanwhile is not applied.
    platform::SetInputFocus(false);
    platform::InjectMouseButton(0, false);
    platform::InjectMouseMotion(-100, 100);
    mouse->Update();
    EXPECT_FLOAT_EQ(0.8f, mouse->GetX());
    EXPECT_FLOAT_EQ(0.0f, mouse->GetY());
    EXPECT_TRUE(mouse->GetLeftButton());
    EXPECT_FALSE(platform::InputCursorHidden());
    platform::SetInputFocus(true);
    mouse->Update();  // re-acquired, stale motion dropped
    platform::InjectMouseButton(1, true);
    mouse->Update();
    EXPECT_FLOAT_EQ(0.8f, mouse->GetX());
    EXPECT_FALSE(mouse->GetLeftButton());
    EXPECT_TRUE(mouse->GetRightButton());

    delete mouse;
    EXPECT_FALSE(CMouse::HasInstance());
    EXPECT_FALSE(platform::InputCursorHidden());
    EXPECT_NE(std::string::npos, Log().find("Release mouse device"));
}

}  // namespace
