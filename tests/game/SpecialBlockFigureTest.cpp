#include <crt.h>

#include "FigureTestEnv.h"
#include "audio/SoundTestView.h"
#include "game/GameMode.h"
#include "game/ObjectEmitter.h"
#include "game/SpecialBlockFigure.h"

namespace {

using figuretest::FigureTest;
using SpecialFigureTest = FigureTest;

TEST_F(SpecialFigureTest, CanBeRefusesTheLeftEdgeAndCellsOutsideThePlayArea) {
    CGameField* field = Field();
    CSpecialBlockFigure f;
    f.SetShape(2, 1);
    for (int s = 0; s < CSpecialBlockFigure::kShapeCount; ++s)
        for (int p = 0; p < CSpecialBlockFigure::kShapes[s].phaseCount; ++p) {
            EXPECT_FALSE(f.CanBe(-1, 5, s, p)) << s << "/" << p;
            EXPECT_TRUE(f.CanBe(0, 5, s, p)) << s << "/" << p;
        }
    EXPECT_EQ(f.shape, 2);
    EXPECT_EQ(f.phase, 1);
    // Zigzag phase 1: the top row's block is in column 3.
    EXPECT_TRUE(f.CanBe(2, 5, -1, -1));
    field->Cell(5, 5).m_value = -2;
    EXPECT_FALSE(f.CanBe(2, 5, -1, -1));
    field->Cell(5, 5).m_value = 0;
    EXPECT_FALSE(f.CanBe(2, 5, -1, -1));
}

TEST_F(SpecialFigureTest, InitDrawsASeededShapeOfTheSpecialKind) {
    Field();
    crt_srand(1);
    CSpecialBlockFigure f;
    f.Init();
    EXPECT_EQ(f.kind, CBaseFigure::kSpecial);
    EXPECT_EQ(f.GetCurrentType(), 1);  // first draw 41
}

TEST_F(SpecialFigureTest, BuildWritesValueSevenAndThePhaseAngle) {
    CGameField* field = Field();
    Generator();  // holds the landing sound
    CSoundTestView sounds;
    CSpecialBlockFigure f;
    f.SetShape(0, 1);
    f.x = 2.7f;
    f.y = 5.9f;
    f.Build();
    ASSERT_EQ(sounds.Calls().size(), 1u);
    EXPECT_EQ(sounds.Calls()[0].name, "boxhit.wav");
    EXPECT_EQ(sounds.Calls()[0].category, 1);
    int filled = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x) {
            const CFieldBlock& cell = field->Cell(x, y);
            const bool inFrame = x >= 2 && x < 6 && y >= 5 && y < 9;
            const bool expected = inFrame && f.blocks[(y - 5) * 4 + (x - 2)].m_value == 7;
            EXPECT_EQ(cell.m_value, expected ? 7 : -1) << x << "," << y;
            if (expected) {
                EXPECT_FLOAT_EQ(cell.m_rotation.z, D3DX_PI / 2);
            }
            filled += expected;
        }
    EXPECT_EQ(filled, 12);
}

TEST_F(SpecialFigureTest, BuildSkipsCellsOutsideTheGridAndPlayArea) {
    CGameField* field = Field();
    field->Cell(1, 19).m_value = -2;
    CSpecialBlockFigure f;
    f.SetShape(0, 0);  // hollow square
    f.x = -1;
    f.y = 16;  // bottom row 19; column -1 outside
    f.Build();
    EXPECT_EQ(field->Cell(1, 19).m_value, -2);
    int filled = 0;
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 10; ++x) filled += field->Cell(x, y).m_value == 7;
    EXPECT_EQ(filled, 7);  // 12 minus four in column -1 minus the cell of value -2
    EXPECT_EQ(CountBoldRed("special figure"), 5) << RedText();
}

TEST_F(SpecialFigureTest, TrailLightsTheTopEdgeOfEachColumnAndFades) {
    CGameField* field = Field();
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
    const size_t before = manager->GetSystems().size();
    auto* f = new CSpecialBlockFigure();
    EXPECT_EQ(manager->GetSystems().size(), before + 160);
    f->SetShape(3, 0);  // spiral: column 1's top block is in row 3
    f->Update();
    for (int i = 0; i < 160; ++i) EXPECT_FALSE(f->trail.Emitter(i / 40, (i / 10) % 4, i % 10)->emitting);
    f->Start();
    Run(field->GetFieldState(), "shift = 0");
    f->Update();
    const float sx = field->m_blockSpacing.x;
    ASSERT_FLOAT_EQ(sx, 0.96f);
    D3DXMATRIX toField;
    D3DXMatrixInverse(&toField, nullptr, &field->m_fieldMatrix);
    for (int c = 0; c < 4; ++c) {
        const int top = c == 1 ? 3 : 0;
        for (int r = 0; r < 4; ++r)
            for (int k = 0; k < 10; ++k) {
                CObjectEmitter* e = f->trail.Emitter(r, c, k);
                ASSERT_EQ(e->emitting, r == top && k < 4) << r << "," << c << "," << k;
                if (!e->emitting) continue;
                EXPECT_EQ(e->startColor, D3DXCOLOR(0, 0, 0, 1));
                EXPECT_EQ(e->endColor, D3DXCOLOR(0.3f, 0.3f, 0.3f, 0.0f));
                EXPECT_FLOAT_EQ(e->startSize, 1.0f);
                EXPECT_FLOAT_EQ(e->endSize, 1.0f);
                EXPECT_FLOAT_EQ(e->spacing, 0.2f);
                EXPECT_FLOAT_EQ(e->lifetime, 0.2f);
                D3DXVECTOR3 at, centre, world = Centre(f->blocks[r * 4 + c]);
                D3DXVec3TransformCoord(&at, &e->position, &toField);
                D3DXVec3TransformCoord(&centre, &world, &toField);
                EXPECT_NEAR(at.x - centre.x, -0.33f + 0.168f * k, 1e-4);
                EXPECT_NEAR(at.y - centre.y, -field->m_blockSpacing.y / 2, 1e-4);
            }
    }
    delete f;
    EXPECT_EQ(AgeEmittersDownTo(before), before);
}

}  // namespace
