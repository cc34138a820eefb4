#include "Device.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>
#include <vector>

#include "IndexBuffer.h"
#include "VertexBuffer.h"
#include "Direct3D.h"
#include "HookState.h"
#include "Names.h"
#include "TextureBase.h"
#include "RenderStates.h"
#include "PixelShader.h"
#include "VertexShader.h"
#include "StateBlock.h"
#include "Surface.h"
#include "CubeTexture.h"
#include "Texture.h"
#include "VertexDeclaration.h"
#include "dxerr9.h"

// Call lines are only built when someone reads them.
#define D3D9_RECORD(text)     \
    do {                      \
        if (m_record) Record(text); \
    } while (0)

namespace d3d9 {
namespace {

constexpr UINT kMaxTextureSize = 4096;

template <class T>
void Rebind(T*& slot, T* value) {
    if (value == slot) return;
    if (value) value->BindRef();
    T* old = slot;
    slot = value;
    if (old) old->BindRelease();
}

std::string ObjName(const CDeviceObject* o) { return o ? o->Name() : "NULL"; }

UINT VerticesFor(D3DPRIMITIVETYPE type, UINT primitives) {
    switch (type) {
        case D3DPT_POINTLIST: return primitives;
        case D3DPT_LINELIST: return primitives * 2;
        case D3DPT_LINESTRIP: return primitives ? primitives + 1 : 0;
        case D3DPT_TRIANGLELIST: return primitives * 3;
        case D3DPT_TRIANGLESTRIP:
        case D3DPT_TRIANGLEFAN: return primitives ? primitives + 2 : 0;
        default: return 0;
    }
}

bool ValidPrimitive(D3DPRIMITIVETYPE type) { return type >= D3DPT_POINTLIST && type <= D3DPT_TRIANGLEFAN; }

}  // namespace

CDevice::CDevice(CDirect3D* d3d, CRenderer* renderer, UINT adapter, D3DDEVTYPE type, HWND focusWindow, DWORD flags,
                 bool record)
    : m_d3d(d3d), m_renderer(renderer), m_record(record), m_state(new DeviceState) {
    m_d3d->AddRef();
    m_creation = D3DDEVICE_CREATION_PARAMETERS{adapter, type, focusWindow, flags};
    SetDefaultState(*m_state, 0, 0);
}

CDevice::~CDevice() {
    if (m_recordingBlock) m_recordingBlock->PublicRelease();  // released mid-recording
    m_recordingBlock = nullptr;
    HoldBindings(*m_state, false);
    memset(m_state.get(), 0, sizeof(DeviceState));
    for (auto& entry : m_fvfDeclarations) entry.second->PublicRelease();
    m_fvfDeclarations.clear();
    // Whatever the game still holds outlives us without a backend.
    std::vector<CDeviceObject*> alive(m_objects.begin(), m_objects.end());
    for (CDeviceObject* o : alive) {
        m_renderer->Forget(*o);
        o->Orphan();
    }
    m_objects.clear();
    m_renderer->Close();
    m_d3d->Release();
}

HRESULT CDevice::Init(D3DPRESENT_PARAMETERS* pp) {
    HWND window = pp->hDeviceWindow ? pp->hDeviceWindow : m_creation.hFocusWindow;
    UINT w = 0, h = 0;
    HRESULT hr = m_renderer->Open(window, *pp, &w, &h);
    if (FAILED(hr)) return hr;
    pp->BackBufferWidth = w;
    pp->BackBufferHeight = h;
    if (pp->BackBufferFormat == D3DFMT_UNKNOWN) pp->BackBufferFormat = D3DFMT_X8R8G8B8;
    if (pp->BackBufferCount == 0) pp->BackBufferCount = 1;
    m_pp = *pp;
    ResetState();
    return D3D_OK;
}

void CDevice::ResetState() {
    HoldBindings(*m_state, false);
    SetDefaultState(*m_state, m_pp.BackBufferWidth, m_pp.BackBufferHeight);
    TouchVertexRegisters(0, kVertexConstants);
    TouchPixelRegisters(0, kPixelConstants);
    ++m_ffSerial;
    if (!m_pp.EnableAutoDepthStencil) m_state->renderStates[D3DRS_ZENABLE] = D3DZB_FALSE;
}

HRESULT CDevice::QueryInterface(REFIID, void** object) {
    if (object) *object = nullptr;
    return E_NOINTERFACE;
}

ULONG CDevice::AddRef() { return ++m_ref; }

ULONG CDevice::Release() {
    if (m_ref == 0) return 0;
    const ULONG left = --m_ref;
    D3D9_RECORD("Release() -> " + std::to_string(left));
    if (left == 0) delete this;
    return left;
}

// ---- bookkeeping ----

void CDevice::TouchVertexRegisters(UINT start, UINT count) {
    ++m_constSerial;
    for (UINT i = start; i < start + count; ++i) m_vsRegSerial[i] = m_constSerial;
}

void CDevice::TouchPixelRegisters(UINT start, UINT count) {
    ++m_constSerial;
    for (UINT i = start; i < start + count; ++i) m_psRegSerial[i] = m_constSerial;
}

void CDevice::AddStateListener(void (*listener)(void*), void* context) {
    m_listeners.emplace_back(listener, context);
}

void CDevice::RemoveStateListener(void (*listener)(void*), void* context) {
    for (auto it = m_listeners.begin(); it != m_listeners.end(); ++it)
        if (it->first == listener && it->second == context) {
            m_listeners.erase(it);
            return;
        }
}

void CDevice::BeforeChange() {
    // What a listener does in response (its own draws) must not call it again.
    if (m_listeners.empty() || m_notifying) return;
    m_notifying = true;
    // A listener may remove itself (a sprite ending its batch): walk a copy,
    // kept in a member so the many changes of a frame allocate nothing.
    m_notified.assign(m_listeners.begin(), m_listeners.end());
    for (const auto& l : m_notified) l.first(l.second);
    m_notifying = false;
}

// The layer draws without these: say so once per device rather than silently.
void CDevice::ReportUnsupported(DWORD state, DWORD value) {
    const RenderStateInfo* info = FindRenderState(state);
    if (!value || !info || info->apply != GlApply::Unsupported || m_reportedStates[state]) return;
    m_reportedStates[state] = true;
    fprintf(stderr, "%s\n", info->warning);
}

void CDevice::ReportUnsupportedStage(DWORD type, DWORD value) {
    if ((type == D3DTSS_COLOROP || type == D3DTSS_ALPHAOP) &&
        (value == D3DTOP_BUMPENVMAP || value == D3DTOP_BUMPENVMAPLUMINANCE) && !m_reportedBump) {
        m_reportedBump = true;
        fprintf(stderr, "d3d9: bump-map stage operations are not supported; the stage passes its input on\n");
    }
}

std::string CDevice::NextObjectName(const char* kind) {
    return std::string(kind) + "#" + std::to_string(++m_nameCounters[kind]);
}

void CDevice::Track(CDeviceObject* object) { m_objects.insert(object); }

void CDevice::Untrack(CDeviceObject* object) {
    if (m_objects.erase(object)) m_renderer->Forget(*object);
}

void CDevice::Record(const std::string& line) {
    if (m_record) AppendCall(line);
}

std::string CDevice::ResultText(HRESULT hr) const {
    if (SUCCEEDED(hr)) return "";
    return std::string(" -> ") + DXGetErrorString9(hr);
}

int CDevice::LiveDefaultPoolObjects() const {
    int n = 0;
    for (const CDeviceObject* o : m_objects)
        if (o->Pool() == D3DPOOL_DEFAULT && o->PubliclyAlive() && !dynamic_cast<const CStateBlock*>(o)) ++n;
    return n;
}

int CDevice::LiveStateBlocks() const {
    int n = 0;
    for (const CDeviceObject* o : m_objects)
        if (o->PubliclyAlive() && dynamic_cast<const CStateBlock*>(o)) ++n;
    return n;
}

// ---- device-wide ----

HRESULT CDevice::TestCooperativeLevel() {
    HRESULT hr = m_loss == Loss::None ? D3D_OK : m_loss == Loss::Lost ? D3DERR_DEVICELOST : D3DERR_DEVICENOTRESET;
    D3D9_RECORD("TestCooperativeLevel()" + ResultText(hr));
    return hr;
}

UINT CDevice::GetAvailableTextureMem() {
    const uint64_t used = TextureBytes();
    return static_cast<UINT>(std::min<uint64_t>(m_textureMemory - std::min(used, m_textureMemory), UINT_MAX));
}

// A new texture's levels laid out, and room for them: released when either
// fails.
HRESULT CDevice::Admit(CTextureBase* texture) {
    HRESULT hr = D3D_OK;
    if (!texture->Allocate())
        hr = E_OUTOFMEMORY;
    else if (TextureBytes() > m_textureMemory)
        hr = D3DERR_OUTOFVIDEOMEMORY;
    if (FAILED(hr)) texture->PublicRelease();
    return hr;
}

uint64_t CDevice::TextureBytes() const {
    uint64_t bytes = 0;
    for (const CDeviceObject* o : m_objects)
        if (const auto* t = dynamic_cast<const CTextureBase*>(o)) bytes += t->Bytes();
    return bytes;
}

HRESULT CDevice::EvictManagedResources() {
    D3D9_RECORD("EvictManagedResources()");
    return D3D_OK;
}

HRESULT CDevice::GetDirect3D(IDirect3D9** d3d9) {
    D3D9_RECORD("GetDirect3D()");
    if (!d3d9) return D3DERR_INVALIDCALL;
    m_d3d->AddRef();
    *d3d9 = m_d3d;
    return D3D_OK;
}

HRESULT CDevice::GetDeviceCaps(D3DCAPS9* caps) {
    D3D9_RECORD("GetDeviceCaps()");
    if (!caps) return D3DERR_INVALIDCALL;
    m_d3d->FillCaps(caps, m_creation.BehaviorFlags);
    caps->DeviceType = m_creation.DeviceType;
    caps->AdapterOrdinal = m_creation.AdapterOrdinal;
    return D3D_OK;
}

HRESULT CDevice::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) {
    D3D9_RECORD("GetDisplayMode(" + std::to_string(swapChain) + ")");
    if (!mode || swapChain != 0) return D3DERR_INVALIDCALL;
    if (m_pp.Windowed) return m_d3d->GetAdapterDisplayMode(m_creation.AdapterOrdinal, mode);
    *mode = D3DDISPLAYMODE{m_pp.BackBufferWidth, m_pp.BackBufferHeight, m_pp.FullScreen_RefreshRateInHz,
                           m_pp.BackBufferFormat};
    return D3D_OK;
}

