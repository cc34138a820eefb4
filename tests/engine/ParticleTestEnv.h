#pragma once

#include <string>
#include <vector>

#include <d3d9.h>

#include "engine/ParticleSystem.h"

class CTextureEntry;

namespace particletest {

// Brings the graphics engine up from the game folder, so the particle
// manager finds "particle.png" and its point-sprite program. GL needs a display.
bool StartEngine(bool gl);
void StopEngine();

// How often a message line appears in the log since StartEngine began.
int CountLogLines(const std::string& message);

// Checks the device's states: while drawing, additive blending, transparent
// texels dropped and no depth writes; afterwards, plain opaque drawing again.
void ExpectPointSpriteStates(IDirect3DDevice9* device, bool drawing);

// Recorded buffer locks, without the buffer's name: ".Lock(0, 20, D3DLOCK_DISCARD)".
std::vector<std::string> LockCalls();

// A particle system whose end and particle count the test decides.
class TestSystem : public CParticleSystem {
public:
    TestSystem(CTextureEntry* texture, unsigned particles, bool ownBuffer = false, unsigned maxParticles = 1000);
    ~TestSystem() override;
    bool Update() override;

    bool m_Finish = false;
    bool* m_pDeletedFlag = nullptr;
    int m_Updates = 0;
};

}  // namespace particletest
