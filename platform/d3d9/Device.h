// The device: shadows every state, owns the objects it creates, records calls
// (null backend, or GL on request) and hands drawing to its renderer.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "DeviceState.h"
#include "Renderer.h"

namespace d3d9 {

class CDirect3D;
class CDeviceObject;
class CTextureBase;
class CStateBlock;
class CVertexDeclaration;

// What a texture may take in all: a theme's images stop there, not at the
// machine's memory.
constexpr uint64_t kTextureMemory = 512ull << 20;

class CDevice final : public IDirect3DDevice9 {
public:
    enum class Loss { None, Lost, NotReset };

    CDevice(CDirect3D* d3d, CRenderer* renderer, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
            bool record);
    HRESULT Init(D3DPRESENT_PARAMETERS* pp);

    // IUnknown
    HRESULT QueryInterface(REFIID, void** object) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // IDirect3DDevice9
    HRESULT TestCooperativeLevel() override;
    UINT GetAvailableTextureMem() override;
    HRESULT EvictManagedResources() override;
    HRESULT GetDirect3D(IDirect3D9** d3d9) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) override;
    HRESULT Reset(D3DPRESENT_PARAMETERS* pp) override;
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const void* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DCubeTexture9** cubeTexture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** vb,
                               HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool, IDirect3DIndexBuffer9** ib,
                              HANDLE* sharedHandle) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) override;
    HRESULT GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetMaterial(const D3DMATERIAL9* material) override;
    HRESULT GetMaterial(D3DMATERIAL9* material) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** sb) override;
    HRESULT BeginStateBlock() override;
    HRESULT EndStateBlock(IDirect3DStateBlock9** sb) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) override;
    HRESULT SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                 UINT startIndex, UINT primCount) override;
    HRESULT DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* data, UINT stride) override;
    HRESULT DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices, UINT primitiveCount,
                                   const void* indexData, D3DFORMAT indexFormat, const void* vertexData,
                                   UINT stride) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) override;
    HRESULT GetVertexDeclaration(IDirect3DVertexDeclaration9** decl) override;
    HRESULT SetFVF(DWORD fvf) override;
    HRESULT GetFVF(DWORD* fvf) override;
    HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT GetVertexShader(IDirect3DVertexShader9** shader) override;
    HRESULT SetVertexShaderConstantF(UINT start, const float* data, UINT count) override;
    HRESULT GetVertexShaderConstantF(UINT start, float* data, UINT count) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset, UINT stride) override;
    HRESULT GetStreamSource(UINT stream, IDirect3DVertexBuffer9** vb, UINT* offset, UINT* stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* ib) override;
    HRESULT GetIndices(IDirect3DIndexBuffer9** ib) override;
    HRESULT CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT GetPixelShader(IDirect3DPixelShader9** shader) override;
    HRESULT SetPixelShaderConstantF(UINT start, const float* data, UINT count) override;
    HRESULT GetPixelShaderConstantF(UINT start, float* data, UINT count) override;

    // ---- inside the layer ----
    std::string NextObjectName(const char* kind);
    void Track(CDeviceObject* object);
    // The texture memory the device has (a card's), and what its textures take of it.
    void SetTextureMemory(uint64_t bytes) { m_textureMemory = bytes; }
    uint64_t TextureBytes() const;
    HRESULT Admit(CTextureBase* texture);
    void Untrack(CDeviceObject* object);
    void Record(const std::string& line);
    bool Recording() const { return m_record; }
    void SetRecording(bool on) { m_record = on; }
    // "" for success, " -> NAME" for a failure.
    std::string ResultText(HRESULT hr) const;

    const DeviceState& State() const { return *m_state; }
    UINT BackBufferWidth() const { return m_pp.BackBufferWidth; }
    UINT BackBufferHeight() const { return m_pp.BackBufferHeight; }
    bool HasDepthBuffer() const { return m_pp.EnableAutoDepthStencil != 0; }
    CRenderer& Renderer() { return *m_renderer; }
    // The declaration in force (set directly, or made from the FVF).
    CVertexDeclaration* CurrentDeclaration() const { return m_state->declaration; }

    void CaptureInto(DeviceState& values, const StateMask& mask);
    void ApplyFrom(const DeviceState& values, const StateMask& mask);

    void SetLoss(Loss loss) { m_loss = loss; }
    Loss GetLoss() const { return m_loss; }
    int LiveDefaultPoolObjects() const;  // resources only
    int LiveStateBlocks() const;
    // Each register's serial: the device-wide write count when it last changed,
    // so a program uploads only the registers written since it last drew.
    const uint64_t* VertexRegisterSerials() const { return m_vsRegSerial; }
    const uint64_t* PixelRegisterSerials() const { return m_psRegSerial; }
    uint64_t ConstantSerial() const { return m_constSerial; }
    // Changes whenever a state the generated shaders depend on may have changed.
    uint64_t FixedFunctionSerial() const { return m_ffSerial; }
    // Called before any call that changes what a draw would use (D3DX sprite batching).
    void AddStateListener(void (*listener)(void*), void* context);
    void RemoveStateListener(void (*listener)(void*), void* context);
    // One past the highest register ever written: uploads stop there.
    UINT VertexConstantsUsed() const { return m_vsConstUsed; }
    UINT PixelConstantsUsed() const { return m_psConstUsed; }
    // Text of the last failed shader compilation (GL info log).
    const std::string& LastShaderLog() const { return m_shaderLog; }

