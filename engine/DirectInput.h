#pragma once

#include <dinput.h>

// The process's one DirectInput object, shared by the keyboard and the mouse.
extern IDirectInput8* g_DirectInput;

bool CreateDirectInput(HINSTANCE instance);
IDirectInput8* GetDirectInput();
void ReleaseDirectInput();

// The name of a DirectInput result for the log.
const char* DirectInputErrorName(HRESULT hr);

// Creates a device of the shared object and sets its data format and cooperative
// level on the game window, logging each failure with the device's name
// ("keyboard", "mouse"). The device is kept even when a later step fails; the
// result says whether all steps succeeded.
bool CreateInputDevice(REFGUID guid, const DIDATAFORMAT* format, DWORD level, const char* name,
                       IDirectInputDevice8** device);

// Logs the release of the named device, unacquires and releases it, and nulls the pointer.
void ReleaseInputDevice(const char* name, IDirectInputDevice8** device);

// The engine time and the game window the input devices use. They come from
// the graphics engine; tests put their own sources in.
float GetInputTime();
HWND GetInputWindow();
typedef float (*InputTimeSource)();
typedef HWND (*InputWindowSource)();
void SetInputSources(InputTimeSource time, InputWindowSource window);
