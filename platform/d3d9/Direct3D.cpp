#include "Direct3D.h"

#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "Device.h"
#include "HookState.h"
#include "Names.h"
#include "TextureBase.h"
#include "dxerr9.h"

namespace d3d9 {
namespace {

// "2.0" -> D3DVS_VERSION(2, 0); "0.0" or nonsense -> 0 (no shaders).
DWORD ParseVersion(const char* text, DWORD base) {
    if (!text) return base | (2u << 8);
    unsigned major = 0, minor = 0;
    if (sscanf(text, "%u.%u", &major, &minor) != 2 || major > 3 || minor > 9 || (major == 0 && minor == 0)) return 0;
    return base | (major << 8) | minor;
}

// The null adapter's fixed mode list: duplicates and small modes included, so
// the engine's filtering has something to do.
std::vector<D3DDISPLAYMODE> NullModes(D3DFORMAT format) {
    static const UINT kSizes[][3] = {{320, 240, 60},   {640, 480, 60},   {640, 480, 75},  {800, 600, 60},
                                     {800, 600, 75},   {1024, 768, 60},  {1024, 768, 75}, {1280, 1024, 60},
                                     {1600, 1200, 60}};
    std::vector<D3DDISPLAYMODE> modes;
    for (const auto& s : kSizes) modes.push_back(D3DDISPLAYMODE{s[0], s[1], s[2], format});
    return modes;
}

std::vector<D3DDISPLAYMODE> SdlModes(D3DFORMAT format) {
    std::vector<D3DDISPLAYMODE> modes;
    if (!SDL_WasInit(SDL_INIT_VIDEO) && SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) return modes;
    const int count = SDL_GetNumDisplayModes(0);
    for (int i = 0; i < count; ++i) {
        SDL_DisplayMode m;
        if (SDL_GetDisplayMode(0, i, &m) == 0 && m.w > 0 && m.h > 0)
            modes.push_back(D3DDISPLAYMODE{static_cast<UINT>(m.w), static_cast<UINT>(m.h),
                                           static_cast<UINT>(m.refresh_rate), format});
    }
    return modes;
}

std::vector<D3DDISPLAYMODE> ModesOf(bool null, D3DFORMAT format) {
    std::vector<D3DDISPLAYMODE> modes;
    if (format != D3DFMT_X8R8G8B8 && format != D3DFMT_R5G6B5) return modes;
    if (AdapterModeOverride(format, &modes)) return modes;
    return null ? NullModes(format) : SdlModes(format);
}

}  // namespace

// The GL renderer fills this once a context exists (the adapter's name).
std::string g_glRendererName;

DWORD ConfiguredVertexShaderVersion() {
    DWORD vs, ps;
    if (ShaderVersionOverride(&vs, &ps)) return vs;
    return ParseVersion(getenv("KOLVAR_VS_VERSION"), 0xFFFE0000u);
}

DWORD ConfiguredPixelShaderVersion() {
    DWORD vs, ps;
    if (ShaderVersionOverride(&vs, &ps)) return ps;
    return ParseVersion(getenv("KOLVAR_PS_VERSION"), 0xFFFF0000u);
}

CDirect3D::CDirect3D(bool nullBackend, bool record) : m_null(nullBackend), m_record(record) {}

void CDirect3D::Record(const std::string& line) {
    if (m_record) AppendCall(line);
}

UINT CDirect3D::GetAdapterCount() { return 1; }

HRESULT CDirect3D::GetAdapterIdentifier(UINT adapter, DWORD flags, D3DADAPTER_IDENTIFIER9* id) {
    Record("GetAdapterIdentifier(" + std::to_string(adapter) + ", " + std::to_string(flags) + ")");
    if (adapter != 0 || !id) return D3DERR_INVALIDCALL;
    memset(id, 0, sizeof *id);
    if (m_null) {
        snprintf(id->Description, sizeof id->Description, "Null recording device");
        snprintf(id->Driver, sizeof id->Driver, "null");
    } else {
        const std::string name = g_glRendererName.empty() ? "OpenGL 3.3 core" : g_glRendererName;
        snprintf(id->Description, sizeof id->Description, "%s", name.c_str());
        const char* driver = SDL_GetCurrentVideoDriver();
        snprintf(id->Driver, sizeof id->Driver, "SDL2 %s / OpenGL", driver ? driver : "video");
    }
    snprintf(id->DeviceName, sizeof id->DeviceName, "DISPLAY1");
    return D3D_OK;
}

UINT CDirect3D::GetAdapterModeCount(UINT adapter, D3DFORMAT format) {
    const UINT n = adapter == 0 ? static_cast<UINT>(ModesOf(m_null, format).size()) : 0;
    Record("GetAdapterModeCount(" + std::to_string(adapter) + ", " + FormatName(format) + ") -> " +
           std::to_string(n));
    return n;
}

HRESULT CDirect3D::EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* displayMode) {
    Record("EnumAdapterModes(" + std::to_string(adapter) + ", " + FormatName(format) + ", " + std::to_string(mode) +
           ")");
    if (adapter != 0 || !displayMode) return D3DERR_INVALIDCALL;
    const auto modes = ModesOf(m_null, format);
    if (mode >= modes.size()) return D3DERR_INVALIDCALL;
    *displayMode = modes[mode];
    return D3D_OK;
}

