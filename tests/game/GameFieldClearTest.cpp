// The field step, falling blocks and the clearing of lines and colour runs,
// on the null device with 0.025 s steps.
#include <crt.h>

#include <cmath>

#include "FieldTestEnv.h"
#include "audio/SoundTestView.h"
#include "game/AnimatedObjectList.h"
#include "game/BlockPartManager.h"
#include "game/FigureGenerator.h"
#include "game/FloatingMessage.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/GameRules.h"
#include "game/Hud.h"

namespace {

const char* kClassic = "data\\fields\\classic.txt";

class FieldClear : public fieldtest::FieldTest {
protected:
    void SetUp() override {
        FieldTest::SetUp();
        g_GameRules = CGameRules();
        g_GameRules.bonusTime = 30.0f;
        g_GameRules.bombScore = 500;
        g_GameRules.sawScore = 1500;
        g_GameRules.levelScore = 100000.0f;
        g_GameRules.rotateScore = 100000.0f;
        const int lineScores[] = {100, 300, 600, 1000, 1500};
        for (int i = 0; i < 5; ++i) g_GameRules.lineScore[i] = lineScores[i];
    }
    void TearDown() override {
        gameloop::DeleteGamePlay();
        g_LevelChanged = false;
        g_GameRules = CGameRules();
        g_GameType = kLineGame;
        FieldTest::TearDown();
    }

    // A field of the given shape (file text or a data path), menu closed,
    // stepped by its own update.
    CGameField* Field(const std::string& shape, GameType gameType = kLineGame) {
        g_GameType = gameType;
        CGameField* f = MakeField();
        std::string path = shape;
        if (shape.find("data\\") != 0) path = Script("shape_fixture.txt", shape);
        EXPECT_TRUE(f->Create(path)) << shape;
        CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
        fieldtest::OnStep() = [] { CGameField::GetInstance()->Update(); };
        return f;
    }
    // The HUD of a running game, processed with the field in every step.
    CHud* RunHud() {
        CGameMode* mode = CGameMode::GetInstance();
        mode->mode = CGameMode::kGameRunning;
        CHud* hud = CHud::GetInstance();
        hud->Reset();
        g_LevelChanged = false;
        fieldtest::OnStep() = [] {
            CAnimatedObjectList::GetInstance()->UpdateAll();
            CHud::GetInstance()->Process();
            CGameField::GetInstance()->Update();
        };
        return hud;
    }
    void Fill(CGameField* f, int row, int colour = 0) {
        for (int x = 0; x < f->m_width; ++x)
            if (f->Cell(x, row).IsEmpty()) f->Cell(x, row).m_value = colour;
    }
    int Marked(CGameField* f) {
        int n = 0;
        for (int y = 0; y < f->m_height; ++y)
            for (int x = 0; x < f->m_width; ++x) n += f->Cell(x, y).m_removalMark;
        return n;
    }
    // Knocks every marked block out, as the cell seekers do.
    void KnockOutMarks(CGameField* f) {
        for (int y = 0; y < f->m_height; ++y)
            for (int x = 0; x < f->m_width; ++x)
                if (f->Cell(x, y).m_removalMark) f->DestroyBlock(x, y, true);
    }
    static std::vector<const CFloatingMessage*> Messages() {
        std::vector<const CFloatingMessage*> out;
        for (const auto& object : CAnimatedObjectList::GetInstance()->GetObjects())
            if (auto* m = dynamic_cast<const CFloatingMessage*>(object.get())) out.push_back(m);
        return out;
    }
    static bool Near(const D3DXQUATERNION& a, const D3DXQUATERNION& b) {
        return std::fabs(a.x - b.x) < 1e-5f && std::fabs(a.y - b.y) < 1e-5f && std::fabs(a.z - b.z) < 1e-5f &&
               std::fabs(a.w - b.w) < 1e-5f;
    }
    float Now() { return CGraphicsEngine::GetInstance()->GetTime(); }
    struct Holds {
        int x, y, value;
    };
    static void ExpectCells(CGameField* f, std::initializer_list<Holds> cells) {
        for (const Holds& c : cells) EXPECT_EQ(f->Cell(c.x, c.y).m_value, c.value) << c.x << "," << c.y;
    }

