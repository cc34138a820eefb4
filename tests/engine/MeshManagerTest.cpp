#include <gtest/gtest.h>

#include <d3d9hooks.h>

#include <managerhooks.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include "engine/Loading.h"
#include "engine/Log.h"
#include "engine/MeshManager.h"
#include "engine/ShaderManager.h"
#include "support/DeviceSupport.h"
#include "support/EngineSupport.h"

namespace {

using testutil::LogTail;

class MeshManagerTest : public testutil::DeviceTest {
protected:
    void SetUp() override {
        StartDevice(d3d9hooks::Backend::Null, testutil::WindowedPresent(64, 64));
        if (!m_dev) return;
        managerhooks::SetTestDevice(m_dev);
        m_dev->BeginScene();
    }
    void TearDown() override {
        if (m_dev) m_dev->EndScene();
        m_Singletons.Now();
        managerhooks::SetTestDevice(nullptr);
        if (m_dev) {
            EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 0);
        }
        testutil::DeviceTest::TearDown();
    }

    CMeshManager* Manager() {
        CMeshManager* m = CMeshManager::GetInstance();
        m->SetMeshPath(m_meshes.c_str());
        return m;
    }

    const std::string m_meshes = testutil::GameData("meshes");
    enginescope::Sweep m_Singletons;
};

TEST_F(MeshManagerTest, LoadsBlocksWithSubsetsAndTangents) {
    LogTail log;
    CMeshManager* manager = Manager();
    CMesh* plain = nullptr;
    CMesh* lit = nullptr;
    int before = g_LoadedResources;
    ASSERT_TRUE(manager->LoadMesh(&plain, "block_low.x", 0));
    ASSERT_TRUE(manager->LoadMesh(&lit, "block_low.x", 1));
    // No sharing: the same file twice makes two meshes, counted and logged twice.
    EXPECT_NE(plain, lit);
    EXPECT_EQ(g_LoadedResources, before + 2);
    EXPECT_EQ(manager->GetMeshCount(), 2u);
    std::string fullPath = m_meshes + "\\block_low.x";
    EXPECT_EQ(log.Count("Loading mesh: (" + fullPath + ") complete."), 2);
    EXPECT_EQ(log.Count("Initializing mesh manager"), 1);

    EXPECT_EQ(plain->GetNumMaterials(), 1u);
    EXPECT_EQ(plain->GetSysMemMesh()->GetNumBytesPerVertex(), 32u);
    ID3DXMesh* sys = lit->GetSysMemMesh();
    ASSERT_EQ(sys->GetNumBytesPerVertex(), 56u);
    D3DXATTRIBUTERANGE range;
    DWORD size = 1;
    ASSERT_EQ(sys->GetAttributeTable(&range, &size), D3D_OK);
    EXPECT_EQ(size, 1u);
    EXPECT_EQ(range.FaceCount, sys->GetNumFaces());
    // Declaration 1 carries unit tangents.
    float* v = nullptr;
    sys->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&v));
    for (DWORD k = 0; k < sys->GetNumVertices(); ++k) {
        const float* t = v + k * 14 + 8;
        EXPECT_NEAR(t[0] * t[0] + t[1] * t[1] + t[2] * t[2], 1.f, 1e-4);
    }
    sys->UnlockVertexBuffer();
    // The mesh name is the full path after a load.
    EXPECT_NE(std::string(lit->GetName()).find("block_low.x"), std::string::npos);
}

