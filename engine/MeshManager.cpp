#include "engine/MeshManager.h"

#include <dxerr9.h>
#include <managerhooks.h>

#include <cstdio>
#include <new>
#include <string>

#include "engine/GraphicsEngine.h"
#include "engine/Loading.h"
#include "engine/Log.h"

namespace {

const D3DVERTEXELEMENT9 kDeclaration0[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};
const D3DVERTEXELEMENT9 kDeclaration1[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    {0, 32, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TANGENT, 0},
    {0, 44, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BINORMAL, 0},
    D3DDECL_END()};
const D3DVERTEXELEMENT9 kDeclaration2[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    {0, 32, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1},
    D3DDECL_END()};
const D3DVERTEXELEMENT9* const kDeclarations[3] = {kDeclaration0, kDeclaration1, kDeclaration2};

IDirect3DDevice9* g_TestDevice = nullptr;

}  // namespace

// The three mesh layouts and the one last set on the device (-1: none).
IDirect3DVertexDeclaration9** g_pMeshDeclarations = nullptr;
int g_LastMeshDeclaration = -1;

namespace managerhooks {
void SetTestDevice(IDirect3DDevice9* device) { g_TestDevice = device; }
}  // namespace managerhooks

IDirect3DDevice9* ManagerDevice() {
    if (g_TestDevice) return g_TestDevice;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    return engine ? engine->GetDevice() : nullptr;
}

const D3DVERTEXELEMENT9* CMeshManager::GetDeclarationElements(int index) {
    return index >= 0 && index < 3 ? kDeclarations[index] : nullptr;
}

CMeshManager::CMeshManager() {
    g_Log.Print("blue", "Initializing mesh manager");
    m_MeshPath[0] = '\0';
    g_pMeshDeclarations = new IDirect3DVertexDeclaration9*[3]();
    g_LastMeshDeclaration = -1;
    IDirect3DDevice9* device = ManagerDevice();
    for (int i = 0; i < 3; ++i) {
        if (!device || FAILED(device->CreateVertexDeclaration(kDeclarations[i], &g_pMeshDeclarations[i]))) {
            g_pMeshDeclarations[i] = nullptr;
            return;
        }
    }
    g_Log.Print("green", "Complete");
}

CMeshManager::~CMeshManager() {
    g_Log.Print("blue", "Destroying mesh manager");
    g_Log.Print("blue", "Unloading meshes:");
    for (CMesh* mesh : m_Meshes) {
        g_Log.Print("darkgray", "unloading mesh: (%s) - complete.", mesh->GetName());
        delete mesh;
    }
    for (int i = 0; i < 3; ++i)
        if (g_pMeshDeclarations[i]) g_pMeshDeclarations[i]->Release();
    delete[] g_pMeshDeclarations;
    g_pMeshDeclarations = nullptr;
    g_LastMeshDeclaration = -1;
    m_Meshes.clear();
    g_Log.Print("green", "unloading complete");
    g_Log.Print("green", "Destroying complete");
}

bool CMeshManager::SetMeshPath(const char* path) {
    g_Log.Print("blue", "Setting mesh path:");
    if (!path) {
        g_Log.PrintBold("red", "Error, path-string is empty !");
        return false;
    }
    snprintf(m_MeshPath, sizeof m_MeshPath, "%s", path);
    g_Log.Print("darkgray", "path = %s", m_MeshPath);
    g_Log.Print("green", "Complete");
    return true;
}

bool CMeshManager::LoadMesh(CMesh** out, const char* name, int declarationIndex) {
    CountLoadedResource();
    if (!name) {
        g_Log.PrintBold("red", "Couldn't load mesh, becouse file string is empty !");
        return false;
    }
    CMesh* mesh = new (std::nothrow) CMesh("CD3DFile_Mesh");
    if (!mesh) {
        g_Log.PrintBold("red", "Couldn't create mesh object for (%s) object!", name);
        return false;
    }
    const std::string full = std::string(m_MeshPath) + "\\" + name;  // whole, however long
    const char* fullPath = full.c_str();
    if (declarationIndex < 0 || declarationIndex > 2) {
        // Only three layouts exist; anything else cannot be drawn.
        g_Log.PrintBold("red", "Couldn't load mesh: (%s); code = %s", fullPath, DXGetErrorString9(E_INVALIDARG));
        delete mesh;
        return false;
    }
    IDirect3DDevice9* device = ManagerDevice();
    HRESULT hr = mesh->Create(device, fullPath, declarationIndex);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Couldn't load mesh: (%s); code = %s", fullPath, DXGetErrorString9(hr));
        delete mesh;
        return false;
    }
    hr = mesh->RestoreDeviceObjects(device);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "Couldn't restore device objects for mesh: (%s); code = %s", fullPath,
                        DXGetErrorString9(hr));
        delete mesh;
        return false;
    }
    m_Meshes.push_back(mesh);
    if (out) *out = mesh;
    g_Log.Print("darkgray", "Loading mesh: (%s) complete.", fullPath);
    return true;
}

bool CMeshManager::InvalidateMeshes() {
    g_Log.Print("blue", "Invalidating meshes:");
    for (CMesh* mesh : m_Meshes) {
        g_Log.Print("darkgray", "Invalidating mesh: (%s) - complete.", mesh->GetName());
        mesh->InvalidateDeviceObjects();
    }
    g_Log.Print("green", "Invalidating complete");
    return true;
}

bool CMeshManager::RestoreMeshes() {
    g_Log.Print("blue", "Restoring meshes:");
    IDirect3DDevice9* device = ManagerDevice();
    for (CMesh* mesh : m_Meshes) {
        HRESULT hr = mesh->RestoreDeviceObjects(device);
        if (FAILED(hr)) {
            g_Log.PrintBold("red", "Error: loading mesh: (%s) - failed. Code = %s", mesh->GetName(),
                            DXGetErrorString9(hr));
            return false;
        }
        g_Log.Print("darkgray", "Loading mesh: (%s) - complete.", mesh->GetName());
    }
    g_Log.Print("green", "Restoring complete");
    return true;
}

void CMeshManager::SetVertexDeclaration(int index) {
    if (index < 0 || index > 2 || !g_pMeshDeclarations || !g_pMeshDeclarations[index]) return;
    IDirect3DDevice9* device = ManagerDevice();
    if (!device) return;
    if (index == g_LastMeshDeclaration) {
        // Other code may have set its own declaration directly on the device.
        IDirect3DVertexDeclaration9* current = nullptr;
        if (SUCCEEDED(device->GetVertexDeclaration(&current)) && current) current->Release();
        if (current == g_pMeshDeclarations[index]) return;
    }
    device->SetVertexDeclaration(g_pMeshDeclarations[index]);
    g_LastMeshDeclaration = index;
}

void CMeshManager::ForgetVertexDeclaration() { g_LastMeshDeclaration = -1; }
