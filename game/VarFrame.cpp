#include "game/VarFrame.h"

#include <varframehooks.h>

#include <algorithm>

#include "engine/Camera.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Mesh.h"
#include "engine/MeshManager.h"
#include "engine/ShaderManager.h"
#include "engine/TextureEntry.h"
#include "engine/TextureManager.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "game/LitConstants.h"

namespace {

const float kPi = 3.14159265358979f;
const D3DVERTEXELEMENT9 kPlainElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_NORMAL, 0},
    {0, 24, D3DDECLTYPE_FLOAT2, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
    D3DDECL_END()};

D3DXMATRIX Identity() {
    D3DXMATRIX m;
    D3DXMatrixIdentity(&m);
    return m;
}

// World (0, 0, -10) and the camera's eye in the object space of a drawn piece.
void ObjectSpaceLightAndEye(const D3DXMATRIX& inverseWorld, float light[4], float eye[4]) {
    D3DXMATRIX view = CGraphicsEngine::GetInstance()->GetCamera()->GetViewMatrix();
    D3DXMATRIX inverseView;
    D3DXMatrixInverse(&inverseView, nullptr, &view);
    D3DXVECTOR3 worldLight(0.0f, 0.0f, -10.0f), worldEye(inverseView._41, inverseView._42, inverseView._43);
    D3DXVECTOR3 l, e;
    D3DXVec3TransformCoord(&l, &worldLight, &inverseWorld);
    D3DXVec3TransformCoord(&e, &worldEye, &inverseWorld);
    light[0] = l.x, light[1] = l.y, light[2] = l.z, light[3] = 1.0f;
    eye[0] = e.x, eye[1] = e.y, eye[2] = e.z, eye[3] = 1.0f;
}

}  // namespace

void FrameDrawMatrices(const D3DXMATRIX& world, D3DXMATRIX* clip, D3DXMATRIX* worldViewIT, D3DXMATRIX* worldViewT,
                       D3DXMATRIX* inverseWorld) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const D3DXMATRIX& view = engine->GetCamera()->GetViewMatrix();
    D3DXMATRIX m = world * *engine->GetViewProjMatrix();
    D3DXMatrixTranspose(clip, &m);
    D3DXMATRIX worldView = world * view;
    D3DXMATRIX inverse;
    D3DXMatrixInverse(&inverse, nullptr, &worldView);
    D3DXMatrixTranspose(worldViewIT, &inverse);
    D3DXMatrixTranspose(worldViewT, &worldView);
    D3DXMatrixInverse(inverseWorld, nullptr, &world);
}

namespace varframe {

CSegment::CSegment()
    : transform(Identity()),
      clipMatrix(Identity()),
      worldViewIT(Identity()),
      worldViewT(Identity()),
      inverseWorld(Identity()),
      scale(1.0f, 1.0f, 1.0f),
      ambientColor(1.0f, 1.0f, 1.0f, 1.0f),
      diffuseColor(1.0f, 1.0f, 1.0f, 1.0f),
      specularColor(1.0f, 1.0f, 1.0f, 1.0f),
      position(0.0f, 0.0f, 0.0f),
      positionOffset(0.0f, 0.0f, 0.0f),
      rotate(0.0f, 0.0f, 0.0f),
      rotateOffset(0.0f, 0.0f, 0.0f),
      index(0),
      column(-1),
      row(-1) {}

void CSegment::StartTransform() { D3DXMatrixIdentity(&transform); }

void CSegment::ScaleBy(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixScaling(&m, x, y, z);
    transform = transform * m;
}

void CSegment::MoveBy(float x, float y, float z) {
    D3DXMATRIX m;
    D3DXMatrixTranslation(&m, x, y, z);
    transform = transform * m;
}

void CSegment::RotateByX(float angle) {
    D3DXMATRIX m;
    D3DXMatrixRotationX(&m, angle);
    transform = transform * m;
}

void CSegment::RotateByY(float angle) {
    D3DXMATRIX m;
    D3DXMatrixRotationY(&m, angle);
    transform = transform * m;
}

void CSegment::RotateByZ(float angle) {
    D3DXMATRIX m;
    D3DXMatrixRotationZ(&m, angle);
    transform = transform * m;
}

void CSegment::EndTransform() {
    if (CGameField* field = CGameField::GetInstance()) transform = transform * field->m_fieldMatrix;
    FrameDrawMatrices(transform, &clipMatrix, &worldViewIT, &worldViewT, &inverseWorld);
}

}  // namespace varframe

