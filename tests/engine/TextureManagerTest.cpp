// The texture manager on the null device: sharing, reference counts, removal
// order, normal maps, the normalization cube, resource counting and the log.
#include "engine/TextureManager.h"

#include "engine/Loading.h"
#include "tests/engine/TextureTestEngine.h"
#include "tests/platform/TextureFiles.h"

namespace {

int g_ProgressSteps = 0;
void CountProgress() { ++g_ProgressSteps; }

class TextureManagerTest : public textest::EngineTest {
protected:
    void SetUp() override {
        textest::EngineTest::SetUp();
        if (IsSkipped()) return;
        Start();
        m_Manager = CTextureManager::GetInstance();
        m_Manager->SetTexturePath(m_Dir.path().c_str());
        g_ProgressSteps = 0;
        SetLoadingScreenProc(CountProgress);
    }
    void TearDown() override {
        SetLoadingScreenProc(nullptr);
        textest::EngineTest::TearDown();
    }

    std::string Png(const std::string& name, int w = 16, int h = 16, uint32_t colour = 0xff405060u) {
        return Write(name, texfiles::Png(w, h, texfiles::Solid(w, h, colour)));
    }
    std::string FullPath(const std::string& name) const { return m_Dir.path() + "\\" + name; }

    static uint32_t Texel(IDirect3DCubeTexture9* cube, int face, UINT level, UINT x, UINT y) {
        D3DLOCKED_RECT r;
        EXPECT_EQ(cube->LockRect(D3DCUBEMAP_FACES(face), level, &r, nullptr, 0), D3D_OK);
        uint32_t v = reinterpret_cast<const uint32_t*>(static_cast<const char*>(r.pBits) + size_t(r.Pitch) * y)[x];
        cube->UnlockRect(D3DCUBEMAP_FACES(face), level);
        return v;
    }

    CTextureManager* m_Manager = nullptr;
};

TEST_F(TextureManagerTest, SharesByPathIgnoringCaseAndCountsUsers) {
    Png("stone.png", 100, 60);
    CTextureEntry* first = nullptr;
    CTextureEntry* second = nullptr;
    ASSERT_TRUE(m_Manager->GetTexture(&first, "stone.png", false, false, 10.0f));
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->m_RefCount, 1u);
    EXPECT_EQ(std::string(first->m_Path), FullPath("stone.png"));
    EXPECT_FLOAT_EQ(first->m_Width, 128.0f);
    EXPECT_FLOAT_EQ(first->m_Height, 64.0f);
    EXPECT_FLOAT_EQ(first->m_ImageWidth, 100.0f);
    EXPECT_FLOAT_EQ(first->m_ImageHeight, 60.0f);
    EXPECT_FLOAT_EQ(first->m_UExtent, 100.0f / 128.0f);
    EXPECT_FLOAT_EQ(first->m_VExtent, 60.0f / 64.0f);
    EXPECT_FALSE(first->m_IsCube);
    EXPECT_NE(first->m_pTexture, nullptr);
    EXPECT_GE(Find("Loading texture: (" + FullPath("stone.png") + ") complete."), 0);

    // Another letter case of the same path (and a normal-map request) shares it.
    ASSERT_TRUE(m_Manager->GetTexture(&second, "STONE.PNG", false, true, 3.0f));
    EXPECT_EQ(second, first);
    EXPECT_EQ(first->m_RefCount, 2u);
    EXPECT_EQ(m_Manager->GetTextures().size(), 1u);
    D3DSURFACE_DESC desc;
    first->m_pTexture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Width, 128u);  // still the plain texture: the first load wins

    const std::string removed = "removing texture: (" + FullPath("stone.png") + ") - complete.";
    m_Manager->RemoveTexture(first);
    EXPECT_EQ(m_Manager->GetTextures().size(), 1u);
    EXPECT_EQ(Find(removed), -1);
    m_Manager->RemoveTexture(first);
    EXPECT_TRUE(m_Manager->GetTextures().empty());
    int at = Find(removed);
    ASSERT_GE(at, 0);
    EXPECT_EQ(NewLog()[at].colour, "darkgray");
    // Something the manager does not hold is ignored.
    CTextureEntry stranger;
    m_Manager->RemoveTexture(&stranger);
    m_Manager->RemoveTexture(nullptr);
}

