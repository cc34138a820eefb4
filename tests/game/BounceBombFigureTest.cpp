#include "SpecialObjectGame.h"
#include "game/BounceBombFigure.h"
#include "game/BounceBombList.h"
#include "game/ObjectGridRules.h"

namespace {

class BounceBombGame : public SpecialObjectGame<CBounceBombFigure> {
protected:
    CBounceBombFigure* Fire() {
        --g_BounceBombsLeft;
        return Bring(&CFigureGenerator::bounceBombFlag);
    }
    int Bounces() const {
        return Count(CSoundTestView::kPlay, "bounce1.ogg") + Count(CSoundTestView::kPlay, "bounce2.ogg") +
               Count(CSoundTestView::kPlay, "bounce3.ogg");
    }
};

TEST_F(BounceBombGame, FliesForItsLifetimeKnockingOutBlocksThenBursts) {
    Fill(14);
    const int before = Blocks();
    CBounceBombFigure* bomb = Fire();
    ASSERT_TRUE(bomb);
    EXPECT_EQ(bomb->x, 7.0f);
    EXPECT_EQ(bomb->y, 2.5f);
    m_game->Step();
    EXPECT_NEAR(bomb->x - 7.0f, 0.153f, 2e-3f);
    EXPECT_NEAR(bomb->y - 2.5f, 0.178f, 2e-3f);

    const int lifetimeSteps = static_cast<int>(g_GameRules.rubberTime / 0.025f + 0.5f);
    int flight = StepUntil([&] {
        if (Gone()) return true;  // the generator has deleted it
        // The length of the heading never changes, however it bounces.
        EXPECT_NEAR(D3DXVec2Length(&bomb->direction), 0.932f, 1e-3f);
        return false;
    });
    EXPECT_NEAR(flight + 1, lifetimeSteps, 1);
    const int knocked = before - Blocks();
    EXPECT_GT(knocked, 0);
    EXPECT_GE(Bounces(), knocked);
    EXPECT_EQ(Systems<CBounceBombEmitter>(), 1);
}

TEST_F(BounceBombGame, EndsAtOnceOnAnEmptyFieldWithoutABurstAndWithNoLifetimeWithOne) {
    struct Case { bool blocks; float lifetime; int bursts; } cases[] = {{false, 5.0f, 0}, {true, 0.0f, 1}};
    for (auto& c : cases) {
        if (c.blocks) Fill(18);
        g_GameRules.rubberTime = c.lifetime;
        const int baseline = Systems<CBounceBombEmitter>();
        CBounceBombFigure* bomb = Fire();
        ASSERT_TRUE(bomb);
        bomb->Render();  // the glow of a zero lifetime divides by nothing
        m_game->Step();
        EXPECT_TRUE(Gone());
        EXPECT_EQ(Systems<CBounceBombEmitter>() - baseline, c.bursts);
    }
}

TEST_F(BounceBombGame, TouchingABlockSendsItFlyingAndAdvancesTheListOnceMore) {
    CGameField* field = CGameField::GetInstance();
    field->Cell(6, 11).m_value = 3;
    CBounceBombList* list = CBounceBombList::GetInstance();
    list->Add(D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 0), D3DXVECTOR3(0, 0, 50),
              D3DXVECTOR3(0, 0, 0), 1, 4.0f, 6.0f);
    m_sounds.Clear();
    EXPECT_EQ(CBounceBombFigure::TestCollision(5.7f, 10.7f), kSideBelow);
    EXPECT_EQ(field->Cell(6, 11).m_value, -1);
    ASSERT_EQ(list->blocks.size(), 2u);
    EXPECT_EQ(list->blocks[1].color, 3);
    EXPECT_NEAR(list->blocks[1].invWorld._11, 10.0f, 1e-3f) << "the extra update gave the new record its matrices";
    EXPECT_EQ(Bounces(), 1);
}

TEST_F(BounceBombGame, TurnsBackAtTheTopOfTheOpenClassicField) {
    Fill(20);
    CBounceBombFigure* bomb = Fire();
    ASSERT_TRUE(bomb);
    bomb->x = 5.5f;
    bomb->direction = D3DXVECTOR2(0.0f, -0.932f);
    float highest = bomb->y;
    StepUntil([&] {
        if (Gone()) return true;
        highest = std::min(highest, bomb->y);
        return bomb->direction.y > 0.0f;
    }, 40);
    ASSERT_FALSE(Gone()) << "burst before it turned";
    EXPECT_GT(bomb->direction.y, 0.0f);
    EXPECT_GE(highest, 0.0f);
}

}  // namespace
