// Test hooks of the DirectInput layer: injected key and mouse states and focus,
// so input can be exercised without a display, plus faults on demand.
#pragma once

#include <cstdint>

namespace platform {

// While test mode is on, devices read the injected state below instead of SDL.
// Turning it on or off clears the injected state (no keys, no motion, focused).
void SetInputTestMode(bool enabled);
bool InputTestMode();

// Key by DirectInput scan code (0..255; others are ignored).
void InjectKey(int dik, bool down);
// Relative motion, added up until the next mouse read takes it.
void InjectMouseMotion(int32_t dx, int32_t dy, int32_t dz = 0);
// Button 0 left, 1 right, 2 middle, 3 extra.
void InjectMouseButton(int button, bool down);
// Whether the game window has the keyboard focus.
void SetInputFocus(bool focused);

// True while an acquired exclusive foreground mouse keeps the system cursor hidden.
bool InputCursorHidden();

// The DirectInput scan code of an SDL scancode, 0 when it has none.
int DikFromSdlScancode(int sdlScancode);

// Makes the next calls of one kind fail until cleared (InputFault::None).
enum class InputFault { None, Create, CreateDevice, SetDataFormat, SetCooperativeLevel, Acquire };
void SetInputFault(InputFault fault);

}  // namespace platform
