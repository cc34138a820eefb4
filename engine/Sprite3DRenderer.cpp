#include "engine/Sprite3DRenderer.h"

#include <dxerr9.h>

#include <cstring>

#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/ParticleSystem.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/ShaderManager.h"
#include "engine/TextureEntry.h"

namespace {
IDirect3DDevice9* Device() { return CGraphicsEngine::GetInstance()->GetDevice(); }
}  // namespace

CSprite3DRenderer::CSprite3DRenderer() : m_pVertexBuffer(nullptr) {}

CSprite3DRenderer::~CSprite3DRenderer() { InvalidateDeviceObjects(); }

void CSprite3DRenderer::Begin() {
    IDirect3DDevice9* device = Device();
    if (!device) return;
    SetPointSpriteStates(device);
    device->SetStreamSource(0, m_pVertexBuffer, 0, sizeof(PointSpriteVertex));

    CParticleSystemsManager* particles = CParticleSystemsManager::GetInstance();
    CShaderManager* shaders = CShaderManager::GetInstance();
    shaders->SetVertexShader(particles->GetPointSpriteShader());
    shaders->SetPixelShader(nullptr);
    shaders->SetVertexDeclaration(particles->GetPointSpriteDeclaration());
    SetPointSpriteConstants(particles->GetPointSpriteShader());
}

void CSprite3DRenderer::DrawBatch(float x, float y, float z, CTextureEntry* texture, float red, float green, float blue,
                                  float alpha, float size) {
    IDirect3DDevice9* device = Device();
    if (!m_pVertexBuffer || !device) return;
    void* data = nullptr;
    if (FAILED(m_pVertexBuffer->Lock(0, sizeof(PointSpriteVertex), &data, D3DLOCK_DISCARD))) return;
    PointSpriteVertex vertex;
    vertex.x = x;
    vertex.y = y;
    vertex.z = z;
    vertex.size = size;
    vertex.color = static_cast<DWORD>(D3DXCOLOR(red, green, blue, alpha));
    std::memcpy(data, &vertex, sizeof(vertex));
    m_pVertexBuffer->Unlock();
    if (texture)
        texture->Set(0);
    else
        device->SetTexture(0, nullptr);
    device->DrawPrimitive(D3DPT_POINTLIST, 0, 1);
}

void CSprite3DRenderer::End() {
    IDirect3DDevice9* device = Device();
    if (!device) return;
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, FALSE);
    device->SetRenderState(D3DRS_POINTSCALEENABLE, FALSE);
    device->SetRenderState(D3DRS_ZWRITEENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
}

bool CSprite3DRenderer::InvalidateDeviceObjects() {
    if (m_pVertexBuffer) {
        m_pVertexBuffer->Release();
        m_pVertexBuffer = nullptr;
    }
    return true;
}

bool CSprite3DRenderer::RestoreDeviceObjects() {
    InvalidateDeviceObjects();  // a second restore must not leak the first buffer
    IDirect3DDevice9* device = Device();
    HRESULT hr = D3DERR_INVALIDCALL;
    if (device)
        hr = device->CreateVertexBuffer(sizeof(PointSpriteVertex), kPointSpriteUsage, kPointSpriteFVF,
                                        D3DPOOL_DEFAULT, &m_pVertexBuffer, nullptr);
    if (FAILED(hr)) {
        m_pVertexBuffer = nullptr;
        g_Log.PrintBold("red", "Error: couldn't create vertex buffer for 3d sprite. Code = %s", DXGetErrorString9(hr));
        return false;
    }
    return true;
}