HRESULT CDevice::GetCreationParameters(D3DDEVICE_CREATION_PARAMETERS* parameters) {
    D3D9_RECORD("GetCreationParameters()");
    if (!parameters) return D3DERR_INVALIDCALL;
    *parameters = m_creation;
    return D3D_OK;
}

HRESULT CDevice::Reset(D3DPRESENT_PARAMETERS* pp) {
    std::string line;
    if (m_record)
        line = "Reset(";
    if (pp)
        line += std::to_string(pp->BackBufferWidth) + "x" + std::to_string(pp->BackBufferHeight) + " " +
                FormatName(pp->BackBufferFormat) + " windowed=" + std::to_string(pp->Windowed);
    else
        line += "NULL";
    line += ")";
    HRESULT hr = D3D_OK;
    if (!pp) {
        hr = D3DERR_INVALIDCALL;
    } else if (m_loss == Loss::Lost) {
        hr = D3DERR_DEVICELOST;
    } else if (m_recordingBlock || LiveDefaultPoolObjects() > 0 || LiveStateBlocks() > 0) {
        // As on the original: every default-pool object and state block must go first.
        hr = D3DERR_INVALIDCALL;
    } else if (FAILED(hr = TakeResetFault())) {
        // injected by a test
    } else {
        D3DPRESENT_PARAMETERS next = *pp;
        HWND window = next.hDeviceWindow ? next.hDeviceWindow : m_creation.hFocusWindow;
        UINT w = 0, h = 0;
        hr = m_renderer->Resize(window, next, &w, &h);
        if (SUCCEEDED(hr)) {
            next.BackBufferWidth = w;
            next.BackBufferHeight = h;
            if (next.BackBufferFormat == D3DFMT_UNKNOWN) next.BackBufferFormat = D3DFMT_X8R8G8B8;
            if (next.BackBufferCount == 0) next.BackBufferCount = 1;
            *pp = next;
            m_pp = next;
            m_inScene = false;
            ResetState();
            m_loss = Loss::None;
        }
    }
    if (FAILED(hr) && m_loss == Loss::None && hr != D3DERR_INVALIDCALL) m_loss = Loss::NotReset;
    D3D9_RECORD(line + ResultText(hr));
    return hr;
}

HRESULT CDevice::Present(const RECT* sourceRect, const RECT* destRect, HWND, const void*) {
    HRESULT hr = D3D_OK;
    if (m_loss != Loss::None)
        hr = D3DERR_DEVICELOST;
    else if (m_inScene)
        hr = D3DERR_INVALIDCALL;  // Present inside BeginScene/EndScene
    else
        m_renderer->Present();
    D3D9_RECORD("Present(" + RectText(sourceRect) + ", " + RectText(destRect) + ")" + ResultText(hr));
    return hr;
}

HRESULT CDevice::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE, IDirect3DSurface9** surface) {
    D3D9_RECORD("GetBackBuffer(" + std::to_string(swapChain) + ", " + std::to_string(backBuffer) + ")");
    if (!surface || swapChain != 0 || backBuffer != 0) return D3DERR_INVALIDCALL;
    *surface = new CSurface(this, m_pp.BackBufferWidth, m_pp.BackBufferHeight, m_pp.BackBufferFormat,
                            D3DUSAGE_RENDERTARGET);
    return D3D_OK;
}

