#include "game/BlockPart.h"

#include <cmath>

#include "engine/GraphicsEngine.h"
#include "engine/Utils.h"
#include "game/BlockPartManager.h"
#include "game/BlockPartPiece.h"
#include "game/GameField.h"
#include "game/ObjectEmitter.h"

namespace {
const float kTwoPi = 6.28318530718f;
}  // namespace

CBlockPart::CBlockPart() = default;

CBlockPart::CBlockPart(int x, int y) {
    CGameField* field = CGameField::GetInstance();
    if (field && x >= 0 && y >= 0 && x < field->m_width && y < field->m_height) {
        int value = field->m_grid[y][x].m_value;
        if (value >= 0 && value < CGameField::kMaterials) {
            D3DXVECTOR3 centre;
            D3DXVECTOR2 size;
            field->GetBlockPosition(x, y, &centre, &size);
            const D3DCOLORVALUE& c = field->m_materials[value].Diffuse;
            Init(centre.x, centre.y, centre.z, size.x, size.y, c.r, c.g, c.b, c.a, kPieces);
        }
    }
    CBlockPartManager::GetInstance()->Add(this);
}

CBlockPart::~CBlockPart() {
    for (CBlockPartPiece* piece : pieces) delete piece;
    pieces.clear();
}

void CBlockPart::Init(float x, float y, float z, float spreadX, float spreadY, float r, float g, float b, float a,
                      int count) {
    float now = CGraphicsEngine::GetInstance()->GetTime();
    for (int i = 0; i < count; ++i) {
        // Each piece starts from the one before it, half a block nearer the camera.
        x = RandomFloat(x - spreadX / 2, x + spreadX / 2);
        y = RandomFloat(y - spreadY / 2, y + spreadY / 2);
        z = z - spreadX / 2;
        CBlockPartPiece* piece = new CBlockPartPiece();
        piece->spawn = piece->position = D3DXVECTOR3(x, y, z);
        float alpha = RandomFloat(0.0f, kTwoPi);
        float beta = RandomFloat(0.0f, kTwoPi);
        float speed = RandomFloat(1.0f, 30.0f);
        piece->velocity = D3DXVECTOR3(std::cos(alpha) * speed, std::sin(alpha) * std::cos(beta) * speed,
                                      std::sin(alpha) * std::sin(beta) * speed);
        piece->color = D3DXCOLOR(r, g, b, a);
        piece->startTime = now;

        CObjectEmitter* trail = new CObjectEmitter();
        trail->position = piece->spawn;
        trail->startSize = RandomFloat(0.7f, 1.8f);
        trail->endSize = 0.3f;
        trail->startColor = D3DXCOLOR(r, g, b, 0.5f);
        trail->endColor = D3DXCOLOR(r, g, b, 0.3f);
        trail->spacing = 0.3f;
        trail->lifetime = 0.2f;
        trail->m_Sorted = false;
        piece->trail = trail;
        pieces.push_back(piece);
    }
}

bool CBlockPart::Update() {
    if (pieces.empty()) return false;
    for (size_t i = 0; i < pieces.size();) {
        if (pieces[i]->Update()) {
            ++i;
            continue;
        }
        delete pieces[i];
        pieces[i] = pieces.back();
        pieces.pop_back();
    }
    return true;
}
