#pragma once

#include <d3d9.h>
#include <d3d9hooks.h>

#include "support/TestUtil.h"

namespace testutil {

// A null recording device with a 1024 x 768 viewport.
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