HRESULT CDevice::GetRenderTarget(DWORD index, IDirect3DSurface9** surface) {
    D3D9_RECORD("GetRenderTarget(" + std::to_string(index) + ")");
    if (!surface || index != 0) return D3DERR_INVALIDCALL;
    *surface = new CSurface(this, m_pp.BackBufferWidth, m_pp.BackBufferHeight, m_pp.BackBufferFormat,
                            D3DUSAGE_RENDERTARGET);
    return D3D_OK;
}

HRESULT CDevice::GetDepthStencilSurface(IDirect3DSurface9** surface) {
    D3D9_RECORD("GetDepthStencilSurface()");
    if (!surface) return D3DERR_INVALIDCALL;
    *surface = nullptr;
    if (!m_pp.EnableAutoDepthStencil) return D3DERR_NOTFOUND;
    *surface = new CSurface(this, m_pp.BackBufferWidth, m_pp.BackBufferHeight, m_pp.AutoDepthStencilFormat,
                            D3DUSAGE_DEPTHSTENCIL);
    return D3D_OK;
}

// ---- resources ----

HRESULT CDevice::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                               IDirect3DTexture9** texture, HANDLE*) {
    std::string line;
    if (m_record)
        line = "CreateTexture(" + std::to_string(width) + ", " + std::to_string(height) + ", " +
                       std::to_string(levels) + ", " + UsageText(usage) + ", " + FormatName(format) + ", " +
                       PoolName(pool) + ")";
    HRESULT hr = D3D_OK;
    CTexture* tex = nullptr;
    if (!texture || width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize ||
        !IsTextureFormat(format) || pool > D3DPOOL_SCRATCH ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        tex = new CTexture(this, width, height, levels, usage, format, pool);
        hr = Admit(tex);
        if (FAILED(hr)) tex = nullptr;
    }
    if (texture) *texture = tex;
    D3D9_RECORD(line + (tex ? " -> " + tex->Name() : ResultText(hr)));
    return hr;
}

HRESULT CDevice::CreateCubeTexture(UINT edge, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                   IDirect3DCubeTexture9** cubeTexture, HANDLE*) {
    std::string line;
    if (m_record)
        line = "CreateCubeTexture(" + std::to_string(edge) + ", " + std::to_string(levels) + ", " +
                       UsageText(usage) + ", " + FormatName(format) + ", " + PoolName(pool) + ")";
    HRESULT hr = D3D_OK;
    CCubeTexture* tex = nullptr;
    if (!cubeTexture || edge == 0 || edge > kMaxTextureSize || !IsTextureFormat(format) || pool > D3DPOOL_SCRATCH) {
        hr = D3DERR_INVALIDCALL;
    } else {
        tex = new CCubeTexture(this, edge, levels, usage, format, pool);
        hr = Admit(tex);
        if (FAILED(hr)) tex = nullptr;
    }
    if (cubeTexture) *cubeTexture = tex;
    D3D9_RECORD(line + (tex ? " -> " + tex->Name() : ResultText(hr)));
    return hr;
}

HRESULT CDevice::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** vb,
                                    HANDLE*) {
    std::string line;
    if (m_record)
        line = "CreateVertexBuffer(" + std::to_string(length) + ", " + UsageText(usage) + ", " + Hex(fvf) +
                       ", " + PoolName(pool) + ")";
    HRESULT hr = D3D_OK;
    CVertexBuffer* buffer = nullptr;
    if (!vb || length == 0 || length > (256u << 20) || pool > D3DPOOL_SCRATCH ||
        ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        buffer = new CVertexBuffer(this, length, usage, fvf, pool);
        if (!buffer->Allocate()) {
            buffer->Release();
            buffer = nullptr;
            hr = E_OUTOFMEMORY;
        }
    }
    if (vb) *vb = buffer;
    D3D9_RECORD(line + (buffer ? " -> " + buffer->Name() : ResultText(hr)));
    return hr;
}

HRESULT CDevice::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                   IDirect3DIndexBuffer9** ib, HANDLE*) {
    std::string line;
    if (m_record)
        line = "CreateIndexBuffer(" + std::to_string(length) + ", " + UsageText(usage) + ", " +
                       FormatName(format) + ", " + PoolName(pool) + ")";
    HRESULT hr = D3D_OK;
    CIndexBuffer* buffer = nullptr;
    if (!ib || length == 0 || length > (256u << 20) || (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32) ||
        pool > D3DPOOL_SCRATCH || ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)) {
        hr = D3DERR_INVALIDCALL;
    } else {
        buffer = new CIndexBuffer(this, length, usage, format, pool);
        if (!buffer->Allocate()) {
            buffer->Release();
            buffer = nullptr;
            hr = E_OUTOFMEMORY;
        }
    }
    if (ib) *ib = buffer;
    D3D9_RECORD(line + (buffer ? " -> " + buffer->Name() : ResultText(hr)));
    return hr;
}

// ---- frame ----

HRESULT CDevice::BeginScene() {
    HRESULT hr = m_inScene ? D3DERR_INVALIDCALL : D3D_OK;
    if (SUCCEEDED(hr)) m_inScene = true;
    D3D9_RECORD("BeginScene()" + ResultText(hr));
    return hr;
}

HRESULT CDevice::EndScene() {
    HRESULT hr = m_inScene ? D3D_OK : D3DERR_INVALIDCALL;
    BeforeChange();
    m_inScene = false;
    D3D9_RECORD("EndScene()" + ResultText(hr));
    return hr;
}

HRESULT CDevice::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) {
    std::string line;
    if (m_record)
        line = "Clear(" + std::to_string(count) + ", " + (rects ? "rects" : "NULL") + ", " +
                       ClearFlagsText(flags) + ", " + Hex(color) + ", " + FloatText(z) + ", " +
                       std::to_string(stencil) + ")";
    HRESULT hr = D3D_OK;
    if ((count > 0 && !rects) || flags == 0 || (flags & ~7u) ||
        ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !m_pp.EnableAutoDepthStencil) || z < 0.0f || z > 1.0f)
        hr = D3DERR_INVALIDCALL;
    else if (m_loss == Loss::None) {
        BeforeChange();
        m_renderer->Clear(*this, count, rects, flags, color, z, stencil);
    }
    D3D9_RECORD(line + ResultText(hr));
    return hr;
}

// ---- states ----

DeviceState& CDevice::Target() { return m_recordingBlock ? m_recordingBlock->Values() : *m_state; }

void CDevice::MarkRecorded(const std::function<void(StateMask&)>& mark) {
    if (m_recordingBlock) mark(m_recordingBlock->Mask());
}

