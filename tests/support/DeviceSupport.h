// Devices for the tests: a fixture on one windowless device, the null device of the font tests, and
// for drawing with the GL backend a hidden SDL window and a device made on it.
#pragma once

#include <SDL.h>
#include <d3d9.h>
#include <d3d9hooks.h>

#include <string>

#include "support/TestUtil.h"

namespace testutil {

// WindowedPresent with a depth buffer of the format.
inline D3DPRESENT_PARAMETERS DepthPresent(UINT width, UINT height, D3DFORMAT depth) {
    D3DPRESENT_PARAMETERS pp = WindowedPresent(width, height);
    pp.EnableAutoDepthStencil = TRUE;
    pp.AutoDepthStencilFormat = depth;
    return pp;
}

// A fixture on one windowless device. SetUp of the derived fixture calls StartDevice; a device that
// cannot be made fails the set-up, and a GL one without a display skips the test (or fails it under
// KOLVAR_REQUIRE_GL=1). TearDown checks that nothing else holds the device (what is still bound goes
// with it) and that the device let go of the Direct3D object.
class DeviceTest : public ::testing::Test {
protected:
    void StartDevice(d3d9hooks::Backend backend, D3DPRESENT_PARAMETERS pp) {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(backend);
        if (backend == d3d9hooks::Backend::GL && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
            KOLVAR_SKIP_WITHOUT_GL() << "no display: " << SDL_GetError();
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(m_d3d, nullptr);
        ASSERT_EQ(m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, nullptr, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &m_dev),
                  D3D_OK);
    }
    // The engine's usual 2D set-up: no lighting, depth test or culling.
    void Use2DStates() {
        m_dev->SetRenderState(D3DRS_LIGHTING, FALSE);
        m_dev->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        m_dev->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }
    void TearDown() override {
        if (m_dev) {
            EXPECT_EQ(m_dev->Release(), 0u);
        }
        if (m_d3d) {
            EXPECT_EQ(m_d3d->Release(), 0u);
        }
        m_dev = nullptr;
        m_d3d = nullptr;
        d3d9hooks::ResetAll();
    }

    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_dev = nullptr;
};

// A managed A8R8G8B8 texture of one colour; the caller releases it.
inline IDirect3DTexture9* SolidTexture(IDirect3DDevice9* device, UINT width, UINT height, DWORD argb) {
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(width, height, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    D3DLOCKED_RECT locked{};
    if (!texture || texture->LockRect(0, &locked, nullptr, 0) != D3D_OK) return texture;
    for (UINT y = 0; y < height; ++y)
        for (UINT x = 0; x < width; ++x)
            reinterpret_cast<DWORD*>(static_cast<BYTE*>(locked.pBits) + y * locked.Pitch)[x] = argb;
    texture->UnlockRect(0);
    return texture;
}

// SDL video and a hidden GL window; without them Get() is null and Error() says why:
//   testutil::GlWindow window("name", 64, 64);
//   if (!window.Get()) KOLVAR_SKIP_WITHOUT_GL() << window.Error();
class GlWindow {
public:
    GlWindow(const char* title, int width, int height) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            m_error = std::string("no video: ") + SDL_GetError();
            return;
        }
        m_window = SDL_CreateWindow(title, 0, 0, width, height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (m_window) return;
        m_error = std::string("no GL window: ") + SDL_GetError();
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    ~GlWindow() {
        if (!m_window) return;
        SDL_DestroyWindow(m_window);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }
    GlWindow(const GlWindow&) = delete;
    GlWindow& operator=(const GlWindow&) = delete;

    SDL_Window* Get() const { return m_window; }
    const std::string& Error() const { return m_error; }

private:
    SDL_Window* m_window = nullptr;
    std::string m_error;
};

// A GL device on the window, windowed X8R8G8B8 of the size, with a D24S8 depth buffer when asked.
// Get() is null without a window or when either creation failed; the hooks are reset with the object.
class GlDevice {
public:
    GlDevice(SDL_Window* window, UINT width, UINT height, bool depth) : m_hwnd(reinterpret_cast<HWND>(window)) {
        if (!window) return;
        d3d9hooks::SetBackend(d3d9hooks::Backend::GL);
        d3d9hooks::RegisterSdlWindow(m_hwnd, window);
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        if (!m_d3d) return;
        D3DPRESENT_PARAMETERS pp = depth ? DepthPresent(width, height, D3DFMT_D24S8) : WindowedPresent(width, height);
        pp.hDeviceWindow = m_hwnd;
        m_d3d->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_hwnd, D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp,
                            &m_device);
    }
    ~GlDevice() {
        if (!m_hwnd) return;
        if (m_device) m_device->Release();
        if (m_d3d) m_d3d->Release();
        d3d9hooks::RegisterSdlWindow(m_hwnd, nullptr);
        d3d9hooks::ResetAll();
    }
    GlDevice(const GlDevice&) = delete;
    GlDevice& operator=(const GlDevice&) = delete;

    IDirect3DDevice9* Get() const { return m_device; }

private:
    HWND m_hwnd;
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

// A null recording device of the size, software vertex processing on a stand-in window, made with the
// object.
class NullDevice {
public:
    NullDevice(UINT width = 1024, UINT height = 768) {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        m_d3d = Direct3DCreate9(D3D_SDK_VERSION);
        D3DPRESENT_PARAMETERS pp = WindowedPresent(width, height);
        if (m_d3d)
            m_d3d->CreateDevice(0, D3DDEVTYPE_HAL, reinterpret_cast<HWND>(static_cast<uintptr_t>(1)),
                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &m_device);
    }
    ~NullDevice() {
        if (m_device) m_device->Release();
        if (m_d3d) m_d3d->Release();
        d3d9hooks::ResetAll();
    }
    IDirect3DDevice9* get() const { return m_device; }

private:
    IDirect3D9* m_d3d = nullptr;
    IDirect3DDevice9* m_device = nullptr;
};

}  // namespace testutil
