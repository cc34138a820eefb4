#include "game/SawFigure.h"

#include <cmath>

#include "engine/GraphicsEngine.h"
#include "engine/Mesh.h"
#include "engine/ShaderManager.h"
#include "engine/TextureEntry.h"
#include "engine/Utils.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/LitConstants.h"

CSawFigure::CSawFigure()
    : bodyScale(0.016f, 0.016f, 0.016f),
      modelOffset(0.8f, 1.0f, 0.0f),
      bodyAngles(-D3DX_PI / 2.0f, 0.0f, 0.0f),
      spinAngles(0.0f, 0.0f, 0.0f),
      diffuseColor(1.0f, 0.8f, 0.8f, 1.0f),
      ambientColor(0.3f, 0.4f, 0.6f, 1.0f),
      specularColor(1.0f, 1.0f, 1.0f, 1.0f) {
    kind = kBomb;
    for (int k = 0; k < 3; ++k) {
        pieceScale[k] = D3DXVECTOR3(0.02f, 0.02f, 0.02f);
        piecePosition[k] = D3DXVECTOR3(0.0f, 0.0f, 10.0f);
        pieceAngles[k] = D3DXVECTOR3(-D3DX_PI / 2.0f, 0.0f, 0.0f);
        pieceVelocity[k] = pieceSpin[k] = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
        D3DXMatrixIdentity(&pieceClip[k]);
        pieceWorldViewInvTranspose[k] = pieceWorldViewTranspose[k] = pieceInvWorld[k] = pieceClip[k];
    }
    D3DXMatrixIdentity(&bodyWorld);
    bodyClip = bodyWorldViewInvTranspose = bodyWorldViewTranspose = bodyInvWorld = bodyWorld;
}

CSawFigure::~CSawFigure() = default;

void CSawFigure::Init() {
    preview = true;
    x = -10.0f;
    y = 8.0f;
    z = 20.0f;
    spinAngles = D3DXVECTOR3(0.0f, 0.0f, 0.0f);
    Update();
}

bool CSawFigure::Start() {
    preview = false;
    rotate = 0.0f;
    x = static_cast<float>(CGameField::GetInstance()->m_width / 2 - 2);
    y = 0.0f;
    z = 0.0f;
    move = CSideMove();
    Update();
    return true;
}

bool CSawFigure::CanBe(int cx, int cy, int, int) {
    CGameField* field = CGameField::GetInstance();
    return SawFootprintFree(cx, cy, field->m_width, field->m_height, FieldCellValues());
}

void CSawFigure::Update() {
    spinAngles.z += 10.5f * CGraphicsEngine::GetInstance()->GetCurrentStep();
    Transform();
}

bool CSawFigure::ProcessKeys(bool left, bool right, bool, bool down, bool drop) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const float t = engine->GetTime();
    const float dt = engine->GetCurrentStep();
    if (state == kBroken) {
        if (t - breakTime >= breakDuration) return false;
        for (int k = 0; k < 3; ++k) {
            piecePosition[k] += pieceVelocity[k] * dt;
            pieceAngles[k] += pieceSpin[k] * dt;
        }
        Transform();
        return true;
    }
    move.Advance(x, dt);
    y += (down || drop ? kFastFallSpeed : kFallSpeed) * dt;
    if (!CanBe(static_cast<int>(x), static_cast<int>(y + 1.0f), 0, 0)) {
        Break();
        return true;
    }
    const int row = static_cast<int>(y + 1.0f);
    move.Steer(left, right, x, [this, row](int column) { return CanBe(column, row, 0, 0); });
    CGameField* field = CGameField::GetInstance();
    for (const auto& cell : SawCutCells(x, y, cutSize, field->m_width, field->m_height))
        if (field->Cell(cell.first, cell.second).IsBlock()) field->DestroyBlock(cell.first, cell.second, false);
    spinAngles.z += 5.5f * dt;
    spinAngles.y = 0.4f * std::sin(5.0f * t);
    Transform();
    return true;
}

void CSawFigure::Break() {
    x = std::trunc(x);
    y = std::trunc(y);
    state = kBroken;
    CGameField::GetInstance()->CollapseColumns(5.0f);
    breakTime = CGraphicsEngine::GetInstance()->GetTime();
    const D3DXVECTOR3 centre(bodyWorld._41, bodyWorld._42, bodyWorld._43);
    for (int k = 0; k < 3; ++k) piecePosition[k] = centre;
    // Drawn in this order so a seeded break repeats.
    float a = RandomFloat(-5.0f, -1.0f), b = RandomFloat(5.0f, 10.0f);
    pieceVelocity[0] = D3DXVECTOR3(1.5f * a, 1.5f * b, -15.0f);
    a = RandomFloat(1.0f, 5.0f);
    b = RandomFloat(-2.0f, 10.0f);
    pieceVelocity[1] = D3DXVECTOR3(1.5f * a, 1.5f * b, -15.0f);
    a = RandomFloat(-2.0f, 2.0f);
    b = RandomFloat(-2.0f, 2.0f);
    pieceVelocity[2] = D3DXVECTOR3(1.5f * a, 1.5f * b, -15.0f);
    for (int k = 0; k < 3; ++k) {
        float sx = RandomFloat(-2.0f, 2.0f);
        float sy = RandomFloat(-2.0f, 2.0f);
        float sz = RandomFloat(-2.0f, 2.0f);
        pieceSpin[k] = D3DXVECTOR3(3.0f * sx, 3.0f * sy, 3.0f * sz);
    }
}

