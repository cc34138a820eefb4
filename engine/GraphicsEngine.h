#pragma once

#include <d3d9.h>
#include <d3dx9core.h>
#include <d3dx9math.h>

#include <vector>

#include "engine/Camera.h"
#include "engine/GeneralParameters.h"
#include "engine/Singleton.h"

class CTextureEntry;

// Owns the game window, the Direct3D object and device, the camera, the 2D
// sprite object and the unit quad; runs the fixed-step tick and the frame cycle.
class CGraphicsEngine : public CSingleton<CGraphicsEngine> {
public:
    CGraphicsEngine();
    virtual ~CGraphicsEngine();

    // The first call creates the window, the device and the managers; later
    // calls apply the record to the existing window and device.
    bool SetGeneralParameters(const CGeneralParameters* params);
    bool GetGeneralParameters(CGeneralParameters* out);

    // Runs the update callback for every whole fixed step due, then once with the remainder.
    void Tick();
    float GetTime() const { return m_Time; }
    float GetCurrentStep() const { return m_CurrentStep; }
    void Pause();
    void Resume();
    bool IsPaused() const { return m_Paused; }

    // False when no frame may be drawn (device lost, or reset in this frame).
    bool BeginFrame(bool clearTarget);
    void EndFrame();
    bool ReInitialize(const CGeneralParameters* params);

    void SetViewParams(const D3DXVECTOR3& eye, const D3DXVECTOR3& lookAt, const D3DXVECTOR3& up);
    const D3DXMATRIX* GetViewProjMatrix();

    void DrawQuad();
    void DrawSprite2D(CTextureEntry* texture, float x, float y, float scaleX, float scaleY, float red,
                      float green, float blue, float alpha, bool centred, float rotation,
                      DWORD srcBlend, DWORD destBlend);

    IDirect3DDevice9* GetDevice() const { return m_pDevice; }
    IDirect3D9* GetDirect3D() const { return m_pD3D; }
    CCamera* GetCamera() const { return m_pCamera; }
    ID3DXSprite* GetSprite() const { return m_pSprite; }
    HWND GetWindow() const { return m_Params.m_Window; }
    int32_t GetScreenWidth() const { return m_Params.m_Width; }
    int32_t GetScreenHeight() const { return m_Params.m_Height; }
    bool IsDeviceLost() const { return m_DeviceLost; }
    // The adapter's modes of at least 640 x 480, one per size, in enumeration order.
    const std::vector<D3DDISPLAYMODE>& GetModes16() const { return m_Modes16; }
    const std::vector<D3DDISPLAYMODE>& GetModes32() const { return m_Modes32; }

private:
    bool CreateMainWindow();
    bool ChangeWindowStyle(const CGeneralParameters* params);
    bool BuildPresentParameters(const CGeneralParameters* params, D3DPRESENT_PARAMETERS* out);
    bool CreateDevice();
    void EnumerateModes(UINT adapter, D3DFORMAT format, std::vector<D3DDISPLAYMODE>& modes, int bits);
    void SetDefaultStates();
    bool CreateQuadBuffers();
    void ReleaseQuadBuffers();
    void Release();

    std::vector<D3DDISPLAYMODE> m_Modes16;
    std::vector<D3DDISPLAYMODE> m_Modes32;
    bool m_Paused = false;
    bool m_DeviceLost = false;
    bool m_ViewChanged = true;
    D3DXMATRIX m_ViewProj;
    IDirect3DVertexBuffer9* m_pQuadVB = nullptr;
    IDirect3DIndexBuffer9* m_pQuadIB = nullptr;
    CGeneralParameters m_Params;
    CCamera* m_pCamera = nullptr;
    ID3DXSprite* m_pSprite = nullptr;
    float m_CurrentStep = 0.0f;
    float m_Time = 0.0f;
    IDirect3D9* m_pD3D = nullptr;
    IDirect3DDevice9* m_pDevice = nullptr;
};

// The engine time and the length of the current step, read without creating an
// engine: 0 while there is none (start-up, shutdown, rule tests without a device).
float EngineTime();
float EngineStep();
