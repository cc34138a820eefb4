// Point sprites on the GL device: a few hundred additive particles and a
// batch of 3D sprites, checked by pixels and saved as a screenshot.
#include <d3d9hooks.h>
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "ParticleTestEnv.h"
#include "engine/GraphicsEngine.h"
#include "engine/ParticleSystem.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/Sprite3DRenderer.h"
#include "support/TestUtil.h"

using particletest::TestSystem;

namespace {

struct Pixel {
    int r, g, b;
};

class ParticleSpritesGlTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(particletest::StartEngine(true));
        m_pEngine = CGraphicsEngine::GetInstance();
        m_pManager = CParticleSystemsManager::GetInstancePtr();
        ASSERT_NE(m_pManager, nullptr);
        ASSERT_NE(m_pManager->GetPointSpriteShader(), nullptr) << "point-sprite program missing";
        ASSERT_NE(m_pManager->GetDefaultTexture(), nullptr) << "particle.png missing";
    }
    void TearDown() override { particletest::StopEngine(); }

    // Screen pixel of a world point under the engine's camera.
    void Project(const D3DXVECTOR3& world, int* x, int* y) {
        D3DXVECTOR3 ndc;
        D3DXVec3TransformCoord(&ndc, &world, m_pEngine->GetViewProjMatrix());
        *x = static_cast<int>((ndc.x + 1.0f) * 0.5f * m_Width);
        *y = static_cast<int>((1.0f - ndc.y) * 0.5f * m_Height);
    }

    Pixel At(const D3DXVECTOR3& world) {
        int x, y;
        Project(world, &x, &y);
        if (x < 0 || y < 0 || x >= static_cast<int>(m_Width) || y >= static_cast<int>(m_Height)) return {-1, -1, -1};
        DWORD argb = m_Pixels[y * m_Width + x];
        return {static_cast<int>((argb >> 16) & 0xff), static_cast<int>((argb >> 8) & 0xff),
                static_cast<int>(argb & 0xff)};
    }

    CGraphicsEngine* m_pEngine = nullptr;
    CParticleSystemsManager* m_pManager = nullptr;
    std::vector<DWORD> m_Pixels;
    UINT m_Width = 0, m_Height = 0;
};

CParticle* MakeParticle(float x, float y, float z, const D3DXCOLOR& color, float size) {
    CParticle* particle = new CParticle();
    particle->m_Position = D3DXVECTOR3(x, y, z);
    particle->m_Color = color;
    particle->m_Size = size;
    return particle;
}

TEST_F(ParticleSpritesGlTest, AdditivePointSpritesAndA3DSpriteBatch) {
    CTextureEntry* texture = m_pManager->GetDefaultTexture();
    // A ring of 300 overlapping blue particles.
    TestSystem* ring = new TestSystem(texture, 0, false, 1000);
    for (int i = 0; i < 300; ++i) {
        float angle = i * 2.0f * D3DX_PI / 300.0f;
        ring->AddParticle(MakeParticle(2.2f * std::cos(angle), 2.2f * std::sin(angle), 0.0f,
                                       D3DXCOLOR(0.0f, 0.3f, 1.0f, 0.5f), 0.4f));
    }
    // One red and one green particle on the same spot: additive blending shows both.
    TestSystem* pair = new TestSystem(texture, 0, false, 10);
    pair->AddParticle(MakeParticle(-1.0f, 0.0f, 0.0f, D3DXCOLOR(1.0f, 0.0f, 0.0f, 1.0f), 0.6f));
    pair->AddParticle(MakeParticle(-1.0f, 0.0f, 0.0f, D3DXCOLOR(0.0f, 1.0f, 0.0f, 1.0f), 0.6f));
    // A fully transparent particle: the alpha test drops it.
    TestSystem* hidden = new TestSystem(texture, 0, false, 10);
    hidden->AddParticle(MakeParticle(0.0f, 1.0f, 0.0f, D3DXCOLOR(1.0f, 1.0f, 1.0f, 0.0f), 0.6f));

    m_pManager->Update();
    ASSERT_TRUE(m_pEngine->BeginFrame(true));
    m_pManager->Render();
    CSprite3DRenderer* sprites = CSprite3DRenderer::GetInstance();
    sprites->Begin();
    sprites->DrawBatch(1.0f, 0.0f, 0.0f, texture, 1.0f, 1.0f, 0.0f, 1.0f, 0.8f);
    sprites->DrawBatch(1.0f, -1.0f, 0.0f, texture, 0.0f, 1.0f, 1.0f, 1.0f, 0.8f);
    sprites->End();
    m_Pixels = d3d9hooks::ReadBackBuffer(m_pEngine->GetDevice(), &m_Width, &m_Height);
    m_pEngine->EndFrame();
    ASSERT_EQ(m_Pixels.size(), static_cast<size_t>(m_Width) * m_Height);
    ASSERT_GT(m_Width, 0u);
    EXPECT_TRUE(testutil::SaveScreenshot("particles.png", m_Pixels, m_Width, m_Height, 16));

    Pixel ringPixel = At(D3DXVECTOR3(2.2f, 0.0f, 0.0f));
    EXPECT_GT(ringPixel.b, 100);
    EXPECT_LT(ringPixel.r, 40);
    Pixel pairPixel = At(D3DXVECTOR3(-1.0f, 0.0f, 0.0f));
    EXPECT_GT(pairPixel.r, 100);
    EXPECT_GT(pairPixel.g, 100);
    EXPECT_LT(pairPixel.b, 40);
    Pixel hiddenPixel = At(D3DXVECTOR3(0.0f, 1.0f, 0.0f));
    EXPECT_EQ(hiddenPixel.r + hiddenPixel.g + hiddenPixel.b, 0);
    Pixel yellow = At(D3DXVECTOR3(1.0f, 0.0f, 0.0f));
    EXPECT_GT(yellow.r, 100);
    EXPECT_GT(yellow.g, 100);
    EXPECT_LT(yellow.b, 40);
    Pixel cyan = At(D3DXVECTOR3(1.0f, -1.0f, 0.0f));
    EXPECT_LT(cyan.r, 40);
    EXPECT_GT(cyan.g, 100);
    EXPECT_GT(cyan.b, 100);
    Pixel background = At(D3DXVECTOR3(0.0f, 0.0f, 0.0f));
    EXPECT_EQ(background.r + background.g + background.b, 0);
}

}  // namespace
