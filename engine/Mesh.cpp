#include "engine/Mesh.h"

#include <d3dx9tex.h>

#include <cstdio>
#include <cstring>
#include <new>

#include "engine/DXUtil.h"
#include "engine/Log.h"
#include "engine/MeshManager.h"

CMesh::CMesh(const char* name)
    : m_pSysMemMesh(nullptr),
      m_pLocalMesh(nullptr),
      m_NumMaterials(0),
      m_pMaterials(nullptr),
      m_pTextures(nullptr),
      m_UseMaterials(false),
      m_DeclarationIndex(0) {
    snprintf(m_Name, sizeof m_Name, "%s", name ? name : "");
}

CMesh::~CMesh() {
    InvalidateDeviceObjects();
    for (DWORD i = 0; m_pTextures && i < m_NumMaterials; ++i)
        if (m_pTextures[i]) m_pTextures[i]->Release();
    delete[] m_pTextures;
    delete[] m_pMaterials;
    if (m_pSysMemMesh) m_pSysMemMesh->Release();
    m_pSysMemMesh = nullptr;
    m_NumMaterials = 0;
}

HRESULT CMesh::Create(IDirect3DDevice9* device, const char* file, int declarationIndex) {
    m_DeclarationIndex = declarationIndex;
    // A file found nowhere keeps its whole name, and the load below fails on
    // it; a name cut to the buffer could open some other file.
    const char* path = file ? file : "";
    char found[MAX_PATH];
    if (file && SUCCEEDED(FindMediaFile(found, sizeof found, file))) path = found;

    ID3DXBuffer* adjacency = nullptr;
    ID3DXBuffer* materials = nullptr;
    HRESULT hr = D3DXLoadMeshFromXA(path, D3DXMESH_SYSTEMMEM, device, &adjacency, &materials, nullptr,
                                    &m_NumMaterials, &m_pSysMemMesh);
    if (FAILED(hr)) {
        g_Log.PrintBold("red", "D3DXLoadMeshFromX");
        m_NumMaterials = 0;
        return hr;
    }
    auto releaseBuffers = [&]() {
        if (adjacency) adjacency->Release();
        if (materials) materials->Release();
        adjacency = materials = nullptr;
    };

    if (declarationIndex == 1) {
        ID3DXMesh* temp = nullptr;
        hr = m_pSysMemMesh->CloneMesh(D3DXMESH_SYSTEMMEM, CMeshManager::GetDeclarationElements(1), device, &temp);
        if (FAILED(hr)) {
            releaseBuffers();
            g_Log.PrintBold("red", "CloneMesh1");
            return hr;
        }
        hr = D3DXComputeTangent(temp, 0, 0, 0, 1, nullptr);
        if (FAILED(hr)) {
            temp->Release();
            releaseBuffers();
            g_Log.PrintBold("red", "D3DXComputeTangent");
            return hr;
        }
        m_pSysMemMesh->Release();
        m_pSysMemMesh = nullptr;
        hr = temp->CloneMesh(D3DXMESH_SYSTEMMEM, CMeshManager::GetDeclarationElements(1), device, &m_pSysMemMesh);
        temp->Release();
        if (FAILED(hr)) {
            m_pSysMemMesh = nullptr;
            releaseBuffers();
            g_Log.PrintBold("red", "CloneMesh2");
            return hr;
        }
    } else if (declarationIndex == 2) {
        const DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE2(0) | D3DFVF_TEXCOORDSIZE3(1);
        ID3DXMesh* sysClone = nullptr;
        if (SUCCEEDED(m_pSysMemMesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, fvf, device, &sysClone))) {
            ID3DXMesh* localClone = nullptr;
            bool ok = true;
            if (m_pLocalMesh && FAILED(m_pLocalMesh->CloneMeshFVF(0, fvf, device, &localClone))) ok = false;
            if (!ok) {
                sysClone->Release();
            } else {
                m_pSysMemMesh->Release();
                m_pSysMemMesh = sysClone;
                D3DXComputeNormals(m_pSysMemMesh, nullptr);
                if (localClone) {
                    m_pLocalMesh->Release();
                    m_pLocalMesh = localClone;
                    D3DXComputeNormals(m_pLocalMesh, nullptr);
                }
            }
        }
    }

    hr = m_pSysMemMesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE,
                                        adjacency ? static_cast<DWORD*>(adjacency->GetBufferPointer()) : nullptr,
                                        nullptr, nullptr, nullptr);
    if (FAILED(hr)) {
        releaseBuffers();
        g_Log.PrintBold("red", "OptimizeInplace");
        return hr;
    }

    if (materials && m_NumMaterials > 0) {
        const D3DXMATERIAL* src = static_cast<const D3DXMATERIAL*>(materials->GetBufferPointer());
        m_pMaterials = new (std::nothrow) D3DMATERIAL9[m_NumMaterials];
        m_pTextures = new (std::nothrow) IDirect3DTexture9*[m_NumMaterials];
        if (!m_pMaterials || !m_pTextures) {
            delete[] m_pMaterials;
            delete[] m_pTextures;
            m_pMaterials = nullptr;
            m_pTextures = nullptr;
            hr = E_OUTOFMEMORY;
        } else {
            for (DWORD i = 0; i < m_NumMaterials; ++i) {
                m_pMaterials[i] = src[i].MatD3D;
                m_pTextures[i] = nullptr;
                if (src[i].pTextureFilename && src[i].pTextureFilename[0]) {
                    char name[MAX_PATH];
                    snprintf(name, sizeof name, "%s", src[i].pTextureFilename);
                    char texturePath[MAX_PATH];
                    if (FAILED(FindMediaFile(texturePath, sizeof texturePath, name)))
                        snprintf(texturePath, sizeof texturePath, "%s", name);
                    if (FAILED(D3DXCreateTextureFromFileA(device, texturePath, &m_pTextures[i])))
                        m_pTextures[i] = nullptr;
                }
            }
        }
    }
    releaseBuffers();
    // The name is the path the mesh was asked for, as the load line shows it.
    snprintf(m_Name, sizeof m_Name, "%s", file ? file : "");
    return hr;
}

