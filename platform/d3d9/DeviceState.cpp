#include "DeviceState.h"

#include "RenderStates.h"

#include <cstring>

namespace d3d9 {

int TransformSlot(DWORD state) {
    if (state == 256) return 0;
    if (state == D3DTS_VIEW) return 1;
    if (state == D3DTS_PROJECTION) return 2;
    if (state >= D3DTS_TEXTURE0 && state <= D3DTS_TEXTURE7) return 3 + static_cast<int>(state - D3DTS_TEXTURE0);
    return -1;
}

void SetDefaultState(DeviceState& s, UINT width, UINT height) {
    memset(&s, 0, sizeof s);
    size_t count = 0;
    const RenderStateInfo* table = RenderStateTable(&count);
    for (size_t i = 0; i < count; ++i) s.renderStates[table[i].state] = table[i].defaultValue;

    for (int i = 0; i < kStages; ++i) {
        DWORD* t = s.stageStates[i];
        t[D3DTSS_COLOROP] = i == 0 ? D3DTOP_MODULATE : D3DTOP_DISABLE;
        t[D3DTSS_COLORARG1] = D3DTA_TEXTURE;
        t[D3DTSS_COLORARG2] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAOP] = i == 0 ? D3DTOP_SELECTARG1 : D3DTOP_DISABLE;
        t[D3DTSS_ALPHAARG1] = D3DTA_TEXTURE;
        t[D3DTSS_ALPHAARG2] = D3DTA_CURRENT;
        t[D3DTSS_TEXCOORDINDEX] = static_cast<DWORD>(i);
        t[D3DTSS_TEXTURETRANSFORMFLAGS] = D3DTTFF_DISABLE;
        t[D3DTSS_COLORARG0] = D3DTA_CURRENT;
        t[D3DTSS_ALPHAARG0] = D3DTA_CURRENT;
        t[D3DTSS_RESULTARG] = D3DTA_CURRENT;
    }
    for (int i = 0; i < kSamplers; ++i) {
        DWORD* p = s.samplerStates[i];
        p[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
        p[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
        p[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
        p[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
        p[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
        p[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
        p[D3DSAMP_MAXANISOTROPY] = 1;
    }
    for (auto& m : s.transforms) {
        memset(&m, 0, sizeof m);
        m._11 = m._22 = m._33 = m._44 = 1.0f;
    }
    s.viewport = D3DVIEWPORT9{0, 0, width, height, 0.0f, 1.0f};
}

void FillMask(StateMask& m, D3DSTATEBLOCKTYPE type) {
    memset(&m, 0, sizeof m);
    const bool pixel = type == D3DSBT_ALL || type == D3DSBT_PIXELSTATE;
    const bool vertex = type == D3DSBT_ALL || type == D3DSBT_VERTEXSTATE;
    for (int i = 0; i < D3D9_RENDERSTATE_COUNT; ++i) {
        const RenderStateInfo* info = FindRenderState(static_cast<DWORD>(i));
        m.renderStates[i] = info && info->group == kVertex ? vertex : pixel;
    }
    for (int st = 0; st < kStages; ++st) {
        for (int i = 0; i < D3D9_TSS_COUNT; ++i) m.stageStates[st][i] = pixel;
        m.textures[st] = type == D3DSBT_ALL;
    }
    for (int sp = 0; sp < kSamplers; ++sp)
        for (int i = 0; i < D3D9_SAMP_COUNT; ++i) m.samplerStates[sp][i] = pixel;
    for (bool& t : m.transforms) t = type == D3DSBT_ALL;
    m.viewport = m.material = type == D3DSBT_ALL;
    for (bool& s : m.streams) s = type == D3DSBT_ALL;
    m.indices = type == D3DSBT_ALL;
    m.vertexFormat = vertex;
    m.vertexShader = vertex;
    m.pixelShader = pixel;
    for (bool& c : m.vertexConstants) c = vertex;
    for (bool& c : m.pixelConstants) c = pixel;
}

}  // namespace d3d9
