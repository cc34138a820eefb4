#pragma once

#include <d3d9.h>
#include <d3dx9mesh.h>

// A model from an X file: a system-memory copy as loaded and prepared, and a
// device copy that is drawn, released before a device reset and rebuilt after.
class CMesh {
public:
    explicit CMesh(const char* name = "CD3DFile_Mesh");
    virtual ~CMesh();

    HRESULT Create(IDirect3DDevice9* device, const char* file, int declarationIndex);
    HRESULT RestoreDeviceObjects(IDirect3DDevice9* device);
    HRESULT InvalidateDeviceObjects();
    HRESULT Render(IDirect3DDevice9* device, bool opaque = true, bool alpha = true);

    const char* GetName() const { return m_Name; }
    DWORD GetNumMaterials() const { return m_NumMaterials; }
    ID3DXMesh* GetSysMemMesh() const { return m_pSysMemMesh; }
    ID3DXMesh* GetLocalMesh() const { return m_pLocalMesh; }
    int GetDeclarationIndex() const { return m_DeclarationIndex; }

private:
    ID3DXMesh* m_pSysMemMesh;
    ID3DXMesh* m_pLocalMesh;
    DWORD m_NumMaterials;
    D3DMATERIAL9* m_pMaterials;
    IDirect3DTexture9** m_pTextures;
    bool m_UseMaterials;
    int m_DeclarationIndex;
    char m_Name[512];
};
