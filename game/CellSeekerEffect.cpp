#include "game/CellSeekerEffect.h"

#include <algorithm>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Particle.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "game/Hud.h"

namespace {
const float kHitDistanceSq = 0.02f;
const float kIdleSpeed = 20.0f;

float DistanceSq(const D3DXVECTOR3& a, const D3DXVECTOR3& b) {
    D3DXVECTOR3 d = a - b;
    return d.x * d.x + d.y * d.y + d.z * d.z;
}

// The cell's centre, just in front of its block.
D3DXVECTOR3 AimPoint(CGameField* field, int column, int row) {
    D3DXVECTOR3 p;
    D3DXVECTOR2 size;
    field->GetBlockPosition(column, row, &p, &size);
    p.z -= 1.0f;
    return p;
}

bool IsMarkedBlock(CGameField* field, int column, int row) {
    if (column < 0 || row < 0 || column >= field->m_width || row >= field->m_height) return false;
    const CFieldBlock& cell = field->m_grid[row][column];
    return cell.IsBlock() && cell.m_removalMark;
}
}  // namespace

CCellSeekerEffect::CCellSeekerEffect(CTextureEntry* texture, float startPhase)
    : CMovingEmitter(texture),
      phase(startPhase),
      phaseSpeed(0.1f),
      targetColumn(0),
      targetRow(0),
      idle(true),
      hasTarget(false) {
    Start(0.0f, 0.0f, 0.0f, kBySpeed, kIdleSpeed);
    position = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    // A bright, large head whose tail fades to small transparent blue.
    for (int i = 0; i < 100; ++i) {
        float f = i / 100.0f;
        CParticle* particle = new CParticle();
        particle->m_Position = position;
        particle->m_Color = D3DXCOLOR(0.8f - 0.8f * f, 0.8f - 0.8f * f, 1.0f, 1.0f - f);
        particle->m_Size = (1.0f - f) * 0.5f + 0.1f;
        if (!AddParticle(particle)) delete particle;
    }
    linkLength = 0.1f;
}

CCellSeekerEffect::~CCellSeekerEffect() = default;

D3DXVECTOR3 CCellSeekerEffect::GetIdlePoint() {
    CGameField* field = CGameField::GetInstancePtr();
    if (!field) return D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    float w = field->m_width * (field->m_blockSpacing.x + field->m_blockOffset.x) + 1.0f;
    float h = field->m_height * (field->m_blockSpacing.y + field->m_blockOffset.y) + 1.0f;
    float a = 0.91f * w, b = 0.91f * h;
    float p = phase;
    D3DXVECTOR3 local(0.0f, 0.0f, 0.0f);
    if (p < 0.25f)
        local = D3DXVECTOR3(a / 2, (0.5f - 4 * p) * b, 0.0f);
    else if (p < 0.5f)
        local = D3DXVECTOR3((0.5f - 4 * (p - 0.25f)) * a, -b / 2, 0.0f);
    else if (p < 0.75f)
        local = D3DXVECTOR3(-a / 2, (4 * (p - 0.5f) - 0.5f) * b, 0.0f);
    else if (p <= 1.0f)
        local = D3DXVECTOR3((4 * (p - 0.75f) - 0.5f) * a, b / 2, 0.0f);
    local.z += 1.0f;
    D3DXVECTOR3 world;
    D3DXVec3TransformCoord(&world, &local, &field->m_fieldMatrix);
    return world;
}

bool CCellSeekerEffect::Update() {
    if (CGameMode::GetInstance()->menuState != CGameMode::kMenuClosed) {
        m_Enabled = false;
        return CMovingEmitter::Update();
    }
    // The field keeps the comets but the manager outlives it: without a field they only hang.
    CGameField* field = CGameField::GetInstancePtr();
    if (!field) return CMovingEmitter::Update();
    m_Enabled = true;
    phase += phaseSpeed * CGraphicsEngine::GetInstance()->GetCurrentStep();
    while (phase > 1.0f) phase -= 1.0f;

    if (hasTarget && !IsMarkedBlock(field, targetColumn, targetRow)) hasTarget = false;

    if (!hasTarget) {
        int level = CHud::GetInstance()->level;
        float best = 1000.0f;
        bool found = false;
        D3DXVECTOR3 bestPoint;
        bool knocked = false;
        for (int row = 0; row < field->m_height && !knocked; ++row) {
            for (int column = 0; column < field->m_width; ++column) {
                if (!IsMarkedBlock(field, column, row)) continue;
                D3DXVECTOR3 p = AimPoint(field, column, row);
                float d = DistanceSq(position, p);
                if (d < kHitDistanceSq) {
                    field->DestroyBlock(column, row, true);
                    knocked = true;
                    break;
                }
                if (d < best) {
                    best = d;
                    bestPoint = p;
                    targetColumn = column;
                    targetRow = row;
                    found = true;
                }
            }
        }
        if (found) {
            hasTarget = true;
            if (idle) {
                float approach = 0.5f - 0.4f * std::min((level - 1) / 20.0f, 1.0f);
                Start(bestPoint.x, bestPoint.y, bestPoint.z, kTimed, approach);
                idle = false;
            } else {
                mode = kBySpeed;
                speed = (level - 1) * 5.0f + (g_GameType == kColorGame ? 20.0f : 10.0f);
                SetTarget(bestPoint.x, bestPoint.y, bestPoint.z);
            }
        } else {
            hasTarget = false;
            D3DXVECTOR3 point = GetIdlePoint();
            mode = kBySpeed;
            speed = kIdleSpeed;
            idle = true;
            SetTarget(point.x, point.y, point.z);
        }
    } else {
        D3DXVECTOR3 p = AimPoint(field, targetColumn, targetRow);
        if (DistanceSq(position, p) < kHitDistanceSq) {
            field->DestroyBlock(targetColumn, targetRow, true);
            CSoundEngine::GetInstance()->PlaySoundScaled(field->m_sounds[0], 0.1f, kGameSound);
            hasTarget = false;
        } else {
            SetTarget(p.x, p.y, p.z);
        }
    }
    return CMovingEmitter::Update();
}