namespace {
// The constructor's body runs once per process; a later frame stays bare.
bool g_FrameBodyRan = false;
}  // namespace

namespace varframehooks {
void RearmConstruction() { g_FrameBodyRan = false; }
}  // namespace varframehooks

CVarFrame* CVarFrame::GetInstance() { return CSingleton<CVarFrame>::GetInstance(); }

CVarFrame::CVarFrame()
    : frameMesh(nullptr),
      solidClipMatrix(Identity()),
      solidWorldViewIT(Identity()),
      solidWorldViewT(Identity()),
      solidInverseWorld(Identity()),
      segmentSize(1.0f, 1.0f, 1.0f),
      segmentRotation(0.0f, 0.0f, 0.0f),
      segmentedAmbient(1.0f, 1.0f, 1.0f, 1.0f),
      segmentedDiffuse(1.0f, 1.0f, 1.0f, 1.0f),
      segmentedSpecular(1.0f, 1.0f, 1.0f, 1.0f),
      solidAmbient(1.0f, 1.0f, 1.0f, 1.0f),
      solidDiffuse(1.0f, 1.0f, 1.0f, 1.0f),
      solidSpecular(1.0f, 1.0f, 1.0f, 1.0f),
      texture(nullptr),
      luaState(nullptr),
      vertexShader(nullptr),
      vertexDeclaration(nullptr),
      m_scriptRan(false) {
    segmentMeshes[0] = segmentMeshes[1] = segmentMeshes[2] = nullptr;
    if (g_FrameBodyRan) {
        g_Log.PrintBold("red", "Frame built a second time: it stays bare");
        return;
    }
    g_FrameBodyRan = true;
    CShaderManager* shaders = CShaderManager::GetInstance();
    vertexShader = shaders->LoadVertexShader("specular.cg", "vs_1_1");
    vertexDeclaration = shaders->LoadVertexDeclaration(kPlainElements);
    segments.clear();
    OpenScript();
}

void CVarFrame::LoadMesh(const std::string& mesh0, const std::string& mesh1, const std::string& mesh2,
                         const std::string& textureName) {
    CTextureManager::GetInstance()->GetTexture(&texture, textureName.c_str(), false, false, 10.0f);
    CMeshManager* meshes = CMeshManager::GetInstance();
    meshes->LoadMesh(&segmentMeshes[0], mesh0.c_str(), 0);
    meshes->LoadMesh(&segmentMeshes[1], mesh1.c_str(), 0);
    meshes->LoadMesh(&segmentMeshes[2], mesh2.c_str(), 0);
    meshes->LoadMesh(&frameMesh, "frame.x", 0);
}

varframe::SegmentPtr CVarFrame::CreateSegment() {
    varframe::SegmentPtr segment(new varframe::CSegment());
    segment->index = static_cast<int>(segments.size());
    segments.push_back(segment);
    return segment;
}

void CVarFrame::NewGame() {
    segments.clear();
    CallHook("game_NewGame");
    CGameField* field = CGameField::GetInstance();
    for (int y = 0; y < field->m_height; ++y) {
        for (int x = 0; x < field->m_width; ++x) {
            int value = field->m_grid[y][x].m_value;
            if (value < -9 || value > -2) continue;
            varframe::SegmentPtr segment = CreateSegment();
            segment->column = x;
            segment->row = y;
            segment->ambientColor = segmentedAmbient;
            segment->diffuseColor = segmentedDiffuse;
            segment->specularColor = segmentedSpecular;
            field->GetBlockPositionCentered(x, y, &segment->position, nullptr);
            segment->scale = segmentSize;
            // Kinds "1" to "8" turn by eighths of a circle; the odd ones are corners.
            int kind = -2 - value;
            segment->rotate = D3DXVECTOR3(0.0f, 0.0f, kind * kPi / 4);
            if (kind % 2 == 1) {
                segment->position.x += (kind == 1 || kind == 7) ? 0.15f : -0.15f;
                segment->position.y += (kind == 1 || kind == 3) ? 0.125f : -0.125f;
                segment->scale.y *= 0.6f;
                segment->scale.z *= 0.6f;
            }
        }
    }
}

