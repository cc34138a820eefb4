// D3DX mesh subset: X file loading, meshes and their operations.
#pragma once

#include "d3d9.h"
#include "d3dx9core.h"
#include "d3dx9math.h"

// D3DX error codes (facility 0x876, codes from 2900) that the mesh functions return.
#ifndef D3DXERR_CANNOTMODIFYINDEXBUFFER
#define D3DXERR_CANNOTMODIFYINDEXBUFFER ((HRESULT)0x88760B54)
#endif
#ifndef D3DXERR_INVALIDMESH
#define D3DXERR_INVALIDMESH ((HRESULT)0x88760B55)
#endif
#ifndef D3DXERR_CANNOTATTRSORT
#define D3DXERR_CANNOTATTRSORT ((HRESULT)0x88760B56)
#endif
#ifndef D3DXERR_SKINNINGNOTSUPPORTED
#define D3DXERR_SKINNINGNOTSUPPORTED ((HRESULT)0x88760B57)
#endif
#ifndef D3DXERR_TOOMANYINFLUENCES
#define D3DXERR_TOOMANYINFLUENCES ((HRESULT)0x88760B58)
#endif
#ifndef D3DXERR_INVALIDDATA
#define D3DXERR_INVALIDDATA ((HRESULT)0x88760B59)
#endif
#ifndef D3DXERR_LOADEDMESHHASNODATA
#define D3DXERR_LOADEDMESHHASNODATA ((HRESULT)0x88760B5A)
#endif
#ifndef D3DXERR_DUPLICATENAMEDFRAGMENT
#define D3DXERR_DUPLICATENAMEDFRAGMENT ((HRESULT)0x88760B5B)
#endif

#ifndef D3DX_DEFAULT
#define D3DX_DEFAULT ((UINT)-1)
#endif

// Mesh options: where the buffers live and the index size.
#define D3DXMESH_32BIT 0x001
#define D3DXMESH_VB_SYSTEMMEM 0x010
#define D3DXMESH_VB_MANAGED 0x020
#define D3DXMESH_IB_SYSTEMMEM 0x100
#define D3DXMESH_IB_MANAGED 0x200
#define D3DXMESH_SYSTEMMEM 0x110
#define D3DXMESH_MANAGED 0x220

#define D3DXMESHOPT_DEVICEINDEPENDENT 0x00400000
#define D3DXMESHOPT_COMPACT 0x01000000
#define D3DXMESHOPT_ATTRSORT 0x02000000
#define D3DXMESHOPT_VERTEXCACHE 0x04000000
#define D3DXMESHOPT_STRIPREORDER 0x08000000
#define D3DXMESHOPT_IGNOREVERTS 0x10000000
#define D3DXMESHOPT_DONOTSPLIT 0x20000000

#define MAX_FVF_DECL_SIZE (MAXD3DDECLLENGTH + 1)

typedef struct _D3DXATTRIBUTERANGE {
    DWORD AttribId;
    DWORD FaceStart;
    DWORD FaceCount;
    DWORD VertexStart;
    DWORD VertexCount;
} D3DXATTRIBUTERANGE;

typedef struct _D3DXMATERIAL {
    D3DMATERIAL9 MatD3D;
    LPSTR pTextureFilename;  // null when the material names no texture
} D3DXMATERIAL, *LPD3DXMATERIAL;

struct ID3DXBaseMesh : public IUnknown {
    virtual HRESULT DrawSubset(DWORD attribId) = 0;
    virtual DWORD GetNumFaces() = 0;
    virtual DWORD GetNumVertices() = 0;
    virtual DWORD GetFVF() = 0;  // 0 when the declaration has no FVF form
    virtual HRESULT GetDeclaration(D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]) = 0;
    virtual DWORD GetNumBytesPerVertex() = 0;
    virtual DWORD GetOptions() = 0;
    virtual HRESULT GetDevice(IDirect3DDevice9** device) = 0;
    virtual HRESULT CloneMeshFVF(DWORD options, DWORD fvf, IDirect3DDevice9* device, struct ID3DXMesh** cloneMesh) = 0;
    virtual HRESULT CloneMesh(DWORD options, const D3DVERTEXELEMENT9* declaration, IDirect3DDevice9* device,
                              struct ID3DXMesh** cloneMesh) = 0;
    virtual HRESULT LockVertexBuffer(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockVertexBuffer() = 0;
    virtual HRESULT LockIndexBuffer(DWORD flags, void** data) = 0;
    virtual HRESULT UnlockIndexBuffer() = 0;
    // With a null table returns the count only.
    virtual HRESULT GetAttributeTable(D3DXATTRIBUTERANGE* attribTable, DWORD* attribTableSize) = 0;
};

struct ID3DXMesh : public ID3DXBaseMesh {
    virtual HRESULT LockAttributeBuffer(DWORD flags, DWORD** data) = 0;
    virtual HRESULT UnlockAttributeBuffer() = 0;
    virtual HRESULT OptimizeInplace(DWORD flags, const DWORD* adjacencyIn, DWORD* adjacencyOut, DWORD* faceRemap,
                                    ID3DXBuffer** vertexRemap) = 0;
};

typedef ID3DXBaseMesh* LPD3DXBASEMESH;
typedef ID3DXMesh* LPD3DXMESH;

// Loads a text X file (every mesh in it merged into one). The vertices are
// position, normal and one 2D texture coordinate (D3DFVF_XYZ | D3DFVF_NORMAL |
// D3DFVF_TEX1); normals missing from the file are computed, missing texture
// coordinates are zero. Outputs: adjacency (3 DWORDs per face), materials (an
// array of D3DXMATERIAL), the material count and the mesh; subsets are the
// material indices. Effect instances are not supported: that output is set null.
HRESULT D3DXLoadMeshFromXA(LPCSTR filename, DWORD options, IDirect3DDevice9* device, ID3DXBuffer** adjacency,
                           ID3DXBuffer** materials, ID3DXBuffer** effectInstances, DWORD* numMaterials,
                           ID3DXMesh** mesh);
#define D3DXLoadMeshFromX D3DXLoadMeshFromXA

// Tangents (and binormals unless binormIndex is D3DX_DEFAULT) from texture
// coordinate set texStage, orthogonal to the normals.
HRESULT D3DXComputeTangent(ID3DXMesh* mesh, DWORD texStage, DWORD tangentIndex, DWORD binormIndex, DWORD wrap,
                           const DWORD* adjacency);
// Vertex normals from the faces (clockwise faces, left-handed).
HRESULT D3DXComputeNormals(ID3DXBaseMesh* mesh, const DWORD* adjacency);

HRESULT D3DXDeclaratorFromFVF(DWORD fvf, D3DVERTEXELEMENT9 declaration[MAX_FVF_DECL_SIZE]);
HRESULT D3DXFVFFromDeclarator(const D3DVERTEXELEMENT9* declaration, DWORD* fvf);
UINT D3DXGetDeclVertexSize(const D3DVERTEXELEMENT9* declaration, DWORD stream);
UINT D3DXGetDeclLength(const D3DVERTEXELEMENT9* declaration);