HRESULT CMesh::RestoreDeviceObjects(IDirect3DDevice9* device) {
    if (!m_pSysMemMesh) return E_FAIL;
    InvalidateDeviceObjects();
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    if (FAILED(m_pSysMemMesh->GetDeclaration(decl))) return E_FAIL;
    if (FAILED(m_pSysMemMesh->CloneMesh(0, decl, device, &m_pLocalMesh))) {
        m_pLocalMesh = nullptr;
        return E_FAIL;
    }
    return S_OK;
}

HRESULT CMesh::InvalidateDeviceObjects() {
    if (m_pLocalMesh) m_pLocalMesh->Release();
    m_pLocalMesh = nullptr;
    return S_OK;
}

HRESULT CMesh::Render(IDirect3DDevice9* device, bool opaque, bool alpha) {
    if (!m_pLocalMesh) return E_FAIL;
    CMeshManager::GetInstance()->SetVertexDeclaration(m_DeclarationIndex);
    if (opaque) {
        for (DWORD i = 0; i < m_NumMaterials; ++i) {
            if (m_UseMaterials) {
                if (m_pMaterials[i].Diffuse.a < 1.0f) continue;
                device->SetMaterial(&m_pMaterials[i]);
                device->SetTexture(0, m_pTextures[i]);
            }
            m_pLocalMesh->DrawSubset(i);
        }
    }
    if (alpha && m_UseMaterials) {
        for (DWORD i = 0; i < m_NumMaterials; ++i) {
            if (m_pMaterials[i].Diffuse.a == 1.0f) continue;
            device->SetMaterial(&m_pMaterials[i]);
            device->SetTexture(0, m_pTextures[i]);
            m_pLocalMesh->DrawSubset(i);
        }
    }
    return S_OK;
}
