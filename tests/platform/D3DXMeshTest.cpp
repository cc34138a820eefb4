#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <d3dx9mesh.h>

#include <cmath>
#include <cstring>
#include <string>

#include "support/DeviceSupport.h"

namespace {

class D3DXMeshTest : public testutil::DeviceTest {
protected:
    void SetUp() override {
        StartDevice(d3d9hooks::Backend::Null, testutil::WindowedPresent(64, 64));
        d3d9hooks::ClearCallLog();
    }

    static std::string Generated(const char* name) { return testutil::GameData(std::string("meshes/") + name); }

    ID3DXMesh* Load(const char* name, DWORD* materials = nullptr, ID3DXBuffer** adjacency = nullptr) {
        ID3DXMesh* mesh = nullptr;
        ID3DXBuffer* mtrl = nullptr;
        DWORD n = 0;
        HRESULT hr = D3DXLoadMeshFromXA(Generated(name).c_str(), D3DXMESH_SYSTEMMEM, m_dev, adjacency, &mtrl,
                                        nullptr, &n, &mesh);
        EXPECT_EQ(hr, D3D_OK) << name;
        if (mtrl) mtrl->Release();
        if (materials) *materials = n;
        return mesh;
    }

};

const D3DVERTEXELEMENT9 kWithTangents[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    {0, 32, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TANGENT, 0},
    {0, 44, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_BINORMAL, 0},
    D3DDECL_END()};

TEST_F(D3DXMeshTest, LoadsGeneratedBlockWithMaterialsAndAdjacency) {
    DWORD materials = 0;
    ID3DXBuffer* adjacency = nullptr;
    ID3DXMesh* mesh = Load("block_medium.x", &materials, &adjacency);
    ASSERT_TRUE(mesh);
    EXPECT_EQ(materials, 1u);
    EXPECT_EQ(mesh->GetFVF(), DWORD(D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX1));
    EXPECT_EQ(mesh->GetNumBytesPerVertex(), 32u);
    EXPECT_EQ(mesh->GetOptions(), DWORD(D3DXMESH_SYSTEMMEM));
    ASSERT_TRUE(adjacency);
    EXPECT_EQ(adjacency->GetBufferSize(), mesh->GetNumFaces() * 3 * sizeof(DWORD));
    // A closed surface: every edge has a neighbour face.
    const DWORD* adj = static_cast<const DWORD*>(adjacency->GetBufferPointer());
    for (DWORD i = 0; i < mesh->GetNumFaces() * 3; ++i) ASSERT_LT(adj[i], mesh->GetNumFaces()) << i;
    adjacency->Release();
    // A system-memory mesh owns no default-pool buffers.
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 0);
    mesh->Release();
}

TEST_F(D3DXMeshTest, LoadFailuresReturnTheirCodes) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("garbage.x"), "this is not a mesh");
    testutil::WriteFile(dir.file("bare.x"), "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n");
    const std::pair<const char*, HRESULT> cases[] = {
        {"missing.x", D3DERR_NOTFOUND}, {"garbage.x", D3DXERR_INVALIDDATA}, {"bare.x", D3DXERR_LOADEDMESHHASNODATA}};
    ID3DXMesh* mesh = nullptr;
    DWORD n = 7;
    for (const auto& c : cases) {
        EXPECT_EQ(D3DXLoadMeshFromXA(dir.file(c.first).c_str(), D3DXMESH_SYSTEMMEM, m_dev, nullptr, nullptr,
                                     nullptr, &n, &mesh),
                  c.second)
            << c.first;
        EXPECT_EQ(mesh, nullptr) << c.first;
        EXPECT_EQ(n, 7u) << c.first;
    }
    EXPECT_EQ(D3DXLoadMeshFromXA(nullptr, 0, m_dev, nullptr, nullptr, nullptr, &n, &mesh), D3DERR_INVALIDCALL);
}

