// A field of a given shape and the frame over it, on the null device.
#pragma once


#include "FieldTestEnv.h"

#include <varframehooks.h>
#include "game/GameLoop.h"
#include "game/GameMode.h"
#include "game/VarFrame.h"

namespace frametest {

inline float Dist(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 d = a - b;
    return std::sqrt(d.x * d.x + d.y * d.y + d.z * d.z);
}

class FrameFixture : public fieldtest::FieldTest {
protected:
    void SetUp() override {
        FieldTest::SetUp();
        varframehooks::RearmConstruction();
        g_FrameType = 1;
        g_FrameOpacity = 1.0f;
        g_FrameDetails = 2;
        g_FrameScriptPath = "data\\scripts\\frame\\frame.txt";
        g_FigureScriptPath = "data\\scripts\\figure\\figure.txt";
        CGameMode::GetInstance()->menuState = CGameMode::kMenuClosed;
    }
    void TearDown() override {
        gameloop::DeleteGamePlay();
        g_FrameScriptPath.clear();
        g_FigureScriptPath.clear();
        FieldTest::TearDown();
    }
    // A field of these rows (one string per row) with a wave of the given amplitude.
    CGameField* FieldOf(const std::vector<std::string>& rows, float ax = 0.0f) {
        CGameField* f = FieldTest::FieldOf(
            rows, "alpha = 0.5 beta = 1.5 Ax = " + std::to_string(ax) + " Bx = 2 Cx = 0.3 Dx = 0.7\n");
        f->UpdateWorldMatrix();
        return f;
    }
    CGameField* ClassicField() {
        CGameField* f = MakeField();
        f->InitFromScript();
        f->UpdateWorldMatrix();
        return f;
    }
    // The game's objects as start-up makes them, then the frame's first game.
    CVarFrame* Frame() {
        gameloop::CreateGameObjects();
        CVarFrame* frame = CVarFrame::GetInstance();
        frame->NewGame();
        frame->UpdateTransforms();
        return frame;
    }
    // The calls a frame's (or a field's) draw makes, inside a scene.
    template <class Drawn>
    std::vector<std::string> DrawCalls(Drawn* drawn) {
        IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
        device->BeginScene();
        d3d9hooks::ClearCallLog();
        drawn->Render();
        std::vector<std::string> calls = d3d9hooks::CallLog();
        device->EndScene();
        return calls;
    }
    static int Count(const std::vector<std::string>& calls, const std::string& prefix) {
        int n = 0;
        for (const std::string& c : calls) n += c.compare(0, prefix.size(), prefix) == 0;
        return n;
    }
};

}  // namespace frametest