TEST_F(TextureManagerTest, RemovalMovesTheLastEntryIntoTheGap) {
    CTextureEntry* e[4] = {};
    for (int i = 0; i < 4; ++i) {
        std::string name = "t" + std::to_string(i) + ".png";
        Png(name);
        ASSERT_TRUE(m_Manager->GetTexture(&e[i], name.c_str(), false, false, 10.0f));
    }
    m_Manager->RemoveTexture(e[1]);
    ASSERT_EQ(m_Manager->GetTextures().size(), 3u);
    EXPECT_EQ(m_Manager->GetTextures()[0], e[0]);
    EXPECT_EQ(m_Manager->GetTextures()[1], e[3]);
    EXPECT_EQ(m_Manager->GetTextures()[2], e[2]);

    // The destructor unloads what is left, in vector order, users or not.
    MarkLog();
    delete m_Manager;
    EXPECT_EQ(CTextureManager::GetInstancePtr(), nullptr);
    const std::vector<std::string> expected = {
        "Destroying texture manager",
        "Unloading textures:",
        "unloading texture: (" + FullPath("t0.png") + ") - complete.",
        "unloading texture: (" + FullPath("t3.png") + ") - complete.",
        "unloading texture: (" + FullPath("t2.png") + ") - complete.",
        "unloading complete",
        "Destroying complete",
    };
    std::vector<textest::LogEntry> log = NewLog();
    ASSERT_GE(log.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(log[i].text, expected[i]);
    EXPECT_EQ(log[0].colour, "blue");
    EXPECT_EQ(log[5].colour, "green");
}

TEST_F(TextureManagerTest, EveryRequestCountsAResource) {
    Png("a.png");
    Write("broken.png", texfiles::Png(16, 16, texfiles::Solid(16, 16, 0)).substr(0, 40));
    const int before = g_LoadedResources;
    CTextureEntry* out = nullptr;
    EXPECT_TRUE(m_Manager->GetTexture(&out, "a.png", false, false, 10.0f));
    CTextureEntry* kept = out;
    EXPECT_TRUE(m_Manager->GetTexture(&out, "A.png", false, false, 10.0f));   // shared
    EXPECT_FALSE(m_Manager->GetTexture(&out, "missing.png", false, false, 10.0f));
    EXPECT_FALSE(m_Manager->GetTexture(&out, "broken.png", false, false, 10.0f));
    EXPECT_FALSE(m_Manager->GetTexture(&out, nullptr, false, false, 10.0f));
    EXPECT_EQ(out, kept);  // failures leave the output alone
    EXPECT_EQ(g_LoadedResources - before, 5);
    EXPECT_EQ(g_ProgressSteps, 5);
    EXPECT_EQ(m_Manager->GetTextures().size(), 1u);

    std::vector<textest::LogEntry> log = NewLog();
    int empty = Find("Couldn't load texture, becouse file string is empty !");
    ASSERT_GE(empty, 0);
    EXPECT_TRUE(log[empty].bold);
    EXPECT_EQ(log[empty].colour, "red");
    int missing = Find("Error, couldn't load texture: (" + FullPath("missing.png") + ")");
    ASSERT_GE(missing, 0);
    EXPECT_TRUE(log[missing].bold);
    EXPECT_GE(Find("Error, couldn't load texture: (" + FullPath("broken.png") + ")"), 0);

    // The normalization cube is not a loaded resource.
    EXPECT_TRUE(m_Manager->CreateNormalizationCubeTexture(&out));
    EXPECT_EQ(g_LoadedResources - before, 5);
}

TEST_F(TextureManagerTest, BadFilesAreLoggedFailures) {
    std::string png = texfiles::Png(32, 32, texfiles::Solid(32, 32, 0xffffffffu));
    std::string huge = png.substr(0, 33);
    huge[18] = 0x40, huge[22] = 0x40;
    Write("zero.png", "");
    Write("huge.png", huge);
    Write("lying.dds", texfiles::DdsHeader(1024, 1024, 1, false, 0x41, 0, 32, 0xff0000, 0xff00, 0xff, 0xff000000u) +
                           "short");
    Write("flat.dds", texfiles::Dds(4, 4, {texfiles::Solid(4, 4, 0xffffffffu)}));
    for (const char* name : {"zero.png", "huge.png", "lying.dds"}) {
        CTextureEntry* out = nullptr;
        EXPECT_FALSE(m_Manager->GetTexture(&out, name, false, false, 10.0f)) << name;
        EXPECT_EQ(out, nullptr);
        EXPECT_GE(Find("Error, couldn't load texture: (" + FullPath(name) + ")"), 0) << name;
    }
    CTextureEntry* out = nullptr;
    EXPECT_FALSE(m_Manager->GetTexture(&out, "flat.dds", true, false, 10.0f));
    EXPECT_GE(Find("Error, couldn't load cube texture: (" + FullPath("flat.dds") + ")"), 0);
    EXPECT_TRUE(m_Manager->GetTextures().empty());

    // Paths that do not fit the buffers are cut (the folder) or refused (a file).
    std::string longName(300, 'n');
    EXPECT_FALSE(m_Manager->GetTexture(&out, longName.c_str(), false, false, 10.0f));
    int refused = Find("Error, texture path is too long: (" + longName + ")");
    ASSERT_GE(refused, 0);
    EXPECT_TRUE(NewLog()[refused].bold);
    std::string longFolder(400, 'f');
    EXPECT_TRUE(m_Manager->SetTexturePath(longFolder.c_str()));
    EXPECT_EQ(std::string(m_Manager->GetTexturePath()), longFolder.substr(0, 259));
    EXPECT_FALSE(m_Manager->SetTexturePath(nullptr));
    int at = Find("Error, path-string is empty !");
    ASSERT_GE(at, 0);
    EXPECT_TRUE(NewLog()[at].bold);
}

TEST_F(TextureManagerTest, CubeMapsAndNormalMaps) {
    std::vector<std::vector<uint32_t>> faces;
    for (uint32_t f = 0; f < 6; ++f) faces.push_back(texfiles::Solid(32, 32, 0xff102030u + f));
    Write("cube.dds", texfiles::Dds(32, 32, faces));
    CTextureEntry* cube = nullptr;
    ASSERT_TRUE(m_Manager->GetTexture(&cube, "cube.dds", true, false, 10.0f));
    EXPECT_TRUE(cube->m_IsCube);
    EXPECT_EQ(cube->m_pTexture, nullptr);
    ASSERT_NE(cube->m_pCubeTexture, nullptr);
    EXPECT_FLOAT_EQ(cube->m_Width, 32.0f);
    EXPECT_FLOAT_EQ(cube->m_UExtent, 1.0f);
    EXPECT_EQ(Texel(cube->m_pCubeTexture, 5, 0, 3, 3), 0xff102035u);

    // Heights rising down the rows: the normals lean toward the top rows.
    std::vector<uint32_t> ramp(64 * 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) ramp[y * 64 + x] = 0xff000000u | uint32_t(y * 4) << 16 | 0x80;
    Write("bump.png", texfiles::Png(64, 64, ramp, 3));
    CTextureEntry* bump = nullptr;
    ASSERT_TRUE(m_Manager->GetTexture(&bump, "bump.png", false, true, 3.0f));
    ASSERT_NE(bump->m_pTexture, nullptr);
    D3DSURFACE_DESC desc;
    bump->m_pTexture->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(bump->m_pTexture->GetLevelCount(), 7u);
    EXPECT_FLOAT_EQ(bump->m_ImageWidth, 64.0f);
    D3DLOCKED_RECT r;
    ASSERT_EQ(bump->m_pTexture->LockRect(0, &r, nullptr, 0), D3D_OK);
    uint32_t n = reinterpret_cast<const uint32_t*>(static_cast<const char*>(r.pBits) + r.Pitch * 32)[32];
    bump->m_pTexture->UnlockRect(0);
    EXPECT_NEAR(int((n >> 16) & 0xff), 128, 1);
    EXPECT_LT((n >> 8) & 0xff, 120u);

    // Set binds the cube or the 2D texture on the asked stage.
    d3d9hooks::ClearCallLog();
    EXPECT_EQ(cube->Set(2), D3D_OK);
    EXPECT_EQ(bump->Set(1), D3D_OK);
    std::vector<std::string> calls = d3d9hooks::CallsStartingWith("SetTexture(");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].compare(0, 13, "SetTexture(2,"), 0) << calls[0];
    EXPECT_EQ(calls[1].compare(0, 13, "SetTexture(1,"), 0) << calls[1];
}

