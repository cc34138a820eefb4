#include <d3d9hooks.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "ParticleTestEnv.h"
#include "engine/GraphicsEngine.h"
#include "engine/Loading.h"
#include "engine/ParticleSystem.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/TextureEntry.h"
#include "engine/VertexShader.h"

using particletest::CountLogLines;
using particletest::TestSystem;

namespace {

class ParticleSystemsManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(particletest::StartEngine(false));
        m_pManager = CParticleSystemsManager::GetInstancePtr();
        ASSERT_NE(m_pManager, nullptr);
        d3d9hooks::ClearCallLog();
    }
    void TearDown() override { particletest::StopEngine(); }

    std::vector<std::string> Draws() { return d3d9hooks::CallsStartingWith("DrawPrimitive("); }

    // Draws the manager inside a frame, as the game does; the call log then
    // holds the calls of Render only.
    void RenderFrame() {
        CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
        ASSERT_TRUE(engine->BeginFrame(false));
        d3d9hooks::ClearCallLog();
        m_pManager->Render();
        std::vector<std::string> calls = d3d9hooks::CallLog();
        engine->EndFrame();
        d3d9hooks::ClearCallLog();
        m_RenderCalls = calls;
    }
    std::vector<std::string> RenderCalls(const std::string& prefix) {
        std::vector<std::string> lines;
        for (const std::string& line : m_RenderCalls)
            if (line.compare(0, prefix.size(), prefix) == 0) lines.push_back(line);
        return lines;
    }
    std::vector<std::string> m_RenderCalls;

    std::vector<CParticleSystem*> Systems() {
        return std::vector<CParticleSystem*>(m_pManager->GetSystems().begin(), m_pManager->GetSystems().end());
    }

    CParticleSystemsManager* m_pManager = nullptr;
    CTextureEntry m_TexA, m_TexB, m_TexC;
};

// Dynamic, write-only, points: how the null device spells 0x248.
const std::string kUsage = "D3DUSAGE_WRITEONLY|D3DUSAGE_POINTS|D3DUSAGE_DYNAMIC";

PointSpriteVertex VertexAt(const std::vector<BYTE>& bytes, size_t index) {
    PointSpriteVertex vertex;
    std::memcpy(&vertex, bytes.data() + index * sizeof(vertex), sizeof(vertex));
    return vertex;
}

TEST_F(ParticleSystemsManagerTest, ConstructionLoadsAndCountsTheTextureAndTheProgramOnly) {
    EXPECT_NE(m_pManager->GetDefaultTexture(), nullptr);
    EXPECT_NE(m_pManager->GetVertexBuffer(), nullptr);
    EXPECT_EQ(CountLogLines("Initializing particle systems manager"), 1);
    delete m_pManager;
    int before = g_LoadedResources;
    m_pManager = CParticleSystemsManager::GetInstance();
    // Both served from shared copies now, and counted all the same; the declaration is not.
    EXPECT_EQ(g_LoadedResources, before + 2);
    EXPECT_NE(m_pManager->GetPointSpriteShader(), nullptr);
    EXPECT_NE(m_pManager->GetPointSpriteDeclaration(), nullptr);
}

TEST_F(ParticleSystemsManagerTest, SystemsOfOneTextureStandTogetherAndDrawInOneCall) {
    TestSystem* a1 = new TestSystem(&m_TexA, 3);
    TestSystem* b1 = new TestSystem(&m_TexB, 4);
    TestSystem* b2 = new TestSystem(&m_TexB, 5);
    TestSystem* a2 = new TestSystem(&m_TexA, 6);
    TestSystem* c1 = new TestSystem(&m_TexC, 30);
    // Each joins in front of the first system of its texture.
    EXPECT_EQ(Systems(), (std::vector<CParticleSystem*>{a2, a1, b2, b1, c1}));
    TestSystem* untextured = new TestSystem(nullptr, 0);
    EXPECT_EQ(untextured->m_pTexture, m_pManager->GetDefaultTexture());
    untextured->RemoveFromManager();
    delete untextured;

    m_pManager->Update();
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 48u);
    ASSERT_EQ(m_pManager->GetBatches().size(), 3u);
    EXPECT_EQ(m_pManager->GetBatches()[0].texture, &m_TexA);
    EXPECT_EQ(m_pManager->GetBatches()[1].texture, &m_TexB);
    EXPECT_EQ(m_pManager->GetBatches()[2].texture, &m_TexC);

    // Each batch starts where the ones before it end.
    RenderFrame();
    EXPECT_EQ(RenderCalls("DrawPrimitive("), (std::vector<std::string>{"DrawPrimitive(D3DPT_POINTLIST, 0, 9)",
                                                 "DrawPrimitive(D3DPT_POINTLIST, 9, 9)",
                                                 "DrawPrimitive(D3DPT_POINTLIST, 18, 30)"}));
}