    CSoundTestView m_sounds;
};

// ---- the step ----

TEST_F(FieldClear, OpenMenuFreezesTheStepAndATurnUnderWayEndsWhenItCloses) {
    CGameField* f = Field(kClassic);
    f->m_ax = 0.3f, f->m_bx = 2.0f;
    f->Cell(3, 10).m_value = 2;
    f->Cell(3, 10).m_motionCounter = 1;
    CGameMode::GetInstance()->menuState = CGameMode::kMenuOpen;
    crt_srand(1);
    const int firstDraw = crt_rand();
    crt_srand(1);
    Steps(60);
    EXPECT_EQ(f->m_wobbleState, 0);
    EXPECT_EQ(crt_rand(), firstDraw) << "no draw from the shared generator";
    EXPECT_EQ(f->Cell(3, 10).m_value, 2);
    EXPECT_EQ(f->Cell(3, 10).m_fallOffset, 0.0f);
    EXPECT_EQ(f->Cell(3, 10).m_waveOffset.x, 0.0f);
    EXPECT_EQ(f->Cell(0, 0).m_waveOffset.x, 0.0f);

    // A column turn under way when the menu opened.
    f->m_wobbleState = 2, f->m_wobbleAxis = 0, f->m_wobbleDirection = true, f->m_wobbleLine = 6;
    f->m_wobbleStart = Now();
    Steps(13);
    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
    Steps(1);
    D3DXQUATERNION q, identity(0, 0, 0, 1);
    D3DXQuaternionRotationYawPitchRoll(&q, 0.0f, D3DX_PI / 2, 0.0f);
    EXPECT_EQ(f->m_wobbleState, 0);
    EXPECT_TRUE(Near(f->Cell(6, 5).m_baseOrientation, q));
    EXPECT_TRUE(Near(f->Cell(5, 5).m_baseOrientation, identity));
}

TEST_F(FieldClear, WobbleDrawsATurnAndTurnsTheWholeLine) {
    CGameField* f = Field(kClassic);
    const float t0 = f->m_wobbleStart;
    float before = t0;
    crt_srand(1);
    for (int i = 0; i < 60 && f->m_wobbleState == 0; ++i) {
        before = Now();
        Steps(1);
    }
    ASSERT_NE(f->m_wobbleState, 0);
    EXPECT_LE(before - t0, 0.95f);
    EXPECT_GT(f->m_wobbleStart - t0, 0.95f) << "the first step past 0.95 s";
    EXPECT_EQ(f->m_wobbleState, 2);
    EXPECT_EQ(f->m_wobbleAxis, 1);
    EXPECT_FALSE(f->m_wobbleDirection);
    EXPECT_EQ(f->m_wobbleLine, 4);

    D3DXQUATERNION q, identity(0, 0, 0, 1), half;
    D3DXQuaternionRotationYawPitchRoll(&q, -D3DX_PI / 2, 0.0f, 0.0f);
    Steps(6);
    D3DXQuaternionSlerp(&half, &identity, &q, 0.5f);
    EXPECT_TRUE(Near(f->Cell(4, 7).m_orientation, half));
    EXPECT_TRUE(Near(f->Cell(4, 7).m_baseOrientation, identity)) << "the base moves only at the end";
    Steps(7);
    EXPECT_EQ(f->m_wobbleState, 0);
    for (int y : {0, 10, 20}) {
        EXPECT_TRUE(Near(f->Cell(4, y).m_baseOrientation, q)) << y;
        EXPECT_TRUE(Near(f->Cell(4, y).m_orientation, q)) << y;
        EXPECT_TRUE(Near(f->Cell(3, y).m_orientation, identity)) << y;
    }
    // A second turn composes on the base: base × Q.
    f->m_wobbleState = 2, f->m_wobbleLine = 4, f->m_wobbleStart = Now();
    Steps(13);
    D3DXQUATERNION twice;
    D3DXQuaternionMultiply(&twice, &q, &q);
    EXPECT_TRUE(Near(f->Cell(4, 0).m_baseOrientation, twice));
    f->Cell(4, 0).Reset();
    EXPECT_TRUE(Near(f->Cell(4, 0).m_baseOrientation, identity));
}

TEST_F(FieldClear, AtLevelTwentyATurnStartsAtTheFirstIdleStep) {
    CGameField* f = Field(kClassic);
    RunHud()->level = 20;
    Steps(1);
    EXPECT_NE(f->m_wobbleState, 0);
    EXPECT_FLOAT_EQ(f->m_wobbleInterval, 0.0f);
}

TEST_F(FieldClear, WaveMovesBlocksAndWallsButNotEmptyCells) {
    CGameField* f = Field("3 2 /01 111");
    f->m_alpha = 0.5f, f->m_ax = 0.2f, f->m_bx = 1.6f, f->m_cx = 0.3f, f->m_dx = 0.45f;
    f->Cell(1, 0).m_waveOffset = D3DXVECTOR3(7, 7, 7);
    Steps(1);
    const float t = Now();
    struct Case { int x, y; float expected; } cases[] = {
        {0, 0, 0.5f * 0.2f * std::sin(1.6f * t)},
        {2, 0, 1.0f * 0.2f * std::sin(1.6f * t + 0.6f)},
        {1, 1, 1.0f * 0.2f * std::sin(1.6f * t + 0.3f + 0.45f)},
        {1, 0, 7.0f},
    };
    for (auto& c : cases) EXPECT_NEAR(f->Cell(c.x, c.y).m_waveOffset.x, c.expected, 1e-6f) << c.x << "," << c.y;
}

TEST_F(FieldClear, FallingMovesOneRowPerEightStepsAndColourMarksHoldIt) {
    CGameField* f = Field("1 4 /000");
    f->Cell(0, 0).m_motionCounter = 2;
    Steps(7);
    EXPECT_EQ(f->Cell(0, 0).m_value, 0);
    Steps(1);
    EXPECT_EQ(f->Cell(0, 1).m_value, 0);
    EXPECT_EQ(f->Cell(0, 0).m_value, -1);
    Steps(8);
    EXPECT_EQ(f->Cell(0, 2).m_value, 0);
    EXPECT_EQ(f->Cell(0, 2).m_motionCounter, 0);
    EXPECT_EQ(f->Cell(0, 2).m_fallOffset, 0.0f);

    for (GameType type : {kLineGame, kColorGame}) {
        CGameField* g = Field("2 3 //0000", type);
        g->Cell(0, 0).m_motionCounter = 1;
        for (int i = 0; i < 8; ++i) {
            Steps(1);
            g->Cell(1, 0).m_removalMark = true;  // the colour step would not find it settled otherwise
        }
        EXPECT_EQ(g->Cell(0, 1).m_value, type == kLineGame ? 0 : -1) << "game type " << type;
    }
}

TEST_F(FieldClear, FallingNeverOverwritesABlockOrAWall) {
    // Blocks told to fall further than the one empty cell below them:
    // column 0 over a wall cell, column 1 over a resting block.
    CGameField* f = Field("2 4 ..001.2.");
    f->Cell(1, 2).m_value = 6;
    f->Cell(0, 0).m_motionCounter = 2;
    f->Cell(1, 0).m_motionCounter = 3;
    Steps(40);
    ExpectCells(f, {{0, 1, 1}, {0, 2, -2}, {1, 1, 1}});
    EXPECT_EQ(f->Cell(1, 2).m_value, 6) << "the block it met is still there";
    EXPECT_TRUE(f->IsSettled());
}

TEST_F(FieldClear, DestroyBlockKnocksOutOneBlockAndRaisesUpToAWall) {
    CGameField* f = Field("1 6 /1//0/");
    f->DestroyBlock(0, 4, false);
    f->DestroyBlock(0, 1, true);
    f->DestroyBlock(0, 9, true);
    f->DestroyBlock(-1, 0, true);
    EXPECT_EQ(CBlockPartManager::GetInstancePtr() ? CBlockPartManager::GetInstancePtr()->parts.size() : 0u, 0u);
    f->DestroyBlock(0, 5, true);
    EXPECT_EQ(CBlockPartManager::GetInstance()->parts.size(), 1u);
    EXPECT_EQ(f->Cell(0, 5).m_value, -1);
    EXPECT_EQ(f->Cell(0, 3).m_motionCounter, 1);
    EXPECT_EQ(f->Cell(0, 2).m_motionCounter, 1);
    EXPECT_EQ(f->Cell(0, 0).m_motionCounter, 0) << "not past the wall";
}

TEST_F(FieldClear, AFieldWithoutCellsStepsSafely) {
    CGameField* f = MakeField();
    CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
    fieldtest::OnStep() = [] { CGameField::GetInstance()->Update(); };
    Steps(50);
    EXPECT_EQ(f->m_wobbleState, 0);
    EXPECT_TRUE(f->IsSettled());
    EXPECT_FALSE(f->HasMarkedBlocks());
}

// ---- lines ----

TEST_F(FieldClear, FourLinesScoreOnceAndPraiseAfterTheVoice) {
    CGameField* f = Field(kClassic);
    CHud* hud = RunHud();
    for (int y = 17; y <= 20; ++y) Fill(f, y);
    crt_srand(1);
    EXPECT_FALSE(f->CheckClears());
    EXPECT_FALSE(f->CheckClears());
    EXPECT_EQ(hud->score, 1000);
    EXPECT_EQ(hud->lines, 4);
    EXPECT_EQ(Marked(f), 40);
    EXPECT_EQ(m_sounds.Played(), std::vector<std::string>{"voice3.wav"});
    auto messages = Messages();
    ASSERT_EQ(messages.size(), 2u);
    const CFloatingMessage::Params& praise = messages[0]->GetParams();
    EXPECT_EQ(praise.text, "excellent !");
    const CFloatingMessage::Params& bonus = messages[1]->GetParams();
    EXPECT_EQ(bonus.text, "bonus: 1000");
    EXPECT_EQ(bonus.traceDensity, praise.traceDensity) << "kept from the praise";
}

TEST_F(FieldClear, LinesAreRunsClosedByAWall) {
    struct Case { const char* shape; int lines, score; const char* bonus; } cases[] = {
        {"4 1 ////", 0, 0, nullptr},
        {"7 1 ///1//1", 2, 300, nullptr},
        {"7 1 /0/1//1", 1, 100, nullptr},
        {"2 5 /1/1/1/1/1", 5, 1500, "bonus: 1500"},
        {"2 3 /1/1/1", 3, 600, "bonus: 600"},
    };
    for (auto& c : cases) {
        // Each shape on a new field, with a new HUD and no messages yet.
        gameloop::DeleteGamePlay();
        gamefieldhooks::RearmConstruction();
        CGameField* f = Field(c.shape);
        CHud* hud = RunHud();
        EXPECT_FALSE(f->ClearLines()) << c.shape;
        EXPECT_EQ(hud->lines, c.lines) << c.shape;
        EXPECT_EQ(hud->score, c.score) << c.shape;
        auto messages = Messages();
        EXPECT_EQ(messages.size(), c.bonus ? 2u : 0u) << c.shape;
        if (c.bonus && messages.size() == 2) {
            EXPECT_EQ(messages[1]->GetParams().text, c.bonus) << c.shape;
        }
    }
}

TEST_F(FieldClear, LinesWaitForTheFallAndMarkedBlocksBreakARun) {
    CGameField* f = Field("3 3 //1//1001");
    CHud* hud = RunHud();
    f->Cell(0, 1).m_removalMark = true;
    f->Cell(1, 0).m_motionCounter = 1;
    EXPECT_FALSE(f->ClearLines());
    EXPECT_EQ(hud->lines, 0) << "nothing counts while a block falls";
    f->Cell(1, 0).m_motionCounter = 0;
    f->ClearLines();
    EXPECT_EQ(hud->lines, 1) << "row 0 only: row 1 holds a marked block";
    EXPECT_TRUE(f->Cell(1, 0).m_removalMark);
    EXPECT_FALSE(f->Cell(1, 1).m_removalMark);
}

// ---- colour runs ----

TEST_F(FieldClear, ColourChainScoresItsBonusOnTheSecondPass) {
    CGameField* f = Field("3 5 000000000000000", kColorGame);
    CHud* hud = RunHud();
    CFigureGenerator* generator = CFigureGenerator::GetInstance();  // the chain's keeper
    for (int y = 2; y <= 4; ++y) f->Cell(0, y).m_value = 2;
    f->Cell(0, 1).m_value = 4, f->Cell(1, 4).m_value = 4, f->Cell(2, 4).m_value = 4;
    EXPECT_TRUE(f->ClearColorRuns());
    EXPECT_EQ(hud->score, 15);
    EXPECT_EQ(generator->chainCount, 1);
    KnockOutMarks(f);
    int steps = 0;
    while (generator->chainCount < 2 && steps < 30) Steps(1), ++steps;
    ASSERT_LT(steps, 30) << "the field's own step finds the second run";
    for (int x = 0; x < 3; ++x) EXPECT_TRUE(f->Cell(x, 4).m_value == 4 && f->Cell(x, 4).m_removalMark) << x;
    EXPECT_EQ(hud->score, 15 + 15 + 50);
    KnockOutMarks(f);
    Steps(2);
    EXPECT_FALSE(f->ClearColorRuns());
    EXPECT_EQ(hud->score, 80);
}

TEST_F(FieldClear, ColourPassScoresAllItsRunsTogether) {
    struct Cell { int x, y; };
    struct Case { const char* name; std::vector<Cell> cells; int chainBefore, score; } cases[] = {
        {"L of five", {{0, 0}, {0, 1}, {0, 2}, {1, 2}, {2, 2}}, 0, 60},
        {"down-left diagonal of four", {{3, 0}, {2, 1}, {1, 2}, {0, 3}}, 0, 30},
        {"two runs of three", {{0, 0}, {1, 0}, {2, 0}, {3, 1}, {3, 2}, {3, 3}}, 0, 100},
        {"sixth chain step", {{0, 3}, {1, 3}, {2, 3}}, 5, 15 + 1000},
    };
    for (auto& c : cases) {
        CGameField* f = Field("5 4 00000000000000000000", kColorGame);
        CHud* hud = RunHud();
        for (auto& cell : c.cells) f->Cell(cell.x, cell.y).m_value = 3;
        // The rest holds no two equal neighbours in any direction, and nothing falls.
        const int filler[] = {0, 1, 2, 4};
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 5; ++x)
                if (f->Cell(x, y).IsEmpty()) f->Cell(x, y).m_value = filler[(x + 2 * y) % 4];
        CFigureGenerator::GetInstance()->chainCount = c.chainBefore;
        EXPECT_TRUE(f->ClearColorRuns()) << c.name;
        EXPECT_EQ(Marked(f), int(c.cells.size())) << c.name;
        EXPECT_EQ(hud->score, c.score) << c.name;
    }
}

