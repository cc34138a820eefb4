// Vertex declarations of D3DX meshes: FVF codes to element lists and back.
#include <cstring>

#include "d3dx9mesh.h"

UINT D3DXGetDeclLength(const D3DVERTEXELEMENT9* declaration) {
    if (!declaration) return 0;
    UINT n = 0;
    while (n < MAX_FVF_DECL_SIZE && declaration[n].Stream != 0xFF) ++n;
    return n;
}

UINT D3DXGetDeclVertexSize(const D3DVERTEXELEMENT9* declaration, DWORD stream) {
    UINT size = 0;
    UINT n = D3DXGetDeclLength(declaration);
    for (UINT i = 0; i < n; ++i) {
        if (declaration[i].Stream != stream) continue;
        UINT end = declaration[i].Offset + D3D9DeclTypeSize(declaration[i].Type);
        if (end > size) size = end;
    }
    return size;
}

HRESULT D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) {
    if (!declaration) return D3DERR_INVALIDCALL;
    return D3D9DeclarationFromFvf(fvf, declaration, nullptr, nullptr) ? D3D_OK : D3DERR_INVALIDCALL;
}

HRESULT D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* declaration, DWORD* fvf) {
    if (!declaration || !fvf) return D3DERR_INVALIDCALL;
    // Rebuild the FVF from the elements in FVF order and accept it only when
    // the declaration it gives back is the same, element for element.
    UINT n = D3DXGetDeclLength(declaration);
    DWORD code = 0;
    UINT texCount = 0;
    for (UINT i = 0; i < n; ++i) {
        const D3DVERTEXELEMENT9& e = declaration[i];
        switch (e.Usage) {
            case D3DDECLUSAGE_POSITION:
                code |= e.Type == D3DDECLTYPE_FLOAT4 ? D3DFVF_XYZW : D3DFVF_XYZ;
                break;
            case D3DDECLUSAGE_POSITIONT: code |= D3DFVF_XYZRHW; break;
            case D3DDECLUSAGE_NORMAL: code |= D3DFVF_NORMAL; break;
            case D3DDECLUSAGE_PSIZE: code |= D3DFVF_PSIZE; break;
            case D3DDECLUSAGE_COLOR: code |= e.UsageIndex ? D3DFVF_SPECULAR : D3DFVF_DIFFUSE; break;
            case D3DDECLUSAGE_TEXCOORD: {
                if (e.UsageIndex != texCount) return D3DERR_INVALIDCALL;
                ++texCount;
                if (e.Type == D3DDECLTYPE_FLOAT1) code |= D3DFVF_TEXCOORDSIZE1(e.UsageIndex);
                if (e.Type == D3DDECLTYPE_FLOAT3) code |= D3DFVF_TEXCOORDSIZE3(e.UsageIndex);
                if (e.Type == D3DDECLTYPE_FLOAT4) code |= D3DFVF_TEXCOORDSIZE4(e.UsageIndex);
                break;
            }
            default: return D3DERR_INVALIDCALL;
        }
    }
    if (texCount > 8) return D3DERR_INVALIDCALL;
    code |= texCount << D3DFVF_TEXCOUNT_SHIFT;
    D3DVERTEXELEMENT9 back[MAX_FVF_DECL_SIZE];
    if (FAILED(D3DXDeclaratorFromFVF(code, back))) return D3DERR_INVALIDCALL;
    if (D3DXGetDeclLength(back) != n || memcmp(back, declaration, n * sizeof(D3DVERTEXELEMENT9)) != 0)
        return D3DERR_INVALIDCALL;
    *fvf = code;
    return D3D_OK;
}