HRESULT CDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DMATRIX* matrix) {
    const int slot = TransformSlot(state);
    D3D9_RECORD("SetTransform(" + TransformName(state) + ", " + FloatsText(matrix ? &matrix->_11 : nullptr, 16) + ")");
    if (slot < 0 || !matrix) return D3DERR_INVALIDCALL;
    BeforeChange();
    Target().transforms[slot] = *matrix;
    MarkRecorded([slot](StateMask& m) { m.transforms[slot] = true; });
    return D3D_OK;
}

HRESULT CDevice::GetTransform(D3DTRANSFORMSTATETYPE state, D3DMATRIX* matrix) {
    const int slot = TransformSlot(state);
    if (slot < 0 || !matrix) return D3DERR_INVALIDCALL;
    *matrix = m_state->transforms[slot];
    return D3D_OK;
}

HRESULT CDevice::SetViewport(const D3DVIEWPORT9* vp) {
    if (!vp) {
        D3D9_RECORD("SetViewport(NULL) -> D3DERR_INVALIDCALL");
        return D3DERR_INVALIDCALL;
    }
    std::string line;
    if (m_record)
        line = "SetViewport({" + std::to_string(vp->X) + "," + std::to_string(vp->Y) + "," +
                       std::to_string(vp->Width) + "," + std::to_string(vp->Height) + "," + FloatText(vp->MinZ) +
                       "," + FloatText(vp->MaxZ) + "})";
    HRESULT hr = D3D_OK;
    if (vp->Width == 0 || vp->Height == 0 || static_cast<uint64_t>(vp->X) + vp->Width > m_pp.BackBufferWidth ||
        static_cast<uint64_t>(vp->Y) + vp->Height > m_pp.BackBufferHeight || vp->MinZ < 0.0f || vp->MaxZ > 1.0f ||
        vp->MinZ > vp->MaxZ) {
        hr = D3DERR_INVALIDCALL;
    } else {
        BeforeChange();
        Target().viewport = *vp;
        MarkRecorded([](StateMask& m) { m.viewport = true; });
    }
    D3D9_RECORD(line + ResultText(hr));
    return hr;
}

HRESULT CDevice::GetViewport(D3DVIEWPORT9* viewport) {
    D3D9_RECORD("GetViewport()");
    if (!viewport) return D3DERR_INVALIDCALL;
    *viewport = m_state->viewport;
    return D3D_OK;
}

HRESULT CDevice::SetMaterial(const D3DMATERIAL9* material) {
    D3D9_RECORD("SetMaterial(" + std::string(material ? FloatsText(&material->Diffuse.r, 17) : "NULL") + ")");
    if (!material) return D3DERR_INVALIDCALL;
    BeforeChange();
    Target().material = *material;
    MarkRecorded([](StateMask& m) { m.material = true; });
    return D3D_OK;
}

HRESULT CDevice::GetMaterial(D3DMATERIAL9* material) {
    if (!material) return D3DERR_INVALIDCALL;
    *material = m_state->material;
    return D3D_OK;
}

HRESULT CDevice::SetRenderState(D3DRENDERSTATETYPE state, DWORD value) {
    BeforeChange();  // a batch drawn before this call shows before it in the log
    D3D9_RECORD("SetRenderState(" + RenderStateName(state) + ", " + std::to_string(value) + ")");
    if (state >= D3D9_RENDERSTATE_COUNT) return D3DERR_INVALIDCALL;
    ReportUnsupported(state, value);
    DWORD& slot = Target().renderStates[state];
    // Only a state of the key can change which generated shaders a draw uses.
    const RenderStateInfo* info = FindRenderState(state);
    if (slot != value && (!info || info->apply == GlApply::ShaderKey)) ++m_ffSerial;
    slot = value;
    MarkRecorded([state](StateMask& m) { m.renderStates[state] = true; });
    return D3D_OK;
}

HRESULT CDevice::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) {
    if (state >= D3D9_RENDERSTATE_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = m_state->renderStates[state];
    return D3D_OK;
}

HRESULT CDevice::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) {
    if (!texture || stage >= kStages) return D3DERR_INVALIDCALL;
    *texture = InterfaceFromTexture(m_state->textures[stage]);
    if (*texture) (*texture)->AddRef();
    return D3D_OK;
}

HRESULT CDevice::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) {
    BeforeChange();  // a batch drawn before this call shows before it in the log
    CTextureBase* tex = TextureFromInterface(texture);
    D3D9_RECORD("SetTexture(" + std::to_string(stage) + ", " + (texture ? ObjName(tex) : "NULL") + ")");
    if (stage >= kStages || (texture && !tex) || (tex && tex->Device() != this)) return D3DERR_INVALIDCALL;
    Rebind(Target().textures[stage], tex);
    MarkRecorded([stage](StateMask& m) { m.textures[stage] = true; });
    return D3D_OK;
}

HRESULT CDevice::GetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD* value) {
    if (stage >= kStages || type >= D3D9_TSS_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = m_state->stageStates[stage][type];
    return D3D_OK;
}

HRESULT CDevice::SetTextureStageState(DWORD stage, D3DTEXTURESTAGESTATETYPE type, DWORD value) {
    BeforeChange();  // a batch drawn before this call shows before it in the log
    D3D9_RECORD("SetTextureStageState(" + std::to_string(stage) + ", " + StageStateName(type) + ", " +
           std::to_string(value) + ")");
    if (stage >= kStages || type >= D3D9_TSS_COUNT) return D3DERR_INVALIDCALL;
    ReportUnsupportedStage(type, value);
    DWORD& slot = Target().stageStates[stage][type];
    if (slot != value) ++m_ffSerial;
    slot = value;
    MarkRecorded([stage, type](StateMask& m) { m.stageStates[stage][type] = true; });
    return D3D_OK;
}

HRESULT CDevice::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) {
    if (sampler >= kSamplers || type >= D3D9_SAMP_COUNT || !value) return D3DERR_INVALIDCALL;
    *value = m_state->samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT CDevice::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) {
    BeforeChange();  // a batch drawn before this call shows before it in the log
    D3D9_RECORD("SetSamplerState(" + std::to_string(sampler) + ", " + SamplerStateName(type) + ", " +
           std::to_string(value) + ")");
    if (sampler >= kSamplers || type >= D3D9_SAMP_COUNT) return D3DERR_INVALIDCALL;
    Target().samplerStates[sampler][type] = value;
    MarkRecorded([sampler, type](StateMask& m) { m.samplerStates[sampler][type] = true; });
    return D3D_OK;
}

// ---- state blocks ----

HRESULT CDevice::CreateStateBlock(D3DSTATEBLOCKTYPE type, IDirect3DStateBlock9** sb) {
    std::string line;
    if (m_record)
        line = "CreateStateBlock(" + std::to_string(type) + ")";
    if (!sb || type < D3DSBT_ALL || type > D3DSBT_VERTEXSTATE || m_recordingBlock) {
        D3D9_RECORD(line + " -> D3DERR_INVALIDCALL");
        return D3DERR_INVALIDCALL;
    }
    CStateBlock* block = new CStateBlock(this);
    FillMask(block->Mask(), type);
    CaptureInto(block->Values(), block->Mask());
    HoldBindings(block->Values(), true);
    *sb = block;
    D3D9_RECORD(line + " -> " + block->Name());
    return D3D_OK;
}