TEST_F(ParticleSystemsManagerTest, TheThousandAndFirstSystemIsRefused) {
    for (int i = 0; i < 1000; ++i) new TestSystem(&m_TexA, 0);
    std::vector<CParticleSystem*> before = Systems();
    ASSERT_EQ(before.size(), 1000u);
    EXPECT_EQ(CountLogLines("Error: couldn't add particle system. Code = 1000"), 0);

    std::unique_ptr<TestSystem> refused(new TestSystem(&m_TexA, 2));
    EXPECT_EQ(CountLogLines("Error: couldn't add particle system. Code = 1000"), 1);
    EXPECT_EQ(Systems(), before);
    EXPECT_FALSE(refused->m_Registered);
    EXPECT_TRUE(before.back()->m_Registered);
    EXPECT_EQ(m_pManager->m_SystemCount, 1001u);
    // Its owner keeps it: it still works and its deletion only lowers the count.
    EXPECT_EQ(refused->GetParticleCount(), 2u);
    refused.reset();
    EXPECT_EQ(m_pManager->m_SystemCount, 1000u);
}

TEST_F(ParticleSystemsManagerTest, FinishedSystemsAreDeletedAndOthersGoOn) {
    bool deleted[3] = {false, false, false};
    TestSystem* systems[3];
    for (int i = 0; i < 3; ++i) {
        systems[i] = new TestSystem(&m_TexA, 2);
        systems[i]->m_pDeletedFlag = &deleted[i];
    }
    systems[1]->m_Finish = true;
    m_pManager->Update();
    EXPECT_TRUE(deleted[1]);
    EXPECT_FALSE(deleted[0]);
    EXPECT_FALSE(deleted[2]);
    EXPECT_EQ(Systems().size(), 2u);
    EXPECT_EQ(systems[0]->m_Updates, 1);
    EXPECT_EQ(systems[2]->m_Updates, 1);
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 4u);

    // Every system ending in one step: nothing left, nothing drawn.
    systems[0]->m_Finish = true;
    systems[2]->m_Finish = true;
    m_pManager->Update();
    EXPECT_TRUE(deleted[0]);
    EXPECT_TRUE(deleted[2]);
    EXPECT_TRUE(m_pManager->GetSystems().empty());
    EXPECT_TRUE(m_pManager->GetBatches().empty());
    RenderFrame();
    EXPECT_TRUE(RenderCalls("DrawPrimitive(").empty());
}

TEST_F(ParticleSystemsManagerTest, DeadParticlesAreCountedButNotWritten) {
    TestSystem* system = new TestSystem(&m_TexA, 5);
    system->m_Particles[1]->m_Alive = false;
    system->m_Particles[3]->m_Alive = false;
    d3d9hooks::ClearCallLog();
    m_pManager->Update();
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 5u);
    // Locked for the full total, drawn for the alive ones.
    EXPECT_EQ(particletest::LockCalls(),
              (std::vector<std::string>{".Lock(0, 100, D3DLOCK_DISCARD)"}));
    ASSERT_EQ(m_pManager->GetBatches().size(), 1u);
    EXPECT_EQ(m_pManager->GetBatches()[0].vertexCount, 3u);
}

TEST_F(ParticleSystemsManagerTest, DisabledAndOwnBufferSystemsStayOutOfTheSharedBuffer) {
    TestSystem* disabled = new TestSystem(&m_TexA, 7);
    disabled->m_Enabled = false;
    TestSystem* own = new TestSystem(&m_TexA, 4, true);
    new TestSystem(&m_TexA, 2);
    m_pManager->Update();
    EXPECT_EQ(disabled->m_Updates, 1);  // still updated
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 2u);
    ASSERT_EQ(m_pManager->GetBatches().size(), 1u);
    EXPECT_EQ(m_pManager->GetBatches()[0].vertexCount, 2u);
    EXPECT_NE(own->m_pVertexBuffer, nullptr);
    EXPECT_EQ(own->m_FilledVertices, 4u);
}

