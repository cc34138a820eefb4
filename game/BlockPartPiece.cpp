#include "game/BlockPartPiece.h"

#include "engine/GraphicsEngine.h"
#include "game/ObjectEmitter.h"

namespace {
const D3DXCOLOR kTrailFadeColor(0.7f, 0.9f, 1.0f, 0.2f);
const float kDeathHeight = -10.0f;
}  // namespace

CBlockPartPiece::CBlockPartPiece()
    : spawn(0.0f, 0.0f, 0.0f),
      position(0.0f, 0.0f, 0.0f),
      velocity(0.0f, 0.0f, 0.0f),
      color(1.0f, 1.0f, 1.0f, 1.0f),
      startTime(0.0f),
      lifetime(2.0f),
      gravity(19.8f),
      trail(nullptr) {}

CBlockPartPiece::~CBlockPartPiece() {
    if (!trail) return;
    trail->RemoveFromManager();
    delete trail;
}

bool CBlockPartPiece::Update() {
    float t = CGraphicsEngine::GetInstance()->GetTime() - startTime;
    if (t > lifetime) return false;
    position.x = spawn.x + velocity.x * t;
    position.z = spawn.z + velocity.z * t;
    position.y = spawn.y + velocity.y * t - gravity * t * t;
    if (position.y < kDeathHeight) return false;
    if (!trail) return true;
    trail->position = position;
    float f = t / lifetime;
    // Applied every step, so the colour converges faster as the piece ages.
    trail->startColor += (kTrailFadeColor - trail->startColor) * f;
    trail->lifetime = 0.2f - 0.3f * f;
    trail->spacing = 0.1f + 0.2f * f;
    return true;
}