HRESULT CDevice::BeginStateBlock() {
    if (m_recordingBlock) {
        D3D9_RECORD("BeginStateBlock() -> D3DERR_INVALIDCALL");
        return D3DERR_INVALIDCALL;
    }
    D3D9_RECORD("BeginStateBlock()");
    m_recordingBlock = new CStateBlock(this);
    return D3D_OK;
}

HRESULT CDevice::EndStateBlock(IDirect3DStateBlock9** sb) {
    if (!sb || !m_recordingBlock) {
        D3D9_RECORD("EndStateBlock() -> D3DERR_INVALIDCALL");
        return D3DERR_INVALIDCALL;
    }
    *sb = m_recordingBlock;
    D3D9_RECORD("EndStateBlock() -> " + m_recordingBlock->Name());
    m_recordingBlock = nullptr;
    return D3D_OK;
}

void CDevice::CaptureInto(DeviceState& v, const StateMask& m) {
    const DeviceState& s = *m_state;
    for (int i = 0; i < D3D9_RENDERSTATE_COUNT; ++i)
        if (m.renderStates[i]) v.renderStates[i] = s.renderStates[i];
    for (int st = 0; st < kStages; ++st) {
        for (int i = 0; i < D3D9_TSS_COUNT; ++i)
            if (m.stageStates[st][i]) v.stageStates[st][i] = s.stageStates[st][i];
        if (m.textures[st]) v.textures[st] = s.textures[st];
    }
    for (int sp = 0; sp < kSamplers; ++sp)
        for (int i = 0; i < D3D9_SAMP_COUNT; ++i)
            if (m.samplerStates[sp][i]) v.samplerStates[sp][i] = s.samplerStates[sp][i];
    for (int i = 0; i < kTransformSlots; ++i)
        if (m.transforms[i]) v.transforms[i] = s.transforms[i];
    if (m.viewport) v.viewport = s.viewport;
    if (m.material) v.material = s.material;
    for (int i = 0; i < kStreams; ++i)
        if (m.streams[i]) v.streams[i] = s.streams[i];
    if (m.indices) v.indices = s.indices;
    if (m.vertexFormat) {
        v.fvf = s.fvf;
        v.declaration = s.declaration;
    }
    if (m.vertexShader) v.vertexShader = s.vertexShader;
    if (m.pixelShader) v.pixelShader = s.pixelShader;
    for (int i = 0; i < kVertexConstants; ++i)
        if (m.vertexConstants[i]) memcpy(v.vertexConstants[i], s.vertexConstants[i], 16);
    for (int i = 0; i < kPixelConstants; ++i)
        if (m.pixelConstants[i]) memcpy(v.pixelConstants[i], s.pixelConstants[i], 16);
}

void CDevice::ApplyFrom(const DeviceState& v, const StateMask& m) {
    BeforeChange();
    ++m_ffSerial;
    // Applying while another block records goes into that block, as setters do.
    DeviceState& s = Target();
    StateMask* rec = m_recordingBlock ? &m_recordingBlock->Mask() : nullptr;
    for (int i = 0; i < D3D9_RENDERSTATE_COUNT; ++i)
        if (m.renderStates[i]) {
            s.renderStates[i] = v.renderStates[i];
            if (rec) rec->renderStates[i] = true;
        }
    for (int st = 0; st < kStages; ++st) {
        for (int i = 0; i < D3D9_TSS_COUNT; ++i)
            if (m.stageStates[st][i]) {
                s.stageStates[st][i] = v.stageStates[st][i];
                if (rec) rec->stageStates[st][i] = true;
            }
        if (m.textures[st]) {
            Rebind(s.textures[st], v.textures[st]);
            if (rec) rec->textures[st] = true;
        }
    }
    for (int sp = 0; sp < kSamplers; ++sp)
        for (int i = 0; i < D3D9_SAMP_COUNT; ++i)
            if (m.samplerStates[sp][i]) {
                s.samplerStates[sp][i] = v.samplerStates[sp][i];
                if (rec) rec->samplerStates[sp][i] = true;
            }
    for (int i = 0; i < kTransformSlots; ++i)
        if (m.transforms[i]) {
            s.transforms[i] = v.transforms[i];
            if (rec) rec->transforms[i] = true;
        }
    if (m.viewport) {
        s.viewport = v.viewport;
        if (rec) rec->viewport = true;
    }
    if (m.material) {
        s.material = v.material;
        if (rec) rec->material = true;
    }
    for (int i = 0; i < kStreams; ++i)
        if (m.streams[i]) {
            Rebind(s.streams[i].buffer, v.streams[i].buffer);
            s.streams[i].offset = v.streams[i].offset;
            s.streams[i].stride = v.streams[i].stride;
            if (rec) rec->streams[i] = true;
        }
    if (m.indices) {
        Rebind(s.indices, v.indices);
        if (rec) rec->indices = true;
    }
    if (m.vertexFormat) {
        s.fvf = v.fvf;
        Rebind(s.declaration, v.declaration);
        if (rec) rec->vertexFormat = true;
    }
    if (m.vertexShader) {
        Rebind(s.vertexShader, v.vertexShader);
        if (rec) rec->vertexShader = true;
    }
    if (m.pixelShader) {
        Rebind(s.pixelShader, v.pixelShader);
        if (rec) rec->pixelShader = true;
    }
    for (int i = 0; i < kVertexConstants; ++i)
        if (m.vertexConstants[i]) {
            m_vsConstUsed = std::max(m_vsConstUsed, static_cast<UINT>(i + 1));
            memcpy(s.vertexConstants[i], v.vertexConstants[i], 16);
            if (!rec) TouchVertexRegisters(static_cast<UINT>(i), 1);
            if (rec) rec->vertexConstants[i] = true;
        }
    for (int i = 0; i < kPixelConstants; ++i)
        if (m.pixelConstants[i]) {
            m_psConstUsed = std::max(m_psConstUsed, static_cast<UINT>(i + 1));
            memcpy(s.pixelConstants[i], v.pixelConstants[i], 16);
            if (!rec) TouchPixelRegisters(static_cast<UINT>(i), 1);
            if (rec) rec->pixelConstants[i] = true;
        }
}

// ---- vertex formats ----

CVertexDeclaration* CDevice::DeclarationForFvf(DWORD fvf) {
    auto it = m_fvfDeclarations.find(fvf);
    if (it != m_fvfDeclarations.end()) return it->second;
    std::vector<D3DVERTEXELEMENT9> elements;
    if (!DeclarationFromFvf(fvf, &elements, nullptr)) return nullptr;
    auto* decl = new CVertexDeclaration(this, std::move(elements), fvf);
    m_fvfDeclarations[fvf] = decl;
    return decl;
}

