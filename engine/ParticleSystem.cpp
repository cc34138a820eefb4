#include "engine/ParticleSystem.h"

#include <dxerr9.h>

#include <algorithm>
#include <cstring>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/ParticleSystemsManager.h"

bool CompareParticleDepth(const CParticle* a, const CParticle* b) { return a->m_Position.z > b->m_Position.z; }

CParticleSystem::CParticleSystem(CTextureEntry* texture, unsigned maxParticles, bool ownVertexBuffer,
                                 bool registerSystem)
    : m_Registered(false),
      m_Enabled(true),
      m_Sorted(false),
      m_OwnVertexBuffer(ownVertexBuffer),
      m_ParticleCount(0),
      m_pVertexBuffer(nullptr),
      m_pTexture(texture),
      m_MaxParticles(maxParticles),
      m_FilledVertices(0) {
    if (registerSystem) m_Registered = CParticleSystemsManager::GetInstance()->AddSystem(this);
    CParticleSystem::RestoreDeviceObjects();
}

CParticleSystem::~CParticleSystem() {
    // Systems deleted after the manager (at exit) must not create it again.
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstancePtr();
    if (manager && manager->m_SystemCount > 0) --manager->m_SystemCount;
    CParticleSystem::InvalidateDeviceObjects();
    for (CParticle* particle : m_Particles) delete particle;
    m_Particles.clear();
    m_SortBuffer.clear();
    m_ParticleCount = 0;
}

bool CParticleSystem::Update() {
    if (!m_Enabled || !m_OwnVertexBuffer) return true;
    // Without a buffer (creation failed, or between invalidate and restore)
    // the system lives on and fills again once the buffer is back.
    if (!m_pVertexBuffer) return true;
    void* data = nullptr;
    if (FAILED(m_pVertexBuffer->Lock(0, m_ParticleCount * sizeof(PointSpriteVertex), &data, D3DLOCK_DISCARD)))
        return false;
    BYTE* write = static_cast<BYTE*>(data);
    m_FilledVertices = FillVertices(write);
    m_pVertexBuffer->Unlock();
    return true;
}

void CParticleSystem::InvalidateDeviceObjects() {
    if (m_OwnVertexBuffer && m_pVertexBuffer) {
        m_pVertexBuffer->Release();
        m_pVertexBuffer = nullptr;
    }
    m_FilledVertices = 0;
}

bool CParticleSystem::RestoreDeviceObjects() {
    if (!m_OwnVertexBuffer || m_pVertexBuffer) return true;
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    HRESULT hr = D3DERR_INVALIDCALL;
    // Refuse a length that does not fit the 32-bit size instead of wrapping.
    if (device && m_MaxParticles > 0 && m_MaxParticles <= 0xffffffffu / sizeof(PointSpriteVertex))
        hr = device->CreateVertexBuffer(m_MaxParticles * sizeof(PointSpriteVertex), kPointSpriteUsage,
                                        kPointSpriteFVF, D3DPOOL_DEFAULT, &m_pVertexBuffer, nullptr);
    if (FAILED(hr)) {
        m_pVertexBuffer = nullptr;
        g_Log.PrintBold("red", "Error: couldn't create vertex buffer. Code = %s", DXGetErrorString9(hr));
        return false;
    }
    return true;
}

void CParticleSystem::Render() {
    // Only what the last fill wrote: dead particles leave no vertex behind.
    DrawPointSprites(m_pVertexBuffer, 0, m_FilledVertices, m_pTexture);
}

void CParticleSystem::RemoveFromManager() {
    CParticleSystemsManager* manager = CParticleSystemsManager::GetInstancePtr();
    if (manager) manager->RemoveSystem(this);
    m_Registered = false;
}

unsigned CParticleSystem::GetParticleCount() { return m_ParticleCount; }

bool CParticleSystem::AddParticle(CParticle* particle) {
    if (!particle || m_Particles.size() >= m_MaxParticles) return false;
    m_Particles.push_back(particle);
    ++m_ParticleCount;
    return true;
}

void CParticleSystem::RemoveParticle(ParticleVector::iterator& position) {
    if (position == m_Particles.end()) return;
    position = m_Particles.erase(position);
    --m_ParticleCount;
}

unsigned CParticleSystem::FillVertices(BYTE*& writePointer) {
    if (!writePointer) return 0;
    const ParticleVector* source = &m_Particles;
    if (m_Sorted) {
        m_SortBuffer = m_Particles;
        std::sort(m_SortBuffer.begin(), m_SortBuffer.end(), CompareParticleDepth);
        source = &m_SortBuffer;
    }
    unsigned written = 0;
    for (const CParticle* particle : *source) {
        if (!particle->m_Alive) continue;
        PointSpriteVertex vertex;
        vertex.x = particle->m_Position.x;
        vertex.y = particle->m_Position.y;
        vertex.z = particle->m_Position.z;
        vertex.size = particle->m_Size;
        vertex.color = static_cast<DWORD>(particle->m_Color);
        std::memcpy(writePointer, &vertex, sizeof(vertex));
        writePointer += sizeof(vertex);
        ++written;
    }
    return written;
}
