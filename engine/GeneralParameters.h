#pragma once

#include <boost/function.hpp>
#include <winuser.h>

// The window and device settings the shell hands to the graphics engine. The
// engine keeps its own copy and fills in the desktop size and the window.
class CGeneralParameters {
public:
    // The shell sets every field before use; zeroing them keeps a half-filled
    // record from carrying garbage into the engine.
    CGeneralParameters() { m_UpdateCallback.clear(); }

    const char* m_Caption = nullptr;  // window caption, also the window class name
    DWORD m_IconId = 0;               // resource id of the window icon
    WNDPROC m_WndProc = nullptr;
    HINSTANCE m_Instance = nullptr;
    bool m_Reserved = false;
    bool m_Windowed = true;
    int32_t m_Width = 0;
    int32_t m_Height = 0;
    float m_FixedStep = 0.0f;  // seconds per update step
    boost::function<void()> m_UpdateCallback;
    int32_t m_Bits = 0;           // full-screen colour depth: 32, anything else means 16
    int32_t m_DesktopWidth = 0;   // measured by the engine
    int32_t m_DesktopHeight = 0;
    HWND m_Window = nullptr;      // created by the engine
};
