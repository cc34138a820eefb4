#pragma once

#include <dinput.h>

#include "engine/Singleton.h"

// The keyboard, polled once per update step: every key's state becomes a
// pulse with auto-repeat in engine time, and up to 20 actions are bound to two
// keys each.
class CKeyboard : public CSingleton<CKeyboard> {
public:
    static const unsigned kActionCount = 20;
    static const unsigned kKeyCount = 256;

    CKeyboard();
    virtual ~CKeyboard();

    // A second key outside 0..255 (the shell passes -1) means no second key.
    void BindAction(unsigned action, unsigned key1, unsigned key2, float repeatDelay, float repeatInterval);
    void SetKeyRepeat(unsigned key, float delay, float interval);
    void ResetRepeat();
    void Update();
    // The window procedure re-acquires it when the application changes activation.
    IDirectInputDevice8* GetDevice() const { return m_pDevice; }
    bool IsActionDown(unsigned action) const;

private:
    struct SActionBinding {
        DWORD m_Key1;
        DWORD m_Key2;
        bool m_Bound;
    };
    struct SKeyRecord {
        float m_RepeatDelay;
        float m_RepeatInterval;
        DWORD m_Phase;  // 0 up, 1 pressed and waiting for the delay, 2 repeating
        float m_LastTime;
        bool m_Fired;
    };

    bool KeyFired(DWORD key) const { return key < kKeyCount && m_Keys[key].m_Fired; }

    SActionBinding m_Actions[kActionCount];
    SKeyRecord m_Keys[kKeyCount];
    IDirectInputDevice8* m_pDevice;
};