HRESULT CDirect3D::GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) {
    if (adapter != 0 || !mode) return D3DERR_INVALIDCALL;
    *mode = D3DDISPLAYMODE{1024, 768, 60, D3DFMT_X8R8G8B8};
    if (!m_null && (SDL_WasInit(SDL_INIT_VIDEO) || SDL_InitSubSystem(SDL_INIT_VIDEO) == 0)) {
        SDL_DisplayMode m;
        if (SDL_GetDesktopDisplayMode(0, &m) == 0)
            *mode = D3DDISPLAYMODE{static_cast<UINT>(m.w), static_cast<UINT>(m.h), static_cast<UINT>(m.refresh_rate),
                                   D3DFMT_X8R8G8B8};
    }
    return D3D_OK;
}

HRESULT CDirect3D::CheckDeviceType(UINT adapter, D3DDEVTYPE devType, D3DFORMAT adapterFormat,
                                   D3DFORMAT backBufferFormat, BOOL) {
    if (adapter != 0 || devType != D3DDEVTYPE_HAL) return D3DERR_NOTAVAILABLE;
    const bool ok = (adapterFormat == D3DFMT_X8R8G8B8 || adapterFormat == D3DFMT_R5G6B5) &&
                    (backBufferFormat == D3DFMT_UNKNOWN || backBufferFormat == D3DFMT_X8R8G8B8 ||
                     backBufferFormat == D3DFMT_A8R8G8B8 || backBufferFormat == D3DFMT_R5G6B5);
    return ok ? D3D_OK : D3DERR_NOTAVAILABLE;
}

HRESULT CDirect3D::CheckDeviceFormat(UINT adapter, D3DDEVTYPE devType, D3DFORMAT adapterFormat, DWORD usage,
                                     D3DRESOURCETYPE rType, D3DFORMAT format) {
    HRESULT hr = D3D_OK;
    if (adapter != 0 || devType != D3DDEVTYPE_HAL) {
        hr = D3DERR_INVALIDCALL;
    } else if (usage & D3DUSAGE_DEPTHSTENCIL) {
        hr = (format == D3DFMT_D16 || format == D3DFMT_D24S8 || format == D3DFMT_D24X8) ? D3D_OK : D3DERR_NOTAVAILABLE;
    } else if (usage & (D3DUSAGE_RENDERTARGET | D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING)) {
        // Render targets are the 32-bit formats; blending works on them.
        hr = (format == D3DFMT_X8R8G8B8 || format == D3DFMT_A8R8G8B8) ? D3D_OK : D3DERR_NOTAVAILABLE;
    } else if (rType == D3DRTYPE_TEXTURE || rType == D3DRTYPE_CUBETEXTURE || rType == D3DRTYPE_SURFACE) {
        hr = IsTextureFormat(format) ? D3D_OK : D3DERR_NOTAVAILABLE;
    } else {
        hr = D3DERR_NOTAVAILABLE;
    }
    Record("CheckDeviceFormat(" + std::to_string(adapter) + ", " + DevTypeName(devType) + ", " +
           FormatName(adapterFormat) + ", " + UsageText(usage) + ", " + RTypeName(rType) + ", " + FormatName(format) +
           ")" + (FAILED(hr) ? std::string(" -> ") + (hr == D3DERR_NOTAVAILABLE ? "D3DERR_NOTAVAILABLE" : "D3DERR_INVALIDCALL") : ""));
    return hr;
}

HRESULT CDirect3D::CheckDepthStencilMatch(UINT adapter, D3DDEVTYPE devType, D3DFORMAT, D3DFORMAT,
                                          D3DFORMAT depthStencilFormat) {
    if (adapter != 0 || devType != D3DDEVTYPE_HAL) return D3DERR_INVALIDCALL;
    return (depthStencilFormat == D3DFMT_D16 || depthStencilFormat == D3DFMT_D24S8 ||
            depthStencilFormat == D3DFMT_D24X8)
               ? D3D_OK
               : D3DERR_NOTAVAILABLE;
}

