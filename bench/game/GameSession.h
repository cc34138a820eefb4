// A game in the bench process without the shell: the engine on GL at 1024 x
// 768 with the reported shader versions, the fake clock in 0.025 s steps, the
// general script's paths, field, frame, figure generator and HUD. Each step
// runs the main loop's update order and is timed.
#pragma once

#include <d3d9.h>

#include <vector>

#include "game/GameSettings.h"

struct lua_State;

namespace bench {

class GameSession {
public:
    GameSession(DWORD vertexShaderVersion, DWORD pixelShaderVersion, int frameType = 1);
    ~GameSession();
    GameSession(const GameSession&) = delete;
    GameSession& operator=(const GameSession&) = delete;
    bool Ok() const { return m_ok; }

    // Rules from the general script, then field, frame, generator and HUD as a new game does.
    void NewGame(GameType gameType, unsigned seed);
    // One fixed step of the update order; its cost goes into StepMs().
    void Step(int n = 1);
    bool Over() const;
    std::vector<double>& StepMs();

    // One frame: begin, the parts asked for, present; returns the parts' ms,
    // and the whole frame's in *wholeMs.
    double Draw(bool frame, bool field, bool figures, bool particles, double* wholeMs = nullptr);
    double EmptyFrame();

private:
    lua_State* m_general = nullptr;
    bool m_ok = false;
};

// Emitters and other particle systems alive now.
size_t LiveParticleSystems();

}  // namespace bench
