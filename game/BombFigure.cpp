#include "game/BombFigure.h"

#include <algorithm>
#include <cmath>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Mesh.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/ShaderManager.h"
#include "engine/Sprite3DRenderer.h"
#include "engine/TextureEntry.h"
#include "engine/Utils.h"
#include "game/BombEffects.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/LitConstants.h"
#include "game/ObjectEmitter.h"

namespace {

DWORD GeneratorSound(DWORD FigureResources::*sample) {
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    return g ? g->resources.*sample : 0;
}

// Whether the manager still holds the system: at exit it may have gone first.
bool Managed(const CParticleSystem* system) {
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstancePtr();
    if (!manager) return false;
    const auto& list = manager->GetSystems();
    return std::find(list.begin(), list.end(), system) != list.end();
}

D3DXMATRIX Compose(const D3DXVECTOR3& scale, const D3DXVECTOR3& angles) {
    D3DXMATRIX s, rx, ry, rz;
    D3DXMatrixScaling(&s, scale.x, scale.y, scale.z);
    D3DXMatrixRotationX(&rx, angles.x);
    D3DXMatrixRotationY(&ry, angles.y);
    D3DXMatrixRotationZ(&rz, angles.z);
    return s * rx * ry * rz;
}

}  // namespace

CBombFigure::CBombFigure()
    : bodyScale(0.012f, 0.012f, 0.011f),
      bodyOffset(0.8f, 1.2f, -0.3f),
      bodyAngles(-D3DX_PI / 2.0f, 0.0f, 0.0f),
      fuseScale(0.005f, 0.005f, 0.005f),
      fuseOffset(0.8f, 0.0f, -0.3f),
      fuseAngles(0.0f, 0.0f, 0.0f),
      specularColor(1.0f, 1.0f, 1.0f, 1.0f) {
    kind = kBomb;
    const bool high = HighShaderPath();
    diffuseColor = high ? D3DXCOLOR(0.5f, 0.5f, 0.5f, 1.0f) : D3DXCOLOR(1.0f, 1.0f, 1.0f, 1.0f);
    ambientColor = high ? D3DXCOLOR(0.1f, 0.3f, 0.1f, 1.0f) : D3DXCOLOR(0.05f, 0.2f, 0.05f, 1.0f);
    smokeTrail = KeepIfRegistered(new CObjectEmitter());
    if (smokeTrail) smokeTrail->emitting = false;
    D3DXMatrixIdentity(&bodyWorld);
    bodyClip = bodyWorldViewInvTranspose = bodyWorldViewTranspose = bodyInvWorld = bodyWorld;
    fuseClip = fuseWorldViewInvTranspose = fuseWorldViewTranspose = fuseInvWorld = bodyWorld;
}

CBombFigure::~CBombFigure() {
    if (smokeTrail && Managed(smokeTrail)) smokeTrail->finish = true;
    if (sparkTrail) sparkTrail->link.Unbind();
    if (fuseSparks) fuseSparks->link.Unbind();
    // A bomb deleted mid-burn (a new game) must not leave the hiss looping.
    if (m_waitPlaying)
        if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) sound->StopSample(GeneratorSound(&FigureResources::bombWaitSound));
}

void CBombFigure::Init() {
    preview = true;
    x = -10.0f;
    y = 7.0f;
    z = 20.0f;
    Update();
}

bool CBombFigure::Start() {
    preview = false;
    CGameField* field = CGameField::GetInstance();
    x = static_cast<float>(field->m_width / 2 - 2);
    y = 0.0f;
    z = 0.0f;
    rotate = 0.0f;
    burnTime = 1.0f;
    lastSecondTime = 1.0f;
    landedTime = 0.5f;
    move = CSideMove();
    Update();
    return CanBe(static_cast<int>(x), static_cast<int>(y), -1, -1);
}

D3DXVECTOR3 CBombFigure::Centre() const { return D3DXVECTOR3(bodyWorld._41, bodyWorld._42, bodyWorld._43); }

void CBombFigure::AimSparkTrail(float t) {
    if (!sparkTrail) return;
    D3DXVECTOR3 c = Centre();
    float s = std::sin(5.0f * t);
    sparkTrail->SetTarget(c.x + 0.5f * s, c.y + 0.8f + 0.1f * s, c.z + 0.5f * std::cos(5.0f * t));
}

