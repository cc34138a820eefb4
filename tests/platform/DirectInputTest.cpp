#include <gtest/gtest.h>

#include <SDL.h>
#include <dinput.h>
#include <dinputhooks.h>

#include <set>

namespace {

HWND FakeWindow() { return reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1234)); }

class DirectInputTest : public testing::Test {
protected:
    void SetUp() override {
        platform::SetInputTestMode(true);
        ASSERT_EQ(DI_OK, DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                            reinterpret_cast<void**>(&m_di), nullptr));
    }
    void TearDown() override {
        if (m_di) m_di->Release();
        platform::SetInputFault(platform::InputFault::None);
        platform::SetInputTestMode(false);
    }

    IDirectInputDevice8* Make(const GUID& guid, const DIDATAFORMAT& format, DWORD flags) {
        IDirectInputDevice8* dev = nullptr;
        EXPECT_EQ(DI_OK, m_di->CreateDevice(guid, &dev, nullptr));
        EXPECT_EQ(DI_OK, dev->SetDataFormat(&format));
        EXPECT_EQ(DI_OK, dev->SetCooperativeLevel(FakeWindow(), flags));
        return dev;
    }

    IDirectInput8* m_di = nullptr;
};

TEST_F(DirectInputTest, CreateChecksVersionInterfaceAndFault) {
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(DIERR_OLDDIRECTINPUTVERSION, DirectInput8Create(nullptr, 0x0700, IID_IDirectInput8A, &out, nullptr));
    EXPECT_EQ(nullptr, out);
    EXPECT_EQ(DIERR_NOINTERFACE, DirectInput8Create(nullptr, 0x0800, GUID_SysMouse, &out, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, nullptr, nullptr));
    platform::SetInputFault(platform::InputFault::Create);
    EXPECT_TRUE(FAILED(DirectInput8Create(nullptr, 0x0800, IID_IDirectInput8A, &out, nullptr)));
    EXPECT_EQ(nullptr, out);

    IDirectInputDevice8* dev = reinterpret_cast<IDirectInputDevice8*>(1);
    EXPECT_EQ(DIERR_DEVICENOTREG, m_di->CreateDevice(IID_IDirectInput8A, &dev, nullptr));
    EXPECT_EQ(nullptr, dev);
}

TEST_F(DirectInputTest, KeyboardReportsInjectedKeysByScanCode) {
    IDirectInputDevice8* kb = Make(GUID_SysKeyboard, c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    BYTE keys[256];
    EXPECT_EQ(DIERR_NOTACQUIRED, kb->GetDeviceState(256, keys));
    ASSERT_EQ(DI_OK, kb->Acquire());
    EXPECT_EQ(DI_NOEFFECT, kb->Acquire());
    platform::InjectKey(DIK_LEFT, true);
    platform::InjectKey(DIK_SPACE, true);
    platform::InjectKey(300, true);  // ignored
    memset(keys, 0x55, sizeof keys);
    ASSERT_EQ(DI_OK, kb->GetDeviceState(256, keys));
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ((i == DIK_LEFT || i == DIK_SPACE) ? 0x80 : 0, keys[i]) << "key " << i;
    // A mouse-sized read of a keyboard is refused.
    EXPECT_EQ(DIERR_INVALIDPARAM, kb->GetDeviceState(sizeof(DIMOUSESTATE), keys));
    kb->Release();
}

TEST_F(DirectInputTest, FocusLossReportsInputLostUntilReacquired) {
    IDirectInputDevice8* kb = Make(GUID_SysKeyboard, c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND);
    IDirectInputDevice8* mouse = Make(GUID_SysMouse, c_dfDIMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    ASSERT_EQ(DI_OK, kb->Acquire());
    ASSERT_EQ(DI_OK, mouse->Acquire());
    EXPECT_TRUE(platform::InputCursorHidden());

    platform::SetInputFocus(false);
    BYTE keys[256];
    DIMOUSESTATE ms;
    EXPECT_EQ(DIERR_INPUTLOST, kb->GetDeviceState(256, keys));
    EXPECT_EQ(DIERR_INPUTLOST, mouse->GetDeviceState(sizeof ms, &ms));
    EXPECT_FALSE(platform::InputCursorHidden()) << "the cursor comes back when the focus goes";
    // Acquiring without the focus must not report input lost, or a retry loop never ends.
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, kb->Acquire());
    EXPECT_EQ(DIERR_NOTACQUIRED, kb->GetDeviceState(256, keys));

    platform::SetInputFocus(true);
    EXPECT_EQ(DI_OK, kb->Acquire());
    EXPECT_EQ(DI_OK, kb->GetDeviceState(256, keys));
    EXPECT_EQ(DI_OK, mouse->Acquire());
    EXPECT_TRUE(platform::InputCursorHidden());
    mouse->Release();
    EXPECT_FALSE(platform::InputCursorHidden()) << "releasing an acquired mouse shows the cursor";
    kb->Release();
}

TEST_F(DirectInputTest, MouseMotionIsRelativeAndConsumedByEachRead) {
    IDirectInputDevice8* mouse = Make(GUID_SysMouse, c_dfDIMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND);
    platform::InjectMouseMotion(50, 50);  // before the acquisition: dropped
    ASSERT_EQ(DI_OK, mouse->Acquire());
    platform::InjectMouseMotion(10, -4, 1);
    platform::InjectMouseMotion(5, 0);
    platform::InjectMouseButton(1, true);
    DIMOUSESTATE ms;
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof ms, &ms));
    EXPECT_EQ(15, ms.lX);
    EXPECT_EQ(-4, ms.lY);
    EXPECT_EQ(1, ms.lZ);
    EXPECT_EQ(0, ms.rgbButtons[0]);
    EXPECT_EQ(0x80, ms.rgbButtons[1]);
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof ms, &ms));
    EXPECT_EQ(0, ms.lX);
    EXPECT_EQ(0, ms.lY);
    EXPECT_EQ(0x80, ms.rgbButtons[1]) << "buttons stay held between reads";
    mouse->Release();
}