TEST_F(D3DXMeshTest, MaterialsKeepColoursAndTextureNames) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("two.x"), R"(xof 0303txt 0032
Mesh { 4; 0;0;0;, 1;0;0;, 0;-1;0;, 1;-1;0;; 2; 3;0,1,2;, 3;1,3,2;;
 MeshMaterialList { 2; 2; 1, 0;;
  Material { 1;0;0;0.5;; 8; 0.5;0.5;0.5;; 0;0;0;; TextureFilename { "red.png"; } }
  Material { 0;1;0;1;; 4; 0;0;0;; 0.25;0;0;; }
 }
})");
    ID3DXMesh* mesh = nullptr;
    ID3DXBuffer* mtrl = nullptr;
    DWORD n = 0;
    ASSERT_EQ(D3DXLoadMeshFromXA(dir.file("two.x").c_str(), D3DXMESH_SYSTEMMEM, m_dev, nullptr, &mtrl, nullptr, &n,
                                 &mesh),
              D3D_OK);
    ASSERT_EQ(n, 2u);
    const D3DXMATERIAL* m = static_cast<const D3DXMATERIAL*>(mtrl->GetBufferPointer());
    EXPECT_FLOAT_EQ(m[0].MatD3D.Diffuse.a, 0.5f);
    EXPECT_FLOAT_EQ(m[0].MatD3D.Power, 8.f);
    EXPECT_STREQ(m[0].pTextureFilename, "red.png");
    EXPECT_EQ(m[1].pTextureFilename, nullptr);
    EXPECT_FLOAT_EQ(m[1].MatD3D.Emissive.r, 0.25f);
    mtrl->Release();

    // Before sorting there is no attribute table; sorting makes one per material.
    DWORD size = 9;
    mesh->GetAttributeTable(nullptr, &size);
    EXPECT_EQ(size, 0u);
    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_COMPACT | D3DXMESHOPT_ATTRSORT | D3DXMESHOPT_VERTEXCACHE, nullptr,
                                    nullptr, nullptr, nullptr),
              D3D_OK);
    D3DXATTRIBUTERANGE table[2];
    mesh->GetAttributeTable(nullptr, &size);
    ASSERT_EQ(size, 2u);
    mesh->GetAttributeTable(table, &size);
    EXPECT_EQ(table[0].AttribId, 0u);
    EXPECT_EQ(table[0].FaceStart, 0u);
    EXPECT_EQ(table[1].AttribId, 1u);
    EXPECT_EQ(table[1].FaceStart, 1u);
    DWORD* attributes = nullptr;
    mesh->LockAttributeBuffer(0, &attributes);
    EXPECT_EQ(attributes[0], 0u);
    EXPECT_EQ(attributes[1], 1u);
    mesh->UnlockAttributeBuffer();
    mesh->Release();
}

TEST_F(D3DXMeshTest, CloneConvertsLayoutAndTangentsAreOrthonormal) {
    ID3DXMesh* mesh = Load("block_high.x");
    ASSERT_TRUE(mesh);
    ID3DXMesh* clone = nullptr;
    ASSERT_EQ(mesh->CloneMesh(D3DXMESH_SYSTEMMEM, kWithTangents, m_dev, &clone), D3D_OK);
    EXPECT_EQ(clone->GetNumBytesPerVertex(), 56u);
    EXPECT_EQ(clone->GetFVF(), 0u);  // tangents have no FVF form
    float* v = nullptr;
    ASSERT_EQ(clone->LockVertexBuffer(0, reinterpret_cast<void**>(&v)), D3D_OK);
    float* src = nullptr;
    mesh->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&src));
    // Position, normal and uv carried over; the new tangent and binormal are zero.
    EXPECT_EQ(memcmp(v, src, 32), 0);
    for (int i = 8; i < 14; ++i) EXPECT_EQ(v[i], 0.f);
    mesh->UnlockVertexBuffer();
    clone->UnlockVertexBuffer();

    ASSERT_EQ(D3DXComputeTangent(clone, 0, 0, 0, 1, nullptr), D3D_OK);
    clone->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
    for (DWORD k = 0; k < clone->GetNumVertices(); ++k) {
        const float* n = v + k * 14 + 3;
        const float* t = v + k * 14 + 8;
        const float* b = v + k * 14 + 11;
        EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.f, 1e-4);
        EXPECT_NEAR(b[0] * b[0] + b[1] * b[1] + b[2] * b[2], 1.f, 1e-4);
        EXPECT_NEAR(n[0] * t[0] + n[1] * t[1] + n[2] * t[2], 0.f, 1e-4);
        EXPECT_NEAR(t[0] * b[0] + t[1] * b[1] + t[2] * b[2], 0.f, 1e-4);
    }
    clone->UnlockVertexBuffer();
    // Missing texture coordinates make tangents impossible.
    ID3DXMesh* noUv = nullptr;
    ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, D3DFVF_XYZ | D3DFVF_NORMAL, m_dev, &noUv), D3D_OK);
    EXPECT_EQ(D3DXComputeTangent(noUv, 0, 0, 0, 1, nullptr), D3DERR_INVALIDCALL);
    noUv->Release();
    clone->Release();
    mesh->Release();
}

