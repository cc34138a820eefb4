#include "game/BounceBombList.h"

#include "audio/SoundEngine.h"
#include "engine/Camera.h"
#include "engine/GraphicsEngine.h"
#include "engine/Mesh.h"
#include "engine/ShaderManager.h"
#include "engine/TextureEntry.h"
#include "engine/Utils.h"
#include "game/GameField.h"
#include "game/GameSettings.h"
#include "game/LitConstants.h"
#include "game/ObjectGridRules.h"

CBounceBombList* CBounceBombList::GetInstance() { return CSingleton<CBounceBombList>::GetInstance(); }

CBounceBombList::CBounceBombList() = default;
CBounceBombList::~CBounceBombList() = default;

void CBounceBombList::AddBlock(int x, int y) {
    CGameField* field = CGameField::GetInstancePtr();
    if (!field || x < 0 || y < 0 || x >= field->m_width || y >= field->m_height) return;
    D3DXVECTOR3 position;
    field->GetBlockPosition(x, y, &position, nullptr);
    const CFieldBlock& cell = field->Cell(x, y);
    D3DXVECTOR3 spin;
    spin.x = RandomFloat(0.0f, 5.0f);
    spin.y = RandomFloat(0.0f, 5.0f);
    spin.z = RandomFloat(0.0f, 5.0f);
    CCamera* camera = CGraphicsEngine::GetInstance()->GetCamera();
    D3DXVECTOR3 eye = camera ? camera->GetEyePt() : D3DXVECTOR3(0.0f, 0.0f, -7.0f);
    Add(position, cell.m_rotation, spin, eye, D3DXVECTOR3(3.0f, 3.0f, 3.0f), cell.m_value, 20.0f, 6.0f);
}

void CBounceBombList::Add(const D3DXVECTOR3& position, const D3DXVECTOR3& angles, const D3DXVECTOR3& spin,
                          const D3DXVECTOR3& target, const D3DXVECTOR3& spread, int color, float speed,
                          float lifetime) {
    D3DXVECTOR3 aim = target;
    aim.x += RandomFloat(0.0f, 2.0f * spread.x) - spread.x;
    aim.y += RandomFloat(0.0f, 2.0f * spread.y) - spread.y;
    aim.z += RandomFloat(0.0f, 2.0f * spread.z) - spread.z - 4.0f;
    CFlyingBlock block;
    D3DXVECTOR3 direction = aim - position;
    D3DXVec3Normalize(&block.velocity, &direction);
    block.velocity *= speed;
    block.position = position;
    block.angles = angles;
    block.spin = spin;
    block.startPosition = position;
    block.state = CFlyingBlock::kFlying;
    block.scale = D3DXVECTOR3(0.1f, 0.1f, 0.1f);
    block.color = color;
    block.lifetime = lifetime;
    block.startTime = CGraphicsEngine::GetInstance()->GetTime();
    D3DXMatrixIdentity(&block.clipMatrix);
    block.worldViewInvTranspose = block.worldViewTranspose = block.invWorld = block.clipMatrix;
    blocks.push_back(block);
}

void CBounceBombList::UpdateMatrices(CFlyingBlock& b) {
    D3DXMATRIX s, rx, ry, rz, t;
    D3DXMatrixScaling(&s, b.scale.x, b.scale.y, b.scale.z);
    D3DXMatrixRotationX(&rx, b.angles.x);
    D3DXMatrixRotationY(&ry, b.angles.y);
    D3DXMatrixRotationZ(&rz, b.angles.z);
    D3DXMatrixTranslation(&t, b.position.x, b.position.y, b.position.z);
    const D3DXMATRIX world = s * rx * ry * rz * t;
    ObjectMatrices(world, &b.clipMatrix, &b.worldViewInvTranspose, &b.worldViewTranspose, &b.invWorld);
}

