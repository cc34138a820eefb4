// The null backend: no display; the device's recording is what tests read.
#include <SDL.h>

#include "HookState.h"
#include "Renderer.h"
#include "Shader.h"

namespace platform {
// Provided by the window layer when it is linked in.
void* SdlWindowOf(HWND__* window) __attribute__((weak));
}  // namespace platform

namespace d3d9 {

void* ResolveSdlWindow(HWND window) {
    if (void* w = RegisteredSdlWindow(window)) return w;
    if (window && &platform::SdlWindowOf) return platform::SdlWindowOf(window);
    return nullptr;
}

namespace {

// Back-buffer size: the present parameters, or the window's client area.
void BackBufferSize(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) {
    *width = pp.BackBufferWidth;
    *height = pp.BackBufferHeight;
    if (*width && *height) return;
    int w = 0, h = 0;
    if (auto* sdl = static_cast<SDL_Window*>(ResolveSdlWindow(window))) SDL_GetWindowSize(sdl, &w, &h);
    if (w <= 0 || h <= 0) {
        w = 1024;  // no window to measure: the usual desktop
        h = 768;
    }
    if (!*width) *width = static_cast<UINT>(w);
    if (!*height) *height = static_cast<UINT>(h);
}

class CNullRenderer final : public CRenderer {
public:
    HRESULT Open(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) override {
        BackBufferSize(window, pp, width, height);
        return D3D_OK;
    }
    HRESULT Resize(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) override {
        BackBufferSize(window, pp, width, height);
        return D3D_OK;
    }
    void Clear(CDevice&, DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) override {}
    HRESULT Draw(CDevice&, const DrawCall&) override { return D3D_OK; }
    void Present() override {}
    bool CompileShader(CShader& shader, std::string* log) override {
        // No compiler here; a program without an entry point is still refused.
        if (shader.Text().find("main") == std::string::npos) {
            if (log) *log = "no main function";
            return false;
        }
        return true;
    }
    void Forget(CDeviceObject&) override {}
    std::vector<DWORD> ReadBack(UINT* width, UINT* height) override {
        *width = *height = 0;
        return {};
    }
    std::vector<DWORD> LastPresented(UINT* width, UINT* height) override {
        *width = *height = 0;
        return {};
    }
    void Close() override {}
    bool IsNull() const override { return true; }
};

}  // namespace

CRenderer* CreateNullRenderer() { return new CNullRenderer; }

}  // namespace d3d9
