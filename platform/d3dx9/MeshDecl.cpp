// Vertex declarations of D3DX meshes: FVF codes to element lists and back.
#include <cstring>

#include "d3dx9mesh.h"

namespace {

UINT TypeSize(BYTE type) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1: return 4;
        case D3DDECLTYPE_FLOAT2: return 8;
        case D3DDECLTYPE_FLOAT3: return 12;
        case D3DDECLTYPE_FLOAT4: return 16;
        case D3DDECLTYPE_D3DCOLOR: return 4;
        case D3DDECLTYPE_UBYTE4: return 4;
        case D3DDECLTYPE_SHORT2: return 4;
        case D3DDECLTYPE_SHORT4: return 8;
        case D3DDECLTYPE_UBYTE4N: return 4;
        case D3DDECLTYPE_SHORT2N: return 4;
        case D3DDECLTYPE_SHORT4N: return 8;
        case D3DDECLTYPE_USHORT2N: return 4;
        case D3DDECLTYPE_USHORT4N: return 8;
        case D3DDECLTYPE_UDEC3: return 4;
        case D3DDECLTYPE_DEC3N: return 4;
        case D3DDECLTYPE_FLOAT16_2: return 4;
        case D3DDECLTYPE_FLOAT16_4: return 8;
        default: return 0;
    }
}

D3DVERTEXELEMENT9 Element(WORD offset, BYTE type, BYTE usage, BYTE index) {
    D3DVERTEXELEMENT9 e = {0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
    return e;
}

}  // namespace

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
        UINT end = declaration[i].Offset + TypeSize(declaration[i].Type);
        if (end > size) size = end;
    }
    return size;
}

HRESULT D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) {
    if (!declaration) return D3DERR_INVALIDCALL;
    UINT n = 0;
    WORD offset = 0;
    DWORD position = fvf & D3DFVF_POSITION_MASK;
    switch (position) {
        case 0: break;
        case D3DFVF_XYZ:
            declaration[n++] = Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
            offset += 12;
            break;
        case D3DFVF_XYZRHW:
            declaration[n++] = Element(offset, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0);
            offset += 16;
            break;
        case D3DFVF_XYZW:
            declaration[n++] = Element(offset, D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0);
            offset += 16;
            break;
        default: {
            // XYZB1..XYZB5: position followed by blend weights.
            if (position < D3DFVF_XYZB1 || position > D3DFVF_XYZB5) return D3DERR_INVALIDCALL;
            declaration[n++] = Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
            offset += 12;
            int weights = static_cast<int>((position - D3DFVF_XYZ) / 2);
            static const BYTE kTypes[] = {D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                          D3DDECLTYPE_FLOAT4};
            bool lastIsIndex = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
            int plain = lastIsIndex ? weights - 1 : weights;
            if (plain > 4) return D3DERR_INVALIDCALL;
            if (plain > 0) {
                declaration[n++] = Element(offset, kTypes[plain - 1], D3DDECLUSAGE_BLENDWEIGHT, 0);
                offset += static_cast<WORD>(4 * plain);
            }
            if (lastIsIndex) {
                BYTE type = (fvf & D3DFVF_LASTBETA_UBYTE4) ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR;
                declaration[n++] = Element(offset, type, D3DDECLUSAGE_BLENDINDICES, 0);
                offset += 4;
            }
        }
    }
    if (fvf & D3DFVF_NORMAL) {
        declaration[n++] = Element(offset, D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
        offset += 12;
    }
    if (fvf & D3DFVF_PSIZE) {
        declaration[n++] = Element(offset, D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
        offset += 4;
    }
    if (fvf & D3DFVF_DIFFUSE) {
        declaration[n++] = Element(offset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
        offset += 4;
    }
    if (fvf & D3DFVF_SPECULAR) {
        declaration[n++] = Element(offset, D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
        offset += 4;
    }
    UINT texCount = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (texCount > 8) return D3DERR_INVALIDCALL;
    for (UINT t = 0; t < texCount; ++t) {
        DWORD format = (fvf >> (16 + 2 * t)) & 3;
        static const BYTE kTypes[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4,
                                       D3DDECLTYPE_FLOAT1};
        BYTE type = kTypes[format];
        declaration[n++] = Element(offset, type, D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(t));
        offset += static_cast<WORD>(TypeSize(type));
    }
    D3DVERTEXELEMENT9 end = D3DDECL_END();
    declaration[n] = end;
    return D3D_OK;
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