HRESULT CDevice::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** decl) {
    if (!elements || !decl) {
        D3D9_RECORD("CreateVertexDeclaration(NULL) -> D3DERR_INVALIDCALL");
        return D3DERR_INVALIDCALL;
    }
    std::vector<D3DVERTEXELEMENT9> list;
    std::string text;
    HRESULT hr = D3D_OK;
    for (UINT i = 0;; ++i) {
        if (i >= MAXD3DDECLLENGTH) {
            hr = D3DERR_INVALIDCALL;  // no end marker
            break;
        }
        list.push_back(elements[i]);
        if (elements[i].Stream == 0xFF) break;
        const D3DVERTEXELEMENT9& e = elements[i];
        text += "{" + std::to_string(e.Stream) + "," + std::to_string(e.Offset) + "," + std::to_string(e.Type) + "," +
                std::to_string(e.Method) + "," + std::to_string(e.Usage) + "," + std::to_string(e.UsageIndex) + "}";
        if (e.Stream >= kStreams || DeclTypeSize(e.Type) == 0 || e.Usage > D3DDECLUSAGE_SAMPLE) hr = D3DERR_INVALIDCALL;
    }
    CVertexDeclaration* d = nullptr;
    if (SUCCEEDED(hr)) d = new CVertexDeclaration(this, std::move(list), 0);
    *decl = d;
    D3D9_RECORD("CreateVertexDeclaration(" + text + ")" + (d ? " -> " + d->Name() : ResultText(hr)));
    return hr;
}

HRESULT CDevice::SetVertexDeclaration(IDirect3DVertexDeclaration9* decl) {
    auto* d = dynamic_cast<CVertexDeclaration*>(decl);
    D3D9_RECORD("SetVertexDeclaration(" + (decl ? ObjName(d) : std::string("NULL")) + ")");
    if (decl && (!d || d->Device() != this)) return D3DERR_INVALIDCALL;
    BeforeChange();
    ++m_ffSerial;
    DeviceState& s = Target();
    Rebind(s.declaration, d);
    s.fvf = d ? d->Fvf() : 0;
    MarkRecorded([](StateMask& m) { m.vertexFormat = true; });
    return D3D_OK;
}

HRESULT CDevice::GetVertexDeclaration(IDirect3DVertexDeclaration9** decl) {
    if (!decl) return D3DERR_INVALIDCALL;
    *decl = m_state->declaration;
    if (*decl) (*decl)->AddRef();
    return D3D_OK;
}

HRESULT CDevice::SetFVF(DWORD fvf) {
    D3D9_RECORD("SetFVF(" + Hex(fvf) + ")");
    CVertexDeclaration* d = nullptr;
    if (fvf != 0) {
        d = DeclarationForFvf(fvf);
        if (!d) return D3DERR_INVALIDCALL;
    }
    BeforeChange();
    ++m_ffSerial;
    DeviceState& s = Target();
    Rebind(s.declaration, d);
    s.fvf = fvf;
    MarkRecorded([](StateMask& m) { m.vertexFormat = true; });
    return D3D_OK;
}

HRESULT CDevice::GetFVF(DWORD* fvf) {
    if (!fvf) return D3DERR_INVALIDCALL;
    *fvf = m_state->fvf;
    return D3D_OK;
}

// ---- shaders ----

HRESULT CDevice::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) {
    DWORD kind = 0;
    const char* text = nullptr;
    HRESULT hr = D3D_OK;
    CVertexShader* vs = nullptr;
    if (!shader || !D3D9ReadGlslBlob(function, &kind, &text) || kind != D3D9_GLSL_VERTEX) {
        hr = D3DERR_INVALIDCALL;
        m_shaderLog = "not a vertex shader blob";
    } else {
        vs = new CVertexShader(this, kind, function, text);
        vs->m_serial = ++m_shaderSerial;
        if (!m_renderer->CompileShader(*vs, &m_shaderLog)) {
            vs->Release();
            vs = nullptr;
            hr = D3DERR_INVALIDCALL;
        }
    }
    if (shader) *shader = vs;
    D3D9_RECORD("CreateVertexShader()" + (vs ? " -> " + vs->Name() : ResultText(hr)));
    return hr;
}

HRESULT CDevice::CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) {
    DWORD kind = 0;
    const char* text = nullptr;
    HRESULT hr = D3D_OK;
    CPixelShader* ps = nullptr;
    if (!shader || !D3D9ReadGlslBlob(function, &kind, &text) || kind != D3D9_GLSL_PIXEL) {
        hr = D3DERR_INVALIDCALL;
        m_shaderLog = "not a pixel shader blob";
    } else {
        ps = new CPixelShader(this, kind, function, text);
        ps->m_serial = ++m_shaderSerial;
        if (!m_renderer->CompileShader(*ps, &m_shaderLog)) {
            ps->Release();
            ps = nullptr;
            hr = D3DERR_INVALIDCALL;
        }
    }
    if (shader) *shader = ps;
    D3D9_RECORD("CreatePixelShader()" + (ps ? " -> " + ps->Name() : ResultText(hr)));
    return hr;
}

HRESULT CDevice::SetVertexShader(IDirect3DVertexShader9* shader) {
    auto* vs = dynamic_cast<CVertexShader*>(shader);
    D3D9_RECORD("SetVertexShader(" + (shader ? ObjName(vs) : std::string("NULL")) + ")");
    if (shader && (!vs || vs->Device() != this)) return D3DERR_INVALIDCALL;
    BeforeChange();
    CShader* base = vs;
    Rebind(Target().vertexShader, base);
    MarkRecorded([](StateMask& m) { m.vertexShader = true; });
    return D3D_OK;
}

HRESULT CDevice::GetVertexShader(IDirect3DVertexShader9** shader) {
    if (!shader) return D3DERR_INVALIDCALL;
    *shader = dynamic_cast<CVertexShader*>(m_state->vertexShader);
    if (*shader) (*shader)->AddRef();
    return D3D_OK;
}

HRESULT CDevice::SetPixelShader(IDirect3DPixelShader9* shader) {
    auto* ps = dynamic_cast<CPixelShader*>(shader);
    D3D9_RECORD("SetPixelShader(" + (shader ? ObjName(ps) : std::string("NULL")) + ")");
    if (shader && (!ps || ps->Device() != this)) return D3DERR_INVALIDCALL;
    BeforeChange();
    CShader* base = ps;
    Rebind(Target().pixelShader, base);
    MarkRecorded([](StateMask& m) { m.pixelShader = true; });
    return D3D_OK;
}

HRESULT CDevice::GetPixelShader(IDirect3DPixelShader9** shader) {
    if (!shader) return D3DERR_INVALIDCALL;
    *shader = dynamic_cast<CPixelShader*>(m_state->pixelShader);
    if (*shader) (*shader)->AddRef();
    return D3D_OK;
}

