// The window layer and its message queue: SDL events in, Windows messages out.
#include <gtest/gtest.h>

#include <platform.h>
#include <win32.h>
#include <winuserhooks.h>

#include <SDL.h>

#include <cstdlib>
#include <cstring>
#include <vector>
#include "support/TestUtil.h"

namespace {

std::vector<MSG> g_Dispatched;

LRESULT CALLBACK RecordingProc(HWND w, UINT m, WPARAM wp, LPARAM lp) {
    MSG msg = {w, m, wp, lp, 0, {0, 0}};
    g_Dispatched.push_back(msg);
    return DefWindowProcA(w, m, wp, lp);
}

// Test processes share one X server, so real focus changes come and go;
// only the focus events a test pushes itself are let through.
const Sint32 kPushedMark = 0x4B4F4C;
int SDLCALL OnlyPushedFocus(void*, SDL_Event* e) {
    if (e->type != SDL_WINDOWEVENT) return 1;
    Uint8 ev = e->window.event;
    if (ev != SDL_WINDOWEVENT_FOCUS_GAINED && ev != SDL_WINDOWEVENT_FOCUS_LOST) return 1;
    return e->window.data1 == kPushedMark;
}

const DWORD kWindowed = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;

class WindowTest : public testing::Test {
protected:
    void SetUp() override {
        static bool registered = false;
        if (!registered) {
            WNDCLASSA wc;
            memset(&wc, 0, sizeof wc);
            wc.lpfnWndProc = RecordingProc;
            wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
            wc.lpszClassName = "window test";
            ASSERT_NE(RegisterClassA(&wc), 0);
            registered = true;
        }
        g_Dispatched.clear();
        SDL_SetEventFilter(OnlyPushedFocus, nullptr);
    }
    void TearDown() override {
        for (HWND w : m_Windows) DestroyWindow(w);
        Drain();
    }

    HWND Make(DWORD style, int x = 100, int y = 80, int w = 320, int h = 240) {
        HWND hwnd = CreateWindowExA(0, "window test", "Test", style, x, y, w, h, nullptr, nullptr, nullptr, nullptr);
        if (hwnd) m_Windows.push_back(hwnd);
        return hwnd;
    }

    // Every message waiting, removed from the queue.
    static std::vector<MSG> Drain() {
        std::vector<MSG> out;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
            if (m.message == WM_QUIT) break;
            out.push_back(m);
        }
        return out;
    }

    static Uint32 IdOf(HWND w) {
        SDL_Window* sdl = static_cast<SDL_Window*>(platform::SdlWindowOf(w));
        return sdl ? SDL_GetWindowID(sdl) : 0;
    }

