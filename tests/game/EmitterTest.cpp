#include <gtest/gtest.h>

#include <cmath>

#include "EffectsTestEnv.h"
#include "engine/ParticleSystemsManager.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/MovingEmitter.h"
#include "game/ObjectEmitter.h"

namespace {

class EmitterTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(effectstest::StartEngine());
        m_Mode = CGameMode::GetInstance();
        m_Mode->menuState = CGameMode::kMenuClosed;
    }
    void TearDown() override {
        gameloop::DeleteGamePlay();
        effectstest::StopEngine();
    }
    CGameMode* m_Mode = nullptr;
};

// Counts arrivals; optionally starts a move at a speed from a timed arrival.
class ProbeEmitter : public CMovingEmitter {
public:
    explicit ProbeEmitter(unsigned particles = 0) : CMovingEmitter(nullptr) {
        for (unsigned i = 0; i < particles; ++i) AddParticle(new CParticle());
    }
    void OnArrive() override {
        ++arrivals;
        if (chainTarget) {
            chainTarget = false;
            Start(10.0f, 0.0f, 0.0f, kBySpeed, 40.0f);  // 1.0 per 0.025 s step
        }
    }
    int arrivals = 0;
    bool chainTarget = false;
};

TEST_F(EmitterTest, MovingHeadArrivesAndReportsEveryStepOnTarget) {
    ProbeEmitter* e = new ProbeEmitter();
    e->Start(1.0f, 0.0f, 0.0f, CMovingEmitter::kBySpeed, 16.0f);  // 0.4 per step
    effectstest::SetStepFunction([e] { e->Update(); });
    effectstest::Step();
    EXPECT_NEAR(e->position.x, 0.4f, 1e-5f);
    EXPECT_EQ(e->arrivals, 0);
    effectstest::Step(2);
    EXPECT_EQ(e->position, D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    EXPECT_EQ(e->arrivals, 1);
    effectstest::Step(2);
    EXPECT_EQ(e->arrivals, 3);  // once per step on the target
}

// Where the head stands and how often it arrived after a move begun by
// Start and the given number of steps (0: one Update at the start time).
TEST_F(EmitterTest, MovesArriveInTheirFirstStepOrBeginInTheNext) {
    struct Case {
        const char* name;
        int mode;
        float value;
        bool chain;  // the arrival starts a move at 1.0 per step towards x = 10
        int steps;
        float x;
        int arrivals;
    } cases[] = {
        {"timed, no duration", CMovingEmitter::kTimed, 0.0f, false, 1, 4.0f, 1},
        {"timed, negative duration", CMovingEmitter::kTimed, -1.0f, false, 1, 4.0f, 1},
        {"timed, before any time has passed", CMovingEmitter::kTimed, 1.0f, false, 0, 0.0f, 0},
        {"timed arrival chains in the same step", CMovingEmitter::kTimed, 0.0f, true, 1, 5.0f, 1},
        {"speed arrival chains from the next step", CMovingEmitter::kBySpeed, 1000.0f, true, 1, 4.0f, 1},
        {"speed arrival chains from the next step, moved", CMovingEmitter::kBySpeed, 1000.0f, true, 2, 5.0f, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeEmitter* e = new ProbeEmitter();
        e->chainTarget = c.chain;
        e->Start(4.0f, 0.0f, 0.0f, c.mode, c.value);
        effectstest::SetStepFunction([e] { e->Update(); });
        if (c.steps == 0) e->Update();
        effectstest::Step(c.steps);
        effectstest::SetStepFunction(nullptr);
        EXPECT_NEAR(e->position.x, c.x, 1e-5f);
        EXPECT_EQ(e->arrivals, c.arrivals);
        e->RemoveFromManager();
        delete e;
    }
}

TEST_F(EmitterTest, TimedMoveIsLinearInEngineTime) {
    ProbeEmitter* e = new ProbeEmitter();
    e->Start(0.0f, 8.0f, 0.0f, CMovingEmitter::kTimed, 0.11f);
    effectstest::SetStepFunction([e] { e->Update(); });
    effectstest::Step(2);
    EXPECT_NEAR(e->position.y, 8.0f * 0.05f / 0.11f, 1e-4f);
    effectstest::Step(2);
    EXPECT_EQ(e->arrivals, 0);
    effectstest::Step();
    EXPECT_EQ(e->position.y, 8.0f);
    EXPECT_EQ(e->arrivals, 1);
}

TEST_F(EmitterTest, ChainHangsAtLinkLengthAfterAJumpAndAlignsBehindTheHead) {
    ProbeEmitter* e = new ProbeEmitter(5);
    e->linkLength = 0.1f;
    e->position = D3DXVECTOR3(3.0f, 4.0f, 0.0f);
    e->mode = -1;  // still: only the chain moves
    e->Update();
    for (size_t i = 1; i < e->m_Particles.size(); ++i) {
        D3DXVECTOR3 d = e->m_Particles[i - 1]->m_Position - e->m_Particles[i]->m_Position;
        EXPECT_NEAR(std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z), 0.1f, 1e-5f) << i;
        EXPECT_NEAR(d.x * 4.0f, d.y * 3.0f, 1e-5f) << i;  // on the line back to the old place
    }
    // Links already short enough stay put.
    D3DXVECTOR3 tail = e->m_Particles.back()->m_Position;
    e->Update();
    EXPECT_EQ(e->m_Particles.back()->m_Position, tail);
}

TEST_F(EmitterTest, DisabledMovingEmitterMovesNothing) {
    ProbeEmitter* e = new ProbeEmitter(3);
    e->Start(5.0f, 0.0f, 0.0f, CMovingEmitter::kBySpeed, 100.0f);
    e->m_Enabled = false;
    effectstest::SetStepFunction([e] { e->Update(); });
    effectstest::Step(2);
    EXPECT_EQ(e->position, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    // A head put elsewhere does not drag the chain either.
    e->position = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    effectstest::Step();
    EXPECT_EQ(e->m_Particles[0]->m_Position, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(e->arrivals, 0);
}

// Counts the particles it initialises.
class CountingEmitter : public CObjectEmitter {
public:
    CObjectParticle* InitParticle(CObjectParticle* particle) override {
        ++laid;
        return CObjectEmitter::InitParticle(particle);
    }
    int laid = 0;
};

TEST_F(EmitterTest, TrailIsLaidAtExactSpacingUpToThePoint) {
    CountingEmitter* e = new CountingEmitter();
    e->spacing = 0.25f;
    e->lifetime = 10.0f;
    e->Update();
    ASSERT_EQ(e->m_Particles.size(), 1u);  // an empty list gets one even without a move
    e->position = D3DXVECTOR3(0.0f, 1.0f, 0.0f);
    e->Update();
    ASSERT_EQ(e->m_Particles.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(e->m_Particles[i]->m_Position.y, 0.25f * i);
    e->Update();  // a point that stays lays nothing
    EXPECT_EQ(e->laid, 4);
}

TEST_F(EmitterTest, ParticlesFadeFromStartToEndOverTheirLifetime) {
    CObjectEmitter* e = new CObjectEmitter();
    e->lifetime = 0.1f;
    e->startSize = 2.0f;
    e->endSize = 1.0f;
    e->startColor = D3DXCOLOR(1.0f, 0.0f, 0.0f, 1.0f);
    e->endColor = D3DXCOLOR(0.0f, 0.0f, 1.0f, 0.0f);
    e->Update();
    e->emitting = false;
    effectstest::SetStepFunction([e] { e->Update(); });
    effectstest::Step(2);
    ASSERT_EQ(e->m_Particles.size(), 1u);
    EXPECT_NEAR(e->m_Particles[0]->m_Size, 1.5f, 1e-4f);
    EXPECT_NEAR(e->m_Particles[0]->m_Color.r, 0.5f, 1e-4f);
    EXPECT_NEAR(e->m_Particles[0]->m_Color.b, 0.5f, 1e-4f);
    effectstest::Step(3);
    EXPECT_TRUE(e->m_Particles.empty());
}

TEST_F(EmitterTest, NoLifetimeLaysAndRemovesOneParticleInOneStep) {
    CountingEmitter* e = new CountingEmitter();
    e->lifetime = 0.0f;
    e->position = D3DXVECTOR3(5.0f, 0.0f, 0.0f);
    EXPECT_TRUE(e->Update());
    EXPECT_EQ(e->laid, 1);
    EXPECT_TRUE(e->m_Particles.empty());
}

TEST_F(EmitterTest, FullListDiscardsTheNewParticleAndSkipsAgeing) {
    CObjectEmitter* e = new CObjectEmitter();
    e->lifetime = 0.1f;
    for (int i = 0; i < 1000; ++i) {
        CObjectParticle* p = new CObjectParticle();
        p->birthTime = -100.0f;  // long due
        ASSERT_TRUE(e->AddParticle(p));
    }
    unsigned live = CParticleSystemsManager::GetInstance()->m_LiveParticles;
    e->position = D3DXVECTOR3(1.0f, 0.0f, 0.0f);
    EXPECT_TRUE(e->Update());
    EXPECT_EQ(e->m_Particles.size(), 1000u);
    EXPECT_EQ(CParticleSystemsManager::GetInstance()->m_LiveParticles, live);
    e->emitting = false;
    e->Update();
    EXPECT_TRUE(e->m_Particles.empty());
}

TEST_F(EmitterTest, OpenMenuHidesAndFreezesAndKeepsAFinishedEmitterAlive) {
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
    CObjectEmitter* e = new CObjectEmitter();
    e->lifetime = 0.05f;
    effectstest::SetStepFunction([manager] { manager->Update(); });
    effectstest::Step();
    ASSERT_EQ(e->m_Particles.size(), 1u);

    m_Mode->menuState = CGameMode::kMenuOpen;
    e->finish = true;
    effectstest::Step(4);  // the particle's lifetime passes meanwhile
    EXPECT_FALSE(e->m_Enabled);
    EXPECT_EQ(e->m_Particles.size(), 1u);
    EXPECT_EQ(manager->GetSharedVertexTotal(), 0u);

    m_Mode->menuState = CGameMode::kMenuClosed;
    effectstest::Step();  // ages out
    ASSERT_EQ(manager->GetSystems().size(), 1u);
    EXPECT_TRUE(e->m_Enabled);
    EXPECT_TRUE(e->m_Particles.empty());
    effectstest::Step();
    EXPECT_TRUE(manager->GetSystems().empty());
}

TEST_F(EmitterTest, FinishedEmitterReturnsFalseOnceAfterItsLastParticle) {
    CObjectEmitter* e = new CObjectEmitter();
    CParticleSystemsManager::GetInstance()->RemoveSystem(e);  // ours to step and delete
    e->lifetime = 0.04f;
    e->Update();
    e->finish = true;
    effectstest::SetStepFunction([] {});
    std::vector<bool> results;
    for (int i = 0; i < 4; ++i) {
        results.push_back(e->Update());
        effectstest::Step();
    }
    EXPECT_EQ(results, (std::vector<bool>{true, true, true, false}));
    delete e;
}

}  // namespace