TEST_F(ParticleSystemsManagerTest, OwnBufferSystemDrawsItsAliveParticlesFromItsOwnBuffer) {
    TestSystem* own = new TestSystem(&m_TexB, 4, true, 10);
    own->m_Particles[2]->m_Alive = false;
    d3d9hooks::ClearCallLog();
    m_pManager->Update();
    EXPECT_EQ(particletest::LockCalls(), (std::vector<std::string>{".Lock(0, 80, D3DLOCK_DISCARD)"}));
    EXPECT_TRUE(m_pManager->GetBatches().empty());

    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    ASSERT_TRUE(engine->BeginFrame(false));
    m_pManager->Render();  // the owner makes the point-sprite program current
    d3d9hooks::ClearCallLog();
    own->Render();
    std::vector<std::string> draws = Draws();
    IDirect3DVertexBuffer9* stream = nullptr;
    UINT offset = 1, stride = 0;
    ASSERT_EQ(device->GetStreamSource(0, &stream, &offset, &stride), D3D_OK);
    if (stream) stream->Release();
    engine->EndFrame();
    EXPECT_EQ(draws, (std::vector<std::string>{"DrawPrimitive(D3DPT_POINTLIST, 0, 3)"}));
    EXPECT_EQ(stream, own->m_pVertexBuffer);
    EXPECT_EQ(offset, 0u);
    EXPECT_EQ(stride, 20u);

    std::vector<BYTE> bytes(3 * sizeof(PointSpriteVertex));
    void* data = nullptr;
    ASSERT_EQ(own->m_pVertexBuffer->Lock(0, bytes.size(), &data, D3DLOCK_READONLY), D3D_OK);
    std::memcpy(bytes.data(), data, bytes.size());
    own->m_pVertexBuffer->Unlock();
    EXPECT_EQ(VertexAt(bytes, 0).x, 0.0f);
    EXPECT_EQ(VertexAt(bytes, 1).x, 1.0f);
    EXPECT_EQ(VertexAt(bytes, 2).x, 3.0f);
}

TEST_F(ParticleSystemsManagerTest, LiveParticleCountFollowsConstructionAndDestruction) {
    unsigned before = m_pManager->m_LiveParticles;
    TestSystem* system = new TestSystem(&m_TexA, 3);
    EXPECT_EQ(m_pManager->m_LiveParticles, before + 3);
    std::unique_ptr<CParticle> loose(new CParticle());
    EXPECT_EQ(m_pManager->m_LiveParticles, before + 4);
    loose.reset();
    system->m_Finish = true;
    m_pManager->Update();
    EXPECT_EQ(m_pManager->m_LiveParticles, before);
}

TEST_F(ParticleSystemsManagerTest, RemovedSystemIsHandedBackNotDeleted) {
    bool deleted = false;
    TestSystem* kept = new TestSystem(&m_TexA, 1);
    TestSystem* taken = new TestSystem(&m_TexB, 1);
    taken->m_pDeletedFlag = &deleted;
    taken->RemoveFromManager();
    EXPECT_EQ(Systems(), (std::vector<CParticleSystem*>{kept}));
    m_pManager->Update();
    EXPECT_EQ(taken->m_Updates, 0);
    EXPECT_FALSE(deleted);
    delete taken;
    EXPECT_TRUE(deleted);
}

// A system that takes another out of the list while the update walks it.
class RemovingSystem : public TestSystem {
public:
    RemovingSystem(CTextureEntry* texture, CParticleSystem* victim) : TestSystem(texture, 1), m_pVictim(victim) {}
    bool Update() override {
        if (m_pVictim) m_pVictim->RemoveFromManager();
        m_pVictim = nullptr;
        return TestSystem::Update();
    }
    CParticleSystem* m_pVictim;
};

TEST_F(ParticleSystemsManagerTest, RemovalDuringTheUpdateIsSafe) {
    TestSystem* victim = new TestSystem(&m_TexA, 3);
    RemovingSystem* remover = new RemovingSystem(&m_TexA, victim);  // stands in front of the victim
    m_pManager->Update();
    EXPECT_EQ(Systems(), (std::vector<CParticleSystem*>{remover}));
    EXPECT_EQ(victim->m_Updates, 0);
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 1u);
    delete victim;
}

