#include "game/BlockFigure.h"

#include <algorithm>
#include <cmath>

#include "audio/SoundEngine.h"
#include "engine/Camera.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Mesh.h"
#include "engine/ShaderManager.h"
#include "engine/TextureEntry.h"
#include "engine/Utils.h"
#include "game/FigureGenerator.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "game/LitConstants.h"

namespace {
constexpr float kPi = D3DX_PI;
}  // namespace

const SFigureShape CBlockFigure::kShapes[kShapeCount] = {
    {2, {FigurePhase(100, 100, 100, 100, 1, 2, 1, 0), FigurePhase(0, 0, 1111, 0, 1, 2, 0, kPi / 2), {}, {}}},
    {2, {FigurePhase(1100, 110, 0, 0, 1, 1, 1, 0), FigurePhase(10, 110, 100, 0, 1, 1, 0, kPi / 2), {}, {}}},
    {2, {FigurePhase(110, 1100, 0, 0, 1, 1, 1, 0), FigurePhase(100, 110, 10, 0, 1, 1, 0, kPi / 2), {}, {}}},
    {2, {FigurePhase(110, 110, 0, 0, 1.5f, 0.5f, 1, 0), FigurePhase(110, 110, 0, 0, 1.5f, 0.5f, 0, kPi / 2), {}, {}}},
    {4,
     {FigurePhase(1110, 100, 0, 0, 1, 1, 1, 0),
      FigurePhase(10, 110, 10, 0, 1, 1, 1, kPi / 2),
      FigurePhase(0, 100, 1110, 0, 1, 1, 1, kPi),
      FigurePhase(1000, 1100, 1000, 0, 1, 1, 1, 3 * kPi / 2)}},
    {4,
     {FigurePhase(110, 100, 100, 0, 1, 1, 1, 0),
      FigurePhase(0, 1110, 10, 0, 1, 1, 1, kPi / 2),
      FigurePhase(100, 100, 1100, 0, 1, 1, 1, kPi),
      FigurePhase(1000, 1110, 0, 0, 1, 1, 1, 3 * kPi / 2)}},
    {4,
     {FigurePhase(110, 10, 10, 0, 2, 1, 1, 0),
      FigurePhase(1, 111, 0, 0, 2, 1, 1, kPi / 2),
      FigurePhase(10, 10, 11, 0, 2, 1, 1, kPi),
      FigurePhase(0, 111, 100, 0, 2, 1, 1, 3 * kPi / 2)}},
};

const int CBlockFigure::kShapeColors[kShapeCount] = {0, 1, 3, 2, 4, 5, 6};

void ComputeBlockMatrices(CFieldBlock& block, const D3DXMATRIX& world) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const D3DXMATRIX& view = engine->GetCamera()->GetViewMatrix();
    const D3DXMATRIX clip = world * *engine->GetViewProjMatrix();
    const D3DXMATRIX worldView = world * view;
    D3DXMATRIX inv;
    D3DXMatrixTranspose(&block.m_clipMatrix, &clip);
    D3DXMatrixInverse(&inv, nullptr, &worldView);
    D3DXMatrixTranspose(&block.m_worldViewInvTranspose, &inv);
    D3DXMatrixTranspose(&block.m_worldViewTranspose, &worldView);
    D3DXMatrixInverse(&block.m_invWorld, nullptr, &world);
}

CFieldBlock* LandingCell(int column, int row, const char* figure) {
    CGameField* field = CGameField::GetInstance();
    if (column < 0 || column >= field->m_width || row < 0 || row >= field->m_height ||
        field->m_grid[row][column].IsWall()) {
        g_Log.PrintBold("red", "Error, %s landed a block outside the play area at column %d, row %d", figure,
                        column, row);
        return nullptr;
    }
    return &field->m_grid[row][column];
}

CBlockFigure::CBlockFigure() : CBlockFigure(kShapes, kShapeCount, -1, CFigureTrail::ColorSource::Diffuse, "block figure") {}

CBlockFigure::CBlockFigure(const SFigureShape* shapes, int shapeCount, int value, CFigureTrail::ColorSource source,
                           const char* name)
    : trail(4, source), m_shapes(shapes), m_shapeCount(shapeCount), m_value(value), m_name(name) {}

CBlockFigure::~CBlockFigure() = default;

void CBlockFigure::SetShape(int shapeIndex, int phaseIndex) {
    shape = std::clamp(shapeIndex, 0, m_shapeCount - 1);
    phase = std::clamp(phaseIndex, 0, m_shapes[shape].phaseCount - 1);
    LayOut();
}

