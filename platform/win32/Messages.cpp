// The message queue. SDL events are turned into Windows messages when the
// queue is read: keys into WM_KEYDOWN/WM_KEYUP with virtual-key codes, typed
// text into WM_CHAR in code page 1252, focus into WM_ACTIVATEAPP and a close
// request into WM_CLOSE.
#include "WindowInternal.h"
#include "platform.h"

#include <algorithm>
#include <deque>

namespace {

struct Queue {
    std::deque<MSG> messages;
    bool quitPosted = false;
    INT quitCode = 0;
    // The application is active while this window is: the one shown first or
    // given the focus last, until it loses the focus or goes away.
    HWND activeWindow = nullptr;
};

Queue& Q() {
    static Queue queue;
    return queue;
}

// lParam of a key message: repeat count 1, previous state in bit 30, release in bit 31.
LPARAM KeyLParam(bool down, bool repeat) {
    uint32_t l = 1;
    if (!down || repeat) l |= 1u << 30;
    if (!down) l |= 1u << 31;
    return static_cast<LPARAM>(l);
}

// Each window's procedure hears of the activation it gains and loses; a focus
// loss of a window that is not the active one changes nothing.
void SetActive(HWND window, bool active) {
    Queue& q = Q();
    if (!window || (q.activeWindow == window) == active) return;
    if (active && q.activeWindow) winimpl::PostToQueue(q.activeWindow, WM_ACTIVATEAPP, FALSE, 0);
    q.activeWindow = active ? window : nullptr;
    winimpl::PostToQueue(window, WM_ACTIVATEAPP, active ? TRUE : FALSE, 0);
}

bool HasQueued(UINT message) {
    for (const MSG& m : Q().messages)
        if (m.message == message) return true;
    return false;
}

void TranslateEvent(const SDL_Event& e) {
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            HWND w = winimpl::WindowFromSdlId(e.key.windowID);
            if (!w) w = winimpl::KeyboardWindow();
            UINT vk = winimpl::VirtualKeyOf(e.key.keysym);
            if (!w || vk == 0) return;
            bool down = e.type == SDL_KEYDOWN;
            winimpl::PostToQueue(w, down ? WM_KEYDOWN : WM_KEYUP, vk, KeyLParam(down, e.key.repeat != 0));
            return;
        }
        case SDL_TEXTINPUT: {
            HWND w = winimpl::WindowFromSdlId(e.text.windowID);
            if (!w) w = winimpl::KeyboardWindow();
            if (!w) return;
            std::string bytes;
            winimpl::Utf8ToCp1252(e.text.text, bytes);
            for (char c : bytes) winimpl::PostToQueue(w, WM_CHAR, static_cast<unsigned char>(c), 1);
            return;
        }
        case SDL_WINDOWEVENT: {
            HWND w = winimpl::WindowFromSdlId(e.window.windowID);
            if (!w) return;
            if (e.window.event == SDL_WINDOWEVENT_CLOSE)
                winimpl::PostToQueue(w, WM_CLOSE, 0, 0);
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED)
                SetActive(w, true);
            else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST)
                SetActive(w, false);
            return;
        }
        case SDL_QUIT: {
            // SDL follows the last window's close with a quit, and turns an
            // interrupt signal into one: either way the game window is asked to close.
            if (HasQueued(WM_CLOSE)) return;
            HWND w = winimpl::KeyboardWindow();
            if (w) winimpl::PostToQueue(w, WM_CLOSE, 0, 0);
            return;
        }
        default:
            return;
    }
}

// A quit signal asks the game window to close, once, as its close box would.
void DeliverQuitSignal() {
    static bool delivered = false;
    if (delivered || !platform::QuitSignalled()) return;
    HWND w = winimpl::KeyboardWindow();
    if (!w) return;
    delivered = true;
    if (!HasQueued(WM_CLOSE)) winimpl::PostToQueue(w, WM_CLOSE, 0, 0);
}

