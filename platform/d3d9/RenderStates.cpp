#include "RenderStates.h"

namespace d3d9 {
namespace {

const DWORD kOne = 0x3F800000u;           // 1.0f
const DWORD kMaxPointSize = 0x43800000u;  // 256.0f
const char* const kNoFog = "d3d9: fog is not supported; drawing without it";
const char* const kNoClipPlanes = "d3d9: user clip planes are not supported; drawing unclipped";

const RenderStateInfo kRenderStates[] = {
    {D3DRS_ZENABLE, "D3DRS_ZENABLE", D3DZB_TRUE, kPixel, GlApply::Raster, nullptr},
    {D3DRS_FILLMODE, "D3DRS_FILLMODE", D3DFILL_SOLID, kPixel, GlApply::Raster, nullptr},
    {D3DRS_SHADEMODE, "D3DRS_SHADEMODE", D3DSHADE_GOURAUD, kPixel, GlApply::None, nullptr},
    {D3DRS_ZWRITEENABLE, "D3DRS_ZWRITEENABLE", TRUE, kPixel, GlApply::Raster, nullptr},
    {D3DRS_ALPHATESTENABLE, "D3DRS_ALPHATESTENABLE", FALSE, kPixel, GlApply::ShaderKey, nullptr},
    {D3DRS_LASTPIXEL, "D3DRS_LASTPIXEL", TRUE, kPixel, GlApply::None, nullptr},
    {D3DRS_SRCBLEND, "D3DRS_SRCBLEND", D3DBLEND_ONE, kPixel, GlApply::Raster, nullptr},
    {D3DRS_DESTBLEND, "D3DRS_DESTBLEND", D3DBLEND_ZERO, kPixel, GlApply::Raster, nullptr},
    {D3DRS_CULLMODE, "D3DRS_CULLMODE", D3DCULL_CCW, kVertex, GlApply::Raster, nullptr},
    {D3DRS_ZFUNC, "D3DRS_ZFUNC", D3DCMP_LESSEQUAL, kPixel, GlApply::Raster, nullptr},
    {D3DRS_ALPHAREF, "D3DRS_ALPHAREF", 0, kPixel, GlApply::Uniform, nullptr},
    {D3DRS_ALPHAFUNC, "D3DRS_ALPHAFUNC", D3DCMP_ALWAYS, kPixel, GlApply::ShaderKey, nullptr},
    {D3DRS_DITHERENABLE, "D3DRS_DITHERENABLE", FALSE, kPixel, GlApply::None, nullptr},
    {D3DRS_ALPHABLENDENABLE, "D3DRS_ALPHABLENDENABLE", FALSE, kPixel, GlApply::Raster, nullptr},
    {D3DRS_FOGENABLE, "D3DRS_FOGENABLE", FALSE, kVertex, GlApply::Unsupported, kNoFog},
    {D3DRS_SPECULARENABLE, "D3DRS_SPECULARENABLE", FALSE, kPixel, GlApply::ShaderKey, nullptr},
    {D3DRS_FOGCOLOR, "D3DRS_FOGCOLOR", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_FOGTABLEMODE, "D3DRS_FOGTABLEMODE", D3DFOG_NONE, kVertex, GlApply::None, nullptr},
    {D3DRS_FOGSTART, "D3DRS_FOGSTART", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_FOGEND, "D3DRS_FOGEND", kOne, kVertex, GlApply::None, nullptr},
    {D3DRS_FOGDENSITY, "D3DRS_FOGDENSITY", kOne, kVertex, GlApply::None, nullptr},
    {D3DRS_RANGEFOGENABLE, "D3DRS_RANGEFOGENABLE", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_STENCILENABLE, "D3DRS_STENCILENABLE", FALSE, kPixel, GlApply::Raster, nullptr},
    {D3DRS_STENCILFAIL, "D3DRS_STENCILFAIL", D3DSTENCILOP_KEEP, kPixel, GlApply::Raster, nullptr},
    {D3DRS_STENCILZFAIL, "D3DRS_STENCILZFAIL", D3DSTENCILOP_KEEP, kPixel, GlApply::Raster, nullptr},
    {D3DRS_STENCILPASS, "D3DRS_STENCILPASS", D3DSTENCILOP_KEEP, kPixel, GlApply::Raster, nullptr},
    {D3DRS_STENCILFUNC, "D3DRS_STENCILFUNC", D3DCMP_ALWAYS, kPixel, GlApply::Raster, nullptr},
    {D3DRS_STENCILREF, "D3DRS_STENCILREF", 0, kPixel, GlApply::Raster, nullptr},
    {D3DRS_STENCILMASK, "D3DRS_STENCILMASK", 0xFFFFFFFF, kPixel, GlApply::Raster, nullptr},
    {D3DRS_STENCILWRITEMASK, "D3DRS_STENCILWRITEMASK", 0xFFFFFFFF, kPixel, GlApply::Raster, nullptr},
    {D3DRS_TEXTUREFACTOR, "D3DRS_TEXTUREFACTOR", 0xFFFFFFFF, kPixel, GlApply::Uniform, nullptr},
    {D3DRS_WRAP0, "D3DRS_WRAP0", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP1, "D3DRS_WRAP1", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP2, "D3DRS_WRAP2", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP3, "D3DRS_WRAP3", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP4, "D3DRS_WRAP4", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP5, "D3DRS_WRAP5", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP6, "D3DRS_WRAP6", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP7, "D3DRS_WRAP7", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_CLIPPING, "D3DRS_CLIPPING", TRUE, kVertex, GlApply::None, nullptr},
    {D3DRS_LIGHTING, "D3DRS_LIGHTING", TRUE, kVertex, GlApply::ShaderKey, nullptr},
    {D3DRS_AMBIENT, "D3DRS_AMBIENT", 0, kVertex, GlApply::Uniform, nullptr},
    {D3DRS_FOGVERTEXMODE, "D3DRS_FOGVERTEXMODE", D3DFOG_NONE, kVertex, GlApply::None, nullptr},
    {D3DRS_COLORVERTEX, "D3DRS_COLORVERTEX", TRUE, kVertex, GlApply::ShaderKey, nullptr},
    {D3DRS_LOCALVIEWER, "D3DRS_LOCALVIEWER", TRUE, kVertex, GlApply::None, nullptr},
    {D3DRS_NORMALIZENORMALS, "D3DRS_NORMALIZENORMALS", FALSE, kVertex, GlApply::None, nullptr},
    {D3DRS_DIFFUSEMATERIALSOURCE, "D3DRS_DIFFUSEMATERIALSOURCE", D3DMCS_COLOR1, kVertex, GlApply::ShaderKey, nullptr},
    {D3DRS_SPECULARMATERIALSOURCE, "D3DRS_SPECULARMATERIALSOURCE", D3DMCS_COLOR2, kVertex, GlApply::None, nullptr},
    {D3DRS_AMBIENTMATERIALSOURCE, "D3DRS_AMBIENTMATERIALSOURCE", D3DMCS_MATERIAL, kVertex, GlApply::ShaderKey, nullptr},
    {D3DRS_EMISSIVEMATERIALSOURCE, "D3DRS_EMISSIVEMATERIALSOURCE", D3DMCS_MATERIAL, kVertex, GlApply::ShaderKey, nullptr},
    {D3DRS_VERTEXBLEND, "D3DRS_VERTEXBLEND", D3DVBF_DISABLE, kVertex, GlApply::None, nullptr},
    {D3DRS_CLIPPLANEENABLE, "D3DRS_CLIPPLANEENABLE", 0, kVertex, GlApply::Unsupported, kNoClipPlanes},
    {D3DRS_POINTSIZE, "D3DRS_POINTSIZE", kOne, kVertex, GlApply::Uniform, nullptr},
    {D3DRS_POINTSIZE_MIN, "D3DRS_POINTSIZE_MIN", kOne, kVertex, GlApply::Uniform, nullptr},
    {D3DRS_POINTSPRITEENABLE, "D3DRS_POINTSPRITEENABLE", FALSE, kVertex, GlApply::ShaderKey, nullptr},
    {D3DRS_POINTSCALEENABLE, "D3DRS_POINTSCALEENABLE", FALSE, kVertex, GlApply::ShaderKey, nullptr},
    {D3DRS_POINTSCALE_A, "D3DRS_POINTSCALE_A", kOne, kVertex, GlApply::Uniform, nullptr},
    {D3DRS_POINTSCALE_B, "D3DRS_POINTSCALE_B", 0, kVertex, GlApply::Uniform, nullptr},
    {D3DRS_POINTSCALE_C, "D3DRS_POINTSCALE_C", 0, kVertex, GlApply::Uniform, nullptr},
    {D3DRS_MULTISAMPLEANTIALIAS, "D3DRS_MULTISAMPLEANTIALIAS", TRUE, kVertex, GlApply::None, nullptr},
    {D3DRS_MULTISAMPLEMASK, "D3DRS_MULTISAMPLEMASK", 0xFFFFFFFF, kVertex, GlApply::None, nullptr},
    {D3DRS_PATCHEDGESTYLE, "D3DRS_PATCHEDGESTYLE", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_DEBUGMONITORTOKEN, "D3DRS_DEBUGMONITORTOKEN", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_POINTSIZE_MAX, "D3DRS_POINTSIZE_MAX", kMaxPointSize, kVertex, GlApply::Uniform, nullptr},
    {D3DRS_INDEXEDVERTEXBLENDENABLE, "D3DRS_INDEXEDVERTEXBLENDENABLE", FALSE, kVertex, GlApply::None, nullptr},
    {D3DRS_COLORWRITEENABLE, "D3DRS_COLORWRITEENABLE", 0xF, kPixel, GlApply::Raster, nullptr},
    {D3DRS_TWEENFACTOR, "D3DRS_TWEENFACTOR", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_BLENDOP, "D3DRS_BLENDOP", D3DBLENDOP_ADD, kPixel, GlApply::Raster, nullptr},
    {D3DRS_POSITIONDEGREE, "D3DRS_POSITIONDEGREE", 3, kVertex, GlApply::None, nullptr},
    {D3DRS_NORMALDEGREE, "D3DRS_NORMALDEGREE", 1, kVertex, GlApply::None, nullptr},
    {D3DRS_SCISSORTESTENABLE, "D3DRS_SCISSORTESTENABLE", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_SLOPESCALEDEPTHBIAS, "D3DRS_SLOPESCALEDEPTHBIAS", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_ANTIALIASEDLINEENABLE, "D3DRS_ANTIALIASEDLINEENABLE", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_MINTESSELLATIONLEVEL, "D3DRS_MINTESSELLATIONLEVEL", kOne, kVertex, GlApply::None, nullptr},
    {D3DRS_MAXTESSELLATIONLEVEL, "D3DRS_MAXTESSELLATIONLEVEL", kOne, kVertex, GlApply::None, nullptr},
    {D3DRS_ADAPTIVETESS_X, "D3DRS_ADAPTIVETESS_X", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_ADAPTIVETESS_Y, "D3DRS_ADAPTIVETESS_Y", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_ADAPTIVETESS_Z, "D3DRS_ADAPTIVETESS_Z", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_ADAPTIVETESS_W, "D3DRS_ADAPTIVETESS_W", kOne, kVertex, GlApply::None, nullptr},
    {D3DRS_ENABLEADAPTIVETESSELLATION, "D3DRS_ENABLEADAPTIVETESSELLATION", 0, kVertex, GlApply::None, nullptr},
    {D3DRS_TWOSIDEDSTENCILMODE, "D3DRS_TWOSIDEDSTENCILMODE", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_CCW_STENCILFAIL, "D3DRS_CCW_STENCILFAIL", D3DSTENCILOP_KEEP, kPixel, GlApply::None, nullptr},
    {D3DRS_CCW_STENCILZFAIL, "D3DRS_CCW_STENCILZFAIL", D3DSTENCILOP_KEEP, kPixel, GlApply::None, nullptr},
    {D3DRS_CCW_STENCILPASS, "D3DRS_CCW_STENCILPASS", D3DSTENCILOP_KEEP, kPixel, GlApply::None, nullptr},
    {D3DRS_CCW_STENCILFUNC, "D3DRS_CCW_STENCILFUNC", D3DCMP_ALWAYS, kPixel, GlApply::None, nullptr},
    {D3DRS_COLORWRITEENABLE1, "D3DRS_COLORWRITEENABLE1", 0xF, kPixel, GlApply::None, nullptr},
    {D3DRS_COLORWRITEENABLE2, "D3DRS_COLORWRITEENABLE2", 0xF, kPixel, GlApply::None, nullptr},
    {D3DRS_COLORWRITEENABLE3, "D3DRS_COLORWRITEENABLE3", 0xF, kPixel, GlApply::None, nullptr},
    {D3DRS_BLENDFACTOR, "D3DRS_BLENDFACTOR", 0xFFFFFFFF, kPixel, GlApply::Raster, nullptr},
    {D3DRS_SRGBWRITEENABLE, "D3DRS_SRGBWRITEENABLE", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_DEPTHBIAS, "D3DRS_DEPTHBIAS", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP8, "D3DRS_WRAP8", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP9, "D3DRS_WRAP9", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP10, "D3DRS_WRAP10", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP11, "D3DRS_WRAP11", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP12, "D3DRS_WRAP12", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP13, "D3DRS_WRAP13", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP14, "D3DRS_WRAP14", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_WRAP15, "D3DRS_WRAP15", 0, kPixel, GlApply::None, nullptr},
    {D3DRS_SEPARATEALPHABLENDENABLE, "D3DRS_SEPARATEALPHABLENDENABLE", 0, kPixel, GlApply::Raster, nullptr},
    {D3DRS_SRCBLENDALPHA, "D3DRS_SRCBLENDALPHA", D3DBLEND_ONE, kPixel, GlApply::Raster, nullptr},
    {D3DRS_DESTBLENDALPHA, "D3DRS_DESTBLENDALPHA", D3DBLEND_ZERO, kPixel, GlApply::Raster, nullptr},
    {D3DRS_BLENDOPALPHA, "D3DRS_BLENDOPALPHA", D3DBLENDOP_ADD, kPixel, GlApply::Raster, nullptr},
};

// Row by state number, built once from the table.
struct Index {
    const RenderStateInfo* rows[D3D9_RENDERSTATE_COUNT] = {};
    Index() {
        for (const RenderStateInfo& r : kRenderStates)
            if (r.state < D3D9_RENDERSTATE_COUNT) rows[r.state] = &r;
    }
};

}  // namespace

const RenderStateInfo* FindRenderState(DWORD state) {
    static const Index index;
    return state < D3D9_RENDERSTATE_COUNT ? index.rows[state] : nullptr;
}

const RenderStateInfo* RenderStateTable(size_t* count) {
    *count = sizeof kRenderStates / sizeof kRenderStates[0];
    return kRenderStates;
}

}  // namespace d3d9