void CBlockFigure::LayOut() {
    const int color = CFieldBlock::IsBlock(m_value) ? m_value : kShapeColors[shape];
    const SFigurePhase& p = CurrentPhase();
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) blocks[r * 4 + c].m_value = p.mask[r][c] ? color : -1;
}

void CBlockFigure::Init() {
    kind = kBlock;
    preview = true;
    rotate = 0.0f;
    x = -11.0f;
    y = 10.0f;
    z = 20.0f;
    SetShape(RandomInt(0, m_shapeCount), 0);
    Update();
}

bool CBlockFigure::Start() {
    CGameField* field = CGameField::GetInstance();
    preview = false;
    rotate = 0.0f;
    y = 1.0f;
    x = static_cast<float>(field->m_width / 2 - 2);
    Update();
    return true;
}

bool CBlockFigure::CanBe(int cx, int cy, int type, int phaseIndex) {
    if (type == -1) type = shape;
    if (phaseIndex == -1) phaseIndex = phase;
    if (type < 0 || type >= m_shapeCount || phaseIndex < 0 || phaseIndex >= m_shapes[type].phaseCount) return false;
    CGameField* field = CGameField::GetInstance();
    const SFigurePhase& p = m_shapes[type].phases[phaseIndex];
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            if (!p.mask[r][c]) continue;
            const int gx = cx + c, gy = cy + r;
            if (gx < 0 || gx >= field->m_width || gy < 0 || gy >= field->m_height) return false;
            if (!field->m_grid[gy][gx].IsEmpty()) return false;
        }
    return true;
}

void CBlockFigure::Build() {
    const float angle = CurrentPhase().angle;
    if (CFigureGenerator* generator = CFigureGenerator::GetInstancePtr())
        CSoundEngine::GetInstance()->PlaySound(generator->landingSound, kGameSound);
    const int bx = static_cast<int>(x), by = static_cast<int>(y);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            const CFieldBlock& block = blocks[r * 4 + c];
            if (block.IsEmpty()) continue;
            CFieldBlock* cell = LandingCell(bx + c, by + r, m_name);
            if (!cell) continue;
            cell->Reset();
            cell->m_value = block.m_value;
            cell->m_rotation = D3DXVECTOR3(0.0f, 0.0f, angle);
        }
}

int CBlockFigure::GetNextPhase() {
    const int next = phase + 1;
    return next >= m_shapes[shape].phaseCount ? 0 : next;
}

void CBlockFigure::SetNextPhase() {
    phase = GetNextPhase();
    LayOut();
}

void CBlockFigure::Update() {
    CGameField* field = CGameField::GetInstance();
    const float sx = field->m_blockSpacing.x + field->m_blockOffset.x;
    const float sy = field->m_blockSpacing.y + field->m_blockOffset.y;

    if (preview) {
        trail.SwitchOff();
        D3DXMATRIX flip, place;
        D3DXMatrixRotationX(&flip, kPi);
        D3DXMatrixTranslation(&place, x * sx, y * sy, z);
        const D3DXMATRIX tail = flip * place;
        for (int r = 0; r < 4; ++r)
            for (int c = 0; c < 4; ++c) {
                CFieldBlock& block = blocks[r * 4 + c];
                if (block.IsEmpty()) continue;
                D3DXMATRIX S, T;
                D3DXMatrixScaling(&S, block.m_scale.x, block.m_scale.y, block.m_scale.z);
                D3DXMatrixTranslation(&T, c * sx, r * sy, 0.0f);
                ComputeBlockMatrices(block, S * T * tail);
            }
        return;
    }

    const SFigurePhase& p = CurrentPhase();
    trail.Update(blocks, x, y, rotate, p.pivotX, p.pivotY);

    const float cx = (field->m_width - 1) / 2.0f, cy = (field->m_height - 1) / 2.0f;
    const float px = p.pivotX * sx, py = p.pivotY * sy;
    D3DXMATRIX Ra, Rr;
    D3DXMatrixRotationZ(&Ra, p.angle);
    D3DXMatrixRotationZ(&Rr, p.direction == 1 ? rotate : -rotate);

    int top = field->m_height - 1;
    for (int row = 0; row < field->m_height; ++row) {
        bool any = false;
        for (int col = 0; col < field->m_width && !any; ++col) any = field->m_grid[row][col].IsBlock();
        if (any) {
            top = row;
            break;
        }
    }
    top = std::max(top - 2, 0);

    D3DXMATRIX place, inField;
    D3DXMatrixTranslation(&place, x * sx + px, y * sy + py, 0.0f);
    D3DXMatrixTranslation(&inField, (x - cx) * sx + px, (y - cy) * sy + py, 0.0f);
    const D3DXMATRIX tail = inField * field->m_fieldMatrix;
    const float now = CGraphicsEngine::GetInstance()->GetTime();

    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            CFieldBlock& block = blocks[r * 4 + c];
            if (block.IsEmpty()) continue;
            D3DXMATRIX S, T;
            D3DXMatrixScaling(&S, block.m_scale.x, block.m_scale.y, block.m_scale.z);
            D3DXMatrixTranslation(&T, c * sx - px, r * sy - py, 0.0f);
            const D3DXMATRIX M = S * Ra * T * Rr;
            const D3DXMATRIX centreM = M * place;
            const float gx = centreM._41 / sx, gy = centreM._42 / sy;
            float k = field->m_alpha;
            if (top != 0 && gy < top) k = field->m_beta + (field->m_alpha - field->m_beta) * gy / top;
            const D3DXVECTOR3 offset = field->FieldUpdate(gx, gy, now) * k;
            D3DXMATRIX O;
            D3DXMatrixTranslation(&O, offset.x, offset.y, offset.z);
            ComputeBlockMatrices(block, M * O * tail);
        }
}

