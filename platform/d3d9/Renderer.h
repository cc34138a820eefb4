// What a backend does with the device's shadowed state: the null backend
// draws nothing, the GL backend draws with OpenGL 3.3 core.
#pragma once

#include <string>
#include <vector>

#include "d3d9.h"

namespace d3d9 {

class CDevice;
class CDeviceObject;
class CShader;
class CTextureBase;

struct DrawCall {
    D3DPRIMITIVETYPE type;
    UINT vertexCount;  // vertices (non-indexed) or indices (indexed) to draw
    UINT startVertex;  // first vertex (non-indexed)
    INT baseVertex;    // added to every index
    bool indexed;
    UINT startIndex;
    // User-pointer draws: the data to stream instead of the bound buffers.
    const void* userVertices;
    UINT userVertexBytes;
    UINT userStride;
    const void* userIndices;
    UINT userIndexSize;
};

class CRenderer {
public:
    virtual ~CRenderer() = default;
    // Starts drawing into the window; sets the back-buffer size it got.
    virtual HRESULT Open(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) = 0;
    virtual HRESULT Resize(HWND window, const D3DPRESENT_PARAMETERS& pp, UINT* width, UINT* height) = 0;
    virtual void Clear(CDevice& device, DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z,
                       DWORD stencil) = 0;
    // D3DERR_INVALIDCALL (with a line on standard error) when the draw cannot be issued.
    virtual HRESULT Draw(CDevice& device, const DrawCall& call) = 0;
    virtual void Present() = 0;
    // Reads a level the backend holds alone back into its `bits` (sized already).
    virtual bool ReadTextureLevel(CTextureBase&, UINT, UINT) { return false; }
    // A managed texture's level was unlocked: a backend that keeps its own copy
    // may take the texels now, so the memory copy need not wait for a draw.
    virtual void TextureUnlocked(CTextureBase&) {}
    virtual bool CompileShader(CShader& shader, std::string* log) = 0;
    // The object is going away: drop whatever the backend keeps for it.
    virtual void Forget(CDeviceObject& object) = 0;
    virtual std::vector<DWORD> ReadBack(UINT* width, UINT* height) = 0;
    // The window's picture at the last Present, when a test asked for it.
    virtual std::vector<DWORD> LastPresented(UINT* width, UINT* height) = 0;
    virtual void Close() = 0;
    virtual bool IsNull() const = 0;
};

CRenderer* CreateNullRenderer();
CRenderer* CreateGlRenderer();

// The SDL window behind a window handle (test registrations first), or null.
void* ResolveSdlWindow(HWND window);

}  // namespace d3d9