HRESULT CDevice::SetVertexShaderConstantF(UINT start, const float* data, UINT count) {
    // Checked before recording: a refused count says nothing about what the caller owns.
    const bool valid = data && start <= kVertexConstants && count <= kVertexConstants - start;
    D3D9_RECORD("SetVertexShaderConstantF(" + std::to_string(start) + ", " +
                FloatsText(valid ? data : nullptr, valid ? count * 4 : 0) + ", " + std::to_string(count) + ")");
    if (!valid) return D3DERR_INVALIDCALL;
    BeforeChange();
    memcpy(Target().vertexConstants[start], data, count * 16);
    if (!m_recordingBlock) TouchVertexRegisters(start, count);
    m_vsConstUsed = std::max(m_vsConstUsed, start + count);
    MarkRecorded([start, count](StateMask& m) {
        for (UINT i = 0; i < count; ++i) m.vertexConstants[start + i] = true;
    });
    return D3D_OK;
}

HRESULT CDevice::GetVertexShaderConstantF(UINT start, float* data, UINT count) {
    if (!data || start > kVertexConstants || count > kVertexConstants - start) return D3DERR_INVALIDCALL;
    memcpy(data, m_state->vertexConstants[start], count * 16);
    return D3D_OK;
}

HRESULT CDevice::SetPixelShaderConstantF(UINT start, const float* data, UINT count) {
    // Checked before recording: a refused count says nothing about what the caller owns.
    const bool valid = data && start <= kPixelConstants && count <= kPixelConstants - start;
    D3D9_RECORD("SetPixelShaderConstantF(" + std::to_string(start) + ", " +
                FloatsText(valid ? data : nullptr, valid ? count * 4 : 0) + ", " + std::to_string(count) + ")");
    if (!valid) return D3DERR_INVALIDCALL;
    BeforeChange();
    memcpy(Target().pixelConstants[start], data, count * 16);
    if (!m_recordingBlock) TouchPixelRegisters(start, count);
    m_psConstUsed = std::max(m_psConstUsed, start + count);
    MarkRecorded([start, count](StateMask& m) {
        for (UINT i = 0; i < count; ++i) m.pixelConstants[start + i] = true;
    });
    return D3D_OK;
}

HRESULT CDevice::GetPixelShaderConstantF(UINT start, float* data, UINT count) {
    if (!data || start > kPixelConstants || count > kPixelConstants - start) return D3DERR_INVALIDCALL;
    memcpy(data, m_state->pixelConstants[start], count * 16);
    return D3D_OK;
}

// ---- streams ----

HRESULT CDevice::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* vb, UINT offset, UINT stride) {
    auto* b = dynamic_cast<CVertexBuffer*>(vb);
    D3D9_RECORD("SetStreamSource(" + std::to_string(stream) + ", " + (vb ? ObjName(b) : std::string("NULL")) + ", " +
           std::to_string(offset) + ", " + std::to_string(stride) + ")");
    if (stream >= kStreams || (vb && (!b || b->Device() != this))) return D3DERR_INVALIDCALL;
    BeforeChange();
    StreamBinding& s = Target().streams[stream];
    Rebind(s.buffer, b);
    s.offset = offset;
    s.stride = stride;
    MarkRecorded([stream](StateMask& m) { m.streams[stream] = true; });
    return D3D_OK;
}

HRESULT CDevice::GetStreamSource(UINT stream, IDirect3DVertexBuffer9** vb, UINT* offset, UINT* stride) {
    if (stream >= kStreams || !vb || !offset || !stride) return D3DERR_INVALIDCALL;
    const StreamBinding& s = m_state->streams[stream];
    *vb = s.buffer ? static_cast<CVertexBuffer*>(s.buffer) : nullptr;
    if (*vb) (*vb)->AddRef();
    *offset = s.offset;
    *stride = s.stride;
    return D3D_OK;
}

HRESULT CDevice::SetIndices(IDirect3DIndexBuffer9* ib) {
    auto* b = dynamic_cast<CIndexBuffer*>(ib);
    D3D9_RECORD("SetIndices(" + (ib ? ObjName(b) : std::string("NULL")) + ")");
    if (ib && (!b || b->Device() != this)) return D3DERR_INVALIDCALL;
    BeforeChange();
    Rebind(Target().indices, b);
    MarkRecorded([](StateMask& m) { m.indices = true; });
    return D3D_OK;
}

HRESULT CDevice::GetIndices(IDirect3DIndexBuffer9** ib) {
    if (!ib) return D3DERR_INVALIDCALL;
    *ib = m_state->indices;
    if (*ib) (*ib)->AddRef();
    return D3D_OK;
}

// ---- drawing ----

// Checks what the original would refuse, plus every range the backend will
// read, so a bad draw never reads outside a buffer.
HRESULT CDevice::ValidateDraw(const char*, bool indexed, UINT vertexCount, UINT startVertex, INT baseVertex,
                              UINT startIndex, UINT* maxIndexOut) {
    if (!m_inScene) return D3DERR_INVALIDCALL;
    const CVertexDeclaration* decl = m_state->declaration;
    if (!decl) return D3DERR_INVALIDCALL;
    if (vertexCount == 0) return D3DERR_INVALIDCALL;
    const int64_t lowest = startVertex, highest = static_cast<int64_t>(startVertex) + vertexCount - 1;
    if (indexed) {
        const CIndexBuffer* ib = m_state->indices;
        if (!ib) return D3DERR_INVALIDCALL;
        const uint64_t end = (static_cast<uint64_t>(startIndex) + vertexCount) * ib->IndexSize();
        if (end > ib->Length()) return D3DERR_INVALIDCALL;
        // The bounds of the locked ranges the draw touches cover its indices;
        // only when they fail is every index looked at.
        uint32_t lo, hi;
        ib->RangeBounds(startIndex, vertexCount, &lo, &hi);
        if (!StreamsHold(static_cast<int64_t>(lo) + baseVertex, static_cast<int64_t>(hi) + baseVertex)) {
            ib->ExactBounds(startIndex, vertexCount, &lo, &hi);
            if (!StreamsHold(static_cast<int64_t>(lo) + baseVertex, static_cast<int64_t>(hi) + baseVertex))
                return D3DERR_INVALIDCALL;
        }
        if (maxIndexOut) *maxIndexOut = hi;
        return D3D_OK;
    }
    return StreamsHold(lowest, highest) ? D3D_OK : D3DERR_INVALIDCALL;
}

// Every stream the declaration reads must hold the vertices drawn.
bool CDevice::StreamsHold(int64_t lowest, int64_t highest) const {
    if (lowest < 0) return false;
    for (const D3DVERTEXELEMENT9& e : m_state->declaration->Elements()) {
        if (e.Stream == 0xFF) break;
        const StreamBinding& s = m_state->streams[e.Stream];
        if (!s.buffer || s.stride == 0) return false;
        const uint64_t need = s.offset + static_cast<uint64_t>(highest) * s.stride + e.Offset + DeclTypeSize(e.Type);
        if (need > s.buffer->Length()) return false;
    }
    return true;
}

