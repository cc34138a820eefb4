#include <crt.h>

#include <vector>

#include "FigureTestEnv.h"
#include "audio/SoundTestView.h"
#include "game/ColorFigure.h"
#include "game/GameRules.h"
#include "game/ObjectEmitter.h"

namespace {

using figuretest::FigureTest;

class ColorFigureTest : public FigureTest {
protected:
    void SetUp() override {
        FigureTest::SetUp();
        m_rules = g_GameRules;
        g_GameRules.colorsNum = 4;
    }
    void TearDown() override {
        m_figure.reset();  // its trail before the particle manager goes
        g_GameRules = m_rules;
        FigureTest::TearDown();
    }
    // A started figure with the given colours down its pattern columns.
    CColorFigure* Figure(bool special, std::vector<int> colours) {
        m_figure.reset(new CColorFigure(special));
        m_figure->Init();
        size_t i = 0;
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 6; ++r)
                if (m_figure->Pattern()[r][c]) m_figure->Cell(r, c).m_value = colours[i++ % colours.size()];
        m_figure->Start();
        return m_figure.get();
    }
    // Runs n engine steps, the first with a rotate press when asked.
    void Cycle(int n, bool press = true, int pressAgainAt = -1) {
        int step = 0;
        fieldtest::OnStep() = [&] {
            m_figure->Animate((press && step == 0) || step == pressAgainAt);
            ++step;
        };
        Steps(n);
        fieldtest::OnStep() = nullptr;
    }
    std::vector<int> Column(int c) {
        std::vector<int> out;
        for (int r = 0; r < 6; ++r)
            if (m_figure->Pattern()[r][c]) out.push_back(m_figure->Cell(r, c).m_value);
        return out;
    }
    CGameRules m_rules;
    std::unique_ptr<CColorFigure> m_figure;
};

void ExpectVec(const D3DXVECTOR3& v, float x, float y, float z) {
    EXPECT_NEAR(v.x, x, 1e-4);
    EXPECT_NEAR(v.y, y, 1e-4);
    EXPECT_NEAR(v.z, z, 1e-4);
}

TEST_F(ColorFigureTest, SeededStickDrawsOneColourPerPatternCell) {
    Field();
    crt_srand(1);
    CColorFigure f(false);
    f.Init();
    EXPECT_EQ(f.kind, CBaseFigure::kColor);
    int blocks = 0;
    for (const CFieldBlock& b : f.cells) blocks += !b.IsEmpty();
    EXPECT_EQ(blocks, 3);
    EXPECT_EQ(f.Cell(0, 1).m_value, 1);  // draws 41, 18467, 6334 mod 4
    EXPECT_EQ(f.Cell(1, 1).m_value, 3);
    EXPECT_EQ(f.Cell(2, 1).m_value, 2);
}

TEST_F(ColorFigureTest, CycleMovesTheColoursUpWithWrapAround) {
    Field();
    Generator()->colorAnimSpeed = 12.0f;
    struct Case {
        int presses;
        std::vector<int> column;
    } cases[] = {{1, {1, 2, 0}}, {2, {2, 0, 1}}, {3, {0, 1, 2}}};
    for (const Case& c : cases) {
        Figure(false, {0, 1, 2});
        for (int i = 0; i < c.presses; ++i) Cycle(11);
        EXPECT_EQ(Column(1), c.column) << c.presses;
        EXPECT_FALSE(m_figure->cycling);
    }
    // Speed 12 at 0.025 s: the 11th step from the press completes; a second
    // press mid-cycle changes nothing.
    Figure(false, {0, 1, 2});
    Cycle(10, true, 5);
    EXPECT_EQ(Column(1), (std::vector<int>{0, 1, 2}));
    EXPECT_TRUE(m_figure->cycling);
    Cycle(1, false);
    EXPECT_EQ(Column(1), (std::vector<int>{1, 2, 0}));
    EXPECT_FALSE(m_figure->cycling);
}

TEST_F(ColorFigureTest, CycleSwingsTheTopBlockOnAnArc) {
    Field();
    CFigureGenerator* generator = Generator();
    generator->colorAnimSpeed = (D3DX_PI / 2) / 0.025f;
    Figure(false, {0, 1, 2});
    Cycle(2);
    ExpectVec(m_figure->Cell(0, 1).m_positionOffset, 0, 0.96f, -0.96f);
    ExpectVec(m_figure->Cell(1, 1).m_positionOffset, 0, -0.48f, 0.96f);
    ExpectVec(m_figure->Cell(2, 1).m_positionOffset, 0, -0.48f, 0.96f);

    Figure(true, {0, 1, 2, 3, 0, 1, /* second column */ 3, 2, 1, 0, 3, 2});
    Cycle(2);
    ExpectVec(m_figure->Cell(0, 1).m_positionOffset, 0, 2.4f, -0.96f);
    ExpectVec(m_figure->Cell(0, 2).m_positionOffset, 0, 2.4f, -0.96f);
    Cycle(1, false);
    EXPECT_EQ(Column(1), (std::vector<int>{1, 2, 3, 0, 1, 0}));
    EXPECT_EQ(Column(2), (std::vector<int>{2, 1, 0, 3, 2, 3}));
    for (const CFieldBlock& b : m_figure->cells) ExpectVec(b.m_positionOffset, 0, 0, 0);

    generator->colorAnimSpeed = 0.0f;
    Figure(false, {0, 1, 2});
    Cycle(200);
    EXPECT_TRUE(m_figure->cycling);
    EXPECT_EQ(Column(1), (std::vector<int>{0, 1, 2}));
    for (const CFieldBlock& b : m_figure->cells) ExpectVec(b.m_positionOffset, 0, 0, 0);
}

