#include "engine/Mouse.h"

#include "engine/DirectInput.h"
#include "engine/Log.h"

#include <cstring>

namespace {
const int kMaxAcquireTries = 8;

float Clamp01(float v) {
    if (!(v > 0.0f)) return 0.0f;  // also catches NaN
    if (v >= 1.0f) return 1.0f;
    return v;
}
}  // namespace

CMouse::CMouse()
    : m_LeftButton(false), m_RightButton(false), m_X(0.5f), m_Y(0.5f), m_Sensitivity(0.01f), m_pDevice(nullptr) {
    // Exclusive in the foreground: the system cursor is hidden, the game draws its own.
    if (!CreateInputDevice(GUID_SysMouse, &c_dfDIMouse, DISCL_EXCLUSIVE | DISCL_FOREGROUND, "mouse", &m_pDevice))
        return;
    HRESULT hr = m_pDevice->Acquire();
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Error, couldn't activate mouse. Code = %s", DirectInputErrorName(hr));
        return;
    }
    m_Sensitivity = 0.01f;
    g_Log.Print("green", "Complete");
}

CMouse::~CMouse() { ReleaseInputDevice("mouse", &m_pDevice); }

void CMouse::Update() {
    if (!m_pDevice) return;
    DIMOUSESTATE state;
    memset(&state, 0, sizeof state);
    HRESULT hr = m_pDevice->GetDeviceState(sizeof state, &state);
    if (FAILED(hr)) {
        // Position and buttons keep their values until the focus is back.
        int tries = 0;
        do {
            hr = m_pDevice->Acquire();
        } while (hr == DIERR_INPUTLOST && ++tries < kMaxAcquireTries);
        return;
    }
    m_X = Clamp01(m_X + static_cast<float>(state.lX) * m_Sensitivity);
    m_Y = Clamp01(m_Y + static_cast<float>(state.lY) * m_Sensitivity);
    m_LeftButton = (state.rgbButtons[0] & 0x80) != 0;
    m_RightButton = (state.rgbButtons[1] & 0x80) != 0;
}
