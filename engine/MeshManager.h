#pragma once

#include <d3d9.h>

#include <vector>

#include "engine/Mesh.h"
#include "engine/Singleton.h"

// Loads the game's meshes from X files and keeps them for the whole run;
// owns the three mesh vertex layouts.
class CMeshManager : public CSingleton<CMeshManager> {
public:
    CMeshManager();
    virtual ~CMeshManager();

    bool SetMeshPath(const char* path);
    bool LoadMesh(CMesh** out, const char* name, int declarationIndex);
    bool InvalidateMeshes();
    bool RestoreMeshes();
    // Sets declaration 0, 1 or 2 on the device unless it is already set.
    void SetVertexDeclaration(int index);
    // Someone else set a declaration: the next mesh render sets its own again.
    void ForgetVertexDeclaration();

    const char* GetMeshPath() const { return m_MeshPath; }
    size_t GetMeshCount() const { return m_Meshes.size(); }

    // The element lists of the three layouts (vertex sizes 32, 56 and 44).
    static const D3DVERTEXELEMENT9* GetDeclarationElements(int index);

private:
    char m_MeshPath[MAX_PATH];
    std::vector<CMesh*> m_Meshes;
};

// The device the mesh and shader managers work on: the engine's, unless a
// test has given its own.
IDirect3DDevice9* ManagerDevice();