    static void PushKey(HWND w, SDL_Keycode key, bool down, bool repeat = false,
                        SDL_Scancode scan = SDL_SCANCODE_UNKNOWN) {
        SDL_Event e;
        memset(&e, 0, sizeof e);
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = IdOf(w);
        e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        e.key.repeat = repeat ? 1 : 0;
        e.key.keysym.sym = key;
        e.key.keysym.scancode = scan;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    static void PushText(HWND w, const char* utf8) {
        SDL_Event e;
        memset(&e, 0, sizeof e);
        e.type = SDL_TEXTINPUT;
        e.text.windowID = IdOf(w);
        strncpy(e.text.text, utf8, sizeof e.text.text - 1);
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    static void PushWindowEvent(HWND w, Uint8 event) {
        SDL_Event e;
        memset(&e, 0, sizeof e);
        e.type = SDL_WINDOWEVENT;
        e.window.windowID = IdOf(w);
        e.window.event = event;
        e.window.data1 = kPushedMark;
        ASSERT_EQ(SDL_PushEvent(&e), 1);
    }

    // A shown window with the activation of its first show already taken.
    HWND Ready() {
        HWND w = Make(kWindowed);
        if (!w || !platform::SdlWindowOf(w)) return nullptr;
        Drain();
        return w;
    }

    std::vector<HWND> m_Windows;
};

#define REQUIRE_DISPLAY(w)                                      \
    if (!(w)) KOLVAR_SKIP_WITHOUT_GL() << "no display for SDL windows"

TEST_F(WindowTest, KeyPressGivesKeyDownThenCharInCodePage1252) {
    HWND w = Ready();
    REQUIRE_DISPLAY(w);
    PushKey(w, SDLK_a, true);
    PushText(w, "a");
    PushKey(w, SDLK_a, true, true);
    PushText(w, "\xC3\xA9\xE2\x82\xAC\xE4\xB8\xAD");  // e acute, euro, a CJK character
    PushKey(w, SDLK_a, false);

    std::vector<MSG> ms = Drain();
    ASSERT_EQ(ms.size(), 7u);
    EXPECT_EQ(ms[0].message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(ms[0].wParam, (WPARAM)'A');
    EXPECT_EQ(ms[0].lParam & (1 << 30), 0) << "first press has no previous state";
    EXPECT_EQ(ms[0].hwnd, w);
    EXPECT_EQ(ms[1].message, (UINT)WM_CHAR);
    EXPECT_EQ(ms[1].wParam, (WPARAM)'a');
    EXPECT_EQ(ms[2].message, (UINT)WM_KEYDOWN);
    EXPECT_NE(ms[2].lParam & (1 << 30), 0) << "auto-repeat keeps the previous-state bit";
    EXPECT_EQ(ms[3].wParam, (WPARAM)0xE9);
    EXPECT_EQ(ms[4].wParam, (WPARAM)0x80);
    EXPECT_EQ(ms[5].wParam, (WPARAM)'?');
    EXPECT_EQ(ms[6].message, (UINT)WM_KEYUP);
    EXPECT_EQ((uint32_t)ms[6].lParam >> 30, 3u);
}

TEST_F(WindowTest, ControlKeysTypeTheirCharacterRightAfterTheKey) {
    HWND w = Ready();
    REQUIRE_DISPLAY(w);
    PushKey(w, SDLK_RETURN, true);
    PushKey(w, SDLK_BACKSPACE, true);
    PushKey(w, SDLK_ESCAPE, true);
    PushKey(w, SDLK_F1, true);

    std::vector<MSG> got;
    MSG m;
    while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) {
        got.push_back(m);
        EXPECT_EQ(TranslateMessage(&m), m.message == WM_KEYDOWN && m.wParam != VK_F1);
    }
    ASSERT_EQ(got.size(), 7u);
    const UINT expect[7][2] = {{WM_KEYDOWN, VK_RETURN}, {WM_CHAR, 13}, {WM_KEYDOWN, VK_BACK}, {WM_CHAR, 8},
                               {WM_KEYDOWN, VK_ESCAPE}, {WM_CHAR, 27}, {WM_KEYDOWN, VK_F1}};
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(got[i].message, expect[i][0]) << i;
        EXPECT_EQ(got[i].wParam, (WPARAM)expect[i][1]) << i;
    }
}

TEST_F(WindowTest, VirtualKeysOfTheShellsHotKeys) {
    HWND w = Ready();
    REQUIRE_DISPLAY(w);
    struct {
        SDL_Keycode key;
        SDL_Scancode scan;
        UINT vk;
    } cases[] = {{SDLK_COMMA, SDL_SCANCODE_COMMA, VK_OEM_COMMA},
                 {SDLK_PERIOD, SDL_SCANCODE_PERIOD, VK_OEM_PERIOD},
                 {SDLK_F12, SDL_SCANCODE_F12, VK_F12},
                 {SDLK_UP, SDL_SCANCODE_UP, VK_UP},
                 {SDLK_KP_ENTER, SDL_SCANCODE_KP_ENTER, VK_RETURN},
                 {SDLK_7, SDL_SCANCODE_7, '7'},
                 // A layout's own letter (o umlaut on a German keyboard) keeps its US position.
                 {0xF6, SDL_SCANCODE_SEMICOLON, VK_OEM_1},
                 {SDLK_LSHIFT, SDL_SCANCODE_LSHIFT, VK_SHIFT}};
    for (auto& c : cases) PushKey(w, c.key, true, false, c.scan);
    std::vector<MSG> ms = Drain();
    ASSERT_EQ(ms.size(), sizeof cases / sizeof cases[0]);
    for (size_t i = 0; i < ms.size(); ++i) EXPECT_EQ(ms[i].wParam, (WPARAM)cases[i].vk) << i;
}

TEST_F(WindowTest, CloseRequestBecomesWmCloseAndDefaultHandlingDestroys) {
    HWND w = Ready();
    REQUIRE_DISPLAY(w);
    PushWindowEvent(w, SDL_WINDOWEVENT_CLOSE);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, (UINT)WM_CLOSE);
    EXPECT_EQ(m.hwnd, w);
    DispatchMessageA(&m);
    ASSERT_EQ(g_Dispatched.size(), 2u);
    EXPECT_EQ(g_Dispatched[0].message, (UINT)WM_CLOSE);
    EXPECT_EQ(g_Dispatched[1].message, (UINT)WM_DESTROY);
    EXPECT_EQ(platform::SdlWindowOf(w), nullptr);
    EXPECT_FALSE(ShowWindow(w, SW_SHOWNORMAL)) << "a destroyed handle is refused, not used";
    m_Windows.clear();
}

