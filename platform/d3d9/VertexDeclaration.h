// Vertex declarations, and the one place FVF codes become declarations.
#pragma once

#include <vector>

#include "DeviceObject.h"

namespace d3d9 {

// The declaration an FVF code stands for (end marker included) and its
// stride; false for codes Direct3D refuses (see D3D9DeclarationFromFvf).
bool DeclarationFromFvf(DWORD fvf, std::vector<D3DVERTEXELEMENT9>* elements, UINT* stride);
// Size in bytes of one element type, 0 for unknown types.
UINT DeclTypeSize(BYTE type);

class CVertexDeclaration final : public platform::ComObject<IDirect3DVertexDeclaration9, CDeviceObject> {
public:
    // elements end with the D3DDECL_END marker; fvf is the code it was made
    // from (0 for a declaration made by the game).
    CVertexDeclaration(CDevice* device, std::vector<D3DVERTEXELEMENT9> elements, DWORD fvf)
        : ComObject(device, D3DPOOL_MANAGED, "decl"), m_elements(std::move(elements)), m_fvf(fvf) {}
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* numElements) override;

    const std::vector<D3DVERTEXELEMENT9>& Elements() const { return m_elements; }  // with the end marker
    DWORD Fvf() const { return m_fvf; }
    bool HasUsage(BYTE usage, BYTE index = 0) const;

private:
    std::vector<D3DVERTEXELEMENT9> m_elements;
    DWORD m_fvf;
};

}  // namespace d3d9