void CSawFigure::Transform() {
    CGameField* field = CGameField::GetInstance();
    const float t = CGraphicsEngine::GetInstance()->GetTime();
    const int top = TopBlockRow(field->m_width, field->m_height, FieldCellValues());
    const float w = DepthWeight(top, y, field->m_alpha, field->m_beta);
    const D3DXVECTOR3 v = field->FieldUpdate(x, y, t) * w;

    D3DXMATRIX s, rx, ry, rz, sx, sz, sy, place;
    D3DXMatrixScaling(&s, bodyScale.x, bodyScale.y, bodyScale.z);
    D3DXMatrixRotationX(&rx, bodyAngles.x);
    D3DXMatrixRotationY(&ry, bodyAngles.y);
    D3DXMatrixRotationZ(&rz, bodyAngles.z);
    D3DXMatrixRotationX(&sx, spinAngles.x);
    D3DXMatrixRotationZ(&sz, spinAngles.z);
    D3DXMatrixRotationY(&sy, spinAngles.y);
    D3DXMATRIX world = s * rx * ry * rz * sx * sz * sy;
    if (preview) {
        D3DXMatrixTranslation(&place, x + 0.8f, y + 1.0f + modelOffset.z, z);
        world = world * place;
    } else {
        const float cw = field->m_blockSpacing.x + field->m_blockOffset.x;
        const float ch = field->m_blockSpacing.y + field->m_blockOffset.y;
        D3DXMATRIX flip;
        D3DXMatrixRotationX(&flip, D3DX_PI);
        D3DXMatrixTranslation(&place, x * cw + modelOffset.x + v.x - (field->m_width - 1) / 2.0f,
                              y * ch + modelOffset.y + modelOffset.z + v.y - (field->m_height - 1) / 2.0f, z + v.z);
        world = world * flip * place * field->m_fieldMatrix;
    }
    bodyWorld = world;
    ObjectMatrices(bodyWorld, &bodyClip, &bodyWorldViewInvTranspose, &bodyWorldViewTranspose, &bodyInvWorld);
}

void CSawFigure::Render() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    CGameField* field = CGameField::GetInstancePtr();
    if (!device || !g || !field || !g->resources.sawShader) return;
    CShaderManager* shaders = CShaderManager::GetInstance();
    CVertexShader* vs = g->resources.sawShader;
    shaders->SetVertexShader(vs);
    shaders->SetPixelShader(nullptr);
    shaders->SetVertexDeclaration(g->resources.sawDeclaration);
    if (field->m_textures[0]) field->m_textures[0]->Set(0);
    SetLitConstants(vs, nullptr,
                    CLitConstants()
                        .Colours(ShaderFloats(diffuseColor), ShaderFloats(ambientColor), ShaderFloats(specularColor))
                        .Falloff());
    const D3DXVECTOR3 eye = CameraPosition();
    const D3DXVECTOR3 lightPoint(0.0f, 0.0f, -10.0f);
    auto draw = [&](CMesh* mesh, const D3DXMATRIX& clip, const D3DXMATRIX& it, const D3DXMATRIX& t,
                    const D3DXMATRIX& invWorld) {
        D3DXVECTOR4 light, eyeLocal;
        D3DXVec3Transform(&light, &lightPoint, &invWorld);
        D3DXVec3Transform(&eyeLocal, &eye, &invWorld);
        SetLitConstants(vs, nullptr,
                        CLitConstants().LightAndEye(ShaderFloats(light), ShaderFloats(eyeLocal)).Matrices(clip, it, t));
        if (mesh) mesh->Render(device);
    };
    if (state == kCutting) {
        draw(g->resources.sawMesh, bodyClip, bodyWorldViewInvTranspose, bodyWorldViewTranspose, bodyInvWorld);
        return;
    }
    for (int k = 0; k < 3; ++k) {
        D3DXMATRIX s, rx, ry, rz, tr;
        D3DXMatrixScaling(&s, pieceScale[k].x, pieceScale[k].y, pieceScale[k].z);
        D3DXMatrixRotationX(&rx, pieceAngles[k].x);
        D3DXMatrixRotationY(&ry, pieceAngles[k].y);
        D3DXMatrixRotationZ(&rz, pieceAngles[k].z);
        D3DXMatrixTranslation(&tr, piecePosition[k].x, piecePosition[k].y, piecePosition[k].z);
        D3DXMATRIX world = s * rx * ry * rz * tr;
        ObjectMatrices(world, &pieceClip[k], &pieceWorldViewInvTranspose[k], &pieceWorldViewTranspose[k],
                       &pieceInvWorld[k]);
        draw(g->resources.sawPartMeshes[k], pieceClip[k], pieceWorldViewInvTranspose[k], pieceWorldViewTranspose[k],
             pieceInvWorld[k]);
    }
}