TEST_F(WindowTest, QuitEventAsksTheWindowToCloseOnce) {
    HWND w = Ready();
    REQUIRE_DISPLAY(w);
    // SDL follows a last window's close with a quit; an interrupt gives a quit alone.
    PushWindowEvent(w, SDL_WINDOWEVENT_CLOSE);
    SDL_Event quit;
    memset(&quit, 0, sizeof quit);
    quit.type = SDL_QUIT;
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    std::vector<MSG> ms = Drain();
    ASSERT_EQ(ms.size(), 1u);
    EXPECT_EQ(ms[0].message, (UINT)WM_CLOSE);
    ASSERT_EQ(SDL_PushEvent(&quit), 1);
    ms = Drain();
    ASSERT_EQ(ms.size(), 1u);
    EXPECT_EQ(ms[0].message, (UINT)WM_CLOSE);
    EXPECT_EQ(ms[0].hwnd, w);
}

TEST_F(WindowTest, ActivationOnFirstShowAndOnFocusChanges) {
    HWND w = Make(kWindowed & ~WS_VISIBLE);
    REQUIRE_DISPLAY(w && platform::SdlWindowOf(w));
    // Start from an inactive application, whatever ran before.
    PushWindowEvent(w, SDL_WINDOWEVENT_FOCUS_LOST);
    Drain();
    ASSERT_TRUE(Drain().empty());

    ShowWindow(w, SW_SHOWNORMAL);
    ShowWindow(w, SW_SHOWNORMAL);
    PushWindowEvent(w, SDL_WINDOWEVENT_FOCUS_GAINED);
    std::vector<MSG> ms = Drain();
    ASSERT_EQ(ms.size(), 1u) << "one activation, not one per show or focus event";
    EXPECT_EQ(ms[0].message, (UINT)WM_ACTIVATEAPP);
    EXPECT_EQ(ms[0].wParam, (WPARAM)TRUE);

    PushWindowEvent(w, SDL_WINDOWEVENT_FOCUS_LOST);
    PushWindowEvent(w, SDL_WINDOWEVENT_FOCUS_GAINED);
    ms = Drain();
    ASSERT_EQ(ms.size(), 2u);
    EXPECT_EQ(ms[0].wParam, (WPARAM)FALSE);
    EXPECT_EQ(ms[1].wParam, (WPARAM)TRUE);
}

// The launcher's test window comes and goes before the game's: the game's
// window must still hear that it is active, with no focus event at all.
TEST_F(WindowTest, ActivationFollowsTheWindowThatHoldsIt) {
    HWND first = Make(kWindowed);
    REQUIRE_DISPLAY(first && platform::SdlWindowOf(first));
    DestroyWindow(first);
    m_Windows.clear();
    Drain();

    HWND game = Make(kWindowed);
    HWND other = Make(kWindowed & ~WS_VISIBLE);
    PushWindowEvent(other, SDL_WINDOWEVENT_FOCUS_LOST);
    std::vector<MSG> ms = Drain();
    ASSERT_EQ(ms.size(), 1u) << "a window that is not active losing the focus changes nothing";
    EXPECT_EQ(ms[0].hwnd, game);
    EXPECT_EQ(ms[0].message, (UINT)WM_ACTIVATEAPP);
    EXPECT_EQ(ms[0].wParam, (WPARAM)TRUE);

    PushWindowEvent(other, SDL_WINDOWEVENT_FOCUS_GAINED);
    ms = Drain();
    ASSERT_EQ(ms.size(), 2u);
    EXPECT_EQ(ms[0].hwnd, game);
    EXPECT_EQ(ms[0].wParam, (WPARAM)FALSE);
    EXPECT_EQ(ms[1].hwnd, other);
    EXPECT_EQ(ms[1].wParam, (WPARAM)TRUE);
}

TEST_F(WindowTest, QuitComesAfterWaitingMessagesAndEndsGetMessage) {
    HWND w = Ready();
    REQUIRE_DISPLAY(w);
    PostQuitMessage(3);
    PushKey(w, SDLK_b, true);
    MSG m;
    EXPECT_TRUE(PeekMessageA(&m, w, WM_CLOSE, WM_CLOSE, PM_NOREMOVE) == FALSE) << "filtered out";
    ASSERT_TRUE(GetMessageA(&m, nullptr, 0, 0));
    EXPECT_EQ(m.message, (UINT)WM_KEYDOWN);
    EXPECT_EQ(GetMessageA(&m, nullptr, 0, 0), FALSE);
    EXPECT_EQ(m.message, (UINT)WM_QUIT);
    EXPECT_EQ(m.wParam, (WPARAM)3);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) << "the quit is taken once";
}