TEST_F(ColorFigureTest, CanBeTestsOnlyThePatternColumns) {
    CGameField* field = Field();
    struct Case {
        bool special;
        int column, row;  // a blocked cell, or -1
        int x, y;
        bool fits;
    } cases[] = {{false, 4, 5, 3, 5, false}, {false, 4, 7, 3, 5, false}, {false, 4, 8, 3, 5, true},
                 {false, 3, 6, 3, 5, true},  {false, 5, 6, 3, 5, true},  {true, 4, 10, 3, 5, false},
                 {true, 5, 5, 3, 5, false},  {true, 4, 11, 3, 5, true},  {true, 6, 6, 3, 5, true},
                 {true, 3, 6, 3, 5, true},   {true, -1, -1, -1, 14, true}, {true, -1, -1, -2, 14, false},
                 {true, -1, -1, 8, 14, false}, {true, -1, -1, -1, 15, false}};
    for (const Case& c : cases) {
        CColorFigure f(c.special);
        f.Init();
        field->Clear();
        if (c.column >= 0) field->Cell(c.column, c.row).m_value = 0;
        EXPECT_EQ(f.CanBe(c.x, c.y, -1, -1), c.fits)
            << c.special << " " << c.column << "," << c.row << " at " << c.x << "," << c.y;
    }
}

TEST_F(ColorFigureTest, BuildCopiesOnlyTheValues) {
    CGameField* field = Field();
    Generator();  // holds the landing sound
    field->Cell(5, 16).m_scale = D3DXVECTOR3(0.2f, 0.2f, 0.2f);
    Figure(true, {0, 1, 2, 3, 4, 5});
    m_figure->Cell(4, 2).m_scale = D3DXVECTOR3(0.5f, 0.5f, 0.5f);
    m_figure->x = 3.8f;
    m_figure->y = 12.2f;
    CSoundTestView sounds;
    m_figure->Build();
    ASSERT_EQ(sounds.Calls().size(), 1u);
    EXPECT_EQ(sounds.Calls()[0].name, "boxhit.wav");
    EXPECT_EQ(sounds.Calls()[0].category, 1);
    int filled = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x) filled += field->Cell(x, y).IsBlock();
    EXPECT_EQ(filled, 12);
    EXPECT_EQ(field->Cell(4, 12).m_value, 0);
    EXPECT_EQ(field->Cell(5, 17).m_value, 5);
    EXPECT_FLOAT_EQ(field->Cell(5, 16).m_scale.x, 0.2f);
}

TEST_F(ColorFigureTest, ColoursNumOutsideOneToEightIsClampedQuietly) {
    Field();
    Generator();
    struct Case {
        int value, usable;
    } cases[] = {{0, 1}, {9, 8}, {-3, 1}};
    for (const Case& c : cases) {
        g_GameRules.colorsNum = c.value;
        for (int i = 0; i < 20; ++i) {
            CColorFigure f(true);
            f.Init();
            for (const CFieldBlock& b : f.cells)
                if (!b.IsEmpty()) {
                    EXPECT_LT(b.m_value, c.usable) << c.value;
                }
        }
        EXPECT_EQ(CountBoldRed("ext_ColorsNum"), 0) << c.value;
    }
}

TEST_F(ColorFigureTest, TrailStartsAmbientAndRidesTheArc) {
    Field();
    CFigureGenerator* generator = Generator();
    generator->colorAnimSpeed = (D3DX_PI / 2) / 0.025f;
    Figure(false, {0, 1, 2});
    for (int r = 0; r < 6; ++r)
        for (int k = 0; k < 10; ++k)
            EXPECT_EQ(m_figure->trail->Emitter(r, 1, k)->emitting, r == 0 && k < 4) << r << " " << k;
    CObjectEmitter* e = m_figure->trail->Emitter(0, 1, 0);
    EXPECT_EQ(e->startColor, D3DXCOLOR(0.3f, 0.0f, 0.0f, 1.0f));
    const D3DXVECTOR3 atRest = e->position - Centre(m_figure->Cell(0, 1));
    Cycle(2);
    m_figure->Update();
    const D3DXVECTOR3 top = Centre(m_figure->Cell(0, 1));
    const D3DXVECTOR3 moved = top - Centre(m_figure->Cell(1, 1));
    ASSERT_GT(D3DXVec3Length(&moved), 1.0f);  // the top block is out on its arc
    ExpectVec(e->position - top, atRest.x, atRest.y, atRest.z);
}

}  // namespace
