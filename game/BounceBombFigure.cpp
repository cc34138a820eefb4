#include "game/BounceBombFigure.h"

#include <cmath>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/Mesh.h"
#include "engine/ShaderManager.h"
#include "engine/Utils.h"
#include "game/BombEffects.h"
#include "game/BounceBombList.h"
#include "game/FigureGenerator.h"
#include "game/GameField.h"
#include "game/GameRules.h"
#include "game/LitConstants.h"
#include "game/ObjectGridRules.h"

namespace {
// One of the three bounce samples, quieter than the game's knocks.
void PlayBounce() {
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    const int index = RandomInt(0, 3);
    if (CSoundEngine* sound = CSoundEngine::GetInstancePtr()) sound->PlaySoundScaled(g ? g->resources.bounceSounds[index] : 0, 0.3f, kGameSound);
}
}  // namespace

CBounceBombParticle::~CBounceBombParticle() = default;

CBounceBombEmitter::CBounceBombEmitter(float x, float y, float z, CTextureEntry* texture)
    : CParticleSystem(texture, 1000, false, true),
      startTime(CGraphicsEngine::GetInstance()->GetTime()),
      lifetime(3.0f),
      position(x, y, z),
      finished(false) {
    SpawnBurst<CBounceBombParticle>(*this, position, startTime);
}

CBounceBombEmitter::~CBounceBombEmitter() = default;

bool CBounceBombEmitter::Update() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    float t = engine->GetTime();
    if (!(t - startTime < lifetime)) finished = true;
    if (finished && m_Particles.empty()) return false;
    StepBurst<CBounceBombParticle>(*this, t, engine->GetCurrentStep());
    return CParticleSystem::Update();
}

CBounceBombFigure::CBounceBombFigure()
    : scale(0.0115f, 0.0115f, 0.0115f),
      angles(-D3DX_PI / 2.0f, 0.0f, 0.0f),
      spin(1.0f, 1.5f, 2.0f),
      specularColor(1.0f, 1.0f, 1.0f, 1.0f),
      lifetime(g_GameRules.rubberTime),
      direction(0.607f, 0.707f) {
    kind = kBounceBomb;
    phase = 0;
    D3DXMatrixIdentity(&world);
    clip = worldViewInvTranspose = worldViewTranspose = invWorld = world;
}

CBounceBombFigure::~CBounceBombFigure() = default;

void CBounceBombFigure::Init() {
    preview = true;
    x = -10.0f;
    y = 8.0f;
    z = 20.0f;
    Update();
}

bool CBounceBombFigure::Start() {
    preview = false;
    rotate = 0.0f;
    y = 2.5f;
    z = 0.0f;
    x = static_cast<float>(CGameField::GetInstance()->m_width / 2 - 2) + 3.0f;
    startTime = CGraphicsEngine::GetInstance()->GetTime();
    Update();
    return true;
}

int CBounceBombFigure::TestCollision(float px, float py) {
    CGameField* field = CGameField::GetInstance();
    bool knocked = false;
    int side = ProbeCollision(px, py, field->m_width, field->m_height, FieldCellValues(), [&](int c, int r) {
        CBounceBombList::GetInstance()->AddBlock(c, r);
        field->DestroyBlock(c, r, true);
        PlayBounce();
        knocked = true;
    });
    if (knocked) CBounceBombList::GetInstance()->Update();
    return side;
}

bool CBounceBombFigure::ProcessKeys(bool, bool, bool, bool, bool) {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    const float t = engine->GetTime();
    trail.Update(world);
    CGameField* field = CGameField::GetInstance();
    if (field->IsEmpty()) {
        field->CollapseColumns(5.0f);
        return false;
    }
    const float e = t - startTime;
    if (!(e < lifetime)) {
        Update();
        CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
        KeepIfRegistered(new CBounceBombEmitter(world._41, world._42, world._43, g ? g->resources.particleTexture : nullptr));
        field->CollapseColumns(5.0f);
        return false;
    }
    const float speed = startSpeed + (endSpeed - startSpeed) * e / lifetime;
    const float dt = engine->GetCurrentStep();
    angles += spin * dt;
    BounceFlight(x, y, direction, speed, dt, &CBounceBombFigure::TestCollision, PlayBounce);
    Update();
    return true;
}

