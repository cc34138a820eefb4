#pragma once

#include <d3d9.h>

// A vertex declaration owned by the shader manager; shared by content.
class CVertexDeclaration {
public:
    static const int kMaxElements = 256;

    CVertexDeclaration();
    ~CVertexDeclaration();

    D3DVERTEXELEMENT9 m_Elements[kMaxElements];
    IDirect3DVertexDeclaration9* m_pDeclaration;
};