TEST_F(WindowTest, ClientAndOuterRectanglesOfTheEngineStyles) {
    RECT r = {352, 264, 352 + 320, 264 + 240};
    ASSERT_TRUE(AdjustWindowRectEx(&r, kWindowed, FALSE, 0));
    HWND w = Make(kWindowed, r.left, r.top, r.right - r.left, r.bottom - r.top);
    ASSERT_NE(w, nullptr);
    RECT c;
    ASSERT_TRUE(GetClientRect(w, &c));
    EXPECT_EQ(c.right, 320);
    EXPECT_EQ(c.bottom, 240);
    EXPECT_FALSE(platform::IsFullScreenWindow(w));

    // The style change for windowed mode sets the outer size, so the client shrinks.
    SetWindowLongA(w, GWL_STYLE, (LONG)(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX));
    SetWindowPos(w, HWND_NOTOPMOST, 10, 20, 320, 240, SWP_SHOWWINDOW);
    RECT o;
    ASSERT_TRUE(GetWindowRect(w, &o));
    EXPECT_EQ(o.left, 10);
    EXPECT_EQ(o.right - o.left, 320);
    EXPECT_EQ(o.bottom - o.top, 240);
    GetClientRect(w, &c);
    EXPECT_LT(c.right, 320);
    EXPECT_LT(c.bottom, 240);
    if (SDL_Window* sdl = static_cast<SDL_Window*>(platform::SdlWindowOf(w))) {
        int sw, sh;
        SDL_GetWindowSize(sdl, &sw, &sh);
        EXPECT_EQ(sw, c.right);
        EXPECT_EQ(sh, c.bottom);
    }

    // A caption-less popup at the origin is the full-screen window.
    SetWindowLongA(w, GWL_STYLE, (LONG)WS_POPUP);
    SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 640, 480, SWP_SHOWWINDOW);
    EXPECT_TRUE(platform::IsFullScreenWindow(w));
    SetWindowLongA(w, GWL_STYLE, (LONG)(WS_POPUP | WS_CAPTION));
    SetWindowPos(w, HWND_NOTOPMOST, 0, 0, 640, 480, SWP_SHOWWINDOW);
    EXPECT_FALSE(platform::IsFullScreenWindow(w));
}

TEST_F(WindowTest, ClassesIconsAndCursors) {
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "WINDOW TEST";
    EXPECT_EQ(RegisterClassA(&wc), 0) << "class names ignore case";
    EXPECT_EQ(GetLastError(), (DWORD)ERROR_CLASS_ALREADY_EXISTS);
    EXPECT_EQ(CreateWindowExA(0, "no such class", "x", kWindowed, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);

    // The game's icon resource is the PNG the build generates.
    HICON icon = LoadIconA(nullptr, MAKEINTRESOURCEA(113));
    ASSERT_NE(icon, nullptr);
    INT iw = 0, ih = 0;
    ASSERT_TRUE(platform::IconSize(icon, &iw, &ih));
    EXPECT_EQ(iw, 32);
    EXPECT_EQ(ih, 32);
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(113)), icon) << "loaded once, shared";
    EXPECT_EQ(LoadIconA(nullptr, MAKEINTRESOURCEA(114)), nullptr);
    EXPECT_NE(LoadCursorA(nullptr, IDC_ARROW), nullptr);
}

TEST_F(WindowTest, HeadlessMessageBoxesAreRecordedAndAnswered) {
    setenv("KOLVAR_HEADLESS_DIALOGS", "1", 1);
    platform::ClearRecordedMessageBoxes();
    EXPECT_EQ(MessageBoxA(nullptr, "Couldn't initialize graphics engine.\n See log.html for detail.", "Error !",
                          MB_OK | MB_ICONSTOP),
              IDOK);
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Warning !", MB_OKCANCEL | MB_ICONWARNING), IDOK);
    platform::SetMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MessageBoxA(nullptr, "Sure?", "Warning !", MB_OKCANCEL | MB_ICONWARNING), IDCANCEL);
    platform::SetMessageBoxAnswer(0);
    std::vector<platform::MessageBoxRecord> boxes = platform::RecordedMessageBoxes();
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Couldn't initialize graphics engine.\n See log.html for detail.");
    EXPECT_EQ(boxes[0].caption, "Error !");
    EXPECT_EQ(boxes[0].type, (UINT)(MB_OK | MB_ICONSTOP));
    unsetenv("KOLVAR_HEADLESS_DIALOGS");
}

}  // namespace
