// The field's per-block matrices and its draw on the two shader paths.
#include <algorithm>
#include <cmath>

#include "engine/Camera.h"
#include "engine/GraphicsEngine.h"
#include "engine/Mesh.h"
#include "engine/ShaderManager.h"
#include "engine/TextureEntry.h"
#include "game/BlockPartManager.h"
#include "game/GameField.h"
#include "game/GameMode.h"
#include "game/GameSettings.h"
#include "game/LitConstants.h"

namespace {
void ToObjectSpace(const D3DXMATRIX& inverseWorld, const D3DXVECTOR3& point, float out[4]) {
    D3DXVECTOR3 p;
    D3DXVec3TransformCoord(&p, &point, &inverseWorld);
    out[0] = p.x, out[1] = p.y, out[2] = p.z, out[3] = 1.0f;
}
}  // namespace

// The constructor loads the pixel program only for devices whose versions
// choose the high path, and keeps it only when the vertex program loaded too.
CGameField::ShaderPath CGameField::GetShaderPath() const {
    if (m_pixelShader) return kHighPath;
    return m_vertexShader ? kLowPath : kFixedFunction;
}

void CGameField::BeginFixedFunctionBlocks(IDirect3DDevice9* device) const {
    CShaderManager* shaders = CShaderManager::GetInstance();
    shaders->SetVertexShader(nullptr);
    shaders->SetPixelShader(nullptr);
    if (m_textures[0]) m_textures[0]->Set(0);
    device->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_MODULATE);
    device->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_TFACTOR);
}

void CGameField::DrawFixedFunctionBlock(IDirect3DDevice9* device, CMesh* mesh, const D3DXMATRIX& inverseWorld,
                                        const D3DCOLORVALUE& diffuse) const {
    D3DXMATRIX world;
    if (!mesh || !D3DXMatrixInverse(&world, nullptr, &inverseWorld)) return;
    device->SetTransform(D3DTS_WORLD, &world);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, static_cast<DWORD>(D3DXCOLOR(diffuse.r, diffuse.g, diffuse.b, 1.0f)));
    mesh->Render(device, true, true);
}

void CGameField::EndFixedFunctionBlocks(IDirect3DDevice9* device) const {
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    device->SetTextureStageState(0, D3DTSS_COLORARG2, D3DTA_CURRENT);
    device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
}

void CGameField::UpdateBlockMatrices() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const D3DXMATRIX& view = engine->GetCamera()->GetViewMatrix();
    const D3DXMATRIX& viewProj = *engine->GetViewProjMatrix();
    float pitchX = m_blockSpacing.x + m_blockOffset.x, pitchY = m_blockSpacing.y + m_blockOffset.y;
    for (int r = 0; r < m_height; ++r) {
        for (int c = 0; c < m_width; ++c) {
            CFieldBlock& cell = m_grid[r][c];
            if (!cell.IsBlock()) continue;
            D3DXMATRIX s, t;
            D3DXMatrixScaling(&s, cell.m_scale.x, cell.m_scale.y, cell.m_scale.z);
            D3DXMatrixTranslation(&t,
                                  pitchX * c - pitchX * (m_width - 1) / 2 + cell.m_positionOffset.x + cell.m_waveOffset.x,
                                  pitchY * r - pitchY * (m_height - 1) / 2 + cell.m_positionOffset.y + cell.m_fallOffset +
                                      cell.m_waveOffset.y,
                                  cell.m_positionOffset.z + cell.m_waveOffset.z);
            D3DXMATRIX world;
            if (cell.IsUnturned()) {
                // Turn and tilt are exact identities: leaving them out gives
                // the same matrix for less than half the work.
                world = s * t * m_fieldMatrix;
            } else {
                D3DXMATRIX rot, q;
                D3DXMatrixRotationYawPitchRoll(&rot, cell.m_rotation.y, cell.m_rotation.x, cell.m_rotation.z);
                D3DXMatrixRotationQuaternion(&q, &cell.m_orientation);
                world = s * rot * q * t * m_fieldMatrix;
            }
            D3DXMATRIX m = world * viewProj;
            D3DXMatrixTranspose(&cell.m_clipMatrix, &m);
            D3DXMATRIX worldView = world * view, inverse;
            D3DXMatrixInverse(&inverse, nullptr, &worldView);
            D3DXMatrixTranspose(&cell.m_worldViewInvTranspose, &inverse);
            D3DXMatrixTranspose(&cell.m_worldViewTranspose, &worldView);
            D3DXMatrixInverse(&cell.m_invWorld, nullptr, &world);
        }
    }
}

