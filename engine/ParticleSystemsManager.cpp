#include "engine/ParticleSystemsManager.h"

#include <dxerr9.h>

#include <algorithm>

#include "engine/Camera.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/ParticleSystem.h"
#include "engine/ShaderManager.h"
#include "engine/TextureEntry.h"
#include "engine/TextureManager.h"

namespace {

const D3DVERTEXELEMENT9 kPointSpriteElements[] = {
    {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_POSITION, 0},
    {0, 12, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_PSIZE, 0},
    {0, 16, D3DDECLTYPE_D3DCOLOR, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_COLOR, 0},
    D3DDECL_END()};

IDirect3DDevice9* Device() { return CGraphicsEngine::GetInstance()->GetDevice(); }

}  // namespace

void SetPointSpriteStates(IDirect3DDevice9* device) {
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_LIGHTING, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    device->SetRenderState(D3DRS_SRCBLEND, D3DBLEND_SRCALPHA);
    device->SetRenderState(D3DRS_DESTBLEND, D3DBLEND_ONE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 0);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
}

void SetPointSpriteConstants(CVertexShader* shader) {
    // Without the program the points fall back to the fixed pipeline, which
    // takes no constants.
    if (!shader) return;
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    D3DXMATRIX clip;
    D3DXMatrixTranspose(&clip, engine->GetViewProjMatrix());
    CShaderManager* shaders = CShaderManager::GetInstance();
    shaders->SetVertexShaderConstant(shader, "clip_matrix", &clip._11, 4);

    const D3DXVECTOR3& eye = engine->GetCamera()->GetEyePt();
    D3DVIEWPORT9 viewport = {};
    if (IDirect3DDevice9* device = Device()) device->GetViewport(&viewport);
    float eyePosition[4] = {eye.x, eye.y, eye.z, static_cast<float>(viewport.Height)};
    shaders->SetVertexShaderConstant(shader, "eye_position", eyePosition, 1);
}

void DrawPointSprites(IDirect3DVertexBuffer9* buffer, unsigned firstVertex, unsigned count, CTextureEntry* texture) {
    if (!buffer || count == 0) return;
    IDirect3DDevice9* device = Device();
    if (!device) return;
    SetPointSpriteStates(device);
    device->SetStreamSource(0, buffer, 0, sizeof(PointSpriteVertex));
    D3DXMATRIX identity;
    D3DXMatrixIdentity(&identity);
    device->SetTransform(D3DTS_WORLD, &identity);
    if (texture)
        texture->Set(0);
    else
        device->SetTexture(0, nullptr);  // no stale texture from the previous drawer
    device->DrawPrimitive(D3DPT_POINTLIST, firstVertex, count);
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
}

CParticleSystemsManager::CParticleSystemsManager()
    : m_LiveParticles(0),
      m_SystemCount(0),
      m_pDefaultTexture(nullptr),
      m_SharedTotal(0),
      m_SharedCapacity(kSharedCapacity),
      m_MaxSystems(kMaxSystems),
      m_pVertexBuffer(nullptr),
      m_pPointSpriteShader(nullptr),
      m_pPointSpriteDeclaration(nullptr),
      m_Updating(false),
      m_OverflowLogged(false) {
    g_Log.Print("blue", "Initializing particle systems manager");

    CTextureManager* textures = CTextureManager::GetInstance();
    textures->SetTexturePath("data\\textures");
    textures->GetTexture(&m_pDefaultTexture, "particle.png", false, false, 10.0f);

    CShaderManager* shaders = CShaderManager::GetInstance();
    m_pPointSpriteShader = shaders->LoadVertexShader("data\\vertex_shaders\\point_sprites.cg", "");
    m_pPointSpriteDeclaration = shaders->LoadVertexDeclaration(kPointSpriteElements);

    if (CreateSharedBuffer())
        for (CParticleSystem* system : m_Systems) system->RestoreDeviceObjects();
    g_Log.Print("green", "Complete");
}

CParticleSystemsManager::~CParticleSystemsManager() {
    g_Log.Print("blue", "Destroying particle systems manager");
    for (CParticleSystem* system : m_Systems)
        if (system) system->InvalidateDeviceObjects();
    if (m_pVertexBuffer) {
        m_pVertexBuffer->Release();
        m_pVertexBuffer = nullptr;
    }
    m_Batches.clear();
    // Take the list first: a destructor that unlinks another system then
    // finds nothing to unlink.
    SystemList systems;
    systems.swap(m_Systems);
    for (CParticleSystem* system : systems) delete system;
    systems.clear();
    g_Log.Print("green", "Destroying complete");
}

bool CParticleSystemsManager::CreateSharedBuffer() {
    IDirect3DDevice9* device = Device();
    HRESULT hr = D3DERR_INVALIDCALL;
    if (device)
        hr = device->CreateVertexBuffer(m_SharedCapacity * sizeof(PointSpriteVertex), kPointSpriteUsage,
                                        kPointSpriteFVF, D3DPOOL_DEFAULT, &m_pVertexBuffer, nullptr);
    if (FAILED(hr)) {
        m_pVertexBuffer = nullptr;
        g_Log.PrintBold("red", "Error: couldn't create vertex buffer. Code = %s", DXGetErrorString9(hr));
        return false;
    }
    return true;
}