// A system that takes another out of the list and registers a new one in its place.
class ReplacingSystem : public TestSystem {
public:
    ReplacingSystem(CTextureEntry* texture, CParticleSystem* victim) : TestSystem(texture, 0), m_pVictim(victim) {}
    bool Update() override {
        if (m_pVictim) {
            m_pVictim->RemoveFromManager();
            m_pVictim = nullptr;
            m_pNewcomer = new TestSystem(m_pTexture, 0);
        }
        return TestSystem::Update();
    }
    CParticleSystem* m_pVictim;
    TestSystem* m_pNewcomer = nullptr;
};

TEST_F(ParticleSystemsManagerTest, SystemTakenOutDuringTheUpdateFreesItsPlace) {
    TestSystem* victim = new TestSystem(&m_TexB, 0);
    for (int i = 0; i < 998; ++i) new TestSystem(&m_TexA, 0);
    ReplacingSystem* replacer = new ReplacingSystem(&m_TexC, victim);
    ASSERT_EQ(Systems().size(), 1000u);
    m_pManager->Update();
    ASSERT_NE(replacer->m_pNewcomer, nullptr);
    EXPECT_EQ(CountLogLines("Error: couldn't add particle system. Code = 1000"), 0);
    std::vector<CParticleSystem*> systems = Systems();
    EXPECT_EQ(systems.size(), 1000u);
    if (std::find(systems.begin(), systems.end(), replacer->m_pNewcomer) == systems.end()) {
        ADD_FAILURE() << "the newcomer was refused";
        delete replacer->m_pNewcomer;
    }
    delete victim;
}

// A system that registers a new one during the update, as an effect that
// knocks out a block and starts its fragments' trails does.
class SpawningSystem : public TestSystem {
public:
    SpawningSystem(CTextureEntry* texture, unsigned spawnedParticles = 5)
        : TestSystem(texture, 3), m_SpawnedParticles(spawnedParticles) {}
    bool Update() override {
        if (!m_pSpawned) m_pSpawned = new TestSystem(m_pTexture, m_SpawnedParticles);
        return TestSystem::Update();
    }
    unsigned m_SpawnedParticles;
    TestSystem* m_pSpawned = nullptr;
};

TEST_F(ParticleSystemsManagerTest, SystemRegisteredDuringTheUpdateNeverOverrunsTheLock) {
    SpawningSystem* spawner = new SpawningSystem(&m_TexA);
    m_pManager->Update();
    // The newcomer joined in front of the spawner, after the total was taken.
    ASSERT_NE(spawner->m_pSpawned, nullptr);
    EXPECT_EQ(Systems(), (std::vector<CParticleSystem*>{spawner->m_pSpawned, spawner}));
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 3u);
    ASSERT_EQ(m_pManager->GetBatches().size(), 1u);
    EXPECT_EQ(m_pManager->GetBatches()[0].vertexCount, 3u);
    // From the next step on it is counted like any other.
    m_pManager->Update();
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 8u);
    EXPECT_EQ(m_pManager->GetBatches()[0].vertexCount, 8u);
}

TEST_F(ParticleSystemsManagerTest, SmallNewcomerDoesNotPushOutTheSystemsCountedInTheStep) {
    SpawningSystem* spawner = new SpawningSystem(&m_TexA, 2);
    d3d9hooks::ClearCallLog();
    m_pManager->Update();
    ASSERT_NE(spawner->m_pSpawned, nullptr);
    EXPECT_EQ(particletest::LockCalls(), (std::vector<std::string>{".Lock(0, 60, D3DLOCK_DISCARD)"}));
    // The spawner's three particles are drawn; the newcomer, not yet updated, waits.
    ASSERT_EQ(m_pManager->GetBatches().size(), 1u);
    EXPECT_EQ(m_pManager->GetBatches()[0].vertexCount, 3u);
    std::vector<BYTE> bytes(3 * sizeof(PointSpriteVertex));
    void* data = nullptr;
    ASSERT_EQ(m_pManager->GetVertexBuffer()->Lock(0, bytes.size(), &data, D3DLOCK_READONLY), D3D_OK);
    std::memcpy(bytes.data(), data, bytes.size());
    m_pManager->GetVertexBuffer()->Unlock();
    EXPECT_EQ(VertexAt(bytes, 2).x, 2.0f);
    m_pManager->Update();
    EXPECT_EQ(m_pManager->GetBatches()[0].vertexCount, 5u);
}

