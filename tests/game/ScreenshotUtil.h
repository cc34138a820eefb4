// Pictures of a running game on the GL device (Xvfb, llvmpipe): drawing a
// frame into build/test-artifacts/ and reading pixels at projected points.
#pragma once

#include <d3d9hooks.h>

#include <algorithm>
#include <vector>

#include "game/VarFrame.h"
#include "support/HeadlessGame.h"

namespace screenshot {

struct Picture {
    std::vector<DWORD> px;
    UINT w = 0, h = 0;
    DWORD At(const D3DXVECTOR2& p) const {
        const int x = std::clamp(int(p.x), 0, int(w) - 1), y = std::clamp(int(p.y), 0, int(h) - 1);
        return px[size_t(y) * w + x];
    }
    // The brightest pixel within r of p.
    int Brightest(const D3DXVECTOR2& p, int r) const {
        int best = 0;
        for (int dy = -r; dy <= r; ++dy)
            for (int dx = -r; dx <= r; ++dx) best = std::max(best, Brightness(At(p + D3DXVECTOR2(float(dx), float(dy)))));
        return best;
    }
    static int Channel(DWORD c, int i) { return int((c >> (16 - 8 * i)) & 0xff); }
    static int Brightness(DWORD c) { return (Channel(c, 0) + Channel(c, 1) + Channel(c, 2)) / 3; }
};

// Channels the material holds stand clear of those it lacks; white is bright.
inline ::testing::AssertionResult ShowsColour(DWORD pixel, const D3DCOLORVALUE& diffuse) {
    const float want[3] = {diffuse.r, diffuse.g, diffuse.b};
    int lowMax = -1, highMin = 256;
    for (int i = 0; i < 3; ++i) {
        const int v = Picture::Channel(pixel, i);
        if (want[i] >= 0.5f)
            highMin = std::min(highMin, v);
        else
            lowMax = std::max(lowMax, v);
    }
    const bool ok = lowMax < 0 ? highMin > 60 : highMin > lowMax + 20;
    if (ok) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << std::hex << "pixel 0x" << pixel << " for " << want[0] << ","
                                         << want[1] << "," << want[2];
}

inline D3DXVECTOR2 Project(const D3DXVECTOR3& world) {
    D3DXVECTOR3 ndc;
    D3DXVec3TransformCoord(&ndc, &world, CGraphicsEngine::GetInstance()->GetViewProjMatrix());
    return D3DXVECTOR2((ndc.x + 1.0f) * 0.5f * 1024.0f, (1.0f - ndc.y) * 0.5f * 768.0f);
}
inline D3DXVECTOR3 CellCentre(int x, int y) {
    CGameField* f = CGameField::GetInstance();
    D3DXVECTOR3 local, world;
    f->GetBlockPositionCentered(x, y, &local, nullptr);
    D3DXVec3TransformCoord(&world, &local, &f->m_fieldMatrix);
    return world;
}
inline D3DXVECTOR3 BlockCentre(const CFieldBlock& b) {
    D3DXMATRIX world;
    D3DXMatrixInverse(&world, nullptr, &b.m_invWorld);
    return D3DXVECTOR3(world._41, world._42, world._43);
}

// background: the clear colour (black unless given).
inline Picture Draw(const char* name, bool frame, bool figures, D3DCOLOR background = 0) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    Picture p;
    EXPECT_TRUE(engine->BeginFrame(true));
    if (background) engine->GetDevice()->Clear(0, nullptr, D3DCLEAR_TARGET, background, 1.0f, 0);
    if (frame) CVarFrame::GetInstance()->Render();
    CGameField::GetInstance()->Render();
    if (figures) CFigureGenerator::GetInstance()->Render();
    CParticleSystemsManager::GetInstance()->Render();
    p.px = d3d9hooks::ReadBackBuffer(engine->GetDevice(), &p.w, &p.h);
    engine->EndFrame();
    EXPECT_EQ(p.w, 1024u);
    EXPECT_EQ(p.h, 768u);
    EXPECT_TRUE(testutil::SaveScreenshot(name, p.px, p.w, p.h, 16));
    return p;
}

}  // namespace screenshot
