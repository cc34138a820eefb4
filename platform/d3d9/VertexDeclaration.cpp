#include "VertexDeclaration.h"

#include "Device.h"

namespace d3d9 {

UINT DeclTypeSize(BYTE type) {
    switch (type) {
        case D3DDECLTYPE_FLOAT1: return 4;
        case D3DDECLTYPE_FLOAT2: return 8;
        case D3DDECLTYPE_FLOAT3: return 12;
        case D3DDECLTYPE_FLOAT4: return 16;
        case D3DDECLTYPE_D3DCOLOR:
        case D3DDECLTYPE_UBYTE4:
        case D3DDECLTYPE_UBYTE4N:
        case D3DDECLTYPE_SHORT2:
        case D3DDECLTYPE_SHORT2N:
        case D3DDECLTYPE_USHORT2N:
        case D3DDECLTYPE_UDEC3:
        case D3DDECLTYPE_DEC3N:
        case D3DDECLTYPE_FLOAT16_2:
            return 4;
        case D3DDECLTYPE_SHORT4:
        case D3DDECLTYPE_SHORT4N:
        case D3DDECLTYPE_USHORT4N:
        case D3DDECLTYPE_FLOAT16_4:
            return 8;
        default:
            return 0;
    }
}

bool DeclarationFromFvf(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* out, UINT* stride) {
    D3DVERTEXELEMENT9 e[MAXD3DDECLLENGTH + 1];
    UINT count = 0;
    if (!D3D9DeclarationFromFvf(fvf, e, &count, stride)) return false;
    if (out) out->assign(e, e + count);
    return true;
}

}  // namespace d3d9

UINT D3D9DeclTypeSize(BYTE type) { return d3d9::DeclTypeSize(type); }

bool D3D9DeclarationFromFvf(DWORD fvf, D3DVERTEXELEMENT9* out, UINT* count, UINT* stride) {
    if (!out) return false;
    using d3d9::DeclTypeSize;
    UINT n = 0;
    WORD offset = 0;
    auto add = [&](BYTE type, BYTE usage, BYTE index) {
        out[n++] = D3DVERTEXELEMENT9{0, offset, type, D3DDECLMETHOD_DEFAULT, usage, index};
        offset = static_cast<WORD>(offset + DeclTypeSize(type));
    };
    const DWORD position = fvf & D3DFVF_POSITION_MASK;
    switch (position) {
        case 0: break;
        case D3DFVF_XYZ: add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0); break;
        case D3DFVF_XYZRHW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITIONT, 0); break;
        case D3DFVF_XYZW: add(D3DDECLTYPE_FLOAT4, D3DDECLUSAGE_POSITION, 0); break;
        default: {
            // XYZB1..XYZB5: the position, then the weights; the last "weight"
            // may hold the blend indices instead.
            if (position < D3DFVF_XYZB1 || position > D3DFVF_XYZB5) return false;
            add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_POSITION, 0);
            const int weights = static_cast<int>((position - D3DFVF_XYZ) / 2);
            const bool lastIsIndex = (fvf & (D3DFVF_LASTBETA_UBYTE4 | D3DFVF_LASTBETA_D3DCOLOR)) != 0;
            const int plain = lastIsIndex ? weights - 1 : weights;
            if (plain > 4) return false;
            static const BYTE kWeightTypes[4] = {D3DDECLTYPE_FLOAT1, D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3,
                                                 D3DDECLTYPE_FLOAT4};
            if (plain > 0) add(kWeightTypes[plain - 1], D3DDECLUSAGE_BLENDWEIGHT, 0);
            if (lastIsIndex)
                add((fvf & D3DFVF_LASTBETA_UBYTE4) ? D3DDECLTYPE_UBYTE4 : D3DDECLTYPE_D3DCOLOR,
                    D3DDECLUSAGE_BLENDINDICES, 0);
        }
    }
    if (fvf & D3DFVF_NORMAL) add(D3DDECLTYPE_FLOAT3, D3DDECLUSAGE_NORMAL, 0);
    if (fvf & D3DFVF_PSIZE) add(D3DDECLTYPE_FLOAT1, D3DDECLUSAGE_PSIZE, 0);
    if (fvf & D3DFVF_DIFFUSE) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 0);
    if (fvf & D3DFVF_SPECULAR) add(D3DDECLTYPE_D3DCOLOR, D3DDECLUSAGE_COLOR, 1);
    const UINT sets = (fvf & D3DFVF_TEXCOUNT_MASK) >> D3DFVF_TEXCOUNT_SHIFT;
    if (sets > 8) return false;
    for (UINT i = 0; i < sets; ++i) {
        static const BYTE kTypes[4] = {D3DDECLTYPE_FLOAT2, D3DDECLTYPE_FLOAT3, D3DDECLTYPE_FLOAT4,
                                       D3DDECLTYPE_FLOAT1};
        add(kTypes[(fvf >> (16 + i * 2)) & 3], D3DDECLUSAGE_TEXCOORD, static_cast<BYTE>(i));
    }
    out[n++] = D3DVERTEXELEMENT9 D3DDECL_END();
    if (count) *count = n;
    if (stride) *stride = offset;
    return true;
}

namespace d3d9 {

HRESULT CVertexDeclaration::GetDevice(IDirect3DDevice9** device) {
    if (!device || !m_device) return D3DERR_INVALIDCALL;
    *device = m_device;
    m_device->AddRef();
    return D3D_OK;
}

HRESULT CVertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* numElements) {
    if (!numElements) return D3DERR_INVALIDCALL;
    const UINT count = static_cast<UINT>(m_elements.size());
    if (elements) {
        if (*numElements < count) return D3DERR_INVALIDCALL;
        for (UINT i = 0; i < count; ++i) elements[i] = m_elements[i];
    }
    *numElements = count;
    return D3D_OK;
}

bool CVertexDeclaration::HasUsage(BYTE usage, BYTE index) const {
    for (const auto& e : m_elements)
        if (e.Stream != 0xFF && e.Usage == usage && e.UsageIndex == index) return true;
    return false;
}

}  // namespace d3d9
