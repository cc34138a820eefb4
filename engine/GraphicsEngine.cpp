#include "engine/GraphicsEngine.h"

#include <dxerr9.h>
#include <platform.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "engine/DXUtil.h"
#include "engine/EngineTimer.h"
#include "engine/FontManager.h"
#include "engine/Keyboard.h"
#include "engine/Log.h"
#include "engine/MenuHooks.h"
#include "engine/MeshManager.h"
#include "engine/Mouse.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/ShaderManager.h"
#include "engine/Sprite3DRenderer.h"
#include "engine/TextureManager.h"

#include "engine/DirectInput.h"
#include "engine/TextureEntry.h"

namespace {

const char* const kBannerLine = "--------------------------------";
const DWORD kWindowedCreateStyle =
    WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX;
const DWORD kFullScreenCreateStyle = WS_POPUP | WS_VISIBLE | WS_SYSMENU;
// After a toggle the window gets no sizing border.
const DWORD kWindowedStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

const DWORD kQuadFvf = D3DFVF_XYZ | D3DFVF_TEX1;
const UINT kQuadStride = 20;
struct QuadVertex {
    float x, y, z, u, v;
};
static_assert(sizeof(QuadVertex) == kQuadStride, "quad vertex layout");

// The window system's own words for a window or GL context it could not make.
void LogWindowFailureReason() {
    const std::string reason = platform::WindowFailureReason();
    if (!reason.empty()) g_Log.PrintBold("red", "   reason: %s", reason.c_str());
}
const QuadVertex kQuadVertices[4] = {
    {-0.5f, 0.5f, 0.0f, 0.0f, 0.0f},
    {0.5f, 0.5f, 0.0f, 1.0f, 0.0f},
    {0.5f, -0.5f, 0.0f, 1.0f, 1.0f},
    {-0.5f, -0.5f, 0.0f, 0.0f, 1.0f},
};
const WORD kQuadIndices[6] = {0, 1, 2, 2, 3, 0};

// Shaders of at least version 1.1 (major in bits 8-15, minor in bits 0-7).
bool AtLeast11(DWORD version) { return (version & 0xFFFF) >= 0x0101; }

// Window coordinates are 32-bit; the sizes come from config.ini, so the sums
// are made in 64 bits and a window whose edges do not fit is refused.
bool FitsInt32(int64_t v) { return v >= INT32_MIN && v <= INT32_MAX; }

// The window of the given client size centred on the desktop, its frame for
// the style added; false when an edge or a side does not fit.
bool CentredWindowRect(int64_t desktopWidth, int64_t desktopHeight, int64_t width, int64_t height, DWORD style,
                       RECT* out) {
    RECT frame = {0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int64_t left = (desktopWidth - width) / 2, top = (desktopHeight - height) / 2;
    const int64_t edges[4] = {left + frame.left, top + frame.top, left + width + frame.right,
                              top + height + frame.bottom};
    for (int64_t edge : edges)
        if (!FitsInt32(edge)) return false;
    if (!FitsInt32(edges[2] - edges[0]) || !FitsInt32(edges[3] - edges[1])) return false;
    *out = {static_cast<LONG>(edges[0]), static_cast<LONG>(edges[1]), static_cast<LONG>(edges[2]),
            static_cast<LONG>(edges[3])};
    return true;
}

void Banner(const char* title) {
    g_Log.Print("purple", "%s", kBannerLine);
    g_Log.PrintBold("purple", "%s", title);
    g_Log.Print("purple", "%s", kBannerLine);
}

}  // namespace

float EngineTime() {
    const CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    return engine ? engine->GetTime() : 0.0f;
}

float EngineStep() {
    const CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    return engine ? engine->GetCurrentStep() : 0.0f;
}

CGraphicsEngine::CGraphicsEngine() {
    g_Log.PrintBold("blue", "Graphics engine started !");
    Banner("           Initializing         ");
    m_DeviceLost = false;
    m_ViewChanged = true;
    EngineTimer(TIMER_START);

    g_Log.Print("blue", "Initializing camera");
    m_Time = 0.0f;
    m_CurrentStep = 0.0f;
    m_Paused = false;
    m_pCamera = new CCamera();
    SetViewParams(D3DXVECTOR3(0.0f, 0.0f, -7.0f), D3DXVECTOR3(0.0f, 0.0f, 0.0f), D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    m_pCamera->SetProjParams(D3DX_PI / 4.0f, 4.0f / 3.0f, 1.0f, 1000.0f);
    D3DXMatrixIdentity(&m_ViewProj);
    g_Log.Print("green", "complete");
}

CGraphicsEngine::~CGraphicsEngine() {
    Banner("            Exiting             ");
    Release();
    g_Log.PrintBold("blue", "Graphics engine ended !");
    m_Params.m_UpdateCallback.clear();
    m_Modes16.clear();
    m_Modes32.clear();
}

void CGraphicsEngine::Release() {
    g_Log.Print("blue", "destroying camera");
    delete m_pCamera;
    m_pCamera = nullptr;
    g_Log.Print("green", "complete");

    delete CSprite3DRenderer::GetInstancePtr();
    delete CParticleSystemsManager::GetInstancePtr();
    delete CMeshManager::GetInstancePtr();
    delete CTextureManager::GetInstancePtr();
    delete CFontManager::GetInstancePtr();
    delete CShaderManager::GetInstancePtr();
    DestroyMenuManager();
    delete CKeyboard::GetInstancePtr();
    delete CMouse::GetInstancePtr();
    ReleaseDirectInput();

    // The device must outlive everything made on it.
    if (m_pSprite) {
        m_pSprite->Release();
        m_pSprite = nullptr;
    }
    ReleaseQuadBuffers();

    g_Log.Print("blue", "Release Direct3D9 device");
    if (m_pDevice) {
        m_pDevice->Release();
        m_pDevice = nullptr;
    }
    g_Log.Print("green", "complete");
    g_Log.Print("blue", "Release Direct3D9 object");
    if (m_pD3D) {
        m_pD3D->Release();
        m_pD3D = nullptr;
    }
    g_Log.Print("green", "complete");

    // The window goes with the engine that made it, after the device drawing into it.
    if (m_Params.m_Window) {
        DestroyWindow(m_Params.m_Window);
        m_Params.m_Window = nullptr;
    }
}

bool CGraphicsEngine::SetGeneralParameters(const CGeneralParameters* params) {
    const bool first = m_Params.m_Window == nullptr;
    g_Log.Print("blue", "Setting general parameters:");
    if (!params) {
        g_Log.PrintBold("red", "Error, parameters is empty !");
        return false;
    }
    const int32_t desktopWidth = m_Params.m_DesktopWidth;
    const int32_t desktopHeight = m_Params.m_DesktopHeight;
    // The window belongs to the engine: a record with a stale or empty handle
    // must not make the engine lose its own window.
    const HWND window = m_Params.m_Window;
    m_Params = *params;
    m_Params.m_Window = window;
    if (first) {
        m_Params.m_DesktopWidth = GetSystemMetrics(SM_CXSCREEN);
        m_Params.m_DesktopHeight = GetSystemMetrics(SM_CYSCREEN);
    } else {
        m_Params.m_DesktopWidth = desktopWidth ? desktopWidth : GetSystemMetrics(SM_CXSCREEN);
        m_Params.m_DesktopHeight = desktopHeight ? desktopHeight : GetSystemMetrics(SM_CYSCREEN);
    }

    g_Log.Print("darkgray", "   caption = %s", m_Params.m_Caption ? m_Params.m_Caption : "");
    g_Log.Print("darkgray", "   width = %d", m_Params.m_Width);
    g_Log.Print("darkgray", "   height = %d", m_Params.m_Height);
    g_Log.Print("darkgray", "  bits = %d", m_Params.m_Bits);
    g_Log.Print("darkgray", m_Params.m_Windowed ? "windowed = yes" : "windowed = no");
    g_Log.Print("black", "auto-detection parameters:");
    g_Log.Print("darkgray", "  desktop width = %d", m_Params.m_DesktopWidth);
    g_Log.Print("darkgray", "  desktop height = %d", m_Params.m_DesktopHeight);
    g_Log.Print("green", "complete");

    if (first) {
        CreateDirectInput(m_Params.m_Instance);
        m_Params.m_Window = nullptr;
        if (!CreateMainWindow()) return false;
    } else if (!ChangeWindowStyle(&m_Params)) {
        return false;
    }

    if (m_pD3D && m_pDevice) {
        if (!ReInitialize(&m_Params)) return false;
    } else {
        if (!CreateDevice()) {
            // One more try at a size every card offers; only our copy changes.
            m_Params.m_Width = 800;
            m_Params.m_Height = 600;
            if (!CreateDevice()) return false;
        }
        CMeshManager::GetInstance();
        CFontManager::GetInstance();
        CTextureManager::GetInstance();
        CreateQuadBuffers();
        CParticleSystemsManager::GetInstance();
        CShaderManager::GetInstance();
        CreateMenuManager();
        CKeyboard::GetInstance();
        CMouse::GetInstance();
        if (!m_pSprite && FAILED(D3DXCreateSprite(m_pDevice, &m_pSprite))) {
            m_pSprite = nullptr;
            return false;
        }
        CSprite3DRenderer::GetInstance()->RestoreDeviceObjects();
    }

    g_Log.Print("purple", "%s", kBannerLine);
    g_Log.PrintBold("purple", "           Complete         ");
    g_Log.Print("purple", "%s", kBannerLine);
    return true;
}

bool CGraphicsEngine::GetGeneralParameters(CGeneralParameters* out) {
    g_Log.Print("blue", "Getting general parameters:");
    if (!out) {
        g_Log.PrintBold("red", "Error, parameters is empty !");
        return false;
    }
    *out = m_Params;
    g_Log.Print("green", "complete.");
    return true;
}

bool CGraphicsEngine::CreateMainWindow() {
    g_Log.Print("blue", "Creating window");
    WNDCLASSA wc;
    memset(&wc, 0, sizeof wc);
    wc.style = 0;
    wc.lpfnWndProc = m_Params.m_WndProc;
    wc.hInstance = m_Params.m_Instance;
    wc.hIcon = LoadIconA(m_Params.m_Instance, MAKEINTRESOURCEA(m_Params.m_IconId));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = nullptr;
    wc.lpszClassName = m_Params.m_Caption;
    RegisterClassA(&wc);

    // Full screen covers the desktop, so it is the desktop centred on itself.
    const bool windowed = m_Params.m_Windowed;
    const DWORD style = windowed ? kWindowedCreateStyle : kFullScreenCreateStyle;
    RECT rect;
    if (!CentredWindowRect(m_Params.m_DesktopWidth, m_Params.m_DesktopHeight,
                           windowed ? m_Params.m_Width : m_Params.m_DesktopWidth,
                           windowed ? m_Params.m_Height : m_Params.m_DesktopHeight, style, &rect)) {
        m_Params.m_Window = nullptr;
        g_Log.PrintBold("red", "Error, window size %d x %d does not fit the screen coordinates !", m_Params.m_Width,
                        m_Params.m_Height);
        return false;
    }
    HWND window = CreateWindowExA(0, m_Params.m_Caption, m_Params.m_Caption, style, rect.left, rect.top,
                                  rect.right - rect.left, rect.bottom - rect.top, nullptr, nullptr,
                                  m_Params.m_Instance, nullptr);
    m_Params.m_Window = window;
    if (!window) {
        g_Log.PrintBold("red", "Error, couldn't create main window !");
        LogWindowFailureReason();
        return false;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    SetFocus(window);
    g_Log.Print("green", "complete");
    return true;
}

bool CGraphicsEngine::ChangeWindowStyle(const CGeneralParameters* params) {
    g_Log.Print("blue", "Changing window style");
    if (!params) {
        g_Log.PrintBold("red", "Error: generals params (new_params) are NULL !");
        return false;
    }
    g_Log.Print("darkgray", "   windowed =  %s", params->m_Windowed ? "yes" : "no");
    HWND window = m_Params.m_Window;
    BOOL placed;
    if (params->m_Windowed) {
        // No frame added here: the window takes the client size as its outer size.
        RECT rect;
        if (!CentredWindowRect(m_Params.m_DesktopWidth, m_Params.m_DesktopHeight, params->m_Width,
                               params->m_Height, 0, &rect)) {
            g_Log.PrintBold("red", "Error, window size %d x %d does not fit the screen coordinates !",
                            params->m_Width, params->m_Height);
            return false;
        }
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(kWindowedStyle));
        placed = SetWindowPos(window, HWND_NOTOPMOST, rect.left, rect.top, params->m_Width, params->m_Height,
                              SWP_SHOWWINDOW);
    } else {
        SetWindowLongA(window, GWL_STYLE, static_cast<LONG>(WS_POPUP));
        placed = SetWindowPos(window, HWND_NOTOPMOST, 0, 0, params->m_Width, params->m_Height, SWP_SHOWWINDOW);
    }
    if (!placed) return false;
    ShowWindow(window, SW_SHOWNORMAL);
    g_Log.Print("green", "complete");
    return true;
}

bool CGraphicsEngine::BuildPresentParameters(const CGeneralParameters* params, D3DPRESENT_PARAMETERS* out) {
    g_Log.Print("blue", "Build Direct3D present parameters:");
    if (!params) {
        g_Log.PrintBold("red", "Error: generals params (psetting) are NULL !");
        return false;
    }
    if (!out) return false;
    memset(out, 0, sizeof *out);
    out->Windowed = params->m_Windowed ? TRUE : FALSE;
    out->EnableAutoDepthStencil = TRUE;
    out->AutoDepthStencilFormat = D3DFMT_D16;
    out->SwapEffect = D3DSWAPEFFECT_DISCARD;
    out->PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    out->FullScreen_RefreshRateInHz = 0;
    out->hDeviceWindow = nullptr;
    if (!params->m_Windowed) {
        out->BackBufferWidth = static_cast<UINT>(params->m_Width);
        out->BackBufferHeight = static_cast<UINT>(params->m_Height);
        out->BackBufferFormat = params->m_Bits == 32 ? D3DFMT_X8R8G8B8 : D3DFMT_R5G6B5;
    } else {
        out->BackBufferWidth = 0;
        out->BackBufferHeight = 0;
        out->BackBufferFormat = D3DFMT_UNKNOWN;
    }
    g_Log.Print("darkgray", "   BackBuffer format = %s", FormatToString(out->BackBufferFormat, true));
    g_Log.Print("green", "complete");
    return true;
}

bool CGraphicsEngine::CreateDevice() {
    g_Log.Print("blue", "Creating Direct3D9 object");
    // A failed attempt before (the 800 x 600 retry, or a start-up tried again)
    // leaves its Direct3D object behind.
    if (m_pD3D) {
        m_pD3D->Release();
        m_pD3D = nullptr;
    }
    m_pD3D = Direct3DCreate9(D3D_SDK_VERSION);
    if (!m_pD3D) {
        g_Log.PrintBold("red", "Error: Creating Direct3D9 object FAILED !");
        return false;
    }
    g_Log.Print("green", "complete");

    D3DPRESENT_PARAMETERS pp;
    if (!BuildPresentParameters(&m_Params, &pp)) return false;

    g_Log.Print("blue", "Creating device");
    g_Log.Print("gray", "trying create hardware vertex processing device...");
    HRESULT hr = m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_Params.m_Window,
                                      D3DCREATE_HARDWARE_VERTEXPROCESSING, &pp, &m_pDevice);
    bool software = false;
    if (SUCCEEDED(hr)) {
        D3DCAPS9 caps;
        memset(&caps, 0, sizeof caps);
        m_pDevice->GetDeviceCaps(&caps);
        if (!AtLeast11(caps.VertexShaderVersion) || !AtLeast11(caps.PixelShaderVersion)) {
            m_pDevice->Release();
            m_pDevice = nullptr;
            g_Log.PrintBold("red", "NOTE: hardware shaders does not supported , trying software shaders");
            software = true;
        }
    } else {
        m_pDevice = nullptr;
        g_Log.PrintBold("red", "failed... code: %s", DXGetErrorString9(hr));
        g_Log.Print("gray", "then trying software...");
        software = true;
    }
    if (software) {
        hr = m_pD3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, m_Params.m_Window,
                                  D3DCREATE_SOFTWARE_VERTEXPROCESSING, &pp, &m_pDevice);
        if (FAILED(hr)) {
            m_pDevice = nullptr;
            g_Log.PrintBold("red", "Error: Creating device FAILED ! code:  %s", DXGetErrorString9(hr));
            LogWindowFailureReason();
            return false;
        }
        g_Log.Print("gray", "ok...");
    }