void CDirect3D::FillCaps(D3DCAPS9* caps, DWORD behaviorFlags) const {
    memset(caps, 0, sizeof *caps);
    caps->DeviceType = D3DDEVTYPE_HAL;
    caps->PresentationIntervals = D3DPRESENT_INTERVAL_IMMEDIATE | D3DPRESENT_INTERVAL_ONE;
    caps->DevCaps = D3DDEVCAPS_HWTRANSFORMANDLIGHT;
    caps->TextureCaps = D3DPTEXTURECAPS_PERSPECTIVE | D3DPTEXTURECAPS_POW2 | D3DPTEXTURECAPS_ALPHA |
                        D3DPTEXTURECAPS_CUBEMAP | D3DPTEXTURECAPS_MIPMAP | D3DPTEXTURECAPS_MIPCUBEMAP;
    caps->MaxTextureWidth = 4096;
    caps->MaxTextureHeight = 4096;
    caps->MaxTextureAspectRatio = 4096;
    caps->MaxAnisotropy = 1;
    caps->MaxTextureBlendStages = 8;
    caps->MaxSimultaneousTextures = 8;
    caps->MaxActiveLights = 0;
    caps->MaxPointSize = 256.0f;
    caps->MaxPrimitiveCount = 0xFFFFF;
    caps->MaxVertexIndex = 0xFFFFFF;
    caps->MaxStreams = 4;
    caps->MaxStreamStride = 255;
    caps->FVFCaps = 8;
    DWORD vs = ConfiguredVertexShaderVersion();
    // Software vertex processing runs any vertex program, as on the original.
    if ((behaviorFlags & D3DCREATE_SOFTWARE_VERTEXPROCESSING) && D3DSHADER_VERSION_MAJOR(vs) < 2)
        vs = D3DVS_VERSION(2, 0);
    caps->VertexShaderVersion = vs;
    caps->MaxVertexShaderConst = 256;
    caps->PixelShaderVersion = ConfiguredPixelShaderVersion();
    caps->PixelShader1xMaxValue = 8.0f;
}

HRESULT CDirect3D::GetDeviceCaps(UINT adapter, D3DDEVTYPE devType, D3DCAPS9* caps) {
    if (adapter != 0 || devType != D3DDEVTYPE_HAL || !caps) return D3DERR_INVALIDCALL;
    FillCaps(caps, D3DCREATE_HARDWARE_VERTEXPROCESSING);
    return D3D_OK;
}

HRESULT CDirect3D::CreateDevice(UINT adapter, D3DDEVTYPE devType, HWND focusWindow, DWORD behaviorFlags,
                                D3DPRESENT_PARAMETERS* pp, IDirect3DDevice9** device) {
    std::string line = "CreateDevice(" + std::to_string(adapter) + ", " + DevTypeName(devType) + ", " +
                       CreateFlagsText(behaviorFlags);
    if (pp)
        line += ", {" + std::to_string(pp->BackBufferWidth) + "x" + std::to_string(pp->BackBufferHeight) + " " +
                FormatName(pp->BackBufferFormat) + " windowed=" + std::to_string(pp->Windowed) +
                " depth=" + (pp->EnableAutoDepthStencil ? FormatName(pp->AutoDepthStencilFormat) : "none") + "}";
    line += ")";
    if (device) *device = nullptr;
    HRESULT hr = D3D_OK;
    const DWORD vp = behaviorFlags & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                      D3DCREATE_MIXED_VERTEXPROCESSING);
    if (!device || !pp || adapter != 0 || vp == 0 || (vp & (vp - 1)) != 0) {
        hr = D3DERR_INVALIDCALL;
    } else if (devType != D3DDEVTYPE_HAL) {
        hr = D3DERR_NOTAVAILABLE;
    } else if (FAILED(hr = TakeCreateFault(behaviorFlags))) {
        // refused by a test
    } else if (!pp->Windowed && (pp->BackBufferWidth == 0 || pp->BackBufferHeight == 0)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        const bool record = (m_null && NullRecordingRequested()) || GlRecordingRequested();
        CRenderer* renderer = m_null ? CreateNullRenderer() : CreateGlRenderer();
        auto* dev = new CDevice(this, renderer, adapter, devType, focusWindow, behaviorFlags, record);
        D3DPRESENT_PARAMETERS copy = *pp;
        hr = dev->Init(&copy);
        if (FAILED(hr)) {
            dev->Release();
        } else {
            *pp = copy;
            *device = dev;
        }
    }
    Record(line + (SUCCEEDED(hr) ? "" : std::string(" -> ") + DXGetErrorString9(hr)));
    return hr;
}

}  // namespace d3d9

IDirect3D9* Direct3DCreate9(UINT sdkVersion) {
    const bool null = d3d9::UseNullBackend();
    const bool record = (null && d3d9::NullRecordingRequested()) || d3d9::GlRecordingRequested();
    if (record) d3d9::AppendCall("Direct3DCreate9(" + std::to_string(sdkVersion) + ")");
    if (sdkVersion != D3D_SDK_VERSION || d3d9::Direct3DCreateRefused()) return nullptr;
    return new d3d9::CDirect3D(null, record);
}