TEST_F(ParticleSystemsManagerTest, SystemCountedThenTakenOutLaterInTheStepIsNotWritten) {
    TestSystem* victim = new TestSystem(&m_TexA, 3);  // updated before the remover
    RemovingSystem* remover = new RemovingSystem(&m_TexB, victim);
    m_pManager->Update();
    EXPECT_EQ(Systems(), (std::vector<CParticleSystem*>{remover}));
    ASSERT_EQ(m_pManager->GetBatches().size(), 1u);
    EXPECT_EQ(m_pManager->GetBatches()[0].texture, &m_TexB);
    EXPECT_EQ(m_pManager->GetBatches()[0].vertexCount, 1u);
    delete victim;
}

TEST_F(ParticleSystemsManagerTest, DestroyingTheManagerDeletesItsSystems) {
    bool deleted[2] = {false, false};
    TestSystem* a = new TestSystem(&m_TexA, 2);
    TestSystem* b = new TestSystem(&m_TexB, 2, true, 10);
    a->m_pDeletedFlag = &deleted[0];
    b->m_pDeletedFlag = &deleted[1];
    int completes = CountLogLines("Destroying complete");
    delete m_pManager;
    m_pManager = nullptr;
    EXPECT_TRUE(deleted[0]);
    EXPECT_TRUE(deleted[1]);
    EXPECT_EQ(CParticleSystemsManager::GetInstancePtr(), nullptr);
    EXPECT_EQ(CountLogLines("Destroying particle systems manager"), 1);
    EXPECT_EQ(CountLogLines("Destroying complete"), completes + 1);
    // Every default-pool buffer is gone with it.
    EXPECT_TRUE(particletest::LockCalls().empty());
}

TEST_F(ParticleSystemsManagerTest, SharedBufferBeyondCapacityDrawsWhatFits) {
    new TestSystem(&m_TexA, 15000, false, 20000);
    new TestSystem(&m_TexB, 15000, false, 20000);
    m_pManager->Update();
    EXPECT_EQ(m_pManager->GetSharedVertexTotal(), 30000u);
    unsigned drawn = 0;
    for (const auto& batch : m_pManager->GetBatches()) drawn += batch.vertexCount;
    EXPECT_EQ(drawn, 15000u);
    m_pManager->Update();
    EXPECT_EQ(CountLogLines("Error: too many particles for the shared vertex buffer (30000 of 20000), some are not drawn"),
              1);
}

TEST_F(ParticleSystemsManagerTest, InvalidateAndRestoreAroundAReset) {
    TestSystem* shared = new TestSystem(&m_TexA, 3);
    TestSystem* own = new TestSystem(&m_TexB, 2, true, 50);
    ASSERT_NE(own->m_pVertexBuffer, nullptr);
    m_pManager->Update();

    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CGeneralParameters params;
    ASSERT_TRUE(engine->GetGeneralParameters(&params));
    d3d9hooks::ClearCallLog();
    // The null device refuses a reset while default-pool buffers are alive.
    ASSERT_TRUE(engine->ReInitialize(&params));

    // Systems and particles survive; the buffers are new.
    EXPECT_EQ(Systems(), (std::vector<CParticleSystem*>{shared, own}));
    EXPECT_EQ(shared->GetParticleCount(), 3u);
    EXPECT_NE(m_pManager->GetVertexBuffer(), nullptr);
    EXPECT_NE(own->m_pVertexBuffer, nullptr);
    std::vector<std::string> created = d3d9hooks::CallsStartingWith("CreateVertexBuffer(");
    EXPECT_EQ(std::count_if(created.begin(), created.end(),
                            [](const std::string& line) {
                                return line.rfind("CreateVertexBuffer(400000, " + kUsage + ", 0x62, D3DPOOL_DEFAULT)", 0) == 0;
                            }),
              1)
        << ::testing::PrintToString(created);
    EXPECT_EQ(std::count_if(created.begin(), created.end(),
                            [](const std::string& line) {
                                return line.rfind("CreateVertexBuffer(1000, " + kUsage + ", 0x62, D3DPOOL_DEFAULT)", 0) == 0;
                            }),
              1);

    m_pManager->Update();
    RenderFrame();
    EXPECT_EQ(RenderCalls("DrawPrimitive("), (std::vector<std::string>{"DrawPrimitive(D3DPT_POINTLIST, 0, 3)"}));
}