// The vertices keep their place and first texture set and get unit normals;
// a three-component second set follows them.
TEST_F(MeshManagerTest, DeclarationTwoAddsASecondTextureSet) {
    CMeshManager* manager = Manager();
    CMesh* plain = nullptr;
    CMesh* mesh = nullptr;
    ASSERT_TRUE(manager->LoadMesh(&plain, "sphere.x", 0));
    ASSERT_TRUE(manager->LoadMesh(&mesh, "sphere.x", 2));
    ID3DXMesh* sys = mesh->GetSysMemMesh();
    ID3DXMesh* base = plain->GetSysMemMesh();
    ASSERT_EQ(sys->GetNumBytesPerVertex(), 44u);
    EXPECT_EQ(mesh->GetLocalMesh()->GetNumBytesPerVertex(), 44u);
    D3DVERTEXELEMENT9 decl[MAX_FVF_DECL_SIZE];
    ASSERT_EQ(sys->GetDeclaration(decl), D3D_OK);
    std::vector<std::tuple<int, int, int>> texcoords;  // usage index, offset, type
    for (const D3DVERTEXELEMENT9* e = decl; e->Stream != 0xFF; ++e)
        if (e->Usage == D3DDECLUSAGE_TEXCOORD) texcoords.emplace_back(e->UsageIndex, e->Offset, e->Type);
    EXPECT_EQ(texcoords, (std::vector<std::tuple<int, int, int>>{{0, 24, D3DDECLTYPE_FLOAT2}, {1, 32, D3DDECLTYPE_FLOAT3}}));

    ASSERT_EQ(sys->GetNumVertices(), base->GetNumVertices());
    float* v = nullptr;
    float* b = nullptr;
    sys->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&v));
    base->LockVertexBuffer(D3DLOCK_READONLY, reinterpret_cast<void**>(&b));
    for (DWORD k = 0; k < sys->GetNumVertices(); ++k) {
        const float *p = v + k * 11, *q = b + k * 8;
        for (int i : {0, 1, 2, 6, 7}) EXPECT_FLOAT_EQ(p[i], q[i]) << "vertex " << k << " float " << i;
        EXPECT_NEAR(p[3] * p[3] + p[4] * p[4] + p[5] * p[5], 1.0f, 1e-4f) << "vertex " << k;
    }
    sys->UnlockVertexBuffer();
    base->UnlockVertexBuffer();
}

TEST_F(MeshManagerTest, BadFilesFailWithTheirErrorNames) {
    testutil::TempDir dir;
    testutil::WriteFile(dir.file("garbage.x"), "xof 0303txt 0032\nMesh { 3; 1;2;");
    testutil::WriteFile(dir.file("nomaterial.x"),
                        "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n");
    testutil::WriteFile(dir.file("counts.x"), "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 2; 3;0,1,2;; "
                                              "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; "
                                              "0;0;0;; } } }\n");
    CMeshManager* manager = CMeshManager::GetInstance();
    manager->SetMeshPath(dir.path().c_str());
    LogTail log;
    CMesh* untouched = reinterpret_cast<CMesh*>(0x1234);
    int before = g_LoadedResources;
    EXPECT_FALSE(manager->LoadMesh(&untouched, "missing.x", 0));
    EXPECT_FALSE(manager->LoadMesh(&untouched, "garbage.x", 0));
    EXPECT_FALSE(manager->LoadMesh(&untouched, "nomaterial.x", 1));
    EXPECT_FALSE(manager->LoadMesh(&untouched, "counts.x", 0));
    EXPECT_FALSE(manager->LoadMesh(&untouched, nullptr, 0));
    EXPECT_FALSE(manager->LoadMesh(&untouched, "garbage.x", 7));
    EXPECT_EQ(untouched, reinterpret_cast<CMesh*>(0x1234));
    EXPECT_EQ(g_LoadedResources, before + 6);  // failures advance the loading screen too
    EXPECT_EQ(manager->GetMeshCount(), 0u);
    EXPECT_EQ(log.Count("Couldn't load mesh: (" + dir.path() + "\\missing.x); code = D3DERR_NOTFOUND"), 1);
    EXPECT_EQ(log.Count("Couldn't load mesh: (" + dir.path() + "\\garbage.x); code = D3DXERR_INVALIDDATA"), 1);
    EXPECT_EQ(log.Count("Couldn't load mesh: (" + dir.path() + "\\counts.x); code = D3DXERR_INVALIDDATA"), 1);
    EXPECT_EQ(log.Count("Couldn't load mesh: (" + dir.path() + "\\nomaterial.x); code = D3DXERR_LOADEDMESH"), 1);
    EXPECT_EQ(log.Count("Couldn't load mesh, becouse file string is empty !"), 1);
    EXPECT_EQ(log.Count("D3DXLoadMeshFromX"), 4);
}

