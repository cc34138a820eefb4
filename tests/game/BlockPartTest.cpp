#include <gtest/gtest.h>

#include <crt.h>

#include <cmath>

#include "EffectsTestEnv.h"
#include "engine/ParticleSystemsManager.h"
#include "game/BlockPart.h"
#include "game/BlockPartManager.h"
#include "game/BlockPartPiece.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/ObjectEmitter.h"

namespace {

class BlockPartTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(effectstest::StartEngine());
        CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
        m_Particles = CParticleSystemsManager::GetInstance();
        m_Parts = CBlockPartManager::GetInstance();
        crt_srand(1);
    }
    void TearDown() override {
        gameloop::DeleteGamePlay();
        effectstest::StopEngine();
    }

    // A piece flying from (0, y, 0) with the given velocity, starting now.
    CBlockPartPiece* Piece(float y, const D3DXVECTOR3& velocity) {
        CBlockPartPiece* piece = new CBlockPartPiece();
        piece->spawn = piece->position = D3DXVECTOR3(0.0f, y, 0.0f);
        piece->velocity = velocity;
        piece->startTime = effectstest::Now();
        piece->trail = new CObjectEmitter();
        piece->trail->startColor = D3DXCOLOR(0.0f, 0.0f, 0.0f, 0.5f);
        piece->trail->lifetime = 0.2f;
        return piece;
    }

    // Steps the piece (and the particles after it, as the game does) until it
    // dies; the age at which it died.
    float AgeAtDeath(CBlockPartPiece* piece) {
        bool alive = true;
        float start = piece->startTime, death = -1.0f;
        effectstest::SetStepFunction([&] {
            if (alive && !piece->Update()) {
                alive = false;
                death = effectstest::Now() - start;
            }
            m_Particles->Update();
        });
        for (int i = 0; i < 200 && alive; ++i) effectstest::Step();
        return death;
    }

    CParticleSystemsManager* m_Particles = nullptr;
    CBlockPartManager* m_Parts = nullptr;
};

TEST_F(BlockPartTest, TenPiecesWanderFromTheCellTowardsTheCamera) {
    CBlockPart part;
    part.Init(1.0f, 2.0f, 0.0f, 0.96f, 0.96f, 1.0f, 0.0f, 0.0f, 1.0f, CBlockPart::kPieces);
    ASSERT_EQ(part.pieces.size(), 10u);
    D3DXVECTOR3 before(1.0f, 2.0f, 0.0f);
    for (CBlockPartPiece* piece : part.pieces) {
        EXPECT_LE(std::fabs(piece->spawn.x - before.x), 0.48f);
        EXPECT_LE(std::fabs(piece->spawn.y - before.y), 0.48f);
        EXPECT_NEAR(piece->spawn.z, before.z - 0.48f, 1e-5f);
        float speed = std::sqrt(piece->velocity.x * piece->velocity.x + piece->velocity.y * piece->velocity.y +
                                piece->velocity.z * piece->velocity.z);
        EXPECT_GE(speed, 1.0f - 1e-4f);
        EXPECT_LE(speed, 30.0f + 1e-4f);
        ASSERT_NE(piece->trail, nullptr);
        EXPECT_EQ(piece->trail->startColor, D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.5f));
        EXPECT_EQ(piece->trail->endColor, D3DXCOLOR(1.0f, 0.0f, 0.0f, 0.3f));
        EXPECT_GE(piece->trail->startSize, 0.7f);
        EXPECT_LE(piece->trail->startSize, 1.8f);
        before = piece->spawn;
    }
    EXPECT_NEAR(part.pieces.back()->spawn.z, -4.8f, 1e-5f);
}

