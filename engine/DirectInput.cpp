#include "engine/DirectInput.h"

#include <cstdio>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"

IDirectInput8* g_DirectInput = nullptr;

namespace {

// The game window of the graphics engine, if there is one.
HWND DefaultWindow() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    return engine ? engine->GetWindow() : nullptr;
}

InputTimeSource g_TimeSource = EngineTime;
InputWindowSource g_WindowSource = DefaultWindow;

}  // namespace

bool CreateDirectInput(HINSTANCE instance) {
    g_Log.Print("blue", "Creating DirectInput8 object");
    HRESULT hr = DirectInput8Create(instance, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                                    reinterpret_cast<void**>(&g_DirectInput), nullptr);
    if (FAILED(hr)) {
        g_DirectInput = nullptr;
        g_Log.PrintBold("red", "Error, couldn't create DirectInput8 object. Code = %s", DirectInputErrorName(hr));
        return false;
    }
    g_Log.Print("green", "Complete");
    return true;
}

IDirectInput8* GetDirectInput() { return g_DirectInput; }

void ReleaseDirectInput() {
    g_Log.Print("blue", "Release DirectInput8 object");
    if (g_DirectInput) {
        g_DirectInput->Release();
        g_DirectInput = nullptr;
    }
    g_Log.Print("green", "Complete");
}

bool CreateInputDevice(REFGUID guid, const DIDATAFORMAT* format, DWORD level, const char* name,
                       IDirectInputDevice8** device) {
    *device = nullptr;
    IDirectInput8* di = GetDirectInput();
    if (!di) return false;
    g_Log.Print("blue", "Creating %s device", name);
    HRESULT hr = di->CreateDevice(guid, device, nullptr);
    if (FAILED(hr)) {
        *device = nullptr;
        g_Log.PrintBold("red", "Error, couldn't create %s device. Code = %s", name, DirectInputErrorName(hr));
        return false;
    }
    hr = (*device)->SetDataFormat(format);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Error, couldn't set data format for %s. Code = %s", name, DirectInputErrorName(hr));
        return false;
    }
    hr = (*device)->SetCooperativeLevel(GetInputWindow(), level);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Error, couldn't set cooperative level for %s. Code = %s", name,
                        DirectInputErrorName(hr));
        return false;
    }
    return true;
}

void ReleaseInputDevice(const char* name, IDirectInputDevice8** device) {
    g_Log.Print("blue", "Release %s device", name);
    if (*device) {
        (*device)->Unacquire();
        (*device)->Release();
        *device = nullptr;
    }
    g_Log.Print("green", "Complete");
}

const char* DirectInputErrorName(HRESULT hr) {
    switch (hr) {
        case DI_OK: return "DI_OK";
        case DI_NOEFFECT: return "DI_NOEFFECT";
        case DIERR_INVALIDPARAM: return "DIERR_INVALIDPARAM";
        case DIERR_NOINTERFACE: return "DIERR_NOINTERFACE";
        case DIERR_OUTOFMEMORY: return "DIERR_OUTOFMEMORY";
        case DIERR_GENERIC: return "DIERR_GENERIC";
        case DIERR_NOTACQUIRED: return "DIERR_NOTACQUIRED";
        case DIERR_INPUTLOST: return "DIERR_INPUTLOST";
        case DIERR_NOTINITIALIZED: return "DIERR_NOTINITIALIZED";
        case DIERR_ACQUIRED: return "DIERR_ACQUIRED";
        case DIERR_OTHERAPPHASPRIO: return "DIERR_OTHERAPPHASPRIO";
        case DIERR_DEVICENOTREG: return "DIERR_DEVICENOTREG";
        case DIERR_OLDDIRECTINPUTVERSION: return "DIERR_OLDDIRECTINPUTVERSION";
        case DIERR_BETADIRECTINPUTVERSION: return "DIERR_BETADIRECTINPUTVERSION";
    }
    static char unknown[16];
    snprintf(unknown, sizeof unknown, "0x%08X", static_cast<unsigned>(hr));
    return unknown;
}

float GetInputTime() { return g_TimeSource(); }
HWND GetInputWindow() { return g_WindowSource(); }

void SetInputSources(InputTimeSource time, InputWindowSource window) {
    g_TimeSource = time ? time : EngineTime;
    g_WindowSource = window ? window : DefaultWindow;
}
