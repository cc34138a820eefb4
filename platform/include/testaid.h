// Aids for scripted runs of the shipped game (its test options): injected keys
// and frame capture. Nothing here is active unless one of those options asks.
#pragma once

struct IDirect3DDevice9;

namespace platform {
namespace testaid {

// From now on the keyboard and mouse read injected state, not the window system.
void UseInjectedInput();
// A key by DirectInput scan code (0..255).
void PressKey(int dik, bool down);
// Writes the device's back buffer as a PNG. False on a device that keeps no
// pixels (the null device) or when the file cannot be written.
bool CaptureBackBuffer(IDirect3DDevice9* device, const char* pngPath);

}  // namespace testaid
}  // namespace platform