TEST_F(BlockPartTest, PieceThrownUpPeaksAndDiesBelowTheFloorOrOfAge) {
    CBlockPartPiece* piece = Piece(0.0f, D3DXVECTOR3(0.0f, 30.0f, 0.0f));
    float peak = -100.0f, peakAge = 0.0f;
    effectstest::SetStepFunction([&] {
        if (!piece->Update()) return;
        if (piece->position.y > peak) {
            peak = piece->position.y;
            peakAge = effectstest::Now() - piece->startTime;
        }
    });
    effectstest::Step(60);
    EXPECT_NEAR(peak, 11.36f, 0.01f);
    EXPECT_NEAR(peakAge, 0.758f, 0.0125f);
    delete piece;

    struct Case {
        float y;
        float earliest, latest;
    } cases[] = {{0.0f, 1.796f, 1.796f + 0.025f}, {20.0f, 2.0f - 1e-4f, 2.025f + 1e-4f}};
    for (const Case& c : cases) {
        piece = Piece(c.y, D3DXVECTOR3(0.0f, 30.0f, 0.0f));
        float age = AgeAtDeath(piece);
        EXPECT_GT(age, c.earliest) << c.y;
        EXPECT_LE(age, c.latest) << c.y;
        delete piece;
    }
}

TEST_F(BlockPartTest, AgeingPieceShortensAndSpreadsItsTrailThenStopsIt) {
    CBlockPartPiece* piece = Piece(20.0f, D3DXVECTOR3(20.0f, 30.0f, 0.0f));  // always moving: always laying
    std::vector<std::pair<float, unsigned>> counts;  // age, trail particles after the step
    effectstest::SetStepFunction([&] {
        piece->Update();
        m_Particles->Update();
        counts.emplace_back(effectstest::Now() - piece->startTime, piece->trail->GetParticleCount());
    });
    effectstest::Step(40);
    EXPECT_NEAR(piece->trail->lifetime, 0.05f, 1e-4f);
    EXPECT_NEAR(piece->trail->spacing, 0.2f, 1e-4f);
    effectstest::Step(30);
    for (const auto& c : counts) {
        if (c.first < 1.3f) {
            EXPECT_GT(c.second, 0u) << c.first;
        } else if (c.first > 4.0f / 3.0f + 1e-4f) {
            EXPECT_EQ(c.second, 0u) << c.first;
        }
    }
    delete piece;
}

TEST_F(BlockPartTest, DeadFragmentsGoTogetherWhileTheOthersAreUpdatedOnce) {
    // Fragments without pieces (their last died a step ago) between live ones.
    CBlockPart* parts[4];
    for (CBlockPart*& part : parts) {
        part = new CBlockPart();
        m_Parts->Add(part);
    }
    for (int i : {1, 3}) {
        CBlockPartPiece* piece = Piece(30.0f, D3DXVECTOR3(0.0f, 0.0f, 0.0f));
        piece->startTime = effectstest::Now() - 1.0f;  // f = 0.5, fallen 19.8
        parts[i]->pieces.push_back(piece);
    }
    m_Parts->Update();
    ASSERT_EQ(m_Parts->parts.size(), 2u);
    for (CBlockPart* part : m_Parts->parts) {
        EXPECT_TRUE(part == parts[1] || part == parts[3]);
        // One step of convergence from 0 towards 0.7 at f = 0.5.
        EXPECT_NEAR(part->pieces[0]->trail->startColor.r, 0.35f, 1e-4f);
    }
}

TEST_F(BlockPartTest, BurstsLeaveTheParticleManagerAsTheyFoundIt) {
    size_t systems = m_Particles->GetSystems().size();
    for (int i = 0; i < 5; ++i) {
        CBlockPart* part = new CBlockPart();
        part->Init(0.0f, -9.6f, 0.0f, 0.96f, 0.96f, 0.2f, 0.4f, 1.0f, 1.0f, CBlockPart::kPieces);
        m_Parts->Add(part);
    }
    EXPECT_EQ(m_Particles->GetSystems().size(), systems + 50);
    effectstest::SetStepFunction([this] {
        m_Parts->Update();
        m_Particles->Update();
    });
    effectstest::Step(84);  // past every piece's two seconds, and one more step for the empty fragments
    EXPECT_TRUE(m_Parts->parts.empty());
    EXPECT_EQ(m_Particles->GetSystems().size(), systems);
}

}  // namespace
