#include "FrameTestEnv.h"
#include "engine/ShaderManager.h"

namespace {

using frametest::Dist;
using frametest::FrameFixture;

const float kPi = 3.14159265358979f;

D3DXVECTOR3 Centre(const varframe::CSegment& s) {
    return D3DXVECTOR3(s.transform._41, s.transform._42, s.transform._43);
}

TEST_F(FrameFixture, BorderCharactersGiveOneTurnedSegmentEach) {
    g_FrameScriptPath = Script("bare.txt", "function game_NewGame() end\n");
    CGameField* f = FieldOf({"2781", "3004", "5006"});
    CVarFrame* frame = CVarFrame::GetInstance();
    frame->segmentSize = D3DXVECTOR3(1.0f, 2.0f, 3.0f);
    frame->NewGame();
    struct Expect {
        int x, y, kind;
    } cells[] = {{0, 0, 2}, {1, 0, 7}, {2, 0, 8}, {3, 0, 1}, {0, 1, 3}, {3, 1, 4}, {0, 2, 5}, {3, 2, 6}};
    ASSERT_EQ(frame->segments.size(), 8u);
    for (size_t i = 0; i < 8; ++i) {
        const varframe::CSegment& s = *frame->segments[i];
        const Expect& e = cells[i];
        EXPECT_EQ(s.column, e.x);
        EXPECT_EQ(s.row, e.y);
        EXPECT_EQ(s.index, static_cast<int>(i));
        EXPECT_NEAR(s.rotate.z, (e.kind - 1) * kPi / 4, 1e-5f) << e.kind;
        D3DXVECTOR3 cell;
        f->GetBlockPositionCentered(e.x, e.y, &cell, nullptr);
        bool corner = e.kind % 2 == 0;
        float dx = !corner ? 0.0f : (e.kind == 2 || e.kind == 8) ? 0.15f : -0.15f;
        float dy = !corner ? 0.0f : (e.kind == 2 || e.kind == 4) ? 0.125f : -0.125f;
        EXPECT_NEAR(s.position.x, cell.x + dx, 1e-5f) << e.kind;
        EXPECT_NEAR(s.position.y, cell.y + dy, 1e-5f) << e.kind;
        D3DXVECTOR3 scale = corner ? D3DXVECTOR3(1.0f, 1.2f, 1.8f) : D3DXVECTOR3(1.0f, 2.0f, 3.0f);
        EXPECT_LT(Dist(s.scale, scale), 1e-5f) << e.kind;
    }

    FieldOf({"00", "00"});
    frame->NewGame();
    frame->UpdateTransforms();
    EXPECT_TRUE(frame->segments.empty());
    EXPECT_EQ(Count(DrawCalls(frame), "DrawIndexedPrimitive"), 0);
}

TEST_F(FrameFixture, SegmentsFollowTheFieldMatrixAndTheirCellsWave) {
    g_FrameScriptPath = Script("bare.txt", "function game_NewGame() end\n");
    CGameField* f = FieldOf({"2781", "3004", "5006"}, 1.0f);
    CVarFrame* frame = CVarFrame::GetInstance();
    frame->NewGame();
    f->SetRotation(0.8f, true);  // tilt and lean
    f->m_flipAngle.x = kPi / 3;
    f->UpdateWorldMatrix();
    for (int x = 0; x < 4; ++x)  // the wave moves outside cells with amplitude 1.0
        for (int y = 0; y < 3; ++y) f->Cell(x, y).m_waveOffset = D3DXVECTOR3(0.1f * (x + y), 0.0f, 0.0f);
    frame->UpdateTransforms();
    for (const varframe::SegmentPtr& s : frame->segments) {
        D3DXVECTOR3 local = s->position + f->Cell(s->column, s->row).m_waveOffset, want;
        D3DXVec3TransformCoord(&want, &local, &f->m_fieldMatrix);
        EXPECT_LT(Dist(Centre(*s), want), 1e-4f) << s->column << "," << s->row;
        D3DXMATRIX product = s->inverseWorld * s->transform;
        EXPECT_NEAR(product._11 + product._22 + product._33 + product._44, 4.0f, 1e-4f);
    }

    // The solid frame is the frame mesh scaled into the field.
    g_FrameType = 0;
    frame->UpdateTransforms();
    D3DXMATRIX scaling, world, solid;
    D3DXMatrixScaling(&scaling, 0.052f, 0.056f, 0.06f);
    world = scaling * f->m_fieldMatrix;
    D3DXMatrixInverse(&solid, nullptr, &frame->solidInverseWorld);
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(solid.m[i / 4][i % 4], world.m[i / 4][i % 4], 1e-4f) << i;
}

TEST_F(FrameFixture, OpacityBlendsSegmentsAdditivelyAndTheSolidFrameByAlpha) {
    ClassicField();
    CVarFrame* frame = Frame();
    ASSERT_EQ(frame->segments.size(), 42u + 2 * 12);
    struct Case {
        int type;
        float opacity;
        const char* dest;  // DESTBLEND, or null for no blending
    } cases[] = {{1, 1.0f, nullptr}, {1, 0.5f, "SetRenderState(D3DRS_DESTBLEND, 2)"},
                 {0, 1.0f, nullptr}, {0, 0.5f, "SetRenderState(D3DRS_DESTBLEND, 6)"}};
    for (const Case& c : cases) {
        g_FrameType = c.type;
        g_FrameOpacity = c.opacity;
        frame->UpdateTransforms();
        std::vector<std::string> calls = DrawCalls(frame);
        int draws = c.type == 1 ? 66 : 1;
        EXPECT_EQ(Count(calls, "DrawIndexedPrimitive"), draws) << c.type;
        EXPECT_EQ(Count(calls, "SetRenderState(D3DRS_ALPHABLENDENABLE, 1)"), c.dest ? draws : 0) << c.type;
        EXPECT_EQ(Count(calls, "SetRenderState(D3DRS_ALPHABLENDENABLE, 0)"), draws) << c.type;
        if (c.dest) {
            EXPECT_EQ(Count(calls, "SetRenderState(D3DRS_SRCBLEND, 5)"), draws) << c.type;
            EXPECT_EQ(Count(calls, c.dest), draws) << c.type;
        }
        float ambient[4];
        IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
        device->GetVertexShaderConstantF(frame->vertexShader->GetParameterRegister("ambient_color"), ambient, 1);
        EXPECT_EQ(ambient[3], c.opacity) << c.type;
    }

    g_FrameType = 2;
    EXPECT_TRUE(DrawCalls(frame).empty());
    g_FrameType = 1;
    CGameMode::GetInstance()->menuState = CGameMode::kMenuOpen;
    EXPECT_TRUE(DrawCalls(frame).empty());
}

TEST_F(FrameFixture, FlipShowsTheSameFrameBeforeAndAfterTheMirror) {
    CGameField* f = ClassicField();
    CVarFrame* frame = Frame();
    f->StartFlip();
    std::vector<D3DXVECTOR3> before;
    fieldtest::OnStep() = [&] {
        float progress = f->m_flipProgress;
        if (progress < 0.5f) {
            before.clear();
            for (const auto& s : frame->segments) before.push_back(Centre(*s));
        }
        f->UpdateFlip();
        f->UpdateWorldMatrix();
        frame->UpdateTransforms();
        if (progress >= 0.5f || f->m_flipProgress < 0.5f) return;
        // The step that mirrored the rows: every centre has a partner close by.
        ASSERT_EQ(before.size(), frame->segments.size());
        for (const auto& s : frame->segments) {
            float nearest = 1e9f;
            for (const D3DXVECTOR3& b : before) nearest = std::min(nearest, Dist(Centre(*s), b));
            EXPECT_LT(nearest, 1.0f) << s->column << "," << s->row;
        }
        before.clear();
    };
    Steps(82);
    EXPECT_FALSE(f->m_flipRunning);
    EXPECT_TRUE(before.empty());  // the mirror step was seen
}

TEST_F(FrameFixture, ScriptFunctionsAnswerAndSegmentMethodsCompose) {
    CGameField* f = FieldOf({"1020", "0000"});
    f->m_fieldMatrix = D3DXMATRIX(2, 0, 0, 0, 0, 2, 0, 0, 0, 0, 2, 0, 1, 1, 1, 1);
    g_FrameScriptPath = Script("calls.txt",
                               "function game_NewGame()\n"
                               "  e = { ext_GetFieldMatrixElement(0, 0), ext_GetFieldMatrixElement(2, 0),\n"
                               "        ext_GetFieldMatrixElement(1, 0), ext_GetFieldMatrixElement(-1, 0),\n"
                               "        ext_GetFieldMatrixElement(0, 2) }\n"
                               "  w, h = ext_GetFieldMatrixW(), ext_GetFieldMatrixH()\n"
                               "  len = D3DXVec3Length(D3DXVECTOR3(2, 3, 6))\n"
                               "  local s = ext_CreateSegment()\n"
                               "  s:StartTransform() s:ScaleBy(2, 2, 2) s:RotateByZ(math.pi / 2) s:MoveBy(1, 0, 0)\n"
                               "  s:EndTransform()\n"
                               "end\n");
    CVarFrame* frame = CVarFrame::GetInstance();
    frame->NewGame();
    lua_State* L = frame->luaState;
    std::vector<double> e;
    lua_getglobal(L, "e");
    for (int i = 1; i <= 5; ++i) {
        lua_rawgeti(L, -1, i);
        e.push_back(lua_tonumber(L, -1));
        lua_pop(L, 1);
    }
    lua_pop(L, 1);
    EXPECT_EQ(e, (std::vector<double>{1, 0, 0, 0, 0}));
    EXPECT_EQ(Global(L, "w"), 4);
    EXPECT_EQ(Global(L, "h"), 2);
    EXPECT_NEAR(Global(L, "len"), 7.0, 1e-6);
    EXPECT_EQ(CountBoldRed("ext_GetFieldMatrixElement"), 2);
    // Script-made first, then the two border cells; (1, 0, 0) scaled, turned, moved, then through the field.
    ASSERT_EQ(frame->segments.size(), 3u);
    D3DXVECTOR3 p(1, 0, 0), out;
    D3DXVec3TransformCoord(&out, &p, &frame->segments[0]->transform);
    EXPECT_LT(Dist(out, D3DXVECTOR3(3, 5, 1)), 1e-4f);
}

TEST_F(FrameFixture, BadScriptsAreLoggedAndDrawNothing) {
    struct Case {
        const char* text;  // null: no file
        int redLines;
    } cases[] = {{nullptr, 1},
                 {"function game_FrameInit( end", 1},
                 {"function game_NewGame() end", 1},
                 {"function game_FrameInit() ext_Create(1, 2, 3, 4) end function game_NewGame() end", 1}};
    int n = 0;
    for (const Case& c : cases) {
        std::string name = "frame" + std::to_string(++n) + ".txt";
        g_FrameScriptPath = c.text ? Script(name, c.text) : name;
        // Each script on a new frame over a new field.
        gameloop::DeleteGamePlay();
        gamefieldhooks::RearmConstruction();
        varframehooks::RearmConstruction();
        ClassicField();
        CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
        m_log.Mark();
        CVarFrame* frame = CVarFrame::GetInstance();
        frame->CallFrameInit();
        g_FrameType = 1;
        frame->NewGame();
        EXPECT_EQ(CountBoldRed(""), c.redLines) << n << RedText();
        frame->UpdateTransforms();
        EXPECT_EQ(Count(DrawCalls(frame), "DrawIndexedPrimitive"), 0) << n;
        g_FrameType = 0;
        frame->UpdateTransforms();
        EXPECT_EQ(Count(DrawCalls(frame), "DrawIndexedPrimitive"), 0) << n;
    }
}

TEST_F(FrameFixture, SegmentKeptByTheScriptOutlivesItsGame) {
    ClassicField();
    m_log.Mark();
    g_FrameScriptPath = Script("keep.txt",
                               "function game_FrameInit() end\n"
                               "function game_NewGame()\n"
                               "  if kept then kept.position = D3DXVECTOR3(1, 2, 3) kept:EndTransform() end\n"
                               "  kept = ext_CreateSegment()\n"
                               "end\n");
    CVarFrame* frame = Frame();
    varframe::SegmentPtr first = frame->segments[0];
    frame->NewGame();
    frame->NewGame();
    EXPECT_EQ(CountBoldRed(""), 0) << RedText();
    EXPECT_EQ(frame->segments.size(), 43u);
    EXPECT_EQ(first->position, D3DXVECTOR3(1, 2, 3));
}

}  // namespace