void CBounceBombList::Update() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    float t = engine->GetTime();
    float dt = engine->GetCurrentStep();
    for (size_t i = 0; i < blocks.size();) {
        CFlyingBlock& b = blocks[i];
        if (!(t - b.startTime < b.lifetime)) {
            // The last record takes this place and is looked at next.
            if (i + 1 < blocks.size()) b = blocks.back();
            blocks.pop_back();
            continue;
        }
        if (b.state == CFlyingBlock::kFlying) {
            b.position += b.velocity * dt;
            b.angles += b.spin * dt;
            const D3DXVECTOR3& p = b.position;
            if (-0.7f < p.x && p.x < 0.7f && -0.3f < p.y && p.y < 0.3f && p.z < -4.5f) {
                b.state = CFlyingBlock::kStuck;
                if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) sound->PlaySound(knockSound, kGameSound);
            }
        } else {
            b.position.y -= 2.0f * dt;
        }
        UpdateMatrices(b);
        ++i;
    }
}

void CBounceBombList::Render() {
    CGameField* field = CGameField::GetInstancePtr();
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    if (blocks.empty() || !field || !device) return;
    int detail = g_BlocksDetails < 0 ? 0 : (g_BlocksDetails > 2 ? 2 : g_BlocksDetails);
    CMesh* mesh = field->m_meshes[detail];
    CVertexShader* vs = field->m_vertexShader;
    if (!mesh) return;
    auto colourOf = [field](const CFlyingBlock& b) -> const D3DMATERIAL9& {
        return field->m_materials[b.color >= 0 && b.color < CGameField::kMaterials ? b.color : 0];
    };
    if (field->GetShaderPath() == CGameField::kFixedFunction) {
        field->BeginFixedFunctionBlocks(device);
        for (const CFlyingBlock& b : blocks) field->DrawFixedFunctionBlock(device, mesh, b.invWorld, colourOf(b).Diffuse);
        field->EndFixedFunctionBlocks(device);
        return;
    }
    CShaderManager* shaders = CShaderManager::GetInstance();
    const bool high = field->GetShaderPath() == CGameField::kHighPath;
    D3DXVECTOR3 eye(0.0f, 0.0f, -7.0f);
    if (CCamera* camera = engine->GetCamera()) {
        D3DXMATRIX inverseView;
        if (D3DXMatrixInverse(&inverseView, nullptr, &camera->GetViewMatrix()))
            eye = D3DXVECTOR3(inverseView._41, inverseView._42, inverseView._43);
    }
    shaders->SetVertexShader(vs);
    if (high) {
        shaders->SetPixelShader(field->m_pixelShader);
        if (field->m_vertexDeclaration) shaders->SetVertexDeclaration(field->m_vertexDeclaration);
        for (DWORD stage = 0; stage < 3; ++stage)
            if (field->m_textures[stage]) field->m_textures[stage]->Set(stage);
    } else {
        shaders->SetPixelShader(nullptr);
        if (field->m_vertexDeclaration) shaders->SetVertexDeclaration(field->m_vertexDeclaration);
        if (field->m_textures[0]) field->m_textures[0]->Set(0);
        if (field->m_textures[2]) field->m_textures[2]->Set(1);
        device->SetTextureStageState(1, D3DTSS_COLORARG1, D3DTA_CURRENT);
        device->SetTextureStageState(1, D3DTSS_COLORARG2, D3DTA_TEXTURE);
        device->SetTextureStageState(1, D3DTSS_COLOROP, D3DTOP_BLENDFACTORALPHA);
        device->SetRenderState(D3DRS_TEXTUREFACTOR, 0xFFFFFFFF);
    }
    for (CFlyingBlock& b : blocks) {
        const D3DMATERIAL9& m = colourOf(b);
        D3DXVECTOR4 eyeLocal, light;
        D3DXVec3Transform(&eyeLocal, &eye, &b.invWorld);
        const D3DXVECTOR3 lightPoint = high ? b.position - b.startPosition + D3DXVECTOR3(0.0f, 0.0f, 10.0f)
                                            : D3DXVECTOR3(0.0f, 0.0f, -10.0f);
        D3DXVec3Transform(&light, &lightPoint, &b.invWorld);
        CLitConstants constants;
        constants.LightAndEye(ShaderFloats(light), ShaderFloats(eyeLocal))
            .Matrices(b.clipMatrix, b.worldViewInvTranspose, b.worldViewTranspose)
            .Colours(&m.Diffuse.r, &m.Ambient.r, &m.Specular.r);
        if (!high) constants.Falloff();
        SetLitConstants(vs, high ? field->m_pixelShader : nullptr, constants);
        mesh->Render(device);
    }
}