// Material textures are looked up by their bare names (current folder first);
// one that cannot be found leaves its subset untextured and the load goes on.
// The mesh keeps the path it was asked for as its name, as the game's
// relative mesh folder gives it.
TEST_F(MeshManagerTest, MaterialTexturesLoadWhereFoundAndAreSkippedOtherwise) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    ASSERT_TRUE(d3d9hooks::WritePng(dir.file("found.png"), std::vector<DWORD>(4 * 4, 0xFF808080u), 4, 4));
    std::filesystem::create_directories(dir.file("meshes"));
    testutil::WriteFile(dir.file("meshes/textured.x"), R"(xof 0303txt 0032
Mesh { 4; 0;0;0;, 1;0;0;, 0;-1;0;, 1;-1;0;; 3; 3;0,1,2;, 3;1,3,2;, 3;0,2,3;;
 MeshMaterialList { 3; 3; 0, 1, 2;;
  Material { 1;1;1;1;; 8; 0;0;0;; 0;0;0;; TextureFilename { "found.png"; } }
  Material { 1;1;1;1;; 8; 0;0;0;; 0;0;0;; TextureFilename { "lost.png"; } }
  Material { 1;1;1;1;; 8; 0;0;0;; 0;0;0;; }
 }
})");
    CMeshManager* manager = CMeshManager::GetInstance();
    manager->SetMeshPath("meshes");
    LogTail log;
    d3d9hooks::ClearCallLog();
    CMesh* mesh = nullptr;
    ASSERT_TRUE(manager->LoadMesh(&mesh, "textured.x", 0));
    EXPECT_EQ(mesh->GetNumMaterials(), 3u);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("CreateTexture(").size(), 1u);  // found.png only
    EXPECT_EQ(log.Text().find("lost.png"), std::string::npos);                // skipped without a word
    EXPECT_STREQ(mesh->GetName(), "meshes\\textured.x");
    EXPECT_EQ(log.Count("Loading mesh: (meshes\\textured.x) complete."), 1);
    d3d9hooks::ClearCallLog();
    EXPECT_EQ(mesh->Render(m_dev, true, true), S_OK);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("DrawIndexedPrimitive(").size(), 3u);
    manager->InvalidateMeshes();
    EXPECT_EQ(log.Count("Invalidating mesh: (meshes\\textured.x) - complete."), 1);
    EXPECT_TRUE(manager->RestoreMeshes());
    EXPECT_EQ(log.Count("Loading mesh: (meshes\\textured.x) - complete."), 1);

    EXPECT_FALSE(manager->SetMeshPath(nullptr));
    EXPECT_STREQ(manager->GetMeshPath(), "meshes");  // the old path stays
    EXPECT_EQ(log.Count("Error, path-string is empty !"), 1);
    delete manager;
    EXPECT_EQ(log.Count("unloading mesh: (meshes\\textured.x) - complete."), 1);
    EXPECT_EQ(log.Count("Destroying complete"), 1);
}

// Long names are used whole: a cut-off name must never load some other file
// that happens to match its beginning, and a long path that exists loads.
TEST_F(MeshManagerTest, LongNamesAreNeverCutShort) {
    const char* triangle = "xof 0303txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; "
                           "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 1; 0;0;0;; 0;0;0;; } } }\n";
    testutil::TempDir dir;
    CMeshManager* manager = CMeshManager::GetInstance();
    manager->SetMeshPath(dir.path().c_str());
    const size_t root = dir.path().size() + 1;  // the folder and its backslash
    ASSERT_LT(root, 200u);

    // "<folder>\<stem>" is exactly 259 characters; asking for a longer name
    // that begins with it must not load it.
    const std::string stem(259 - root, 'm');
    testutil::WriteFile(dir.file(stem), triangle);
    CMesh* mesh = nullptr;
    EXPECT_FALSE(manager->LoadMesh(&mesh, (stem + "zz").c_str(), 0));

    // The same beyond twice that length, through two folders.
    const std::string a(200, 'a'), b(200, 'b');
    std::filesystem::create_directories(dir.file(a + "/" + b));
    const std::string cut(521 - root - a.size() - b.size() - 2, 'c');
    testutil::WriteFile(dir.file(a + "/" + b + "/" + cut), triangle);
    EXPECT_FALSE(manager->LoadMesh(&mesh, (a + "\\" + b + "\\" + cut + "zz").c_str(), 0));
    EXPECT_EQ(mesh, nullptr);
    EXPECT_EQ(manager->GetMeshCount(), 0u);

    // A long path that exists is found.
    testutil::WriteFile(dir.file(a + "/" + b + "/real.x"), triangle);
    ASSERT_TRUE(manager->LoadMesh(&mesh, (a + "\\" + b + "\\real.x").c_str(), 0));
    EXPECT_NE(std::string(mesh->GetName()).find("real.x"), std::string::npos);
}