bool CBombFigure::ProcessKeys(bool left, bool right, bool, bool down, bool drop) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const float t = engine->GetTime();
    const float dt = engine->GetCurrentStep();
    if (smokeTrail) {
        smokeTrail->position = Centre();
        smokeTrail->emitting = true;
        smokeTrail->startSize = smokeTrail->endSize = 2.0f;
        smokeTrail->startColor = D3DXCOLOR(0.3f, 0.3f, 0.3f, 1.0f);
        smokeTrail->endColor = D3DXCOLOR(0.1f, 0.1f, 0.1f, 0.0f);
        smokeTrail->spacing = 0.2f;
        smokeTrail->lifetime = 0.3f;
    }
    switch (state) {
        case kFalling: {
            move.Advance(x, dt);
            y += (down || drop ? 24.0f : 3.0f) * dt;
            if (!CanBe(static_cast<int>(x), static_cast<int>(y + 1.0f), 0, 0)) {
                x = std::trunc(x);
                y = std::trunc(y);
                Update();
                state = kLanded;
                // Landing in the first step leaves no trail to send up.
                if (sparkTrail) {
                    D3DXVECTOR3 c = Centre();
                    sparkTrail->Start(c.x, c.y + 1.7f, c.z, CMovingEmitter::kTimed, 0.5f);
                }
                stateStart = t;
                return true;
            }
            const int row = static_cast<int>(y + 1.0f);
            move.Steer(left, right, x, [this, row](int column) { return CanBe(column, row, 0, 0); });
            Update();
            bodyAngles.y -= 0.5f * dt;
            if (!sparkTrail) {
                sparkTrail = KeepIfRegistered(new CBombEmitter1(Centre()));
                if (sparkTrail) sparkTrail->link.Bind(&sparkTrail);
            }
            AimSparkTrail(t);
            return true;
        }
        case kLanded:
            if (t - stateStart < landedTime) break;
            stateStart = t;
            state = kBurning;
            fuseSparks = KeepIfRegistered(new CBombEmitter3());
            if (fuseSparks) {
                fuseSparks->link.Bind(&fuseSparks);
                D3DXVECTOR3 c = Centre();
                fuseSparks->startPoint = c + D3DXVECTOR3(0.0f, 1.7f, 0.0f);
                fuseSparks->endPoint = c + D3DXVECTOR3(0.0f, 0.95f, 0.0f);
                fuseSparks->duration = 1.0f;
            }
            // The manager deletes a stopped trail at its next update.
            if (sparkTrail) {
                sparkTrail->stopped = true;
                sparkTrail->link.Unbind();
                sparkTrail = nullptr;
            }
            if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) {
                sound->PlaySoundLooped(GeneratorSound(&FigureResources::bombWaitSound), kGameSound);
                m_waitPlaying = true;
            }
            break;
        case kBurning:
            if (t - stateStart < burnTime) break;
            stateStart = t;
            state = kLastSecond;
            break;
        default:
            if (t - stateStart < lastSecondTime) break;
            Explode();
            return false;
    }
    Update();
    return true;
}

void CBombFigure::Explode() {
    CGameField* field = CGameField::GetInstance();
    for (const auto& cell : BlastCells(x, y, blastRadius, field->m_width, field->m_height))
        if (field->Cell(cell.first, cell.second).IsBlock()) field->DestroyBlock(cell.first, cell.second, false);
    field->CollapseColumns(5.0f);
    if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) {
        sound->StopSample(GeneratorSound(&FigureResources::bombWaitSound));
        sound->PlaySound(GeneratorSound(&FigureResources::bombExplodeSound), kGameSound);
    }
    m_waitPlaying = false;
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    D3DXVECTOR3 c = Centre();
    KeepIfRegistered(new CBombEmitter2(c.x, c.y, c.z, g ? g->resources.particleTexture : nullptr));
}

void CBombFigure::Update() {
    CGameField* field = CGameField::GetInstance();
    const float t = CGraphicsEngine::GetInstance()->GetTime();
    const int top = TopBlockRow(field->m_width, field->m_height, FieldCellValues());
    const float k = DepthWeight(top, y, field->m_alpha, field->m_beta);
    const D3DXVECTOR3 v = field->FieldUpdate(x, y, t);
    const float px = field->m_blockSpacing.x + field->m_blockOffset.x;
    const float py = field->m_blockSpacing.y + field->m_blockOffset.y;
    const float cx = (field->m_width - 1) / 2.0f;
    const float cy = (field->m_height - 1) / 2.0f;

    float sink = 0.0f;
    if (state == kBurning)
        sink = burnTime > 0.0f ? (t - stateStart) * fuseSinkEnd / burnTime : fuseSinkEnd;
    else if (state == kLastSecond)
        sink = fuseSinkEnd;

    D3DXMATRIX flip, fieldMatrix, bodyMove, fuseMove;
    if (preview) {
        D3DXMatrixIdentity(&flip);
        D3DXMatrixIdentity(&fieldMatrix);
        D3DXMatrixTranslation(&bodyMove, x + bodyOffset.x, y + bodyOffset.y, z + bodyOffset.z);
        D3DXMatrixTranslation(&fuseMove, x + fuseOffset.x, y + 2.4f, z + fuseOffset.z);
    } else {
        D3DXMatrixRotationX(&flip, D3DX_PI);
        fieldMatrix = field->m_fieldMatrix;
        D3DXMatrixTranslation(&bodyMove, bodyOffset.x + k * v.x + x * px - cx, bodyOffset.y + k * v.y + y * py - cy,
                              z + bodyOffset.z + k * v.z);
        D3DXMatrixTranslation(&fuseMove, fuseOffset.x + k * v.x + x * px - cx, k * v.y + y * py - cy + sink,
                              z + fuseOffset.z + k * v.z);
    }
    bodyWorld = Compose(bodyScale, bodyAngles) * flip * bodyMove * fieldMatrix;
    ObjectMatrices(bodyWorld, &bodyClip, &bodyWorldViewInvTranspose, &bodyWorldViewTranspose, &bodyInvWorld);
    D3DXMATRIX fuseWorld = Compose(fuseScale, fuseAngles) * flip * fuseMove * fieldMatrix;
    ObjectMatrices(fuseWorld, &fuseClip, &fuseWorldViewInvTranspose, &fuseWorldViewTranspose, &fuseInvWorld);
}

