// DirectInput 8 over SDL: the keyboard reads SDL's keyboard state, the mouse
// SDL's relative motion. The window layer pumps the events; we only read.
#include "dinput.h"
#include "dinputhooks.h"

#include <SDL.h>

#include <algorithm>
#include <cstring>
#include <vector>

const DIDATAFORMAT c_dfDIKeyboard = {sizeof(DIDATAFORMAT), 24, 0x2, 256, 0, nullptr};
const DIDATAFORMAT c_dfDIMouse = {sizeof(DIDATAFORMAT), 24, 0x2, sizeof(DIMOUSESTATE), 0, nullptr};

const GUID GUID_SysKeyboard = {0x6F1D2B61, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const GUID GUID_SysMouse = {0x6F1D2B60, 0xD5A0, 0x11CF, {0xBF, 0xC7, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectInput8A = {0xBF798030, 0x483A, 0x4DA2, {0xAA, 0x99, 0x5D, 0x64, 0xED, 0x36, 0x97, 0x00}};

namespace {

struct InjectedState {
    bool testMode = false;
    bool focused = true;
    uint8_t keys[256] = {};
    int32_t dx = 0, dy = 0, dz = 0;
    uint8_t buttons[4] = {};
    platform::InputFault fault = platform::InputFault::None;
    int hiddenCursorOwners = 0;
};

class Device;
enum class Kind { Keyboard, Mouse };

// Devices acquired now: they hear of every press as it happens.
std::vector<Device*>& Listeners() {
    static std::vector<Device*> devices;
    return devices;
}
void NoteDown(Kind kind, int index);
int SDLCALL WatchPresses(void*, SDL_Event* event);

InjectedState& State() {
    static InjectedState state;
    return state;
}

bool Failing(platform::InputFault f) { return State().fault == f; }

bool WindowHasFocus() {
    if (State().testMode) return State().focused;
    return SDL_WasInit(SDL_INIT_VIDEO) && SDL_GetKeyboardFocus() != nullptr;
}

// The game draws its own pointer: while an exclusive mouse is acquired the system
// cursor is hidden and SDL reports relative motion without a screen edge.
void HideCursor(bool hide) {
    InjectedState& s = State();
    s.hiddenCursorOwners += hide ? 1 : -1;
    if (s.hiddenCursorOwners < 0) s.hiddenCursorOwners = 0;
    if (s.testMode || !SDL_WasInit(SDL_INIT_VIDEO)) return;
    bool on = s.hiddenCursorOwners > 0;
    if (SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) != 0) SDL_ShowCursor(on ? SDL_DISABLE : SDL_ENABLE);
}

class Device final : public platform::ComObject<IDirectInputDevice8A> {
public:
    explicit Device(Kind kind) : m_kind(kind) {}
    ~Device() override { Unacquire(); }

    HRESULT SetDataFormat(LPCDIDATAFORMAT format) override {
        if (Failing(platform::InputFault::SetDataFormat)) return DIERR_GENERIC;
        if (!format) return DIERR_INVALIDPARAM;
        if (m_acquired) return DIERR_ACQUIRED;
        DWORD wanted = m_kind == Kind::Keyboard ? 256u : (DWORD)sizeof(DIMOUSESTATE);
        if (format->dwDataSize != wanted) return DIERR_INVALIDPARAM;
        m_dataSize = format->dwDataSize;
        return DI_OK;
    }

    HRESULT SetCooperativeLevel(HWND window, DWORD flags) override {
        if (Failing(platform::InputFault::SetCooperativeLevel)) return DIERR_GENERIC;
        bool exclusive = flags & DISCL_EXCLUSIVE, nonExclusive = flags & DISCL_NONEXCLUSIVE;
        bool foreground = flags & DISCL_FOREGROUND, background = flags & DISCL_BACKGROUND;
        if (exclusive == nonExclusive || foreground == background) return DIERR_INVALIDPARAM;
        // An exclusive background keyboard is not allowed, nor a foreground device without a window.
        if (m_kind == Kind::Keyboard && exclusive && background) return DIERR_INVALIDPARAM;
        if (foreground && !window) return DIERR_INVALIDPARAM;
        if (m_acquired) return DIERR_ACQUIRED;
        m_flags = flags;
        return DI_OK;
    }

    HRESULT Acquire() override {
        if (Failing(platform::InputFault::Acquire)) return DIERR_OTHERAPPHASPRIO;
        if (!m_dataSize) return DIERR_INVALIDPARAM;
        if (m_acquired) return DI_NOEFFECT;
        // A foreground device cannot be taken while another window has the focus.
        if ((m_flags & DISCL_FOREGROUND) && !WindowHasFocus()) return DIERR_OTHERAPPHASPRIO;
        m_acquired = true;
        Listen(true);
        if (m_kind == Kind::Mouse) {
            DropMotion();
            if ((m_flags & DISCL_EXCLUSIVE) && (m_flags & DISCL_FOREGROUND)) {
                HideCursor(true);
                m_hidesCursor = true;
            }
        }
        return DI_OK;
    }

    HRESULT Unacquire() override {
        if (!m_acquired) return DI_NOEFFECT;
        m_acquired = false;
        Listen(false);
        if (m_hidesCursor) {
            HideCursor(false);
            m_hidesCursor = false;
        }
        return DI_OK;
    }

    HRESULT GetDeviceState(DWORD size, LPVOID data) override {
        if (!data || !m_dataSize || size != m_dataSize) return DIERR_INVALIDPARAM;
        if (!m_acquired) return DIERR_NOTACQUIRED;
        if ((m_flags & DISCL_FOREGROUND) && !WindowHasFocus()) {
            // Losing the focus takes the device away; the caller acquires it again.
            Unacquire();
            return DIERR_INPUTLOST;
        }
        if (m_kind == Kind::Keyboard)
            ReadKeyboard(static_cast<uint8_t*>(data));
        else
            ReadMouse(static_cast<DIMOUSESTATE*>(data));
        return DI_OK;
    }

private:
public:
    // A key or button that went down since the last read: that read reports it
    // down even when it is up again, so a quick tap between two polls counts.
    void Latch(Kind kind, int index) {
        if (kind == m_kind) m_latched[index] = 0x80;
    }

private:
    void Listen(bool on) {
        std::vector<Device*>& devices = Listeners();
        devices.erase(std::remove(devices.begin(), devices.end(), this), devices.end());
        memset(m_latched, 0, sizeof m_latched);
        if (on) devices.push_back(this);
        // SDL forgets its watchers when its event loop stops, so add ours again on every acquisition.
        SDL_DelEventWatch(WatchPresses, nullptr);
        if (!devices.empty()) SDL_AddEventWatch(WatchPresses, nullptr);
    }

    void ReadKeyboard(uint8_t* keys) {
        memset(keys, 0, 256);
        InjectedState& s = State();
        if (s.testMode) {
            memcpy(keys, s.keys, 256);
        } else {
            int count = 0;
            const Uint8* sdlKeys = SDL_GetKeyboardState(&count);
            for (int code = 0; sdlKeys && code < count && code < SDL_NUM_SCANCODES; ++code) {
                int dik = platform::DikFromSdlScancode(code);
                if (dik && sdlKeys[code]) keys[dik] = 0x80;
            }
        }
        TakeLatched(keys, 256);
    }

    void ReadMouse(DIMOUSESTATE* st) {
        memset(st, 0, sizeof(*st));
        InjectedState& s = State();
        if (s.testMode) {
            st->lX = s.dx;
            st->lY = s.dy;
            st->lZ = s.dz;
            s.dx = s.dy = s.dz = 0;
            memcpy(st->rgbButtons, s.buttons, 4);
        } else {
            int dx = 0, dy = 0;
            Uint32 buttons = SDL_GetRelativeMouseState(&dx, &dy);
            st->lX = dx;
            st->lY = dy;
            // The wheel is not tracked: nothing in the game reads it.
            const Uint32 masks[4] = {SDL_BUTTON_LMASK, SDL_BUTTON_RMASK, SDL_BUTTON_MMASK, SDL_BUTTON_X1MASK};
            for (int i = 0; i < 4; ++i) st->rgbButtons[i] = (buttons & masks[i]) ? 0x80 : 0;
        }
        TakeLatched(st->rgbButtons, 4);
    }

    void TakeLatched(uint8_t* state, int count) {
        for (int i = 0; i < count; ++i) state[i] |= m_latched[i];
        memset(m_latched, 0, sizeof m_latched);
    }

    // Motion from before the acquisition belongs to nobody.
    static void DropMotion() {
        InjectedState& s = State();
        if (s.testMode) {
            s.dx = s.dy = s.dz = 0;
        } else if (SDL_WasInit(SDL_INIT_VIDEO)) {
            SDL_GetRelativeMouseState(nullptr, nullptr);
        }
    }

    Kind m_kind;
    DWORD m_dataSize = 0;
    DWORD m_flags = DISCL_NONEXCLUSIVE | DISCL_BACKGROUND;
    bool m_acquired = false;
    bool m_hidesCursor = false;
    uint8_t m_latched[256] = {};
};

void NoteDown(Kind kind, int index) {
    for (Device* device : Listeners()) device->Latch(kind, index);
}

// Called as SDL queues each event, on the thread that pumps them.
int SDLCALL WatchPresses(void*, SDL_Event* event) {
    if (event->type != SDL_KEYDOWN && event->type != SDL_MOUSEBUTTONDOWN) return 0;
    if (State().testMode) return 0;
    if (event->type == SDL_KEYDOWN) {
        if (int dik = platform::DikFromSdlScancode(event->key.keysym.scancode)) NoteDown(Kind::Keyboard, dik);
    } else if (event->type == SDL_MOUSEBUTTONDOWN) {
        // Left, right, middle, first extra: the order of the button bytes.
        static const int kButtons[4] = {SDL_BUTTON_LEFT, SDL_BUTTON_RIGHT, SDL_BUTTON_MIDDLE, SDL_BUTTON_X1};
        for (int i = 0; i < 4; ++i)
            if (event->button.button == kButtons[i]) NoteDown(Kind::Mouse, i);
    }
    return 0;
}

class DirectInput final : public platform::ComObject<IDirectInput8A> {
public:

    HRESULT CreateDevice(REFGUID device, LPDIRECTINPUTDEVICE8A* out, LPUNKNOWN outer) override {
        if (!out) return DIERR_INVALIDPARAM;
        *out = nullptr;
        if (outer) return DIERR_NOINTERFACE;
        if (Failing(platform::InputFault::CreateDevice)) return DIERR_DEVICENOTREG;
        if (device == GUID_SysKeyboard)
            *out = new Device(Kind::Keyboard);
        else if (device == GUID_SysMouse)
            *out = new Device(Kind::Mouse);
        else
            return DIERR_DEVICENOTREG;
        return DI_OK;
    }

private:
};

}  // namespace

HRESULT DirectInput8Create(HINSTANCE, DWORD version, REFIID iid, LPVOID* out, LPUNKNOWN outer) {
    if (!out) return DIERR_INVALIDPARAM;
    *out = nullptr;
    if (outer) return DIERR_NOINTERFACE;
    if (version < DIRECTINPUT_VERSION) return DIERR_OLDDIRECTINPUTVERSION;
    if (version > DIRECTINPUT_VERSION) return DIERR_BETADIRECTINPUTVERSION;
    if (iid != IID_IDirectInput8A) return DIERR_NOINTERFACE;
    if (Failing(platform::InputFault::Create)) return DIERR_GENERIC;
    *out = static_cast<IDirectInput8A*>(new DirectInput());
    return DI_OK;
}

namespace platform {

void SetInputTestMode(bool enabled) {
    InjectedState& s = State();
    int owners = s.hiddenCursorOwners;
    s = InjectedState();
    s.testMode = enabled;
    s.hiddenCursorOwners = owners;
}

bool InputTestMode() { return State().testMode; }

void InjectKey(int dik, bool down) {
    if (dik < 0 || dik > 255) return;
    State().keys[dik] = down ? 0x80 : 0;
    if (down) NoteDown(Kind::Keyboard, dik);
}

void InjectMouseMotion(int32_t dx, int32_t dy, int32_t dz) {
    InjectedState& s = State();
    s.dx += dx;
    s.dy += dy;
    s.dz += dz;
}

void InjectMouseButton(int button, bool down) {
    if (button < 0 || button > 3) return;
    State().buttons[button] = down ? 0x80 : 0;
    if (down) NoteDown(Kind::Mouse, button);
}

void SetInputFocus(bool focused) { State().focused = focused; }

bool InputCursorHidden() { return State().hiddenCursorOwners > 0; }

void SetInputFault(InputFault fault) { State().fault = fault; }

}  // namespace platform