    D3DDEVICE_CREATION_PARAMETERS creation;
    memset(&creation, 0, sizeof creation);
    m_pDevice->GetCreationParameters(&creation);
    D3DADAPTER_IDENTIFIER9 id;
    memset(&id, 0, sizeof id);
    m_pD3D->GetAdapterIdentifier(creation.AdapterOrdinal, 0, &id);
    g_Log.Print("black", "Adapter name: %s", id.Description);
    g_Log.Print("black", "driver: %s", id.Driver);
    g_Log.Print("black", "supported modes: ");
    EnumerateModes(creation.AdapterOrdinal, D3DFMT_R5G6B5, m_Modes16, 16);
    EnumerateModes(creation.AdapterOrdinal, D3DFMT_X8R8G8B8, m_Modes32, 32);

    SetDefaultStates();
    m_pDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(77, 77, 77, 77), 1.0f, 0);
    m_pDevice->Present(nullptr, nullptr, nullptr, nullptr);
    g_Log.Print("green", "complete");
    return true;
}

void CGraphicsEngine::EnumerateModes(UINT adapter, D3DFORMAT format, std::vector<D3DDISPLAYMODE>& modes,
                                     int bits) {
    UINT count = m_pD3D->GetAdapterModeCount(adapter, format);
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (FAILED(m_pD3D->EnumAdapterModes(adapter, format, i, &mode))) continue;
        if (mode.Width < 640 || mode.Height < 480) continue;
        bool known = false;
        for (const D3DDISPLAYMODE& m : modes)
            if (m.Width == mode.Width && m.Height == mode.Height) known = true;
        if (known) continue;
        modes.push_back(mode);
        g_Log.Print("gray", "%dx%dx%d", static_cast<int>(mode.Width), static_cast<int>(mode.Height), bits);
    }
}