TEST_F(FieldClear, ColourPassWaitsWhileAnythingIsMarkedOrFalling) {
    CGameField* f = Field("3 3 000000...", kColorGame);
    CHud* hud = RunHud();
    CFigureGenerator* generator = CFigureGenerator::GetInstance();  // the chain's keeper
    f->Cell(0, 0).m_value = 5;  // over an empty cell: it will fall
    EXPECT_TRUE(f->ClearColorRuns());
    EXPECT_EQ(Marked(f), 0) << "no search while a block falls";
    EXPECT_EQ(hud->score, 0);
    f->Cell(0, 0).Reset();
    EXPECT_TRUE(f->ClearColorRuns());
    EXPECT_EQ(hud->score, 15);
    EXPECT_TRUE(f->ClearColorRuns()) << "the second call in a step only reports";
    EXPECT_EQ(hud->score, 15);
    EXPECT_EQ(generator->chainCount, 1);
}

// ---- a whole line clear ----

TEST_F(FieldClear, ClearedLinesLetTheBlocksAboveFallAndTheHudAnnounces) {
    CGameField* f = Field(kClassic);
    g_GameRules.levelScore = 1000.0f;
    g_GameRules.rotateScore = 1000.0f;
    CHud* hud = RunHud();
    for (int y = 17; y <= 20; ++y) Fill(f, y);
    for (int y : {15, 16}) f->Cell(2, y).m_value = 3, f->Cell(7, y).m_value = 5;
    f->Cell(7, 14).m_value = 6;
    f->CheckClears();
    KnockOutMarks(f);
    m_sounds.Clear();
    int steps = 0;
    while (steps < 400 && (f->HasMarkedBlocks() || hud->displayedScore < 1000.0f || hud->level < 2)) Steps(1), ++steps;
    ASSERT_LT(steps, 400);
    Steps(2);
    ExpectCells(f, {{2, 19, 3}, {2, 20, 3}, {7, 18, 6}, {2, 16, -1}});
    EXPECT_EQ(hud->displayedScore, 1000.0f);
    EXPECT_EQ(hud->level, 2);
    bool announced = false;
    for (auto* m : Messages()) announced |= m->GetParams().text == "Level 2";
    EXPECT_TRUE(announced);
    ASSERT_TRUE(f->m_flipPending) << "the rotation bonus came with the same score";

    // Turned over, the blocks fall to the new bottom three times as fast.
    f->StartFlip();
    Steps(41);
    EXPECT_EQ(f->Cell(7, 2).m_value, 6) << "mirrored";
    Steps(5);
    EXPECT_EQ(f->m_fallSpeed, 15.0f);
    Steps(80);
    EXPECT_FALSE(f->m_flipRunning);
    ExpectCells(f, {{2, 20, 3}, {2, 19, 3}, {7, 20, 6}, {7, 19, 5}, {7, 18, 5}});
    EXPECT_TRUE(f->IsSettled());
}

}  // namespace