TEST_F(TextureManagerTest, NormalizationCubeTexels) {
    CTextureEntry* entry = nullptr;
    ASSERT_TRUE(m_Manager->CreateNormalizationCubeTexture(&entry));
    ASSERT_NE(entry, nullptr);
    EXPECT_TRUE(entry->m_IsCube);
    EXPECT_EQ(entry->m_RefCount, 0u);
    EXPECT_STREQ(entry->m_Path, "");
    EXPECT_FLOAT_EQ(entry->m_Width, 256.0f);
    EXPECT_FLOAT_EQ(entry->m_Height, 256.0f);
    EXPECT_EQ(m_Manager->GetTextures().size(), 1u);
    EXPECT_GE(Find("Creating normalization cube texture complete."), 0);
    IDirect3DCubeTexture9* cube = entry->m_pCubeTexture;
    ASSERT_NE(cube, nullptr);
    ASSERT_EQ(cube->GetLevelCount(), 9u);
    D3DSURFACE_DESC desc;
    cube->GetLevelDesc(0, &desc);
    EXPECT_EQ(desc.Format, D3DFMT_X8R8G8B8);
    // Truncation: just off the +X axis gives 253, not 254.
    EXPECT_EQ(Texel(cube, D3DCUBEMAP_FACE_POSITIVE_X, 0, 127, 127), 0x00fd7f7fu);
    // A corner of +Z: (-1, 1, 1) / sqrt(3).
    EXPECT_EQ(Texel(cube, D3DCUBEMAP_FACE_POSITIVE_Z, 0, 0, 0), 0x0035c8c8u);
    // -Y, last texel: (1, -1, -1) / sqrt(3).
    EXPECT_EQ(Texel(cube, D3DCUBEMAP_FACE_NEGATIVE_Y, 0, 255, 255), 0x00c83535u);
    // The 1 x 1 level faces the axes exactly: (1, 0, 0) is (254, 127, 127).
    EXPECT_EQ(Texel(cube, D3DCUBEMAP_FACE_POSITIVE_X, 8, 0, 0), 0x00fe7f7fu);
    EXPECT_EQ(Texel(cube, D3DCUBEMAP_FACE_NEGATIVE_Z, 8, 0, 0), 0x007f7f00u);
}

TEST_F(TextureManagerTest, ConstructionLogAndPath) {
    delete m_Manager;
    MarkLog();
    m_Manager = CTextureManager::GetInstance();
    EXPECT_STREQ(m_Manager->GetTexturePath(), "");
    std::vector<textest::LogEntry> log = NewLog();
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0].text, "Initializing texture manager");
    EXPECT_EQ(log[0].colour, "blue");
    EXPECT_EQ(log[1].text, "Complete");
    EXPECT_EQ(log[1].colour, "green");
    EXPECT_TRUE(m_Manager->SetTexturePath("data\\textures"));
    log = NewLog();
    ASSERT_GE(log.size(), 5u);
    EXPECT_EQ(log[2].text, "Setting texture path:");
    EXPECT_EQ(log[3].text, "path = data\\textures");
    EXPECT_EQ(log[3].colour, "darkgray");
    EXPECT_EQ(log[4].text, "Complete");
}

}  // namespace