void PumpEvents() {
    DeliverQuitSignal();
    if (!winimpl::VideoAvailable()) return;
    SDL_Event e;
    while (SDL_PollEvent(&e)) TranslateEvent(e);
}

bool Matches(const MSG& m, HWND window, UINT filterMin, UINT filterMax) {
    if (window == reinterpret_cast<HWND>(-1)) {
        if (m.hwnd) return false;
    } else if (window && m.hwnd != window) {
        return false;
    }
    if (filterMin == 0 && filterMax == 0) return true;
    return m.message >= filterMin && m.message <= filterMax;
}

}  // namespace

namespace winimpl {

void PostToQueue(HWND window, UINT message, WPARAM wParam, LPARAM lParam, bool front) {
    MSG m;
    m.hwnd = window;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = VideoAvailable() ? SDL_GetTicks() : 0;
    m.pt = {0, 0};
    if (front)
        Q().messages.push_front(m);
    else
        Q().messages.push_back(m);
}

void ForgetWindow(HWND window) {
    Queue& q = Q();
    std::deque<MSG>& ms = q.messages;
    ms.erase(std::remove_if(ms.begin(), ms.end(), [window](const MSG& m) { return m.hwnd == window; }),
             ms.end());
    // A window made later (the game's after the launcher's test window) is not
    // active yet and must hear so when it is shown.
    if (q.activeWindow == window) q.activeWindow = nullptr;
}

void OnFirstShow(HWND window) { SetActive(window, true); }

}  // namespace winimpl

BOOL PeekMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax, UINT removeFlags) {
    if (!msg) return FALSE;
    PumpEvents();
    Queue& q = Q();
    for (auto it = q.messages.begin(); it != q.messages.end(); ++it) {
        if (!Matches(*it, window, filterMin, filterMax)) continue;
        *msg = *it;
        if (removeFlags & PM_REMOVE) q.messages.erase(it);
        return TRUE;
    }
    // The quit request comes once every other message has been taken.
    if (q.quitPosted && (filterMin == 0 && filterMax == 0 ? true : WM_QUIT >= filterMin && WM_QUIT <= filterMax)) {
        msg->hwnd = nullptr;
        msg->message = WM_QUIT;
        msg->wParam = static_cast<WPARAM>(q.quitCode);
        msg->lParam = 0;
        msg->time = 0;
        msg->pt = {0, 0};
        if (removeFlags & PM_REMOVE) q.quitPosted = false;
        return TRUE;
    }
    return FALSE;
}

BOOL GetMessageA(LPMSG msg, HWND window, UINT filterMin, UINT filterMax) {
    if (!msg) return -1;
    for (;;) {
        if (PeekMessageA(msg, window, filterMin, filterMax, PM_REMOVE)) return msg->message != WM_QUIT;
        // Sleep until SDL has something; the timeout only bounds the wait.
        if (winimpl::VideoAvailable())
            SDL_WaitEventTimeout(nullptr, 100);
        else
            SDL_Delay(10);
    }
}

BOOL TranslateMessage(const MSG* msg) {
    if (!msg || msg->message != WM_KEYDOWN) return FALSE;
    // SDL's text events carry no control characters; these keys type them.
    WPARAM c = 0;
    switch (msg->wParam) {
        case VK_BACK: c = 8; break;
        case VK_ESCAPE: c = 27; break;
        case VK_RETURN: c = 13; break;
        default: return FALSE;
    }
    winimpl::PostToQueue(msg->hwnd, WM_CHAR, c, msg->lParam, true);
    return TRUE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !winimpl::IsLiveWindow(msg->hwnd) || !msg->hwnd->proc) return 0;
    return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

void PostQuitMessage(INT exitCode) {
    Q().quitPosted = true;
    Q().quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND window, UINT message, WPARAM, LPARAM) {
    if (message == WM_CLOSE) DestroyWindow(window);
    return 0;
}