TEST_F(DirectInputTest, SetupCallsValidateTheirArguments) {
    IDirectInputDevice8* mouse = nullptr;
    ASSERT_EQ(DI_OK, m_di->CreateDevice(GUID_SysMouse, &mouse, nullptr));
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->Acquire()) << "no data format yet";
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->SetDataFormat(&c_dfDIKeyboard));
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->SetDataFormat(nullptr));
    EXPECT_EQ(DI_OK, mouse->SetDataFormat(&c_dfDIMouse));
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->SetCooperativeLevel(FakeWindow(), DISCL_EXCLUSIVE | DISCL_NONEXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DIERR_INVALIDPARAM, mouse->SetCooperativeLevel(nullptr, DISCL_EXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DI_OK, mouse->SetCooperativeLevel(FakeWindow(), DISCL_EXCLUSIVE | DISCL_FOREGROUND));
    platform::SetInputFault(platform::InputFault::Acquire);
    EXPECT_TRUE(FAILED(mouse->Acquire()));
    mouse->Release();
}

TEST(DirectInputRealTest, WithoutAFocusedWindowNothingIsAcquired) {
    // No SDL video here: no window can have the focus, so foreground devices stay unacquired.
    ASSERT_FALSE(platform::InputTestMode());
    ASSERT_FALSE(SDL_WasInit(SDL_INIT_VIDEO));
    IDirectInput8* di = nullptr;
    ASSERT_EQ(DI_OK, DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                        reinterpret_cast<void**>(&di), nullptr));
    IDirectInputDevice8* mouse = nullptr;
    ASSERT_EQ(DI_OK, di->CreateDevice(GUID_SysMouse, &mouse, nullptr));
    ASSERT_EQ(DI_OK, mouse->SetDataFormat(&c_dfDIMouse));
    ASSERT_EQ(DI_OK, mouse->SetCooperativeLevel(FakeWindow(), DISCL_EXCLUSIVE | DISCL_FOREGROUND));
    EXPECT_EQ(DIERR_OTHERAPPHASPRIO, mouse->Acquire());
    DIMOUSESTATE ms;
    EXPECT_EQ(DIERR_NOTACQUIRED, mouse->GetDeviceState(sizeof ms, &ms));
    EXPECT_FALSE(platform::InputCursorHidden());
    // A background device reads SDL's state even without a window: nothing is held.
    ASSERT_EQ(DI_OK, mouse->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
    ASSERT_EQ(DI_OK, mouse->Acquire());
    memset(&ms, 0x7F, sizeof ms);
    ASSERT_EQ(DI_OK, mouse->GetDeviceState(sizeof ms, &ms));
    EXPECT_EQ(0, ms.rgbButtons[0]);
    mouse->Release();
    di->Release();
}

