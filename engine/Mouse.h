#pragma once

#include <dinput.h>

#include "engine/Singleton.h"

// The mouse as a cursor position in screen fractions (0..1 from the top left)
// moved by relative motion times the sensitivity, and two buttons.
class CMouse : public CSingleton<CMouse> {
public:
    CMouse();
    virtual ~CMouse();

    void Update();
    IDirectInputDevice8* GetDevice() const { return m_pDevice; }

    float GetX() const { return m_X; }
    float GetY() const { return m_Y; }
    bool GetLeftButton() const { return m_LeftButton; }
    bool GetRightButton() const { return m_RightButton; }
    float GetSensitivity() const { return m_Sensitivity; }
    void SetSensitivity(float sensitivity) { m_Sensitivity = sensitivity; }

private:
    bool m_LeftButton;
    bool m_RightButton;
    float m_X;
    float m_Y;
    float m_Sensitivity;  // screen fraction per mouse count
    IDirectInputDevice8* m_pDevice;
};
