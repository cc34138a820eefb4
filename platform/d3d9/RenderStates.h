// One row per render state: its name, its default, which state blocks hold it
// and how the GL backend applies it. Defaults, the call log, state-block masks,
// the warnings and the shader cache all read this table.
#pragma once

#include <cstddef>

#include "d3d9.h"

namespace d3d9 {

enum class GlApply : unsigned char {
    None,         // kept and read back; drawing does not depend on it
    Raster,       // GL's fixed state, set before a draw (depth, cull, fill, blend, colour mask, stencil)
    Uniform,      // a value the shaders read, uploaded when it changes
    ShaderKey,    // part of the key that picks the generated fixed-function shaders
    Unsupported,  // kept, drawn as if off, with a warning the first time it is switched on
};

enum StateBlockGroup : unsigned char { kPixel, kVertex };

struct RenderStateInfo {
    D3DRENDERSTATETYPE state;
    const char* name;
    DWORD defaultValue;
    StateBlockGroup group;
    GlApply apply;
    const char* warning;  // for Unsupported: the line written the first time it is switched on
};

// The row of a state, null for a number D3D does not define.
const RenderStateInfo* FindRenderState(DWORD state);
// All rows, in the order of their numbers.
const RenderStateInfo* RenderStateTable(size_t* count);

}  // namespace d3d9
