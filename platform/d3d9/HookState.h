// What the test hooks set, as the layer reads it.
#pragma once

#include <string>
#include <vector>

#include "d3d9.h"

namespace d3d9 {

void AppendCall(const std::string& line);
bool GlRecordingRequested();
bool NullRecordingRequested();
bool UseNullBackend();
// An injected failure for this CreateDevice / Reset, or S_OK.
HRESULT TakeCreateFault(DWORD behaviorFlags);
HRESULT TakeResetFault();
bool Direct3DCreateRefused();
// Shader versions forced by a test; false when none are.
bool ShaderVersionOverride(DWORD* vs, DWORD* ps);
// Modes set by a test for a format; false when none are.
bool AdapterModeOverride(D3DFORMAT format, std::vector<D3DDISPLAYMODE>* modes);
void* RegisteredSdlWindow(HWND window);
bool PresentCaptureRequested();

}  // namespace d3d9
