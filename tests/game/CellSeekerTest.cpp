#include "FrameTestEnv.h"
#include "audio/SoundTestView.h"
#include "engine/ParticleSystemsManager.h"
#include "game/BlockPartManager.h"
#include "game/CellSeekerEffect.h"
#include "game/GameLoop.h"
#include "game/Hud.h"

namespace {

using frametest::Dist;

class CellSeeker : public frametest::FrameFixture {
protected:
    void TearDown() override {
        gameloop::DeleteGamePlay();
        g_GameType = kLineGame;
        FrameFixture::TearDown();
    }
    CGameField* Field() {
        CGameField* f = ClassicField();
        CHud::GetInstance()->level = 1;
        return f;
    }
    // The particle update runs the comets, as the game's step does.
    void Run(int steps) {
        fieldtest::OnStep() = [] { CParticleSystemsManager::GetInstance()->Update(); };
        Steps(steps);
    }
    static D3DXVECTOR3 InField(CGameField* f, const D3DXVECTOR3& world) {
        D3DXMATRIX inverse;
        D3DXMatrixInverse(&inverse, nullptr, &f->m_fieldMatrix);
        D3DXVECTOR3 local;
        D3DXVec3TransformCoord(&local, &world, &inverse);
        return local;
    }
};

TEST_F(CellSeeker, IdleCometsCircleHalfALapApart) {
    CGameField* f = Field();
    CCellSeekerEffect* a = f->m_cellSeekers[0];
    CCellSeekerEffect* b = f->m_cellSeekers[1];
    ASSERT_TRUE(a && b);
    EXPECT_LT(Dist(InField(f, a->GetIdlePoint()), D3DXVECTOR3(5.697f, 0.0f, 1.0f)), 1e-3f);
    EXPECT_LT(Dist(InField(f, b->GetIdlePoint()), D3DXVECTOR3(-5.697f, 0.0f, 1.0f)), 1e-3f);
    Run(40);  // a tenth of a lap
    EXPECT_NEAR(a->phase, 0.225f, 1e-4f);
    EXPECT_NEAR(b->phase, 0.725f, 1e-4f);
    EXPECT_TRUE(a->idle && b->idle);
    EXPECT_EQ(a->target, a->GetIdlePoint());
}

TEST_F(CellSeeker, SpeedsAndApproachFollowTheLevel) {
    CGameField* f = Field();
    CCellSeekerEffect* s = f->m_cellSeekers[0];
    CParticleSystemsManager::GetInstance()->RemoveSystem(f->m_cellSeekers[1]);  // one comet only
    f->Cell(5, 20).m_value = 0;
    f->Cell(5, 20).m_removalMark = true;
    struct Case {
        int level;
        GameType type;
        bool idle;
        float value;  // approach time when idle, chase speed otherwise
    } cases[] = {{1, kLineGame, true, 0.5f},   {11, kLineGame, true, 0.3f},   {21, kLineGame, true, 0.1f},
                 {30, kColorGame, true, 0.1f}, {1, kLineGame, false, 10.0f}, {1, kColorGame, false, 20.0f},
                 {11, kLineGame, false, 60.0f}, {11, kColorGame, false, 70.0f}};
    for (const Case& c : cases) {
        CHud::GetInstance()->level = c.level;
        g_GameType = c.type;
        s->idle = c.idle;
        s->hasTarget = false;
        D3DXVECTOR2 size;
        f->GetBlockPosition(5, 20, &s->position, &size);
        s->position.x += 3.0f;  // searched within the 1000 squared units it starts from
        s->Update();
        EXPECT_TRUE(s->hasTarget);
        EXPECT_EQ(s->mode, c.idle ? CMovingEmitter::kTimed : CMovingEmitter::kBySpeed);
        EXPECT_NEAR(c.idle ? s->duration : s->speed, c.value, 1e-5f) << c.level << "/" << c.type;
    }
    delete f->m_cellSeekers[1];
    f->m_cellSeekers[1] = nullptr;
}

TEST_F(CellSeeker, MarkedLineIsKnockedOutBlockByBlock) {
    struct Case {
        int level;
    } cases[] = {{1}, {11}};
    int steps[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
        CGameField* f = Field();
        CHud::GetInstance()->level = cases[i].level;
        for (int x = 1; x <= 10; ++x) {
            f->Cell(x, 20).m_value = x % 8;
            f->Cell(x, 20).m_removalMark = true;
            f->Cell(x, 19).m_value = 2;
        }
        CSoundTestView sounds;
        size_t systems = CParticleSystemsManager::GetInstance()->GetSystems().size();
        // With the menu open the comets wait.
        CGameMode::GetInstance()->menuState = CGameMode::kMenuOpen;
        Run(20);
        EXPECT_EQ(f->Cell(1, 20).m_value, 1);
        CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;

        fieldtest::OnStep() = [&] {
            CParticleSystemsManager::GetInstance()->Update();
            ++steps[i];
        };
        auto marked = [f] {
            for (int x = 0; x < 12; ++x)
                if (f->Cell(x, 20).m_removalMark) return true;
            return false;
        };
        for (int n = 0; n < 2000 && marked(); ++n) Steps(1);
        Run(1);
        for (int x = 1; x <= 10; ++x) {
            EXPECT_EQ(f->Cell(x, 20).m_value, -1) << x;
            EXPECT_EQ(f->Cell(x, 19).m_motionCounter, 1) << x;
        }
        EXPECT_EQ(CBlockPartManager::GetInstance()->parts.size(), 10u);
        EXPECT_EQ(CParticleSystemsManager::GetInstance()->GetSystems().size(), systems + 100);
        int played = 0;
        for (const std::string& name : sounds.Played()) played += name == "animal_block_destroy.wav";
        EXPECT_GE(played, 1);
        EXPECT_LE(played, 10);
        EXPECT_TRUE(f->m_cellSeekers[0]->idle && f->m_cellSeekers[1]->idle);
        TearDown();
        SetUp();
    }
    EXPECT_LT(steps[1], steps[0]);
}

}  // namespace