void CGraphicsEngine::SetDefaultStates() {
    for (DWORD s = 0; s < 2; ++s) {
        m_pDevice->SetSamplerState(s, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
        m_pDevice->SetSamplerState(s, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
        m_pDevice->SetSamplerState(s, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR);
        m_pDevice->SetSamplerState(s, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
        m_pDevice->SetSamplerState(s, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
    }
    m_pDevice->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    m_pDevice->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_MODULATE);
    m_pDevice->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    m_pDevice->SetTextureStageState(1, D3DTSS_ALPHAOP, D3DTOP_DISABLE);
    m_pDevice->SetRenderState(D3DRS_DITHERENABLE, TRUE);
    m_pDevice->SetRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    m_pDevice->SetRenderState(D3DRS_LIGHTING, FALSE);
}

// ---- The running half: tick, frames, reset ----

void CGraphicsEngine::Tick() {
    if (m_Paused) return;
    float elapsed = EngineTimer(TIMER_GETELAPSEDTIME);
    const float step = m_Params.m_FixedStep;
    // A step that is not positive would never use the time up.
    if (step > 0.0f) {
        while (elapsed >= step) {
            m_Time += step;
            elapsed -= step;
            m_CurrentStep = step;
            if (m_Params.m_UpdateCallback) m_Params.m_UpdateCallback();
        }
    }
    m_Time += elapsed;
    m_CurrentStep = elapsed;
    if (m_Params.m_UpdateCallback) m_Params.m_UpdateCallback();
}

void CGraphicsEngine::Pause() { m_Paused = true; }

void CGraphicsEngine::Resume() {
    EngineTimer(TIMER_GETELAPSEDTIME);
    m_Paused = false;
}

bool CGraphicsEngine::BeginFrame(bool clearTarget) {
    if (!m_pDevice) return false;
    if (m_DeviceLost) {
        HRESULT hr = m_pDevice->TestCooperativeLevel();
        if (hr == D3DERR_DEVICENOTRESET) {
            ReInitialize(&m_Params);
            return false;
        }
        if (FAILED(hr)) return false;
        m_DeviceLost = false;
    }
    m_pDevice->Clear(0, nullptr, clearTarget ? (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER) : D3DCLEAR_ZBUFFER, 0, 1.0f, 0);
    return SUCCEEDED(m_pDevice->BeginScene());
}

void CGraphicsEngine::EndFrame() {
    if (!m_pDevice) return;
    m_pDevice->EndScene();
    if (m_pDevice->Present(nullptr, nullptr, nullptr, nullptr) == D3DERR_DEVICELOST) m_DeviceLost = true;
}

bool CGraphicsEngine::ReInitialize(const CGeneralParameters* params) {
    Banner("        ReInitializing          ");
    CSprite3DRenderer::GetInstance()->InvalidateDeviceObjects();
    if (m_pSprite) m_pSprite->OnLostDevice();
    ReleaseQuadBuffers();
    CParticleSystemsManager::GetInstance()->InvalidateDeviceObjects();
    CMeshManager::GetInstance()->InvalidateMeshes();
    CFontManager::GetInstance()->InvalidateFonts();

    g_Log.Print("blue", "restarting Direct3D9");
    if (!params) {
        g_Log.PrintBold("red", "Error: generals params (new_params) are NULL !");
        return false;
    }
    if (!m_pDevice) return false;
    D3DPRESENT_PARAMETERS pp;
    if (!BuildPresentParameters(params, &pp)) return false;
    HRESULT hr = m_pDevice->Reset(&pp);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Error: Device reset FAILED ! code:  (%s)", DXGetErrorString9(hr));
        return false;
    }
    if (!ChangeWindowStyle(params)) return false;
    SetDefaultStates();
    m_pDevice->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(0, 0, 128, 77), 1.0f, 0);
    m_pDevice->Present(nullptr, nullptr, nullptr, nullptr);

    if (!CParticleSystemsManager::GetInstance()->RestoreDeviceObjects()) return false;
    if (!CFontManager::GetInstance()->RestoreFonts()) return false;
    if (!CMeshManager::GetInstance()->RestoreMeshes()) return false;
    if (m_pSprite) m_pSprite->OnResetDevice();
    CSprite3DRenderer::GetInstance()->RestoreDeviceObjects();
    CreateQuadBuffers();

    m_pDevice->SetTransform(D3DTS_VIEW, &m_pCamera->GetViewMatrix());
    m_pDevice->SetTransform(D3DTS_PROJECTION, &m_pCamera->GetProjMatrix());
    g_Log.Print("green", "restarting complete");
    return true;
}

// ---- View and the small drawing services ----

void CGraphicsEngine::SetViewParams(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up) {
    m_pCamera->SetViewParams(eye, lookAt, up);
    m_ViewChanged = true;
}

const D3DXMATRIX* CGraphicsEngine::GetViewProjMatrix() {
    if (m_ViewChanged) {
        m_ViewChanged = false;
        D3DXMATRIX view = m_pCamera->GetViewMatrix();
        D3DXMATRIX proj = m_pCamera->GetProjMatrix();
        D3DXMatrixMultiply(&m_ViewProj, &view, &proj);
        if (m_pDevice) {
            m_pDevice->SetTransform(D3DTS_VIEW, &view);
            m_pDevice->SetTransform(D3DTS_PROJECTION, &proj);
        }
    }
    return &m_ViewProj;
}

bool CGraphicsEngine::CreateQuadBuffers() {
    if (!m_pDevice) return false;
    ReleaseQuadBuffers();
    HRESULT hr = m_pDevice->CreateVertexBuffer(sizeof kQuadVertices, D3DUSAGE_WRITEONLY, kQuadFvf, D3DPOOL_MANAGED,
                                               &m_pQuadVB, nullptr);
    if (FAILED(hr)) {
        m_pQuadVB = nullptr;
        g_Log.PrintBold("red", "Error: couldn't create quad vertex buffer. Code = %s", DXGetErrorString9(hr));
        return false;
    }
    void* data = nullptr;
    if (FAILED(m_pQuadVB->Lock(0, 0, &data, 0))) return false;
    memcpy(data, kQuadVertices, sizeof kQuadVertices);
    m_pQuadVB->Unlock();

    hr = m_pDevice->CreateIndexBuffer(sizeof kQuadIndices, D3DUSAGE_WRITEONLY, D3DFMT_INDEX16, D3DPOOL_DEFAULT,
                                      &m_pQuadIB, nullptr);
    if (FAILED(hr)) {
        m_pQuadIB = nullptr;
        g_Log.PrintBold("red", "Error: couldn't create index buffer for quad. Code = %s", DXGetErrorString9(hr));
        return false;
    }
    if (FAILED(m_pQuadIB->Lock(0, 0, &data, 0))) return false;
    memcpy(data, kQuadIndices, sizeof kQuadIndices);
    m_pQuadIB->Unlock();
    return true;
}

void CGraphicsEngine::ReleaseQuadBuffers() {
    if (m_pQuadIB) {
        m_pQuadIB->Release();
        m_pQuadIB = nullptr;
    }
    if (m_pQuadVB) {
        m_pQuadVB->Release();
        m_pQuadVB = nullptr;
    }
}

void CGraphicsEngine::DrawQuad() {
    if (!m_pDevice || !m_pQuadVB || !m_pQuadIB) return;
    m_pDevice->SetFVF(kQuadFvf);
    m_pDevice->SetStreamSource(0, m_pQuadVB, 0, kQuadStride);
    m_pDevice->SetIndices(m_pQuadIB);
    m_pDevice->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2);
}