bool CParticleSystemsManager::AddSystem(CParticleSystem* system) {
    if (!system) return false;
    ++m_SystemCount;
    // Systems taken out during this update still hold a nulled node.
    size_t systems = m_Systems.size();
    if (m_Updating) systems -= std::count(m_Systems.begin(), m_Systems.end(), nullptr);
    if (systems >= m_MaxSystems) {
        g_Log.PrintBold("red", "Error: couldn't add particle system. Code = %d", static_cast<int>(systems));
        return false;
    }
    if (!system->m_pTexture) system->m_pTexture = m_pDefaultTexture;
    // Systems of one texture stay adjacent: that is what the batching relies on.
    SystemList::iterator it = m_Systems.begin();
    while (it != m_Systems.end() && !(*it && (*it)->m_pTexture == system->m_pTexture)) ++it;
    m_Systems.insert(it, system);
    return true;
}

void CParticleSystemsManager::RemoveSystem(CParticleSystem* system) {
    SystemList::iterator it = std::find(m_Systems.begin(), m_Systems.end(), system);
    if (it == m_Systems.end()) return;
    if (m_Updating) {
        *it = nullptr;
        m_RemovedWhileUpdating = true;
    } else {
        m_Systems.erase(it);
    }
}

void CParticleSystemsManager::Update() {
    m_SharedTotal = 0;
    if (++m_Step == 0) ++m_Step;  // 0 is "never"
    if (m_Systems.empty()) {
        // Nothing left to draw: the buffer may still hold a removed system's vertices.
        m_Batches.clear();
        return;
    }
    m_Updating = true;
    for (SystemList::iterator it = m_Systems.begin(); it != m_Systems.end();) {
        CParticleSystem* system = *it;
        if (!system) {
            it = m_Systems.erase(it);
            continue;
        }
        bool alive = system->Update();
        if (!*it) {  // the system took itself out of the list: no longer ours
            it = m_Systems.erase(it);
            continue;
        }
        if (!alive) {
            it = m_Systems.erase(it);
            delete system;
            continue;
        }
        if (system->m_Enabled && !system->m_OwnVertexBuffer) {
            m_SharedTotal += system->GetParticleCount();
            system->m_CountedStep = m_Step;
        }
        ++it;
    }
    // Systems removed by a destructor above: a second walk of the list only then.
    if (m_RemovedWhileUpdating) m_Systems.remove(nullptr);
    m_RemovedWhileUpdating = false;
    m_Updating = false;

    m_Batches.clear();
    if (m_SharedTotal == 0) return;
    FillSharedBuffer();
}

void CParticleSystemsManager::FillSharedBuffer() {
    if (!m_pVertexBuffer) return;
    unsigned room = std::min(m_SharedTotal, m_SharedCapacity);
    if (m_SharedTotal > m_SharedCapacity) {
        if (!m_OverflowLogged)
            g_Log.PrintBold("red", "Error: too many particles for the shared vertex buffer (%u of %u), some are not drawn",
                            m_SharedTotal, m_SharedCapacity);
        m_OverflowLogged = true;
    } else {
        m_OverflowLogged = false;
    }

    void* data = nullptr;
    if (FAILED(m_pVertexBuffer->Lock(0, room * sizeof(PointSpriteVertex), &data, D3DLOCK_DISCARD))) return;
    BYTE* write = static_cast<BYTE*>(data);
    Batch run = {0, m_Systems.front()->m_pTexture};
    for (CParticleSystem* system : m_Systems) {
        if (!system->m_Enabled || system->m_OwnVertexBuffer) continue;
        // Only what the total counted: a system registered during this update,
        // or one beyond the capacity, waits for the next step.
        if (system->m_CountedStep != m_Step) continue;
        if (system->GetParticleCount() > room) continue;
        unsigned written = system->FillVertices(write);
        room -= std::min(written, room);
        if (system->m_pTexture == run.texture) {
            run.vertexCount += written;
        } else {
            m_Batches.push_back(run);
            run.vertexCount = written;
            run.texture = system->m_pTexture;
        }
    }
    m_Batches.push_back(run);
    m_pVertexBuffer->Unlock();
}

void CParticleSystemsManager::Render() {
    CShaderManager* shaders = CShaderManager::GetInstance();
    shaders->SetVertexShader(m_pPointSpriteShader);
    shaders->SetPixelShader(nullptr);
    shaders->SetVertexDeclaration(m_pPointSpriteDeclaration);
    SetPointSpriteConstants(m_pPointSpriteShader);
    unsigned first = 0;
    for (const Batch& batch : m_Batches) {
        DrawPointSprites(m_pVertexBuffer, first, batch.vertexCount, batch.texture);
        first += batch.vertexCount;
    }
}

bool CParticleSystemsManager::InvalidateDeviceObjects() {
    for (CParticleSystem* system : m_Systems)
        if (system) system->InvalidateDeviceObjects();
    if (m_pVertexBuffer) {
        m_pVertexBuffer->Release();
        m_pVertexBuffer = nullptr;
    }
    // The batches point into the released buffer.
    m_Batches.clear();
    return true;
}

bool CParticleSystemsManager::RestoreDeviceObjects() {
    if (m_pVertexBuffer) {  // restored without an invalidate: do not leak the old buffer
        m_pVertexBuffer->Release();
        m_pVertexBuffer = nullptr;
    }
    if (!CreateSharedBuffer()) return false;
    for (CParticleSystem* system : m_Systems)
        if (system) system->RestoreDeviceObjects();
    return true;
}
