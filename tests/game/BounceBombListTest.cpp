#include <memory>
#include <vector>

#include "FieldTestEnv.h"
#include "audio/SoundEngine.h"
#include "audio/SoundTestView.h"
#include "game/BounceBombList.h"
#include "game/GameLoop.h"

namespace {

using fieldtest::FieldTest;
using fieldtest::OnStep;

class BounceBombListTest : public FieldTest {
protected:
    void SetUp() override {
        FieldTest::SetUp();
        StartEngine();
        m_sounds.reset(new CSoundTestView());
        m_list = CBounceBombList::GetInstance();
        m_list->knockSound = CSoundEngine::GetInstance()->LoadSound("bounce4.wav");
        OnStep() = [this] { m_list->Update(); };
    }
    void TearDown() override {
        m_sounds.reset();
        gameloop::DeleteGamePlay();
        FieldTest::TearDown();
    }
    // Straight at the box along -z: aim = target + (0, 0, -4) without spread.
    void AddAlongZ(float lifetime = 6.0f, float speed = 20.0f) {
        D3DXVECTOR3 zero(0.0f, 0.0f, 0.0f);
        m_list->Add(zero, zero, D3DXVECTOR3(1.0f, 2.0f, 3.0f), D3DXVECTOR3(0.0f, 0.0f, -1.0f), zero, 2, speed,
                    lifetime);
    }
    CBounceBombList* m_list = nullptr;
    std::unique_ptr<CSoundTestView> m_sounds;
};

TEST_F(BounceBombListTest, BlockStrikesTheBoxOnceThenOnlySlidesDown) {
    AddAlongZ();
    Steps(9);  // z = -4.5: not yet inside
    ASSERT_EQ(m_list->blocks[0].state, CFlyingBlock::kFlying);
    EXPECT_TRUE(m_sounds->Played().empty());
    Steps(1);
    CFlyingBlock b = m_list->blocks[0];
    EXPECT_EQ(b.state, CFlyingBlock::kStuck);
    EXPECT_EQ(m_sounds->Played(), std::vector<std::string>{"bounce4.wav"});
    Steps(20);
    const CFlyingBlock& later = m_list->blocks[0];
    EXPECT_EQ(m_sounds->Played().size(), 1u);
    EXPECT_NEAR(later.position.y, b.position.y - 1.0f, 1e-4f);
    EXPECT_EQ(later.position.x, b.position.x);
    EXPECT_EQ(later.position.z, b.position.z);
    EXPECT_EQ(later.angles, b.angles);
}

TEST_F(BounceBombListTest, RecordsExpireByAgeAndExpiredNeighboursGoInOnePass) {
    AddAlongZ(0.01f);
    AddAlongZ(0.01f);
    AddAlongZ(6.0f, 1.0f);
    Steps(1);
    ASSERT_EQ(m_list->blocks.size(), 1u);
    EXPECT_EQ(m_list->blocks[0].lifetime, 6.0f);
    Steps(238);
    EXPECT_EQ(m_list->blocks.size(), 1u);
    Steps(2);
    EXPECT_TRUE(m_list->blocks.empty());
}

TEST_F(BounceBombListTest, AddBlockCopiesTheCellAndFliesAtTwentyTowardsTheViewer) {
    CGameField* f = FieldOf({"000", "000"});
    f->Cell(2, 1).m_value = 5;
    f->Cell(2, 1).m_rotation = D3DXVECTOR3(0.1f, 0.2f, 0.3f);
    D3DXVECTOR3 cell;
    f->GetBlockPosition(2, 1, &cell, nullptr);

    m_list->AddBlock(2, 1);
    m_list->AddBlock(3, 1);  // outside the grid: nothing
    ASSERT_EQ(m_list->blocks.size(), 1u);
    const CFlyingBlock& b = m_list->blocks[0];
    EXPECT_EQ(b.position, cell);
    EXPECT_EQ(b.color, 5);
    EXPECT_EQ(b.angles, D3DXVECTOR3(0.1f, 0.2f, 0.3f));
    EXPECT_NEAR(D3DXVec3Length(&b.velocity), 20.0f, 1e-3f);
    EXPECT_LT(b.velocity.z, 0.0f);  // the camera looks along +z from in front
}

}  // namespace