void CGraphicsEngine::DrawSprite2D(CTextureEntry* texture, float x, float y, float scaleX, float scaleY, float red,
                                   float green, float blue, float alpha, bool centred, float rotation,
                                   DWORD srcBlend, DWORD destBlend) {
    if (!texture || !m_pSprite || !m_pDevice) return;
    if (FAILED(m_pSprite->Begin())) return;
    m_pDevice->SetRenderState(D3DRS_SRCBLEND, srcBlend);
    m_pDevice->SetRenderState(D3DRS_DESTBLEND, destBlend);

    // Positions and scales are given for a 1024 x 768 screen.
    const float width = static_cast<float>(m_Params.m_Width);
    const float height = static_cast<float>(m_Params.m_Height);
    D3DXVECTOR2 scaling(scaleX * width / 1024.0f, scaleY * height / 768.0f);
    D3DXVECTOR2 translation(x * width, y * height);
    if (centred) {
        translation.x -= scaling.x * static_cast<float>(texture->m_Width) / 2.0f;
        translation.y -= scaling.y * static_cast<float>(texture->m_Height) / 2.0f;
    }
    const D3DCOLOR colour = D3DXCOLOR(red, green, blue, alpha);
    m_pSprite->Draw(texture->m_pTexture, nullptr, &scaling, nullptr, rotation, &translation, colour);
    m_pSprite->End();
}
