#include <gtest/gtest.h>

#include <crt.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "EffectsTestEnv.h"
#include "engine/ParticleSystemsManager.h"
#include "game/BombEffects.h"
#include "game/BounceBombFigure.h"

namespace {

class BombEffectsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(effectstest::StartEngine());
        m_manager = CParticleSystemsManager::GetInstance();
        effectstest::SetStepFunction([this] { m_manager->Update(); });
    }
    void TearDown() override { effectstest::StopEngine(); }
    bool Managed(const CParticleSystem* s) const {
        const auto& list = m_manager->GetSystems();
        return std::find(list.begin(), list.end(), s) != list.end();
    }
    CParticleSystemsManager* m_manager = nullptr;
};

TEST_F(BombEffectsTest, BurstsStartSpreadWithinReachFadeAndEnd) {
    std::function<CParticleSystem*()> makers[] = {
        [] { return new CBombEmitter2(1.0f, 2.0f, 3.0f, nullptr); },
        [] { return new CBounceBombEmitter(1.0f, 2.0f, 3.0f, nullptr); },
    };
    for (auto& make : makers) {
        crt_srand(1);
        CParticleSystem* burst = make();
        ASSERT_EQ(burst->GetParticleCount(), 200u);
        float smallest = 10.0f, largest = 0.0f;
        for (const CParticle* p : burst->m_Particles) {
            EXPECT_EQ(p->m_Position, D3DXVECTOR3(1.0f, 2.0f, 3.0f));
            EXPECT_EQ(p->m_Color, D3DXCOLOR(1.0f, p->m_Color.g, 0.0f, 0.3f));
            EXPECT_GE(p->m_Color.g, 0.3f);
            EXPECT_LE(p->m_Color.g, 1.0f);
            smallest = std::min(smallest, p->m_Size);
            largest = std::max(largest, p->m_Size);
        }
        EXPECT_GE(smallest, 2.0f);
        EXPECT_LE(largest, 3.0f);
        EXPECT_GT(largest - smallest, 0.5f) << "sizes are drawn, not fixed";

        float reach = 0.0f;
        for (int i = 0; i < 19; ++i) {
            effectstest::Step();
            for (const CParticle* p : burst->m_Particles)
                reach = std::max({reach, std::fabs(p->m_Position.x - 1.0f), std::fabs(p->m_Position.y - 2.0f)});
        }
        EXPECT_GT(burst->GetParticleCount(), 0u);
        EXPECT_LE(reach, 15.0f);
        EXPECT_GT(reach, 5.0f);
        effectstest::Step(2);
        EXPECT_EQ(burst->GetParticleCount(), 0u);  // 0.525 s

        effectstest::Step(119 - 21);
        EXPECT_TRUE(Managed(burst));
        effectstest::Step(2);
        EXPECT_FALSE(Managed(burst));
    }
}

TEST_F(BombEffectsTest, FuseSparksRunDownTheFuseForASecondAndEndAboutASecondLater) {
    CBombEmitter3* sparks = new CBombEmitter3();
    sparks->startPoint = D3DXVECTOR3(0.0f, 1.7f, 0.0f);
    sparks->endPoint = D3DXVECTOR3(0.0f, 0.95f, 0.0f);
    sparks->duration = 1.0f;
    CBombEmitter3* alive = sparks;
    sparks->link.Bind(&alive);

    effectstest::Step(20);
    EXPECT_NEAR(sparks->currentPoint.y, 1.325f, 1e-3f);
    effectstest::Step(20);
    // Nothing has aged out yet: the count is everything emitted.
    EXPECT_NEAR(static_cast<int>(sparks->GetParticleCount()), 400, 20);
    effectstest::Step(2);
    EXPECT_EQ(sparks->currentPoint.y, 0.95f);
    unsigned emitted = sparks->GetParticleCount();
    effectstest::Step(37);  // 1.975 s
    ASSERT_NE(alive, nullptr);
    EXPECT_LT(sparks->GetParticleCount(), emitted);
    effectstest::Step(5);   // 2.1 s
    EXPECT_EQ(alive, nullptr);
}

TEST_F(BombEffectsTest, SparkTrailChasesItsTargetUntilStoppedThenGoesAtTheNextUpdate) {
    CBombEmitter1* trail = new CBombEmitter1(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    ASSERT_EQ(trail->GetParticleCount(), 25u);
    EXPECT_GT(trail->m_Particles[0]->m_Size, trail->m_Particles[24]->m_Size);
    CBombEmitter1* alive = trail;
    trail->link.Bind(&alive);
    trail->SetTarget(10.0f, 0.0f, 0.0f);
    effectstest::Step();
    EXPECT_NEAR(trail->position.x, 70.0f * 0.025f, 1e-4f);
    EXPECT_NEAR(trail->m_Particles[1]->m_Position.x, 70.0f * 0.025f - 0.1f, 1e-4f);

    trail->stopped = true;
    effectstest::Step();
    EXPECT_EQ(alive, nullptr);
    EXPECT_FALSE(Managed(trail));
}

TEST_F(BombEffectsTest, RefusedSystemIsDeletedByItsMaker) {
    unsigned before = m_manager->m_SystemCount;
    CBombEmitter3* refused = new CBombEmitter3();
    m_manager->RemoveSystem(refused);
    refused->m_Registered = false;
    EXPECT_EQ(KeepIfRegistered(refused), nullptr);
    EXPECT_EQ(m_manager->m_SystemCount, before);
}

}  // namespace