// A key or button that goes down and up between two reads is reported down by
// the next read only, whether it comes from SDL's events or from the test hooks;
// one from before the acquisition is not reported at all.
TEST(DirectInputPressTest, PressBetweenTwoReadsIsSeenOnce) {
    struct Case {
        const char* name;
        bool keyboard, fromSdl;
    } cases[] = {{"key, injected", true, false},
                 {"key, SDL event", true, true},
                 {"button, injected", false, false},
                 {"button, SDL event", false, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        platform::SetInputTestMode(!c.fromSdl);
        ASSERT_EQ(0, SDL_InitSubSystem(SDL_INIT_EVENTS));
        auto tap = [&] {
            for (bool down : {true, false}) {
                if (!c.fromSdl) {
                    c.keyboard ? platform::InjectKey(DIK_SPACE, down) : platform::InjectMouseButton(1, down);
                    continue;
                }
                SDL_Event e{};
                if (c.keyboard) {
                    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
                    e.key.keysym.scancode = SDL_SCANCODE_SPACE;
                } else {
                    e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
                    e.button.button = SDL_BUTTON_RIGHT;
                }
                SDL_PushEvent(&e);
            }
        };
        IDirectInput8* di = nullptr;
        ASSERT_EQ(DI_OK, DirectInput8Create(nullptr, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                            reinterpret_cast<void**>(&di), nullptr));
        IDirectInputDevice8* dev = nullptr;
        ASSERT_EQ(DI_OK, di->CreateDevice(c.keyboard ? GUID_SysKeyboard : GUID_SysMouse, &dev, nullptr));
        ASSERT_EQ(DI_OK, dev->SetDataFormat(c.keyboard ? &c_dfDIKeyboard : &c_dfDIMouse));
        ASSERT_EQ(DI_OK, dev->SetCooperativeLevel(nullptr, DISCL_NONEXCLUSIVE | DISCL_BACKGROUND));
        auto down = [&] {
            BYTE keys[256] = {};
            DIMOUSESTATE ms{};
            EXPECT_EQ(DI_OK, c.keyboard ? dev->GetDeviceState(256, keys) : dev->GetDeviceState(sizeof ms, &ms));
            return (c.keyboard ? keys[DIK_SPACE] : ms.rgbButtons[1]) == 0x80;
        };
        tap();
        ASSERT_EQ(DI_OK, dev->Acquire());
        EXPECT_FALSE(down()) << "a press before the acquisition";
        tap();
        EXPECT_TRUE(down());
        EXPECT_FALSE(down()) << "reported once only";
        tap();
        dev->Unacquire();
        ASSERT_EQ(DI_OK, dev->Acquire());
        EXPECT_FALSE(down()) << "a press while unacquired";
        dev->Release();
        di->Release();
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
        platform::SetInputTestMode(false);
    }
}

TEST(KeyMapTest, SdlScancodesMapToDistinctScanCodes) {
    // The keys the game binds, and a sample of each group.
    const int cases[][2] = {{SDL_SCANCODE_LEFT, DIK_LEFT},     {SDL_SCANCODE_RIGHT, DIK_RIGHT},
                            {SDL_SCANCODE_UP, DIK_UP},         {SDL_SCANCODE_DOWN, DIK_DOWN},
                            {SDL_SCANCODE_SPACE, DIK_SPACE},   {SDL_SCANCODE_RETURN, DIK_RETURN},
                            {SDL_SCANCODE_KP_ENTER, DIK_NUMPADENTER}, {SDL_SCANCODE_RALT, DIK_RMENU},
                            {SDL_SCANCODE_F12, DIK_F12},       {-1, 0},
                            {SDL_NUM_SCANCODES, 0}};
    for (const auto& c : cases) EXPECT_EQ(c[1], platform::DikFromSdlScancode(c[0])) << "scancode " << c[0];

    // Letters, digits, function keys, keypad and modifiers all map, each to its own code.
    std::set<int> seen;
    auto check = [&](int first, int last) {
        for (int sc = first; sc <= last; ++sc) {
            int dik = platform::DikFromSdlScancode(sc);
            EXPECT_NE(0, dik) << "scancode " << sc;
            EXPECT_TRUE(seen.insert(dik).second) << "scancode " << sc << " shares " << dik;
        }
    };
    check(SDL_SCANCODE_A, SDL_SCANCODE_0);
    check(SDL_SCANCODE_RETURN, SDL_SCANCODE_BACKSLASH);
    check(SDL_SCANCODE_SEMICOLON, SDL_SCANCODE_F12);
    check(SDL_SCANCODE_SCROLLLOCK, SDL_SCANCODE_KP_PERIOD);
    check(SDL_SCANCODE_LCTRL, SDL_SCANCODE_RGUI);
}

}  // namespace