void CBounceBombFigure::Update() {
    CGameField* field = CGameField::GetInstance();
    const float t = CGraphicsEngine::GetInstance()->GetTime();
    const int top = TopBlockRow(field->m_width, field->m_height, FieldCellValues());
    const float s = DepthWeight(top, y, field->m_alpha, field->m_beta);
    const D3DXVECTOR3 p = field->FieldUpdate(x, y, t);
    D3DXMATRIX sm, rx, ry, rz, place;
    D3DXMatrixScaling(&sm, scale.x, scale.y, scale.z);
    D3DXMatrixRotationX(&rx, angles.x);
    D3DXMatrixRotationY(&ry, angles.y);
    D3DXMatrixRotationZ(&rz, angles.z);
    D3DXMATRIX m = sm * rx * ry * rz;
    if (preview) {
        D3DXMatrixTranslation(&place, x, y, z);
        m = m * place;
    } else {
        const float pitchX = field->m_blockSpacing.x + field->m_blockOffset.x;
        const float pitchY = field->m_blockSpacing.y + field->m_blockOffset.y;
        D3DXMATRIX flip;
        D3DXMatrixRotationX(&flip, D3DX_PI);
        D3DXMatrixTranslation(&place, x * pitchX + s * p.x - (field->m_width - 1) / 2.0f,
                              y * pitchY + s * p.y - (field->m_height - 1) / 2.0f, z + s * p.z);
        m = m * flip * place * field->m_fieldMatrix;
    }
    world = m;
    ObjectMatrices(world, &clip, &worldViewInvTranspose, &worldViewTranspose, &invWorld);
}

void CBounceBombFigure::Render() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    IDirect3DDevice9* device = engine->GetDevice();
    CFigureGenerator* g = CFigureGenerator::GetInstancePtr();
    if (!device || !g || !g->resources.bounceBombShader) return;
    CShaderManager* shaders = CShaderManager::GetInstance();
    CVertexShader* vs = g->resources.bounceBombShader;
    shaders->SetVertexShader(vs);
    shaders->SetPixelShader(nullptr);
    shaders->SetVertexDeclaration(g->resources.bounceBombDeclaration);
    device->SetTexture(0, nullptr);
    const D3DXVECTOR3 lightPoint(0.0f, 0.0f, -10.0f);
    const D3DXVECTOR3 eye = CameraPosition();
    D3DXVECTOR4 light, eyeLocal;
    D3DXVec3Transform(&light, &lightPoint, &invWorld);
    D3DXVec3Transform(&eyeLocal, &eye, &invWorld);
    SetLitConstants(vs, nullptr,
                    CLitConstants()
                        .LightAndEye(ShaderFloats(light), ShaderFloats(eyeLocal))
                        .Matrices(clip, worldViewInvTranspose, worldViewTranspose)
                        .Falloff());

    const float dark[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    const float black[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    SetLitConstants(vs, nullptr, CLitConstants().Colours(dark, black, ShaderFloats(specularColor)));
    if (g->resources.bounceBombMesh) g->resources.bounceBombMesh->Render(device);

    // A zero lifetime must not divide: the glow is then at its end.
    float f = 0.0f;
    if (!preview) f = lifetime > 0.0f ? (engine->GetTime() - startTime) / lifetime : 1.0f;
    f = f < 0.0f ? 0.0f : (f > 1.0f ? 1.0f : f);
    const float glow[4] = {0.7f * f, 0.7f - 0.5f * f, 0.0f, 1.0f};
    const float grey[4] = {0.5f, 0.5f, 0.5f, 1.0f};
    const float dim[4] = {0.1f, 0.1f, 0.1f, 1.0f};
    SetLitConstants(vs, nullptr, CLitConstants().Colours(grey, glow, dim));
    if (g->resources.bounceBombGlowMesh) g->resources.bounceBombGlowMesh->Render(device);
}
