// An empty field of any size whose wave shifts every block by (shift, 0, 0)
// scaled by the wave weight, for the figure tests.
#pragma once

#include <string>

#include "FieldTestEnv.h"
#include "engine/ParticleSystemsManager.h"
#include "game/FigureGenerator.h"
#include "game/GameLoop.h"
#include "game/GameMode.h"

namespace figuretest {

class FigureTest : public fieldtest::FieldTest {
protected:
    CGameField* Field(int w = 10, int h = 20) {
        return FieldOf(std::vector<std::string>(h, std::string(w, '0')),
                       "alpha = 0.5 beta = 1.0 Ax = 0 Bx = 0 Cx = 0 Dx = 0\n"
                       "function game_FieldUpdate(x, y, t) return D3DXVECTOR3(shift or 1, 0, 0) end\n");
    }
    // The shipped figure script: the generator's sounds and its colour speed.
    CFigureGenerator* Generator() {
        g_FigureScriptPath = "data\\scripts\\figure\\figure.txt";
        return CFigureGenerator::GetInstance();
    }
    void TearDown() override {
        gameloop::DeleteGamePlay();
        g_FigureScriptPath.clear();
        FieldTest::TearDown();
    }
    // Emitters age only while the game runs with the menu closed: runs up to a
    // second of updates until the manager is back to `count` systems.
    size_t AgeEmittersDownTo(size_t count) {
        CParticleSystemsManager* manager = CParticleSystemsManager::GetInstance();
        CGameMode* mode = CGameMode::GetInstance();
        const int menu = mode->menuState;
        mode->menuState = CGameMode::kMenuClosed;
        for (int i = 0; i < 10 && manager->GetSystems().size() > count; ++i) {
            Wait(0.1);
            manager->Update();
        }
        mode->menuState = menu;
        return manager->GetSystems().size();
    }
    static D3DXVECTOR3 Centre(const CFieldBlock& b) {
        D3DXMATRIX world;
        D3DXMatrixInverse(&world, nullptr, &b.m_invWorld);
        return D3DXVECTOR3(world._41, world._42, world._43);
    }
};

}  // namespace figuretest