TEST_F(D3DXMeshTest, ComputeNormalsPointOutwards) {
    ID3DXMesh* mesh = Load("sphere.x");
    ASSERT_TRUE(mesh);
    ID3DXMesh* clone = nullptr;
    DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE2(0) | D3DFVF_TEXCOORDSIZE3(1);
    ASSERT_EQ(mesh->CloneMeshFVF(D3DXMESH_SYSTEMMEM, fvf, m_dev, &clone), D3D_OK);
    EXPECT_EQ(clone->GetNumBytesPerVertex(), 44u);
    EXPECT_EQ(clone->GetFVF(), fvf);
    float* v = nullptr;
    clone->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
    for (DWORD k = 0; k < clone->GetNumVertices(); ++k) v[k * 11 + 3] = v[k * 11 + 4] = v[k * 11 + 5] = 0;
    clone->UnlockVertexBuffer();
    ASSERT_EQ(D3DXComputeNormals(clone, nullptr), D3D_OK);
    clone->LockVertexBuffer(0, reinterpret_cast<void**>(&v));
    int outward = 0;
    for (DWORD k = 0; k < clone->GetNumVertices(); ++k) {
        const float* p = v + k * 11;
        if (p[0] * p[3] + p[1] * p[4] + p[2] * p[5] > 0) ++outward;
    }
    clone->UnlockVertexBuffer();
    // Pole vertices of a UV sphere touch only degenerate faces and may stay zero.
    EXPECT_GT(outward, int(clone->GetNumVertices()) * 9 / 10);
    clone->Release();
    mesh->Release();
}

TEST_F(D3DXMeshTest, DeviceCopyLivesInDefaultPoolAndDrawsSubsets) {
    ID3DXMesh* mesh = Load("saw.x");  // two subsets: blade and hub
    ASSERT_TRUE(mesh);
    ASSERT_EQ(mesh->OptimizeInplace(D3DXMESHOPT_ATTRSORT, nullptr, nullptr, nullptr, nullptr), D3D_OK);
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    mesh->GetDeclaration(decl);
    ID3DXMesh* device = nullptr;
    ASSERT_EQ(mesh->CloneMesh(0, decl, m_dev, &device), D3D_OK);
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 2);  // vertex and index buffer
    D3DXATTRIBUTERANGE table[2];
    DWORD size = 2;
    ASSERT_EQ(device->GetAttributeTable(table, &size), D3D_OK);
    ASSERT_EQ(size, 2u);

    IDirect3DVertexDeclaration9* vd = nullptr;
    ASSERT_EQ(m_dev->CreateVertexDeclaration(decl, &vd), D3D_OK);
    m_dev->SetVertexDeclaration(vd);
    m_dev->BeginScene();
    d3d9hooks::ClearCallLog();
    ASSERT_EQ(device->DrawSubset(1), D3D_OK);
    auto draws = d3d9hooks::CallsStartingWith("DrawIndexedPrimitive(");
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_NE(draws[0].find(std::to_string(table[1].FaceCount)), std::string::npos) << draws[0];
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetStreamSource(").size(), 1u);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetIndices(").size(), 1u);
    d3d9hooks::ClearCallLog();
    EXPECT_EQ(device->DrawSubset(5), D3D_OK);  // no such subset: nothing drawn
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("DrawIndexedPrimitive").empty());
    m_dev->EndScene();
    m_dev->SetVertexDeclaration(nullptr);
    vd->Release();

    device->Release();
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 0);
    mesh->Release();
}

