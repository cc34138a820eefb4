// D3DX shader assembler stand-in: turns the text of a compiled program (GLSL
// from the Cg stand-in) into the shader blob that Create*Shader takes.
#pragma once

#include "d3d9.h"
#include "d3dx9core.h"
#include "d3dx9math.h"

typedef struct _D3DXMACRO {
    LPCSTR Name;
    LPCSTR Definition;
} D3DXMACRO, *LPD3DXMACRO;

struct ID3DXInclude;
typedef ID3DXInclude* LPD3DXINCLUDE;

// The text starts with a line "// vs_X_Y" or "// ps_X_Y" naming its profile
// (the Cg stand-in writes it); defines are added after that line; include
// handlers are not supported (must be null). Failures return
// D3DXERR_INVALIDDATA and, when asked for, a message in *errorMsgs.
HRESULT D3DXAssembleShader(LPCSTR srcData, UINT srcDataLen, const D3DXMACRO* defines, LPD3DXINCLUDE include,
                           DWORD flags, ID3DXBuffer** shader, ID3DXBuffer** errorMsgs);