HRESULT CDevice::SubmitDraw(const DrawCall& call) {
    BeforeChange();
    if (m_loss != Loss::None) return D3D_OK;
    return m_renderer->Draw(*this, call);
}

HRESULT CDevice::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) {
    std::string line;
    if (m_record)
        line = "DrawPrimitive(" + PrimitiveName(type) + ", " + std::to_string(startVertex) + ", " +
                       std::to_string(primitiveCount) + ")";
    const UINT count = VerticesFor(type, primitiveCount);
    HRESULT hr = ValidPrimitive(type) ? ValidateDraw("DrawPrimitive", false, count, startVertex, 0, 0, nullptr)
                                      : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        DrawCall call{};
        call.type = type;
        call.vertexCount = count;
        call.startVertex = startVertex;
        hr = SubmitDraw(call);
    }
    D3D9_RECORD(line + ResultText(hr));
    return hr;
}

HRESULT CDevice::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                      UINT numVertices, UINT startIndex, UINT primCount) {
    std::string line;
    if (m_record)
        line = "DrawIndexedPrimitive(" + PrimitiveName(type) + ", " + std::to_string(baseVertexIndex) + ", " +
                       std::to_string(minVertexIndex) + ", " + std::to_string(numVertices) + ", " +
                       std::to_string(startIndex) + ", " + std::to_string(primCount) + ")";
    const UINT count = VerticesFor(type, primCount);
    HRESULT hr = ValidPrimitive(type)
                     ? ValidateDraw("DrawIndexedPrimitive", true, count, 0, baseVertexIndex, startIndex, nullptr)
                     : D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        DrawCall call{};
        call.type = type;
        call.vertexCount = count;
        call.baseVertex = baseVertexIndex;
        call.indexed = true;
        call.startIndex = startIndex;
        hr = SubmitDraw(call);
    }
    D3D9_RECORD(line + ResultText(hr));
    return hr;
}

HRESULT CDevice::DrawPrimitiveUP(D3DPRIMITIVETYPE type, UINT primitiveCount, const void* data, UINT stride) {
    std::string line;
    if (m_record)
        line = "DrawPrimitiveUP(" + PrimitiveName(type) + ", " + std::to_string(primitiveCount) + ", " +
                       std::to_string(stride) + ")";
    const UINT count = VerticesFor(type, primitiveCount);
    HRESULT hr = D3D_OK;
    if (!ValidPrimitive(type) || !data || stride == 0 || count == 0 || !m_inScene || !m_state->declaration)
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        for (const D3DVERTEXELEMENT9& e : m_state->declaration->Elements()) {
            if (e.Stream == 0xFF) break;
            if (e.Stream != 0 || e.Offset + DeclTypeSize(e.Type) > stride) hr = D3DERR_INVALIDCALL;
        }
    }
    if (SUCCEEDED(hr)) {
        DrawCall call{};
        call.type = type;
        call.vertexCount = count;
        call.userVertices = data;
        call.userVertexBytes = count * stride;
        call.userStride = stride;
        hr = SubmitDraw(call);
    }
    // As on the original, stream 0 and the indices are unset afterwards.
    if (SUCCEEDED(hr)) {
        Rebind(m_state->streams[0].buffer, static_cast<CVertexBuffer*>(nullptr));
        m_state->streams[0].offset = m_state->streams[0].stride = 0;
    }
    D3D9_RECORD(line + ResultText(hr));
    return hr;
}

HRESULT CDevice::DrawIndexedPrimitiveUP(D3DPRIMITIVETYPE type, UINT minVertexIndex, UINT numVertices,
                                        UINT primitiveCount, const void* indexData, D3DFORMAT indexFormat,
                                        const void* vertexData, UINT stride) {
    std::string line;
    if (m_record)
        line = "DrawIndexedPrimitiveUP(" + PrimitiveName(type) + ", " + std::to_string(minVertexIndex) +
                       ", " + std::to_string(numVertices) + ", " + std::to_string(primitiveCount) + ", " +
                       FormatName(indexFormat) + ", " + std::to_string(stride) + ")";
    const UINT count = VerticesFor(type, primitiveCount);
    const UINT indexSize = indexFormat == D3DFMT_INDEX32 ? 4 : 2;
    HRESULT hr = D3D_OK;
    if (!ValidPrimitive(type) || !indexData || !vertexData || stride == 0 || count == 0 || numVertices == 0 ||
        !m_inScene || !m_state->declaration || (indexFormat != D3DFMT_INDEX16 && indexFormat != D3DFMT_INDEX32))
        hr = D3DERR_INVALIDCALL;
    if (SUCCEEDED(hr)) {
        // Indices must stay inside the vertices given.
        const UINT end = minVertexIndex + numVertices;
        const uint8_t* p = static_cast<const uint8_t*>(indexData);
        for (UINT i = 0; i < count && SUCCEEDED(hr); ++i) {
            uint32_t v;
            if (indexSize == 2) {
                uint16_t s;
                memcpy(&s, p + i * 2, 2);
                v = s;
            } else {
                memcpy(&v, p + i * 4, 4);
            }
            if (v >= end) hr = D3DERR_INVALIDCALL;
        }
    }
    if (SUCCEEDED(hr)) {
        DrawCall call{};
        call.type = type;
        call.vertexCount = count;
        call.indexed = true;
        call.userVertices = vertexData;
        call.userVertexBytes = (minVertexIndex + numVertices) * stride;
        call.userStride = stride;
        call.userIndices = indexData;
        call.userIndexSize = indexSize;
        hr = SubmitDraw(call);
    }
    if (SUCCEEDED(hr)) {
        Rebind(m_state->streams[0].buffer, static_cast<CVertexBuffer*>(nullptr));
        m_state->streams[0].offset = m_state->streams[0].stride = 0;
        Rebind(m_state->indices, static_cast<CIndexBuffer*>(nullptr));
    }
    D3D9_RECORD(line + ResultText(hr));
    return hr;
}

}  // namespace d3d9

namespace {
d3d9::CDevice* Internal(IDirect3DDevice9* device) { return dynamic_cast<d3d9::CDevice*>(device); }
}  // namespace

bool D3D9IsRecording(IDirect3DDevice9* device) {
    d3d9::CDevice* d = Internal(device);
    return d && d->Recording();
}

void D3D9RecordCall(IDirect3DDevice9* device, const std::string& line) {
    if (d3d9::CDevice* d = Internal(device)) d->Record(line);
}

void D3D9AddStateListener(IDirect3DDevice9* device, void (*listener)(void*), void* context) {
    if (d3d9::CDevice* d = Internal(device)) d->AddStateListener(listener, context);
}

void D3D9RemoveStateListener(IDirect3DDevice9* device, void (*listener)(void*), void* context) {
    if (d3d9::CDevice* d = Internal(device)) d->RemoveStateListener(listener, context);
}