void CGameField::Render() {
    CBlockPartManager::GetInstance()->Render();
    if (CGameMode::GetInstance()->menuState != CGameMode::kMenuClosed) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    if (!device) return;
    CShaderManager* shaders = CShaderManager::GetInstance();
    // A detail level from the configuration file may be anything.
    CMesh* mesh = m_meshes[std::min(std::max(g_BlocksDetails, 0), 2)];

    D3DXMATRIX inverseView;
    D3DXMatrixInverse(&inverseView, nullptr, &engine->GetCamera()->GetViewMatrix());
    const D3DXVECTOR3 eye(inverseView._41, inverseView._42, inverseView._43);
    const float t = engine->GetTime();
    float light[4], eyeLocal[4];

    if (GetShaderPath() == kFixedFunction) {
        BeginFixedFunctionBlocks(device);
        for (int r = 0; r < m_height; ++r)
            for (int c = 0; c < m_width; ++c)
                if (const CFieldBlock& cell = m_grid[r][c]; cell.IsBlock())
                    DrawFixedFunctionBlock(device, mesh, cell.m_invWorld, m_materials[cell.m_value].Diffuse);
        EndFixedFunctionBlocks(device);
        return;
    }
    if (GetShaderPath() == kHighPath) {
        shaders->SetVertexShader(m_vertexShader);
        shaders->SetPixelShader(m_pixelShader);
        shaders->SetVertexDeclaration(m_vertexDeclaration);
        for (int stage = 0; stage < 3; ++stage)
            if (m_textures[stage]) m_textures[stage]->Set(stage);
        const D3DXVECTOR3 worldLight(0.0f, 0.0f, 10.0f);
        for (int r = 0; r < m_height; ++r) {
            for (int c = 0; c < m_width; ++c) {
                const CFieldBlock& cell = m_grid[r][c];
                if (!cell.IsBlock()) continue;
                const D3DMATERIAL9& material = m_materials[cell.m_value];
                ToObjectSpace(cell.m_invWorld, worldLight, light);
                ToObjectSpace(cell.m_invWorld, eye, eyeLocal);
                SetLitConstants(m_vertexShader, m_pixelShader,
                                CLitConstants()
                                    .LightAndEye(light, eyeLocal)
                                    .Matrices(cell.m_clipMatrix, cell.m_worldViewInvTranspose, cell.m_worldViewTranspose)
                                    .Colours(&material.Diffuse.r, &material.Ambient.r));
                if (cell.m_removalMark) {
                    // Marked blocks pulse.
                    float glow = std::fabs(std::sin(5 * t)) * 3;
                    D3DXCOLOR pulse(material.Ambient.r * glow, material.Ambient.g * glow, material.Ambient.b * glow,
                                    std::fabs(std::sin(10 * t)) * 0.5f + 0.5f);
                    SetLitConstants(m_vertexShader, m_pixelShader, CLitConstants().Colours(nullptr, &pulse.r));
                }
                if (mesh) mesh->Render(device, true, true);
            }
        }
        return;
    }

    shaders->SetVertexShader(m_vertexShader);
    shaders->SetPixelShader(nullptr);
    shaders->SetVertexDeclaration(m_vertexDeclaration);
    if (m_textures[0]) m_textures[0]->Set(0);
    if (m_textures[2]) m_textures[2]->Set(1);
    const D3DXVECTOR3 worldLight(0.0f, 0.0f, -10.0f);
    for (int r = 0; r < m_height; ++r) {
        for (int c = 0; c < m_width; ++c) {
            const CFieldBlock& cell = m_grid[r][c];
            if (!cell.IsBlock()) continue;
            const D3DMATERIAL9& material = m_materials[cell.m_value];
            D3DXCOLOR diffuse(material.Diffuse);
            if (cell.m_removalMark) diffuse *= 0.5f;
            ToObjectSpace(cell.m_invWorld, worldLight, light);
            ToObjectSpace(cell.m_invWorld, eye, eyeLocal);
            SetLitConstants(m_vertexShader, nullptr,
                            CLitConstants()
                                .Colours(&diffuse.r, &material.Ambient.r, &material.Specular.r)
                                .LightAndEye(light, eyeLocal)
                                .Matrices(cell.m_clipMatrix, cell.m_worldViewInvTranspose, cell.m_worldViewTranspose)
                                .Falloff());
            device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
            device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
            device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
            device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
            if (mesh) mesh->Render(device, true, true);
            if (cell.m_removalMark) device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        }
    }
    device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_DISABLE);
    device->SetTextureStageState(1, D3DTSS_TEXCOORDINDEX, 1);
}
