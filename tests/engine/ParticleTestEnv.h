#pragma once

#include <string>
#include <vector>

#include "engine/ParticleSystem.h"

class CTextureEntry;

namespace particletest {

// Brings the graphics engine up from the game folder, so the particle
// manager finds "particle.png" and its point-sprite program. GL needs a display.
bool StartEngine(bool gl);
void StopEngine();

// The HTML log so far, and how often a message line appears in it since
// the last MarkLog (StartEngine marks it before bringing the engine up).
std::string LogText();
void MarkLog();
int CountLogLines(const std::string& message);

// The render states of point-sprite drawing as the null device records them:
// additive blending (SRCALPHA 5, ONE 2), alpha test GREATER (5) 0, no depth writes.
extern const std::vector<std::string> kPointSpriteStatesOn;
extern const std::vector<std::string> kPointSpriteStatesOff;

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
