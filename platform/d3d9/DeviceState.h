// Everything a device shadows: the state D3D defines, flushed to the backend
// at draw time and copied by state blocks.
#pragma once

#include "d3d9.h"

namespace d3d9 {

class CTextureBase;
class CVertexBuffer;
class CIndexBuffer;
class CVertexDeclaration;
class CShader;

constexpr int kStages = 8;
constexpr int kSamplers = 8;
constexpr int kStreams = 4;
constexpr int kVertexConstants = 256;
constexpr int kPixelConstants = 32;
constexpr int kTransformSlots = 11;  // world, view, projection, texture 0-7

// Slot of a transform state, -1 for one we do not keep.
int TransformSlot(DWORD state);

struct StreamBinding {
    CVertexBuffer* buffer;
    UINT offset;
    UINT stride;
};

struct DeviceState {
    DWORD renderStates[D3D9_RENDERSTATE_COUNT];
    DWORD stageStates[kStages][D3D9_TSS_COUNT];
    DWORD samplerStates[kSamplers][D3D9_SAMP_COUNT];
    CTextureBase* textures[kStages];
    D3DMATRIX transforms[kTransformSlots];
    D3DVIEWPORT9 viewport;
    D3DMATERIAL9 material;
    StreamBinding streams[kStreams];
    CIndexBuffer* indices;
    DWORD fvf;
    CVertexDeclaration* declaration;
    CShader* vertexShader;
    CShader* pixelShader;
    float vertexConstants[kVertexConstants][4];
    float pixelConstants[kPixelConstants][4];
};

// Which parts of a DeviceState a state block holds.
struct StateMask {
    bool renderStates[D3D9_RENDERSTATE_COUNT];
    bool stageStates[kStages][D3D9_TSS_COUNT];
    bool samplerStates[kSamplers][D3D9_SAMP_COUNT];
    bool textures[kStages];
    bool transforms[kTransformSlots];
    bool viewport;
    bool material;
    bool streams[kStreams];
    bool indices;
    bool vertexFormat;  // fvf and declaration together
    bool vertexShader;
    bool pixelShader;
    bool vertexConstants[kVertexConstants];
    bool pixelConstants[kPixelConstants];
};

// The D3D9 defaults (render states, stages, samplers, identity transforms).
void SetDefaultState(DeviceState& state, UINT backBufferWidth, UINT backBufferHeight);
// Masks for CreateStateBlock.
void FillMask(StateMask& mask, D3DSTATEBLOCKTYPE type);

inline DWORD FloatBits(float f) {
    DWORD d;
    memcpy(&d, &f, 4);
    return d;
}
inline float BitsFloat(DWORD d) {
    float f;
    memcpy(&f, &d, 4);
    return f;
}

}  // namespace d3d9
