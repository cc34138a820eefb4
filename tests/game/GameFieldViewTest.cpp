#include <cmath>
#include <fstream>

#include "FieldTestEnv.h"

namespace {

using fieldtest::FieldTest;
using fieldtest::OnStep;

const float kPi = D3DX_PI;

void ExpectNear(const D3DXVECTOR3& got, const D3DXVECTOR3& want, float eps = 1e-5f) {
    EXPECT_NEAR(got.x, want.x, eps);
    EXPECT_NEAR(got.y, want.y, eps);
    EXPECT_NEAR(got.z, want.z, eps);
}

using FieldSetup = FieldTest;

TEST_F(FieldSetup, SetUpEmptiesThePlayingAreaOnly) {
    CGameField* f = FieldOf({"1/01", "1001"});
    EXPECT_EQ(f->m_position, D3DXVECTOR3(0, 0, 17)) << "without ext_SetPosition";
    EXPECT_EQ(f->Cell(1, 0).m_value, -1) << "a block in the shape never reaches play";
    EXPECT_TRUE(f->IsEmpty());
    EXPECT_FLOAT_EQ(f->m_rotation.x, kPi);

    D3DXQUATERNION turned(0, 1, 0, 0);
    f->Cell(0, 0).m_orientation = turned;
    f->Cell(1, 1).m_value = 3;
    f->Cell(1, 1).m_motionCounter = 2;
    EXPECT_FALSE(f->IsEmpty());
    f->m_flipAngle.x = 1;
    f->Clear();
    EXPECT_EQ(f->Cell(0, 0).m_value, -2);
    EXPECT_FLOAT_EQ(f->Cell(0, 0).m_orientation.y, 1) << "outside cells keep their state";
    EXPECT_EQ(f->Cell(1, 1).m_value, -1);
    EXPECT_EQ(f->Cell(1, 1).m_motionCounter, 0);
    EXPECT_FLOAT_EQ(f->m_flipAngle.x, 0);

    gameloop::DeleteGamePlay();
    gamefieldhooks::RearmConstruction();
    f = FieldOf({"00"}, fieldtest::kStillWave, "ext_SetPosition(1, 2, 30)");
    EXPECT_EQ(f->m_position, D3DXVECTOR3(1, 2, 30)) << "the hook's position wins";
}

TEST_F(FieldTest, ClassicFieldPositions) {
    CGameField* f = MakeField();
    f->InitFromScript();
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    EXPECT_EQ(f->m_fieldMatrix, identity) << "set-up leaves the matrix for the next update";
    D3DXVECTOR3 p;
    D3DXVECTOR2 size;
    f->GetBlockPosition(0, 0, &p, &size);
    ExpectNear(p, D3DXVECTOR3(-5.28f, -9.6f, 0));
    f->GetBlockPositionCentered(0, 0, &p, nullptr);
    ExpectNear(p, D3DXVECTOR3(-5.28f, -9.6f, 0));
    f->UpdateWorldMatrix();
    f->GetBlockPosition(0, 0, &p, &size);
    ExpectNear(p, D3DXVECTOR3(-5.28f, 9.6f, 21.5f));  // row 0 on top
    EXPECT_FLOAT_EQ(size.x, 0.96f);
    EXPECT_FLOAT_EQ(size.y, 0.96f);
}

TEST_F(FieldTest, TiltAndLeanFollowTheFigure) {
    CGameField* f = MakeField();
    f->InitFromScript();
    std::vector<D3DXVECTOR3> seen;
    bool down = true;
    float amount = 1.0f;
    OnStep() = [&] {
        f->SetRotation(amount, down);
        seen.push_back(f->m_rotation);
    };
    Steps(1);
    EXPECT_NEAR(seen[0].x, kPi - 0.0025f, 1e-6f);
    EXPECT_NEAR(seen[0].y, 0.0044879895f, 1e-7f);
    Steps(1);
    EXPECT_NEAR(seen[1].y, 0.0044879895f - 0.00125f, 1e-6f) << "the same amount relaxes the lean";
    Steps(40);
    EXPECT_NEAR(seen.back().x, kPi - kPi / 70 + 0.00125f, 1e-5f) << "the tilt's floor";
    EXPECT_FLOAT_EQ(seen.back().y, 0) << "never past 0";
    down = false;
    Steps(200);
    EXPECT_FLOAT_EQ(seen.back().x, kPi) << "back to rest, never past it";
}

TEST_F(FieldSetup, FlipMirrorsRowsAtHalfTimeAndCollapsesOnce) {
    struct Case { std::vector<std::string> rows; std::vector<int> mirror; } cases[] = {
        {{"0", "0", "0", "0", "0"}, {4, 3, 2, 1, 0}},
        {{"0", "0", "0", "0"}, {3, 2, 1, 0}},
    };
    for (auto& c : cases) {
        CGameField* f = FieldOf(c.rows);
        for (int y = 0; y < f->m_height; ++y) f->Cell(0, y).m_fallOffset = float(y);
        f->m_flipPending = true;
        f->StartFlip();
        EXPECT_TRUE(f->m_flipRunning);
        EXPECT_FALSE(f->m_flipPending);
        Wait(0.95);
        f->UpdateFlip();
        EXPECT_NEAR(f->m_flipAngle.x, 0.475f * kPi, 1e-4f);
        EXPECT_FLOAT_EQ(f->Cell(0, 0).m_fallOffset, 0) << "not yet mirrored";
        Wait(0.2);
        f->UpdateFlip();
        for (int y = 0; y < f->m_height; ++y) EXPECT_FLOAT_EQ(f->Cell(0, y).m_fallOffset, float(c.mirror[y]));
        EXPECT_FLOAT_EQ(f->m_fallSpeed, 15) << "one step across half time and 0.55 also collapses";
        f->m_fallSpeed = 5;
        Wait(0.1);
        f->UpdateFlip();
        EXPECT_FLOAT_EQ(f->m_fallSpeed, 5) << "the collapse runs once";
        EXPECT_FLOAT_EQ(f->Cell(0, 0).m_fallOffset, float(c.mirror[0])) << "the mirror runs once";
        Wait(1.0);
        f->UpdateFlip();
        EXPECT_FALSE(f->m_flipRunning);
        EXPECT_FLOAT_EQ(f->m_flipAngle.x, 0);
        gameloop::DeleteGamePlay();
        gamefieldhooks::RearmConstruction();
    }
}

TEST_F(FieldSetup, FlipFirstSeenAfterItsEndOnlyStops) {
    CGameField* f = FieldOf({"0", "0", "0"});
    f->Cell(0, 0).m_value = 2;
    f->StartFlip();
    Wait(2.5);
    f->UpdateFlip();
    EXPECT_FALSE(f->m_flipRunning);
    EXPECT_FLOAT_EQ(f->m_flipAngle.x, 0);
    EXPECT_EQ(f->Cell(0, 0).m_value, 2) << "no mirror";
    EXPECT_EQ(f->Cell(0, 0).m_motionCounter, 0) << "no collapse";
    EXPECT_FLOAT_EQ(f->m_fallSpeed, 5);
}

TEST_F(FieldSetup, CollapseColumnsCountsEmptyCellsBelow) {
    // Column from the top: block, block, empty, block, empty.
    struct Case { GameType gameType; std::vector<int> first, second; } cases[] = {
        {kLineGame, {2, 2, 0, 1, 0}, {4, 4, 0, 2, 0}},
        {kColorGame, {1, 1, 0, 1, 0}, {1, 1, 0, 1, 0}},
    };
    CGameField* f = FieldOf({"0", "0", "0", "0", "0"});
    for (auto& c : cases) {
        g_GameType = c.gameType;
        f->Clear();
        for (int y : {0, 1, 3}) f->Cell(0, y).m_value = 1;
        f->CollapseColumns(7.0f);
        for (int y = 0; y < 5; ++y) EXPECT_EQ(f->Cell(0, y).m_motionCounter, c.first[y]) << c.gameType << " row " << y;
        EXPECT_FLOAT_EQ(f->m_fallSpeed, 7.0f);
        f->CollapseColumns(5.0f);
        for (int y = 0; y < 5; ++y) EXPECT_EQ(f->Cell(0, y).m_motionCounter, c.second[y]) << c.gameType << " row " << y;
    }
    gameloop::DeleteGamePlay();
    gamefieldhooks::RearmConstruction();
    f = FieldOf({"0000"});
    f->Cell(1, 0).m_value = 1;
    f->CollapseColumns(9.0f);
    EXPECT_EQ(f->Cell(1, 0).m_motionCounter, 0) << "one row: nothing to fall into";
    EXPECT_FLOAT_EQ(f->m_fallSpeed, 9.0f);

    gameloop::DeleteGamePlay();
    gamefieldhooks::RearmConstruction();
    f = FieldOf({"0", "1", "0"});
    g_GameType = kLineGame;
    f->Cell(0, 0).m_value = 1;
    f->CollapseColumns(5.0f);
    EXPECT_EQ(f->Cell(0, 0).m_motionCounter, 0) << "a wall cell stops the fall";
}

// ---- the shipped field ----

std::vector<std::string> ClassicRows() {
    std::ifstream in(std::string(getenv("KOLVAR_GAME_DIR")) + "/data/fields/classic.txt");
    int w = 0, h = 0;
    in >> w >> h;
    std::vector<std::string> rows(h);
    for (auto& r : rows)
        for (int x = 0; x < w; ++x) {
            char c;
            in >> c;
            r += c;
        }
    return rows;
}

TEST(ShippedField, ClassicShapeSuitsLinesAndTheFlip) {
    std::vector<std::string> rows = ClassicRows();
    ASSERT_EQ(rows.size(), 21u);
    auto outside = [](char c) { return c != '0'; };
    for (size_t y = 0; y < rows.size(); ++y) {
        const std::string& r = rows[y];
        ASSERT_EQ(r.size(), 12u);
        for (size_t x = 0; x < r.size(); ++x) {
            if (!outside(r[x]) && (x + 1 == r.size())) ADD_FAILURE() << "run open at the end of row " << y;
            EXPECT_EQ(outside(r[x]), outside(rows[rows.size() - 1 - y][x])) << "mirror differs at " << x << "," << y;
            if (y > 0 && !outside(r[x]) && outside(rows[y - 1][x])) {
                for (size_t above = 0; above < y; ++above)
                    EXPECT_TRUE(outside(rows[above][x])) << "column " << x << " is broken above row " << y;
            }
        }
    }
    for (int x = 4; x <= 7; ++x) EXPECT_EQ(rows[0][x], '0') << "new objects enter row 0 at column " << x;
}

TEST_F(FieldTest, ScriptedFieldIsTheClassicShape) {
    CGameField* f = MakeField();
    f->InitFromScript();
    lua_State* L = f->GetFieldState();
    ASSERT_TRUE(Run(L, "dump = '' for y = 0, 20 do for x = 0, 11 do dump = dump .. ext_GetFieldBlock(x, y) end "
                       "dump = dump .. '\\n' end"));
    std::string text = GlobalText(L, "dump");
    testutil::WriteFile(testutil::ArtifactsDir() + "/field_dump.txt", text);
    std::string expected;
    for (int y = 0; y < 21; ++y) expected += "611111111112\n";
    EXPECT_EQ(text, expected);
}

// Screen position of a field-space point at the current field matrix, as fractions.
D3DXVECTOR3 Project(CGameField* f, const D3DXVECTOR3& local) {
    D3DXVECTOR3 world, clip;
    D3DXVec3TransformCoord(&world, &local, &f->m_fieldMatrix);
    D3DXVec3TransformCoord(&clip, &world, CGraphicsEngine::GetInstance()->GetViewProjMatrix());
    return D3DXVECTOR3((clip.x + 1) / 2, (1 - clip.y) / 2, clip.z);
}

TEST_F(FieldTest, PlayPoseFitsTheScreen) {
    CGameField* f = MakeField();
    f->InitFromScript();
    f->UpdateWorldMatrix();
    const float half = 0.48f;
    for (int y = -1; y <= 21; ++y)
        for (int x = 0; x < 12; ++x) {
            D3DXVECTOR3 c;
            f->GetBlockPositionCentered(x, std::min(std::max(y, 0), 20), &c, nullptr);
            c.y += (y - std::min(std::max(y, 0), 20)) * 0.96f;
            for (float dx : {-half, half})
                for (float dy : {-half, half}) {
                    D3DXVECTOR3 s = Project(f, D3DXVECTOR3(c.x + dx, c.y + dy, c.z));
                    bool grid = y >= 0 && y <= 20;
                    EXPECT_GT(s.y, grid ? 0.02f : 0.0f) << x << "," << y;
                    EXPECT_LT(s.y, grid ? 0.98f : 1.0f) << x << "," << y;
                    if (grid) {
                        EXPECT_GT(s.x, 0.27f) << x << "," << y;
                        EXPECT_LT(s.x, 0.73f) << x << "," << y;
                    }
                }
        }
}

TEST_F(FieldTest, AppearAndDisappearAnimations) {
    CGameField* f = MakeField();
    f->InitFromScript();
    f->UpdateWorldMatrix();
    const D3DXVECTOR3 playPosition = f->m_position, playRotation = f->m_rotation;
    auto inFront = [&] {
        f->UpdateWorldMatrix();
        for (int y : {0, 20})
            for (int x : {0, 11}) {
                D3DXVECTOR3 c;
                f->GetBlockPositionCentered(x, y, &c, nullptr);
                D3DXVECTOR3 s = Project(f, c);
                if (s.z <= 0 || s.z >= 1) return false;
            }
        return true;
    };

    bool alwaysInFront = true;
    // Steps the animation to its end, checking the field is in front in each; its length in seconds.
    auto animate = [&](int (CGameField::*update)()) {
        int running = 1, steps = 0;
        OnStep() = [&] {
            if (!running) return;
            running = (f->*update)();
            ++steps;
            alwaysInFront = alwaysInFront && inFront();
        };
        Steps(200);
        OnStep() = nullptr;
        EXPECT_EQ(running, 0);
        return steps * 0.025;
    };
    f->AppearStart();
    EXPECT_FLOAT_EQ(f->m_position.z, 60) << "the start pose is set at once";
    EXPECT_NEAR(animate(&CGameField::AppearUpdate), 2.2, 0.026);
    EXPECT_EQ(f->m_position, playPosition) << "ends exactly on the play pose";
    EXPECT_FLOAT_EQ(f->m_rotation.x, playRotation.x);
    EXPECT_FLOAT_EQ(f->m_rotation.y, 0);
    EXPECT_TRUE(alwaysInFront);

    f->DisappearStart();
    EXPECT_LE(animate(&CGameField::DisappearUpdate), 2.0);
    EXPECT_TRUE(alwaysInFront);
}

}  // namespace