void CVarFrame::UpdateSegment(varframe::CSegment& segment) {
    segment.StartTransform();
    segment.RotateByX(segmentRotation.x);
    segment.RotateByY(segmentRotation.y);
    segment.RotateByZ(segmentRotation.z);
    segment.ScaleBy(segment.scale.x, segment.scale.y, segment.scale.z);
    segment.RotateByZ(segment.rotate.z);
    // A segment the script made has no cell and so no wave.
    CGameField* field = CGameField::GetInstance();
    if (segment.row >= 0 && segment.column >= 0 && segment.row < field->m_height && segment.column < field->m_width) {
        const D3DXVECTOR3& wave = field->m_grid[segment.row][segment.column].m_waveOffset;
        segment.MoveBy(wave.x, wave.y, wave.z);
    }
    segment.MoveBy(segment.position.x, segment.position.y, segment.position.z);
    segment.EndTransform();
}

void CVarFrame::UpdateTransforms() {
    if (g_FrameType == 1) {
        for (const varframe::SegmentPtr& segment : segments) UpdateSegment(*segment);
        return;
    }
    D3DXMATRIX scaling;
    D3DXMatrixScaling(&scaling, 0.052f, 0.056f, 0.06f);
    D3DXMATRIX world = scaling * CGameField::GetInstance()->m_fieldMatrix;
    FrameDrawMatrices(world, &solidClipMatrix, &solidWorldViewIT, &solidWorldViewT, &solidInverseWorld);
}

void CVarFrame::Render() {
    if (CGameMode::GetInstance()->menuState != CGameMode::kMenuClosed) return;
    if (g_FrameType != 0 && g_FrameType != 1) return;
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    if (!device) return;
    CShaderManager* shaders = CShaderManager::GetInstance();
    shaders->SetVertexShader(vertexShader);
    shaders->SetPixelShader(nullptr);
    if (texture) texture->Set(0);

    float light[4], eye[4];
    if (g_FrameType == 1) {
        CMesh* mesh = segmentMeshes[std::min(std::max(g_FrameDetails, 0), 2)];
        for (const varframe::SegmentPtr& segment : segments) {
            segment->ambientColor.a = g_FrameOpacity;
            ObjectSpaceLightAndEye(segment->inverseWorld, light, eye);
            SetLitConstants(vertexShader, nullptr,
                            CLitConstants()
                                .Colours(ShaderFloats(segment->diffuseColor), ShaderFloats(segment->ambientColor),
                                         ShaderFloats(segment->specularColor))
                                .LightAndEye(light, eye)
                                .Matrices(segment->clipMatrix, segment->worldViewIT, segment->worldViewT)
                                .Falloff());
            if (segment->ambientColor.a < 1.0f) {
                device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
                device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
                device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
            }
            if (mesh) mesh->Render(device, true, true);
            device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        }
        return;
    }

    ObjectSpaceLightAndEye(solidInverseWorld, light, eye);
    SetLitConstants(vertexShader, nullptr,
                    CLitConstants()
                        .LightAndEye(light, eye)
                        .Matrices(solidClipMatrix, solidWorldViewIT, solidWorldViewT)
                        .Falloff());
    if (g_FrameOpacity < 1.0f) {
        device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
        device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
        device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_INVSRCALPHA);
    }
    D3DXCOLOR ambient(solidAmbient.r, solidAmbient.g, solidAmbient.b, g_FrameOpacity);
    SetLitConstants(vertexShader, nullptr,
                    CLitConstants().Colours(ShaderFloats(solidDiffuse), ShaderFloats(ambient), ShaderFloats(solidSpecular)));
    if (frameMesh) frameMesh->Render(device, true, true);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
}