void CBombFigure::Render() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    CGameField* field = CGameField::GetInstancePtr();
    if (!device || !g || !field || !g->resources.bombVertexShader) return;
    CShaderManager* shaders = CShaderManager::GetInstance();
    CVertexShader* vs = g->resources.bombVertexShader;
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);

    const D3DXVECTOR3 eye = CameraPosition();
    D3DXVECTOR4 eyeLocal, light;
    D3DXVec3Transform(&eyeLocal, &eye, &bodyInvWorld);
    // The fuse keeps the body's light and eye.
    CLitConstants fuse;
    fuse.Matrices(fuseClip, fuseWorldViewInvTranspose, fuseWorldViewTranspose);
    if (HighShaderPath() && g->resources.bombPixelShader) {
        CPixelShader* ps = g->resources.bombPixelShader;
        shaders->SetVertexShader(vs);
        shaders->SetPixelShader(ps);
        shaders->SetVertexDeclaration(g->resources.bombDeclaration);
        for (DWORD stage = 0; stage < 3; ++stage)
            if (field->m_textures[stage]) field->m_textures[stage]->Set(stage);
        const D3DXVECTOR3 lightPoint(0.0f, 0.0f, 10.0f);
        D3DXVec3Transform(&light, &lightPoint, &bodyInvWorld);
        SetLitConstants(vs, ps,
                        CLitConstants()
                            .LightAndEye(ShaderFloats(light), ShaderFloats(eyeLocal))
                            .Matrices(bodyClip, bodyWorldViewInvTranspose, bodyWorldViewTranspose)
                            .Colours(ShaderFloats(diffuseColor), ShaderFloats(ambientColor)));
        if (g->resources.bombMesh) g->resources.bombMesh->Render(device);
        const float fuseDiffuse[4] = {0.5f, 0.5f, 0.5f, 1.0f};
        const float fuseAmbient[4] = {0.0f, 0.0f, 0.0f, 1.0f};
        SetLitConstants(vs, ps, fuse.Colours(fuseDiffuse, fuseAmbient));
        if (g->resources.fuseMesh) g->resources.fuseMesh->Render(device);
    } else {
        shaders->SetVertexShader(vs);
        shaders->SetPixelShader(nullptr);
        shaders->SetVertexDeclaration(g->resources.bombDeclaration);
        if (field->m_textures[0]) field->m_textures[0]->Set(0);
        const D3DXVECTOR3 lightPoint(0.0f, 0.0f, -10.0f);
        D3DXVec3Transform(&light, &lightPoint, &bodyInvWorld);
        SetLitConstants(vs, nullptr,
                        CLitConstants()
                            .Colours(ShaderFloats(diffuseColor), ShaderFloats(ambientColor), ShaderFloats(specularColor))
                            .LightAndEye(ShaderFloats(light), ShaderFloats(eyeLocal))
                            .Matrices(bodyClip, bodyWorldViewInvTranspose, bodyWorldViewTranspose)
                            .Falloff());
        if (g->resources.bombMesh) g->resources.bombMesh->Render(device);
        SetLitConstants(vs, nullptr, fuse);
        if (g->resources.fuseMesh) g->resources.fuseMesh->Render(device);
    }

    // The sparks, only while their effect still exists.
    D3DXVECTOR3 at;
    float size = 0.0f;
    if (state == kBurning && fuseSparks) {
        at = fuseSparks->currentPoint + D3DXVECTOR3(0.0f, 0.0f, -0.15f);
        size = 2.5f;
    } else if (state <= kLanded && sparkTrail) {
        at = sparkTrail->position;
        size = 1.3f;
    } else {
        return;
    }
    const auto& frames = g->spark.GetFrames();
    const int frame = RandomInt(0, 10);
    CTextureEntry* texture = frame < static_cast<int>(frames.size()) ? frames[frame] : nullptr;
    CSprite3DRenderer* sprites = CSprite3DRenderer::GetInstance();
    sprites->Begin();
    sprites->DrawBatch(at.x, at.y, at.z, texture, 1.0f, 0.9f, 0.7f, 1.0f, size);
    sprites->End();
}