TEST_F(ParticleSystemsManagerTest, InvalidatedManagerDrawsNothingAndKeepsItsSystems) {
    new TestSystem(&m_TexA, 3);
    m_pManager->Update();
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    int live = d3d9hooks::LiveDefaultPoolResources(device);
    m_pManager->InvalidateDeviceObjects();
    EXPECT_EQ(m_pManager->GetVertexBuffer(), nullptr);
    EXPECT_EQ(d3d9hooks::LiveDefaultPoolResources(device), live - 1);
    m_pManager->Update();
    RenderFrame();
    EXPECT_TRUE(RenderCalls("DrawPrimitive(").empty());
    EXPECT_EQ(Systems().size(), 1u);
    EXPECT_TRUE(m_pManager->RestoreDeviceObjects());
}

TEST_F(ParticleSystemsManagerTest, PointSpritesDrawBetweenTheirStatesAndPutThemBack) {
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    SetPointSpriteStates(device);
    particletest::ExpectPointSpriteStates(device, true);

    new TestSystem(&m_TexA, 2);
    m_pManager->Update();
    RenderFrame();
    particletest::ExpectPointSpriteStates(device, false);
    EXPECT_EQ(RenderCalls("SetVertexShaderConstantF(").size(), 2u);
    // The states, the buffer with its 20-byte stride, an identity world, the
    // texture, the points, then the states put back.
    auto on = std::find(m_RenderCalls.begin(), m_RenderCalls.end(), "SetRenderState(D3DRS_POINTSPRITEENABLE, 1)");
    auto stream = std::find_if(on, m_RenderCalls.end(),
                               [](const std::string& c) { return c.rfind("SetStreamSource(0, vb#", 0) == 0; });
    ASSERT_LT(stream + 4, m_RenderCalls.end());
    EXPECT_EQ(stream->substr(stream->size() - 8), ", 0, 20)") << *stream;
    EXPECT_EQ(stream[1], "SetTransform(D3DTS_WORLD, {1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1})");
    EXPECT_EQ(stream[2].rfind("SetTexture(0, ", 0), 0u) << stream[2];
    EXPECT_EQ(stream[3], "DrawPrimitive(D3DPT_POINTLIST, 0, 2)");
    EXPECT_EQ(stream[4], "SetRenderState(D3DRS_POINTSPRITEENABLE, 0)");
}

TEST_F(ParticleSystemsManagerTest, RenderHandsTheCameraToThePointSpriteProgram) {
    new TestSystem(&m_TexA, 1);
    m_pManager->Update();
    RenderFrame();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CVertexShader* shader = m_pManager->GetPointSpriteShader();
    ASSERT_NE(shader, nullptr);
    float clip[16], eye[4];
    IDirect3DDevice9* device = engine->GetDevice();
    ASSERT_EQ(device->GetVertexShaderConstantF(shader->GetParameterRegister("clip_matrix"), clip, 4), D3D_OK);
    ASSERT_EQ(device->GetVertexShaderConstantF(shader->GetParameterRegister("eye_position"), eye, 1), D3D_OK);
    // Row r of the constant is column r of view x projection.
    const D3DXMATRIX& viewProj = *engine->GetViewProjMatrix();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_EQ(clip[r * 4 + c], viewProj.m[c][r]) << r << "," << c;
    EXPECT_EQ(eye[0], 0.0f);
    EXPECT_EQ(eye[1], 0.0f);
    EXPECT_EQ(eye[2], -7.0f);
    D3DVIEWPORT9 viewport;
    ASSERT_EQ(device->GetViewport(&viewport), D3D_OK);
    EXPECT_EQ(eye[3], static_cast<float>(viewport.Height));
    EXPECT_GT(eye[3], 0.0f);
}

TEST_F(ParticleSystemsManagerTest, DrawPointSpritesIgnoresNullBufferAndEmptyRange) {
    DrawPointSprites(nullptr, 0, 10, &m_TexA);
    DrawPointSprites(m_pManager->GetVertexBuffer(), 0, 0, &m_TexA);
    EXPECT_TRUE(d3d9hooks::CallLog().empty());
}

