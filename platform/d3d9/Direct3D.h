// The Direct3D object: adapter, modes, caps and device creation.
#pragma once

#include <string>

#include "d3d9.h"

namespace d3d9 {

class CDirect3D final : public platform::ComObject<IDirect3D9> {
public:
    CDirect3D(bool nullBackend, bool record);

    UINT GetAdapterCount() override;
    HRESULT GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* identifier) override;
    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override;
    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) override;
    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* displayMode) override;
    HRESULT CheckDeviceType(UINT adapter, D3DDEVTYPE devType, D3DFORMAT adapterFormat, D3DFORMAT backBufferFormat,
                            BOOL windowed) override;
    HRESULT CheckDeviceFormat(UINT adapter, D3DDEVTYPE devType, D3DFORMAT adapterFormat, DWORD usage,
                              D3DRESOURCETYPE rType, D3DFORMAT checkFormat) override;
    HRESULT CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE devType, D3DFORMAT adapterFormat,
                                   D3DFORMAT renderTargetFormat, D3DFORMAT depthStencilFormat) override;
    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE devType, D3DCAPS9* caps) override;
    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE devType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** device) override;

    // Caps of a device created with these behaviour flags.
    void FillCaps(D3DCAPS9* caps, DWORD behaviorFlags) const;
    bool IsNull() const { return m_null; }
    void Record(const std::string& line);

private:
    ~CDirect3D() = default;
    bool m_null;
    bool m_record;
};

// Reported shader versions: hook override, else environment, else 2.0.
DWORD ConfiguredVertexShaderVersion();
DWORD ConfiguredPixelShaderVersion();

}  // namespace d3d9