private:
    ~CDevice();
    DeviceState& Target();  // the recording block's values, or the device's
    void MarkRecorded(const std::function<void(StateMask&)>& mark);
    HRESULT ValidateDraw(const char* what, bool indexed, UINT vertexCount, UINT startVertex, INT baseVertex,
                         UINT startIndex, UINT* maxIndex);
    HRESULT SubmitDraw(const DrawCall& call);
    bool StreamsHold(int64_t lowest, int64_t highest) const;
    CVertexDeclaration* DeclarationForFvf(DWORD fvf);
    void ResetState();

    ULONG m_ref = 1;
    CDirect3D* m_d3d;
    std::unique_ptr<CRenderer> m_renderer;
    D3DDEVICE_CREATION_PARAMETERS m_creation;
    D3DPRESENT_PARAMETERS m_pp{};
    bool m_record;
    std::unique_ptr<DeviceState> m_state;
    CStateBlock* m_recordingBlock = nullptr;
    bool m_inScene = false;
    Loss m_loss = Loss::None;
    std::set<CDeviceObject*> m_objects;
    uint64_t m_textureMemory = kTextureMemory;
    std::map<std::string, int> m_nameCounters;
    std::map<DWORD, CVertexDeclaration*> m_fvfDeclarations;
    std::string m_shaderLog;
    uint32_t m_shaderSerial = 0;
    uint64_t m_vsRegSerial[kVertexConstants] = {};
    uint64_t m_psRegSerial[kPixelConstants] = {};
    uint64_t m_constSerial = 0;
    uint64_t m_ffSerial = 1;
    std::vector<std::pair<void (*)(void*), void*>> m_listeners;
    bool m_notifying = false;
    std::vector<std::pair<void (*)(void*), void*>> m_notified;  // the listeners being called
    bool m_reportedStates[D3D9_RENDERSTATE_COUNT] = {};  // unsupported states already warned about
    bool m_reportedBump = false;
    void TouchVertexRegisters(UINT start, UINT count);
    void TouchPixelRegisters(UINT start, UINT count);
    void BeforeChange();
    void ReportUnsupported(DWORD state, DWORD value);
    void ReportUnsupportedStage(DWORD type, DWORD value);
    UINT m_vsConstUsed = 0;
    UINT m_psConstUsed = 0;
};

}  // namespace d3d9