TEST_F(D3DXMeshTest, LargeMeshesUse32BitIndicesAlsoWhenCloned) {
    // 70 002 separate vertices: more than 16-bit indices can address.
    const int triangles = 23334;
    std::string text = "xof 0303txt 0032\nMesh {\n" + std::to_string(triangles * 3) + ";\n";
    for (int t = 0; t < triangles; ++t) {
        std::string x = std::to_string(t);
        text += x + ";0;0;, " + x + ";1;0;, " + x + ".5;0;1;,\n";
    }
    text += ";\n" + std::to_string(triangles) + ";\n";
    for (int t = 0; t < triangles; ++t)
        text += "3;" + std::to_string(3 * t) + "," + std::to_string(3 * t + 1) + "," + std::to_string(3 * t + 2) + ";,\n";
    text += "; MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } } }\n";
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("big.x"), text);
    ID3DXMesh* mesh = nullptr;
    ASSERT_EQ(D3DXLoadMeshFromXA(dir.file("big.x").c_str(), D3DXMESH_SYSTEMMEM, m_dev, nullptr, nullptr, nullptr,
                                 nullptr, &mesh),
              D3D_OK);
    EXPECT_EQ(mesh->GetNumVertices(), DWORD(triangles * 3));
    EXPECT_TRUE(mesh->GetOptions() & D3DXMESH_32BIT);
    DWORD* indices = nullptr;
    ASSERT_EQ(mesh->LockIndexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&indices)), D3D_OK);
    EXPECT_EQ(indices[triangles * 3 - 1], DWORD(triangles * 3 - 1));
    mesh->UnlockIndexBuffer();
    // The device copy is made with options 0, as a restore does.
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    mesh->GetDeclaration(decl);
    ID3DXMesh* device = nullptr;
    d3d9hooks::ClearCallLog();
    ASSERT_EQ(mesh->CloneMesh(0, decl, m_dev, &device), D3D_OK);
    EXPECT_TRUE(device->GetOptions() & D3DXMESH_32BIT);
    auto created = d3d9hooks::CallsStartingWith("CreateIndexBuffer(");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_NE(created[0].find("D3DFMT_INDEX32"), std::string::npos) << created[0];
    device->Release();
    mesh->Release();
}

TEST(D3DXDeclTest, FvfAndDeclarationsConvertBothWays) {
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    DWORD fvf = D3DFVF_XYZ | D3DFVF_NORMAL | D3DFVF_TEX2 | D3DFVF_TEXCOORDSIZE2(0) | D3DFVF_TEXCOORDSIZE3(1);
    ASSERT_EQ(D3DXDeclaratorFromFVF(fvf, decl), D3D_OK);
    ASSERT_EQ(D3DXGetDeclLength(decl), 4u);
    EXPECT_EQ(decl[3].Offset, 32);
    EXPECT_EQ(decl[3].Type, D3DDECLTYPE_FLOAT3);
    EXPECT_EQ(decl[3].UsageIndex, 1);
    EXPECT_EQ(D3DXGetDeclVertexSize(decl, 0), 44u);
    DWORD back = 0;
    ASSERT_EQ(D3DXFVFFromDeclarator(decl, &back), D3D_OK);
    EXPECT_EQ(back, fvf);

    ASSERT_EQ(D3DXDeclaratorFromFVF(D3DFVF_XYZ | D3DFVF_PSIZE | D3DFVF_DIFFUSE, decl), D3D_OK);
    EXPECT_EQ(D3DXGetDeclVertexSize(decl, 0), 20u);  // the point-sprite vertex
    EXPECT_EQ(decl[2].Usage, D3DDECLUSAGE_COLOR);
    EXPECT_EQ(decl[2].Type, D3DDECLTYPE_D3DCOLOR);
    EXPECT_EQ(D3DXFVFFromDeclarator(kWithTangents, &back), D3DERR_INVALIDCALL);
}

}  // namespace
