#include "Names.h"

#include "RenderStates.h"

#include <cstdio>

namespace d3d9 {
namespace {

struct Entry {
    DWORD value;
    const char* name;
};

#define E(x) {x, #x}

const Entry kStageStates[] = {
    E(D3DTSS_COLOROP), E(D3DTSS_COLORARG1), E(D3DTSS_COLORARG2), E(D3DTSS_ALPHAOP), E(D3DTSS_ALPHAARG1),
    E(D3DTSS_ALPHAARG2), E(D3DTSS_BUMPENVMAT00), E(D3DTSS_BUMPENVMAT01), E(D3DTSS_BUMPENVMAT10),
    E(D3DTSS_BUMPENVMAT11), E(D3DTSS_TEXCOORDINDEX), E(D3DTSS_BUMPENVLSCALE), E(D3DTSS_BUMPENVLOFFSET),
    E(D3DTSS_TEXTURETRANSFORMFLAGS), E(D3DTSS_COLORARG0), E(D3DTSS_ALPHAARG0), E(D3DTSS_RESULTARG),
    E(D3DTSS_CONSTANT),
};

const Entry kSamplerStates[] = {
    E(D3DSAMP_ADDRESSU), E(D3DSAMP_ADDRESSV), E(D3DSAMP_ADDRESSW), E(D3DSAMP_BORDERCOLOR), E(D3DSAMP_MAGFILTER),
    E(D3DSAMP_MINFILTER), E(D3DSAMP_MIPFILTER), E(D3DSAMP_MIPMAPLODBIAS), E(D3DSAMP_MAXMIPLEVEL),
    E(D3DSAMP_MAXANISOTROPY), E(D3DSAMP_SRGBTEXTURE), E(D3DSAMP_ELEMENTINDEX), E(D3DSAMP_DMAPOFFSET),
};

const Entry kTransforms[] = {
    E(D3DTS_VIEW), E(D3DTS_PROJECTION), E(D3DTS_TEXTURE0), E(D3DTS_TEXTURE1), E(D3DTS_TEXTURE2),
    E(D3DTS_TEXTURE3), E(D3DTS_TEXTURE4), E(D3DTS_TEXTURE5), E(D3DTS_TEXTURE6), E(D3DTS_TEXTURE7),
    {256, "D3DTS_WORLD"},
};

const Entry kFormats[] = {
    E(D3DFMT_UNKNOWN), E(D3DFMT_R8G8B8), E(D3DFMT_A8R8G8B8), E(D3DFMT_X8R8G8B8), E(D3DFMT_R5G6B5),
    E(D3DFMT_X1R5G5B5), E(D3DFMT_A1R5G5B5), E(D3DFMT_A4R4G4B4), E(D3DFMT_R3G3B2), E(D3DFMT_A8),
    E(D3DFMT_A8R3G3B2), E(D3DFMT_X4R4G4B4), E(D3DFMT_A2B10G10R10), E(D3DFMT_A8B8G8R8), E(D3DFMT_X8B8G8R8),
    E(D3DFMT_G16R16), E(D3DFMT_A2R10G10B10), E(D3DFMT_A16B16G16R16), E(D3DFMT_A8P8), E(D3DFMT_P8), E(D3DFMT_L8),
    E(D3DFMT_A8L8), E(D3DFMT_A4L4), E(D3DFMT_V8U8), E(D3DFMT_L6V5U5), E(D3DFMT_X8L8V8U8), E(D3DFMT_Q8W8V8U8),
    E(D3DFMT_V16U16), E(D3DFMT_A2W10V10U10), E(D3DFMT_UYVY), E(D3DFMT_R8G8_B8G8), E(D3DFMT_YUY2),
    E(D3DFMT_G8R8_G8B8), E(D3DFMT_DXT1), E(D3DFMT_DXT2), E(D3DFMT_DXT3), E(D3DFMT_DXT4), E(D3DFMT_DXT5),
    E(D3DFMT_D16_LOCKABLE), E(D3DFMT_D32), E(D3DFMT_D15S1), E(D3DFMT_D24S8), E(D3DFMT_D24X8), E(D3DFMT_D24X4S4),
    E(D3DFMT_D16), E(D3DFMT_D32F_LOCKABLE), E(D3DFMT_D24FS8), E(D3DFMT_L16), E(D3DFMT_VERTEXDATA),
    E(D3DFMT_INDEX16), E(D3DFMT_INDEX32), E(D3DFMT_Q16W16V16U16), E(D3DFMT_MULTI2_ARGB8), E(D3DFMT_R16F),
    E(D3DFMT_G16R16F), E(D3DFMT_A16B16G16R16F), E(D3DFMT_R32F), E(D3DFMT_G32R32F), E(D3DFMT_A32B32G32R32F),
    E(D3DFMT_CxV8U8),
};

const Entry kPools[] = {E(D3DPOOL_DEFAULT), E(D3DPOOL_MANAGED), E(D3DPOOL_SYSTEMMEM), E(D3DPOOL_SCRATCH)};
const Entry kPrimitives[] = {E(D3DPT_POINTLIST), E(D3DPT_LINELIST), E(D3DPT_LINESTRIP), E(D3DPT_TRIANGLELIST),
                             E(D3DPT_TRIANGLESTRIP), E(D3DPT_TRIANGLEFAN)};
const Entry kDevTypes[] = {E(D3DDEVTYPE_HAL), E(D3DDEVTYPE_REF), E(D3DDEVTYPE_SW), E(D3DDEVTYPE_NULLREF)};
const Entry kRTypes[] = {E(D3DRTYPE_SURFACE), E(D3DRTYPE_VOLUME), E(D3DRTYPE_TEXTURE), E(D3DRTYPE_VOLUMETEXTURE),
                         E(D3DRTYPE_CUBETEXTURE), E(D3DRTYPE_VERTEXBUFFER), E(D3DRTYPE_INDEXBUFFER)};
const Entry kClearFlags[] = {E(D3DCLEAR_TARGET), E(D3DCLEAR_ZBUFFER), E(D3DCLEAR_STENCIL)};
const Entry kCreateFlags[] = {E(D3DCREATE_FPU_PRESERVE), E(D3DCREATE_MULTITHREADED), E(D3DCREATE_PUREDEVICE),
                              E(D3DCREATE_SOFTWARE_VERTEXPROCESSING), E(D3DCREATE_HARDWARE_VERTEXPROCESSING),
                              E(D3DCREATE_MIXED_VERTEXPROCESSING)};
const Entry kUsages[] = {E(D3DUSAGE_RENDERTARGET), E(D3DUSAGE_DEPTHSTENCIL), E(D3DUSAGE_WRITEONLY),
                         E(D3DUSAGE_SOFTWAREPROCESSING), E(D3DUSAGE_DONOTCLIP), E(D3DUSAGE_POINTS),
                         E(D3DUSAGE_RTPATCHES), E(D3DUSAGE_NPATCHES), E(D3DUSAGE_DYNAMIC), E(D3DUSAGE_AUTOGENMIPMAP),
                         E(D3DUSAGE_DMAP), E(D3DUSAGE_QUERY_LEGACYBUMPMAP), E(D3DUSAGE_QUERY_SRGBREAD),
                         E(D3DUSAGE_QUERY_FILTER), E(D3DUSAGE_QUERY_SRGBWRITE),
                         E(D3DUSAGE_QUERY_POSTPIXELSHADER_BLENDING), E(D3DUSAGE_QUERY_VERTEXTEXTURE),
                         E(D3DUSAGE_QUERY_WRAPANDMIP)};
const Entry kLockFlags[] = {E(D3DLOCK_READONLY), E(D3DLOCK_NOSYSLOCK), E(D3DLOCK_NOOVERWRITE), E(D3DLOCK_DISCARD),
                            E(D3DLOCK_DONOTWAIT), E(D3DLOCK_NO_DIRTY_UPDATE)};
#undef E

template <size_t N>
std::string Lookup(const Entry (&table)[N], DWORD value) {
    for (const Entry& e : table)
        if (e.value == value) return e.name;
    return std::to_string(value);
}

template <size_t N>
std::string Flags(const Entry (&table)[N], DWORD flags) {
    if (flags == 0) return "0";
    std::string out;
    for (const Entry& e : table) {
        if ((flags & e.value) == e.value) {
            if (!out.empty()) out += "|";
            out += e.name;
            flags &= ~e.value;
        }
    }
    if (flags) {
        if (!out.empty()) out += "|";
        out += Hex(flags);
    }
    return out;
}

}  // namespace

std::string RenderStateName(DWORD state) {
    const RenderStateInfo* info = FindRenderState(state);
    return info ? info->name : std::to_string(state);
}
std::string StageStateName(DWORD type) { return Lookup(kStageStates, type); }
std::string SamplerStateName(DWORD type) { return Lookup(kSamplerStates, type); }
std::string TransformName(DWORD state) {
    if (state > 256 && state < 512) return "D3DTS_WORLDMATRIX(" + std::to_string(state - 256) + ")";
    return Lookup(kTransforms, state);
}
std::string FormatName(D3DFORMAT format) { return Lookup(kFormats, format); }
std::string PoolName(D3DPOOL pool) { return Lookup(kPools, pool); }
std::string PrimitiveName(D3DPRIMITIVETYPE type) { return Lookup(kPrimitives, type); }
std::string DevTypeName(D3DDEVTYPE type) { return Lookup(kDevTypes, type); }
std::string RTypeName(D3DRESOURCETYPE type) { return Lookup(kRTypes, type); }
std::string ClearFlagsText(DWORD flags) { return Flags(kClearFlags, flags); }
std::string CreateFlagsText(DWORD flags) { return Flags(kCreateFlags, flags); }
std::string UsageText(DWORD usage) { return Flags(kUsages, usage); }
std::string LockFlagsText(DWORD flags) { return Flags(kLockFlags, flags); }

std::string Hex(DWORD value) {
    char buf[16];
    snprintf(buf, sizeof buf, "0x%x", value);
    return buf;
}

std::string FloatText(float value) {
    char buf[32];
    snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

std::string FloatsText(const float* values, UINT count) {
    std::string out = "{";
    for (UINT i = 0; values && i < count; ++i) {
        if (i) out += ",";
        out += FloatText(values[i]);
    }
    return out + "}";
}

std::string RectText(const RECT* rect) {
    if (!rect) return "NULL";
    char buf[80];
    snprintf(buf, sizeof buf, "{%d,%d,%d,%d}", rect->left, rect->top, rect->right, rect->bottom);
    return buf;
}

}  // namespace d3d9
