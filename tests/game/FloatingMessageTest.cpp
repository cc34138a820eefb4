// Floating messages and the animated-object list: trail sampling and expiry,
// the three timed phases, colour bytes, and removal during an update pass.
#include <gtest/gtest.h>

#include <platform.h>

#include <cmath>
#include <vector>

#include "engine/GraphicsEngine.h"
#include "game/AnimatedObjectList.h"
#include "game/FloatingMessage.h"
#include "game/GameLoop.h"
#include "support/EngineScope.h"
#include "support/FakePlatform.h"

namespace {

// Engine time without a device: the fake clock moves it on at each tick.
class AnimatedObjectTest : public testing::Test {
protected:
    void SetUp() override {
        m_engine = CGraphicsEngine::GetInstance();
        m_engine->Tick();
    }
    void TearDown() override {
        gameloop::DeleteGamePlay();
        m_sweep.Now();
    }
    void Advance(double seconds) {
        platform::AdvanceFakeClock(int64_t(std::llround(seconds * 1e9)));
        m_engine->Tick();
    }

    testutil::FakePlatform m_platform;
    enginescope::Sweep m_sweep;  // the engine made in SetUp
    CGraphicsEngine* m_engine = nullptr;
};

// A message that flies from (0.1, 0.2) to (0.5, 0.2) and back out, 1 / 3 / 1 s.
CFloatingMessage::Params Flight(float density = 100.0f, float life = 0.3f) {
    CFloatingMessage::Params p;
    p.charWidth = p.charHeight = 0.05f;
    p.textColor = D3DXCOLOR(1, 1, 1, 1);
    p.traceDensity = density;
    p.traceLife = life;
    p.text = "hello";
    p.k0 = D3DXCOLOR(1, 1, 1, 0);
    p.k1 = D3DXCOLOR(1, 1, 1, 1);
    p.k2 = D3DXCOLOR(1, 1, 1, 0);
    p.p0 = D3DXVECTOR2(0.1f, 0.2f);
    p.p1 = D3DXVECTOR2(0.5f, 0.2f);
    p.p2 = D3DXVECTOR2(0.9f, 0.2f);
    p.t0 = 1.0f;
    p.t1 = 3.0f;
    p.t2 = 1.0f;
    return p;
}

// An object that counts its calls and finishes when told.
class Probe : public CBaseAnimatedObject {
public:
    Probe(int id, std::vector<int>* updates, std::vector<int>* draws, bool alive = true)
        : id(id), alive(alive), m_updates(updates), m_draws(draws) {}
    bool Update() override {
        m_updates->push_back(id);
        return alive;
    }
    void Draw() override { m_draws->push_back(id); }
    int id;
    bool alive;

private:
    std::vector<int>* m_updates;
    std::vector<int>* m_draws;
};

class TrailProbe : public CBaseAnimatedObject {
public:
    void Draw() override {}
};

TEST_F(AnimatedObjectTest, MoveLaysSamplesFromTheOldPositionUpToTheNewOne) {
    struct Case {
        float density, dx;
        size_t samples;
    };
    for (const Case& c : {Case{400.0f, 0.0f, 1u}, Case{400.0f, 0.37f, 148u}, Case{10.0f, 0.05f, 1u}}) {
        TrailProbe probe;
        probe.SetTraceParams(c.density, 1.0f);
        probe.SetPosition(D3DXVECTOR2(0.2f, 0.3f));
        probe.AddTraceSample(D3DXVECTOR2(0.2f + c.dx, 0.3f));
        const auto& trace = probe.GetTrace();
        ASSERT_EQ(trace.size(), c.samples) << c.dx;
        EXPECT_FLOAT_EQ(trace.front()->x, 0.2f);
        const float spacing = c.dx / c.samples;
        for (size_t i = 0; i < trace.size(); ++i) {
            EXPECT_NEAR(trace[i]->x, 0.2f + spacing * i, 1e-6f) << i;
            EXPECT_FLOAT_EQ(trace[i]->y, 0.3f);
        }
        EXPECT_FLOAT_EQ(probe.GetX(), 0.2f + c.dx);
    }
}

TEST_F(AnimatedObjectTest, SampleGoesAtTheFirstUpdateWhenTraceLifeOld) {
    TrailProbe probe;
    probe.SetTraceParams(1.0f, 0.5f);
    probe.SetPosition(D3DXVECTOR2(0, 0));
    probe.AddTraceSample(D3DXVECTOR2(0, 0));
    Advance(0.25);
    probe.AddTraceSample(D3DXVECTOR2(0, 0));
    Advance(0.25);  // the first is exactly 0.5 s old
    EXPECT_TRUE(probe.Update());
    ASSERT_EQ(probe.GetTrace().size(), 1u);
    EXPECT_FLOAT_EQ(probe.GetTrace()[0]->time, m_engine->GetTime() - 0.25f);
}

TEST_F(AnimatedObjectTest, ExpiryExaminesTheSampleMovedIntoTheGap) {
    TrailProbe probe;
    probe.SetTraceParams(1.0f, 0.5f);
    probe.SetPosition(D3DXVECTOR2(0, 0));
    probe.AddTraceSample(D3DXVECTOR2(3, 0));  // three samples, soon old
    Advance(0.6);
    probe.AddTraceSample(D3DXVECTOR2(3, 0));  // one young sample at x 3
    ASSERT_EQ(probe.GetTrace().size(), 4u);
    probe.Update();
    ASSERT_EQ(probe.GetTrace().size(), 1u);
    EXPECT_FLOAT_EQ(probe.GetTrace()[0]->x, 3.0f);
}

TEST_F(AnimatedObjectTest, MessageFliesInHoldsAndFliesOutInALittleOverFiveSeconds) {
    CFloatingMessage message;
    message.Start(Flight());
    // Start ran the first update: at P0 in K0, with one sample.
    EXPECT_FLOAT_EQ(message.GetX(), 0.1f);
    EXPECT_FLOAT_EQ(message.GetParams().currentColor.a, 0.0f);
    EXPECT_EQ(message.GetTrace().size(), 1u);

    Advance(0.5);
    EXPECT_TRUE(message.Update());
    // Quadratic motion, linear colour.
    EXPECT_NEAR(message.GetX(), 0.1f + 0.4f * 0.25f, 1e-5f);
    EXPECT_NEAR(message.GetParams().currentColor.a, 0.5f, 1e-5f);
    // While engine time stands still nothing moves on.
    for (int i = 0; i < 100; ++i) EXPECT_TRUE(message.Update());
    EXPECT_EQ(message.GetPhase(), 0);
    EXPECT_NEAR(message.GetX(), 0.1f + 0.4f * 0.25f, 1e-5f);

    const float start = m_engine->GetTime() - 0.5f;
    float end = 0.0f;
    for (int i = 0; i < 400; ++i) {
        Advance(0.025);
        if (!message.Update()) {
            end = m_engine->GetTime();
            break;
        }
        if (message.GetPhase() == 1) {
            EXPECT_FLOAT_EQ(message.GetX(), 0.5f);
            EXPECT_FLOAT_EQ(message.GetParams().currentColor.a, 1.0f);
        }
    }
    EXPECT_GT(end - start, 5.0f);
    EXPECT_LT(end - start, 5.1f);
}

TEST_F(AnimatedObjectTest, MessageWithZeroTimesStillFinishes) {
    CFloatingMessage::Params p = Flight();
    p.t0 = p.t1 = p.t2 = 0.0f;
    CFloatingMessage message;
    message.Start(p);
    int updates = 1;
    while (message.Update() && updates < 10) ++updates;
    EXPECT_LT(updates, 10);
}

TEST_F(AnimatedObjectTest, RemovingTheFirstOfThreeMovesTheThirdIntoItsPlace) {
    std::vector<int> updates, draws;
    CAnimatedObjectList* list = CAnimatedObjectList::GetInstance();
    list->Add(new Probe(1, &updates, &draws, false));
    list->Add(new Probe(2, &updates, &draws));
    list->Add(new Probe(3, &updates, &draws));
    list->UpdateAll();
    EXPECT_EQ(updates, (std::vector<int>{1, 3, 2}));
    list->DrawAll();
    EXPECT_EQ(draws, (std::vector<int>{3, 2}));
}

TEST_F(AnimatedObjectTest, MessageFinishedAtItsFirstUpdateIsGoneBeforeTheDraw) {
    CAnimatedObjectList* list = CAnimatedObjectList::GetInstance();
    CFloatingMessage* message = new CFloatingMessage();
    message->Start(Flight());
    list->Add(message);
    // Long enough for all three phases to end at one update each.
    for (int phase = 0; phase < 2; ++phase) {
        Advance(4.0);
        list->UpdateAll();
    }
    ASSERT_EQ(list->GetObjects().size(), 1u);
    Advance(2.0);
    list->UpdateAll();
    EXPECT_TRUE(list->GetObjects().empty());
    list->DrawAll();  // nothing left to draw through
}

}  // namespace
