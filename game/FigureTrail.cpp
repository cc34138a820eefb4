#include "game/FigureTrail.h"

#include "game/GameField.h"
#include "game/ObjectEmitter.h"

namespace {

// The manager deletes what it holds; an emitter it refused is still ours.
void LetGo(CObjectEmitter* emitter) {
    if (!emitter) return;
    if (emitter->m_Registered)
        emitter->finish = true;
    else
        delete emitter;
}

}  // namespace

CFigureTrail::CFigureTrail(int rows, ColorSource source) : m_rows(rows), m_source(source) {
    m_emitters.resize(static_cast<size_t>(rows) * kColumns * kPerPlace);
    for (CObjectEmitter*& e : m_emitters) {
        e = new CObjectEmitter();
        e->emitting = false;
    }
}

CFigureTrail::~CFigureTrail() {
    for (CObjectEmitter* e : m_emitters) LetGo(e);
}

void CFigureTrail::SwitchOff() {
    for (CObjectEmitter* e : m_emitters) e->emitting = false;
}

void CFigureTrail::Update(const CFieldBlock* blocks, float x, float y, float rotate, float pivotX, float pivotY) {
    CGameField* field = CGameField::GetInstance();
    const float a = field->m_blockSpacing.x, b = field->m_blockSpacing.y;
    const float cw = a + field->m_blockOffset.x, ch = b + field->m_blockOffset.y;
    const float px = pivotX * cw, py = pivotY * ch;

    D3DXMATRIX R, F;
    D3DXMatrixRotationZ(&R, rotate);
    D3DXMatrixTranslation(&F, (x - (field->m_width - 1) / 2.0f) * cw + px,
                          (y - (field->m_height - 1) / 2.0f) * ch + py, 0.0f);
    const D3DXMATRIX RFG = R * F * field->m_fieldMatrix;

    for (int i = 0; i < kColumns; ++i) {
        bool lit = false;
        for (int j = 0; j < m_rows; ++j) {
            const CFieldBlock& block = blocks[j * kColumns + i];
            if (lit || block.IsEmpty()) {
                for (int k = 0; k < kPerPlace; ++k) Emitter(j, i, k)->emitting = false;
                continue;
            }
            lit = true;
            D3DXCOLOR start(1, 1, 1, 1);
            if (block.IsBlock() && block.m_value < CGameField::kMaterials) {
                const D3DMATERIAL9& m = field->m_materials[block.m_value];
                const D3DCOLORVALUE& c = m_source == ColorSource::Diffuse ? m.Diffuse : m.Ambient;
                start = D3DXCOLOR(c.r, c.g, c.b, c.a);
            }
            // The colour figure's cycle moves its blocks on an arc; the trail rides along.
            const D3DXVECTOR3& off = block.m_positionOffset;
            D3DXMATRIX K;
            D3DXMatrixTranslation(&K, i * cw - px + off.x, j * ch - py + off.y, off.z);
            const D3DXMATRIX KRFG = K * RFG;
            for (int k = 0; k < kPerPlace; ++k) {
                CObjectEmitter* e = Emitter(j, i, k);
                if (k >= kLit) {
                    e->emitting = false;
                    continue;
                }
                D3DXMATRIX L;
                D3DXMatrixTranslation(&L, k * 0.175f * a + 0.15f - a / 2.0f, -b / 2.0f, 0.0f);
                const D3DXMATRIX M = L * KRFG;
                const D3DXVECTOR3 origin(0, 0, 0);
                D3DXVec3TransformCoord(&e->position, &origin, &M);
                e->emitting = true;
                e->startSize = 1.0f;
                e->endSize = 1.0f;
                e->startColor = start;
                e->endColor = D3DXCOLOR(0.3f, 0.3f, 0.3f, 0.0f);
                e->lifetime = 0.2f;
                e->spacing = 0.2f;
            }
        }
    }
}

CBounceBombTrail::CBounceBombTrail() : m_emitter(new CObjectEmitter()) { m_emitter->emitting = false; }

CBounceBombTrail::~CBounceBombTrail() { LetGo(m_emitter); }

void CBounceBombTrail::Update(const D3DXMATRIX& world) {
    const D3DXVECTOR3 origin(0, 0, 0);
    D3DXVec3TransformCoord(&m_emitter->position, &origin, &world);
    m_emitter->emitting = true;
    m_emitter->startSize = 2.3f;
    m_emitter->endSize = 2.0f;
    m_emitter->startColor = D3DXCOLOR(0.0f, 0.3f, 0.0f, 0.5f);
    m_emitter->endColor = D3DXCOLOR(0.1f, 0.1f, 0.1f, 0.0f);
    m_emitter->lifetime = 0.2f;
    m_emitter->spacing = 0.2f;
}
