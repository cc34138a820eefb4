#pragma once

#include <dinput.h>

// The process's one DirectInput object, shared by the keyboard and the mouse.
extern IDirectInput8* g_DirectInput;

bool CreateDirectInput(HINSTANCE instance);
IDirectInput8* GetDirectInput();
void ReleaseDirectInput();

// The name of a DirectInput result for the log.
const char* DirectInputErrorName(HRESULT hr);

// The engine time and the game window the input devices use. They come from
// the graphics engine; tests put their own sources in.
float GetInputTime();
HWND GetInputWindow();
typedef float (*InputTimeSource)();
typedef HWND (*InputWindowSource)();
void SetInputSources(InputTimeSource time, InputWindowSource window);