// The block figure's own matrix on the pixel-program path: its inverse world.
void CBlockFigure::Render() { RenderFigureBlocks(blocks, 16, preview, &CFieldBlock::m_invWorld); }

void RenderFigureBlocks(const CFieldBlock* blocks, int count, bool preview, D3DXMATRIX CFieldBlock::*highPathIt) {
    CGameField* field = CGameField::GetInstance();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    if (!device) return;
    CShaderManager* shaders = CShaderManager::GetInstance();
    CMesh* mesh = field->m_meshes[std::clamp(g_BlocksDetails, 0, 2)];
    auto material = [field](const CFieldBlock& block) -> const D3DMATERIAL9& {
        return field->m_materials[std::clamp(block.m_value, 0, CGameField::kMaterials - 1)];
    };
    if (field->GetShaderPath() == CGameField::kFixedFunction) {
        field->BeginFixedFunctionBlocks(device);
        for (int i = 0; i < count; ++i)
            if (!blocks[i].IsEmpty())
                field->DrawFixedFunctionBlock(device, mesh, blocks[i].m_invWorld, material(blocks[i]).Diffuse);
        field->EndFixedFunctionBlocks(device);
        return;
    }
    const bool pathA = field->GetShaderPath() == CGameField::kHighPath;
    CVertexShader* vs = field->m_vertexShader;
    CPixelShader* ps = field->m_pixelShader;

    for (int stage = 0; stage < (pathA ? 3 : 1); ++stage)
        if (field->m_textures[stage]) field->m_textures[stage]->Set(stage);
    shaders->SetVertexShader(vs);
    if (pathA) {
        shaders->SetPixelShader(ps);
    } else {
        shaders->SetPixelShader(nullptr);
        shaders->SetVertexDeclaration(field->m_vertexDeclaration);
    }

    D3DXMATRIX invView;
    D3DXMatrixInverse(&invView, nullptr, &engine->GetCamera()->GetViewMatrix());
    const D3DXVECTOR3 eyeWorld(invView._41, invView._42, invView._43);
    const D3DXVECTOR3 lightWorld = !pathA ? D3DXVECTOR3(0, 0, -10)
                                   : preview ? D3DXVECTOR3(-5, 10, 10)
                                             : D3DXVECTOR3(0, 0, 10);

    for (int i = 0; i < count; ++i) {
        const CFieldBlock& block = blocks[i];
        if (block.IsEmpty()) continue;
        D3DXVECTOR3 e3, l3;
        D3DXVec3TransformCoord(&e3, &eyeWorld, &block.m_invWorld);
        D3DXVec3TransformCoord(&l3, &lightWorld, &block.m_invWorld);
        const D3DXVECTOR4 eye(e3.x, e3.y, e3.z, 1.0f), light(l3.x, l3.y, l3.z, 1.0f);
        const D3DMATERIAL9& m = material(block);
        CLitConstants constants;
        constants.LightAndEye(&light.x, &eye.x);
        if (pathA)
            constants.Matrices(block.m_clipMatrix, block.*highPathIt, block.m_worldViewTranspose)
                .Colours(&m.Diffuse.r, &m.Ambient.r);
        else
            constants.Matrices(block.m_clipMatrix, block.m_worldViewInvTranspose, block.m_worldViewTranspose)
                .Colours(&m.Diffuse.r, &m.Ambient.r, &m.Specular.r)
                .Falloff();
        SetLitConstants(vs, pathA ? ps : nullptr, constants);
        if (mesh) mesh->Render(device, true, true);
    }
}
