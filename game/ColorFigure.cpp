#include "game/ColorFigure.h"

#include <algorithm>
#include <cmath>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Utils.h"
#include "game/BlockFigure.h"
#include "game/FigureGenerator.h"
#include "game/GameMode.h"
#include "game/GameRules.h"

const int32_t CColorFigure::kNormalPattern[kRows][kColumns] = {
    {0, 1, 0, 0}, {0, 1, 0, 0}, {0, 1, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}};
const int32_t CColorFigure::kSpecialPattern[kRows][kColumns] = {
    {0, 1, 1, 0}, {0, 1, 1, 0}, {0, 1, 1, 0}, {0, 1, 1, 0}, {0, 1, 1, 0}, {0, 1, 1, 0}};

int UsableColorsNum(int colorsNum) {
    // The rules reader refuses values outside 1 to 8; this covers rules never read.
    return std::clamp(colorsNum, 1, int(CGameField::kMaterials));
}

CColorFigure::CColorFigure(bool isSpecial) : special(isSpecial) { CreateTrailEmitters(); }

CColorFigure::~CColorFigure() { ReleaseTrailEmitters(); }

void CColorFigure::CreateTrailEmitters() { trail.reset(new CFigureTrail(kRows, CFigureTrail::ColorSource::Ambient)); }

void CColorFigure::ReleaseTrailEmitters() { trail.reset(); }

void CColorFigure::PlaceTrailEmitters() {
    if (trail) trail->Update(cells, x, y, 0.0f, 0.0f, 0.0f);
}

void CColorFigure::Init() {
    kind = kColor;
    preview = true;
    rotate = 0.0f;
    x = -11.0f;
    y = 10.0f;
    z = 20.0f;
    const int colors = UsableColorsNum(g_GameRules.colorsNum);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) Cell(r, c).m_value = Pattern()[r][c] ? RandomInt(0, colors) : -1;
    Update();
}

bool CColorFigure::Start() {
    CGameField* field = CGameField::GetInstance();
    preview = false;
    x = static_cast<float>(field->m_width / 2 - 2);
    y = 1.0f;
    rotate = 0.0f;
    Update();
    const int cx = static_cast<int>(x), cy = static_cast<int>(y);
    return CanBe(cx, cy + 1, -1, -1) && CanBe(cx, cy, -1, -1);
}

bool CColorFigure::CanBe(int cx, int cy, int, int) {
    CGameField* field = CGameField::GetInstance();
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            if (!Pattern()[r][c]) continue;
            const int gx = cx + c, gy = cy + r;
            if (gx < 0 || gx >= field->m_width || gy < 0 || gy >= field->m_height) return false;
            if (!field->m_grid[gy][gx].IsEmpty()) return false;
        }
    return true;
}

void CColorFigure::Build() {
    if (CFigureGenerator* generator = CFigureGenerator::GetInstancePtr())
        CSoundEngine::GetInstance()->PlaySound(generator->landingSound, kGameSound);
    const int bx = static_cast<int>(x), by = static_cast<int>(y);
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            const CFieldBlock& block = Cell(r, c);
            if (block.IsEmpty()) continue;
            CFieldBlock* cell = LandingCell(bx + c, by + r, special ? "special colour figure" : "colour figure");
            if (!cell) continue;
            cell->Reset();
            cell->m_value = block.m_value;
        }
}

void CColorFigure::Animate(bool rotatePulse, bool) {
    if (!cycling) {
        if (!rotatePulse) return;
        cyclingAngle = 0.0f;
        cycling = true;
    }
    int r0 = -1, r1 = -1;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c)
            if (Pattern()[r][c]) {
                if (r0 < 0) r0 = r;
                r1 = r;
            }
    if (r0 == r1) {
        cycling = false;
        cyclingAngle = 0.0f;
        return;
    }
    CGameField* field = CGameField::GetInstance();
    const float d = field->m_blockSpacing.y + field->m_blockOffset.y;
    const float a = cyclingAngle;
    for (int r = r0; r <= r1; ++r)
        for (int c = 0; c < kColumns; ++c) {
            CFieldBlock& cell = Cell(r, c);
            if (!Pattern()[r][c] || cell.IsEmpty()) continue;
            // The top block swings out and down to the bottom; the rest rise a row.
            const float R = r == r0 ? -(r1 - r0) * d / 2.0f : d / 2.0f;
            const float H = r == r0 ? -d : d;
            cell.m_positionOffset = D3DXVECTOR3(0.0f, R * (std::cos(a) - 1.0f), H * std::sin(a));
        }
    CFigureGenerator* generator = CFigureGenerator::GetInstancePtr();
    const float speed = generator ? generator->colorAnimSpeed : 0.0f;
    const float next = CGraphicsEngine::GetInstance()->GetCurrentStep() * speed + cyclingAngle;
    if (next <= D3DX_PI) {
        cyclingAngle = next;
        return;
    }
    CFieldBlock saved[kColumns];
    std::copy(&Cell(r0, 0), &Cell(r0, 0) + kColumns, saved);
    for (int r = r0 + 1; r <= r1; ++r) std::copy(&Cell(r, 0), &Cell(r, 0) + kColumns, &Cell(r - 1, 0));
    std::copy(saved, saved + kColumns, &Cell(r1, 0));
    for (CFieldBlock& cell : cells) cell.m_positionOffset = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    cycling = false;
    cyclingAngle = 0.0f;
}

void CColorFigure::Update() {
    CGameField* field = CGameField::GetInstance();
    const float px = field->m_blockSpacing.x + field->m_blockOffset.x;
    const float py = field->m_blockSpacing.y + field->m_blockOffset.y;
    D3DXMATRIX tail;
    if (preview) {
        D3DXMATRIX flip, place;
        D3DXMatrixRotationX(&flip, D3DX_PI);
        D3DXMatrixTranslation(&place, x * px, y * py, z);
        tail = flip * place;
    } else {
        PlaceTrailEmitters();
    }
    const float cx = (field->m_width - 1) / 2.0f, cy = (field->m_height - 1) / 2.0f;
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            CFieldBlock& cell = Cell(r, c);
            if (cell.IsEmpty()) continue;
            D3DXMATRIX S, T;
            D3DXMatrixScaling(&S, cell.m_scale.x, cell.m_scale.y, cell.m_scale.z);
            if (preview) {
                D3DXMatrixTranslation(&T, c * px, r * py, 0.0f);
                ComputeBlockMatrices(cell, S * T * tail);
            } else {
                const D3DXVECTOR3& o = cell.m_positionOffset;
                D3DXMatrixTranslation(&T, px * (x - cx + c) + o.x, py * (y - cy + r) + o.y, o.z);
                ComputeBlockMatrices(cell, S * T * field->m_fieldMatrix);
            }
        }
}

// Shaded exactly as the field's blocks, whose matrix is the world-view inverse transpose.
void CColorFigure::Render() {
    RenderFigureBlocks(cells, kRows * kColumns, preview, &CFieldBlock::m_worldViewInvTranspose);
}