TEST_F(MeshManagerTest, ResetInvalidatesAndRestoresDeviceCopies) {
    CMeshManager* manager = Manager();
    CMesh* a = nullptr;
    CMesh* b = nullptr;
    ASSERT_TRUE(manager->LoadMesh(&a, "block_medium.x", 1));
    ASSERT_TRUE(manager->LoadMesh(&b, "frame.x", 0));
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 4);
    EXPECT_EQ(a->Render(m_dev, true, true), S_OK);

    LogTail log;
    EXPECT_TRUE(manager->InvalidateMeshes());
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 0);  // nothing blocks a Reset
    EXPECT_EQ(a->Render(m_dev, true, true), E_FAIL);
    EXPECT_EQ(log.Count("Invalidating mesh: ("), 2);
    EXPECT_EQ(log.Count("Invalidating complete"), 1);

    // The reset clears the device's declaration: the next render sets it again.
    m_dev->EndScene();
    D3DPRESENT_PARAMETERS pp = testutil::WindowedPresent(64, 64);
    ASSERT_EQ(m_dev->Reset(&pp), D3D_OK);
    m_dev->BeginScene();
    EXPECT_TRUE(manager->RestoreMeshes());
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(m_dev), 4);
    d3d9hooks::ClearCallLog();
    EXPECT_EQ(a->Render(m_dev, true, true), S_OK);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("DrawIndexedPrimitive(").size(), 1u);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetVertexDeclaration(").size(), 1u);
    EXPECT_EQ(log.Count("Loading mesh: (" + m_meshes + "\\frame.x) - complete."), 1);
    EXPECT_EQ(log.Count("Restoring complete"), 1);
}

TEST_F(MeshManagerTest, RendersSetTheDeclarationOnlyWhenItChanges) {
    CMeshManager* manager = Manager();
    CMesh* a = nullptr;
    CMesh* b = nullptr;
    CMesh* c = nullptr;
    ASSERT_TRUE(manager->LoadMesh(&a, "block_low.x", 0));
    ASSERT_TRUE(manager->LoadMesh(&b, "sphere.x", 0));
    ASSERT_TRUE(manager->LoadMesh(&c, "bomb.x", 1));
    d3d9hooks::ClearCallLog();
    a->Render(m_dev);
    b->Render(m_dev);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetVertexDeclaration(").size(), 1u);
    c->Render(m_dev);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetVertexDeclaration(").size(), 2u);
    // bomb.x has two materials: one draw per subset.
    EXPECT_EQ(d3d9hooks::CallsStartingWith("DrawIndexedPrimitive(").size(), 4u);
    // Only the alpha pass: without material mode nothing is drawn.
    d3d9hooks::ClearCallLog();
    c->Render(m_dev, false, true);
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("DrawIndexedPrimitive(").empty());

    // A declaration set by other code is noticed: the next render sets its own.
    static const D3DVERTEXELEMENT9 sprite[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0}, D3DDECL_END()};
    CShaderManager::GetInstance()->SetVertexDeclaration(CShaderManager::GetInstance()->LoadVertexDeclaration(sprite));
    d3d9hooks::ClearCallLog();
    c->Render(m_dev);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("SetVertexDeclaration(").size(), 1u);
}

}  // namespace
