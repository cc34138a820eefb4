#include "engine/Keyboard.h"

#include "engine/DirectInput.h"
#include "engine/Log.h"

#include <cstring>

namespace {
// A device that keeps reporting input lost while being acquired is given up for this step.
const int kMaxAcquireTries = 8;
}

CKeyboard::CKeyboard() : m_pDevice(nullptr) {
    memset(m_Actions, 0, sizeof m_Actions);
    memset(m_Keys, 0, sizeof m_Keys);
    if (!CreateInputDevice(GUID_SysKeyboard, &c_dfDIKeyboard, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND, "keyboard",
                           &m_pDevice))
        return;
    HRESULT hr = m_pDevice->Acquire();
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Error, couldn't activate keyboard. Code = %s", DirectInputErrorName(hr));
        return;
    }
    ResetRepeat();
    g_Log.Print("green", "Complete");
}

CKeyboard::~CKeyboard() { ReleaseInputDevice("keyboard", &m_pDevice); }

void CKeyboard::BindAction(unsigned action, unsigned key1, unsigned key2, float repeatDelay, float repeatInterval) {
    if (action >= kActionCount) {
        g_Log.PrintBold("red", "Error, couldn't bind action %u: only %u actions !", action, kActionCount);
        return;
    }
    m_Actions[action].m_Key1 = key1;
    m_Actions[action].m_Key2 = key2;
    m_Actions[action].m_Bound = true;
    SetKeyRepeat(key1, repeatDelay, repeatInterval);
    SetKeyRepeat(key2, repeatDelay, repeatInterval);
}

void CKeyboard::SetKeyRepeat(unsigned key, float delay, float interval) {
    if (key >= kKeyCount) return;
    SKeyRecord& k = m_Keys[key];
    k.m_RepeatDelay = delay;
    k.m_RepeatInterval = interval;
    k.m_Phase = 0;
    k.m_LastTime = 0.0f;
    k.m_Fired = false;
}

void CKeyboard::ResetRepeat() {
    for (SKeyRecord& k : m_Keys) {
        k.m_RepeatDelay = 1.0f;
        k.m_RepeatInterval = 0.1f;
        k.m_Phase = 0;
        k.m_LastTime = 0.0f;
        k.m_Fired = false;
    }
}

void CKeyboard::Update() {
    if (!m_pDevice) return;
    BYTE state[kKeyCount];
    memset(state, 0, sizeof state);
    HRESULT hr = m_pDevice->GetDeviceState(sizeof state, state);
    if (FAILED(hr)) {
        // Keep last step's pulses; the device comes back with the focus.
        int tries = 0;
        do {
            hr = m_pDevice->Acquire();
        } while (hr == DIERR_INPUTLOST && ++tries < kMaxAcquireTries);
        return;
    }
    float now = GetInputTime();
    for (unsigned i = 0; i < kKeyCount; ++i) {
        SKeyRecord& k = m_Keys[i];
        if (!(state[i] & 0x80)) {
            k.m_Fired = false;
            k.m_Phase = 0;
            continue;
        }
        switch (k.m_Phase) {
            case 0:
                k.m_Fired = true;
                k.m_LastTime = now;
                k.m_Phase = 1;
                break;
            case 1:
                k.m_Fired = now - k.m_LastTime >= k.m_RepeatDelay;
                if (k.m_Fired) {
                    k.m_LastTime = now;
                    k.m_Phase = 2;
                }
                break;
            case 2:
                k.m_Fired = now - k.m_LastTime >= k.m_RepeatInterval;
                if (k.m_Fired) k.m_LastTime = now;
                break;
            default:
                k.m_Fired = false;
                break;
        }
    }
}

bool CKeyboard::IsActionDown(unsigned action) const {
    if (action >= kActionCount || !m_Actions[action].m_Bound) return false;
    return KeyFired(m_Actions[action].m_Key1) || KeyFired(m_Actions[action].m_Key2);
}
