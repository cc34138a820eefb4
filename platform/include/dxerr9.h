// Names of error codes for log lines.
#pragma once

#include "win32.h"

// The symbolic name of an HRESULT ("D3DERR_DEVICELOST", "E_OUTOFMEMORY",
// "S_OK"), or "Unknown" for a code the layer never returns.
const char* DXGetErrorString9(HRESULT hr);
#define DXGetErrorString9A DXGetErrorString9

// The name the game's log lines use for it.
inline const char* GetDxErrorString(HRESULT hr) { return DXGetErrorString9(hr); }
