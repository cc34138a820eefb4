// Test hooks of the Direct3D 9 layer: backend choice, fault injection and the
// recorded call log. Only tests (and the headless tools) call these.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "d3d9.h"

namespace d3d9hooks {

enum class Backend { FromEnvironment, Null, GL };

// Which backend the next Direct3DCreate9 makes. FromEnvironment reads
// KOLVAR_D3D ("null" selects the null device, anything else GL).
void SetBackend(Backend backend);
Backend ActiveBackend();  // what FromEnvironment resolves to now

// Shader versions reported by the caps (D3DVS_VERSION / D3DPS_VERSION values).
// Overrides KOLVAR_VS_VERSION / KOLVAR_PS_VERSION until ClearShaderVersions.
void SetShaderVersions(DWORD vertexShaderVersion, DWORD pixelShaderVersion);
void ClearShaderVersions();

// Display modes the adapter enumerates (per format, in order). Without this,
// the null adapter lists a fixed set and the GL adapter asks SDL.
void SetAdapterModes(D3DFORMAT format, const std::vector<D3DDISPLAYMODE>& modes);
void ClearAdapterModes();

// The next `count` CreateDevice calls whose behaviour flags contain
// `behaviorMask` (0 = any call) fail with `hr` and create nothing.
void FailCreateDevice(HRESULT hr, int count = 1, DWORD behaviorMask = 0);
// The next `count` Reset calls fail with `hr` (the device stays "not reset").
void FailReset(HRESULT hr, int count = 1);
// Direct3DCreate9 returns null until cleared.
void FailDirect3DCreate(bool fail);

// Device loss: after LoseDevice, Present returns D3DERR_DEVICELOST and
// TestCooperativeLevel D3DERR_DEVICELOST; after MakeResettable it returns
// D3DERR_DEVICENOTRESET until a Reset succeeds.
void LoseDevice(IDirect3DDevice9* device);
void MakeResettable(IDirect3DDevice9* device);

// Clears every injected fault and override above (backend choice included).
void ResetAll();

// Call recording: every call on a null device (and on a GL device while
// recording is switched on) appends one line such as
// "SetRenderState(D3DRS_ZENABLE, 1)" or "Clear(0, NULL, D3DCLEAR_TARGET|D3DCLEAR_ZBUFFER, 0x4d4d4d4d, 1, 0)".
// Direct3D object calls ("CreateDevice(...)") go to the same log.
void SetGlRecording(bool on);
// On by default; off lets a benchmark time the null device's calls alone.
void SetNullRecording(bool on);
// Starts or stops recording the calls of a device that exists already (a
// benchmark writes down one frame of a game it times unrecorded).
void SetDeviceRecording(IDirect3DDevice9* device, bool on);
// The texture memory a device has (512 MB unless set), so a test reaches its end cheaply.
void SetTextureMemory(IDirect3DDevice9* device, uint64_t bytes);
const std::vector<std::string>& CallLog();
void ClearCallLog();
// Lines of the log that start with `prefix` (e.g. "SetRenderState(").
std::vector<std::string> CallsStartingWith(const std::string& prefix);

// What blocks Reset: live default-pool resources (buffers, textures, surfaces
// such as GetRenderTarget's) and live state blocks (the sprite keeps one
// between OnResetDevice and OnLostDevice).
int LiveDefaultPoolResources(IDirect3DDevice9* device);
int LiveStateBlocks(IDirect3DDevice9* device);

// The SDL window the GL device draws into for a window handle, for tests that
// make their own SDL window (SDL_WINDOW_OPENGL). Takes precedence over
// platform::SdlWindowOf; pass null to forget.
void RegisterSdlWindow(HWND window, void* sdlWindow);

// Reads back the GL device's back buffer as top-down rows of 0xAARRGGBB
// (after drawing, before or after Present). Empty on the null device.
std::vector<DWORD> ReadBackBuffer(IDirect3DDevice9* device, UINT* width, UINT* height);
// While on, every Present of a GL device also reads back what it put in the
// window (top-down 0xAARRGGBB, the window's drawable size), for tests that
// check the picture the player sees.
void CapturePresents(bool on);
std::vector<DWORD> LastPresentedFrame(IDirect3DDevice9* device, UINT* width, UINT* height);
// GL calls the GL backend has made so far (all devices): a test compares two
// readings around a draw to hold the draw path to its budget.
uint64_t GlCallCount();

// Writes top-down 0xAARRGGBB pixels as a PNG. False on failure.
bool WritePng(const std::string& path, const std::vector<DWORD>& pixels, UINT width, UINT height);

}  // namespace d3d9hooks