TEST_F(ParticleSystemsManagerTest, OwnBufferCreationFailureIsLogged) {
    TestSystem system(&m_TexA, 0, true, 0);
    EXPECT_EQ(system.m_pVertexBuffer, nullptr);
    EXPECT_EQ(CountLogLines("Error: couldn't create vertex buffer. Code = D3DERR_INVALIDCALL"), 1);
    EXPECT_TRUE(system.Update());  // no buffer to lock, the system lives on
    system.RemoveFromManager();
}

// ---- particles and their vertices ----

TEST_F(ParticleSystemsManagerTest, FillVerticesWritesPositionSizeAndSaturatedColour) {
    CParticleSystem system(&m_TexA, 10, false, false);
    CParticle* particle = new CParticle();
    particle->m_Position = D3DXVECTOR3(1.5f, -2.0f, 3.25f);
    particle->m_Size = 0.75f;
    particle->m_Color = D3DXCOLOR(1.2f, 0.5f, -0.1f, 1.0f);
    ASSERT_TRUE(system.AddParticle(particle));

    std::vector<BYTE> bytes(40, 0xcd);
    BYTE* write = bytes.data();
    EXPECT_EQ(system.FillVertices(write), 1u);
    EXPECT_EQ(write, bytes.data() + 20);
    PointSpriteVertex vertex = VertexAt(bytes, 0);
    EXPECT_EQ(vertex.x, 1.5f);
    EXPECT_EQ(vertex.y, -2.0f);
    EXPECT_EQ(vertex.z, 3.25f);
    EXPECT_EQ(vertex.size, 0.75f);
    EXPECT_EQ(vertex.color, 0xffff8000u);
    EXPECT_EQ(bytes[20], 0xcd);  // nothing beyond the vertex

    BYTE* none = nullptr;
    EXPECT_EQ(system.FillVertices(none), 0u);
}

TEST_F(ParticleSystemsManagerTest, SortedSystemsWriteBackToFront) {
    CParticleSystem system(&m_TexA, 10, false, false);
    const float depths[] = {1.0f, 5.0f, -3.0f, 2.0f};
    for (float z : depths) {
        CParticle* particle = new CParticle();
        particle->m_Position.z = z;
        system.AddParticle(particle);
    }
    std::vector<BYTE> bytes(4 * 20);
    BYTE* write = bytes.data();
    system.m_Sorted = true;
    ASSERT_EQ(system.FillVertices(write), 4u);
    EXPECT_EQ(VertexAt(bytes, 0).z, 5.0f);
    EXPECT_EQ(VertexAt(bytes, 1).z, 2.0f);
    EXPECT_EQ(VertexAt(bytes, 2).z, 1.0f);
    EXPECT_EQ(VertexAt(bytes, 3).z, -3.0f);
    // The particles themselves keep their insertion order.
    EXPECT_EQ(system.m_Particles[0]->m_Position.z, 1.0f);

    system.m_Sorted = false;
    write = bytes.data();
    system.FillVertices(write);
    EXPECT_EQ(VertexAt(bytes, 0).z, 1.0f);
    EXPECT_EQ(VertexAt(bytes, 3).z, 2.0f);
}

TEST_F(ParticleSystemsManagerTest, FullSystemRefusesParticlesAndRemovalAdvances) {
    CParticleSystem system(&m_TexA, 2, false, false);
    CParticle* first = new CParticle();
    CParticle* second = new CParticle();
    EXPECT_FALSE(system.AddParticle(nullptr));
    EXPECT_TRUE(system.AddParticle(first));
    EXPECT_TRUE(system.AddParticle(second));
    std::unique_ptr<CParticle> third(new CParticle());
    EXPECT_FALSE(system.AddParticle(third.get()));
    EXPECT_EQ(system.GetParticleCount(), 2u);

    CParticleSystem::ParticleVector::iterator it = system.m_Particles.begin();
    system.RemoveParticle(it);
    EXPECT_EQ(system.GetParticleCount(), 1u);
    ASSERT_NE(it, system.m_Particles.end());
    EXPECT_EQ(*it, second);
    delete first;  // the caller deletes what it removed
}

}  // namespace
