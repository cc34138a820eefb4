#include <d3d9hooks.h>
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "ParticleTestEnv.h"
#include "engine/GraphicsEngine.h"
#include "engine/ParticleSystem.h"
#include "engine/ParticleSystemsManager.h"
#include "engine/Sprite3DRenderer.h"
#include "engine/TextureEntry.h"

using particletest::CountLogLines;

namespace {

class Sprite3DRendererTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(particletest::StartEngine(false));
        m_pRenderer = CSprite3DRenderer::GetInstancePtr();
        ASSERT_NE(m_pRenderer, nullptr);
        d3d9hooks::ClearCallLog();
    }
    void TearDown() override {
        if (m_InFrame) CGraphicsEngine::GetInstance()->EndFrame();
        particletest::StopEngine();
    }

    void BeginFrame() {
        ASSERT_TRUE(CGraphicsEngine::GetInstance()->BeginFrame(false));
        m_InFrame = true;
        d3d9hooks::ClearCallLog();
    }
    void EndFrame() {
        CGraphicsEngine::GetInstance()->EndFrame();
        m_InFrame = false;
    }

    PointSpriteVertex BufferVertex() {
        PointSpriteVertex vertex = {};
        void* data = nullptr;
        IDirect3DVertexBuffer9* buffer = m_pRenderer->GetVertexBuffer();
        if (buffer && SUCCEEDED(buffer->Lock(0, sizeof(vertex), &data, D3DLOCK_READONLY))) {
            std::memcpy(&vertex, data, sizeof(vertex));
            buffer->Unlock();
        }
        return vertex;
    }

    CSprite3DRenderer* m_pRenderer = nullptr;
    bool m_InFrame = false;
    CTextureEntry m_Texture;
};

TEST_F(Sprite3DRendererTest, BeginSetsParticleStatesProgramAndConstants) {
    m_pRenderer->Begin();
    IDirect3DDevice9* device = CGraphicsEngine::GetInstance()->GetDevice();
    particletest::ExpectPointSpriteStates(device, true);
    // After the states: the buffer, the particles' program without a pixel
    // program, then the camera constants.
    std::vector<std::string> steps;
    for (const std::string& line : d3d9hooks::CallLog())
        if (line.rfind("SetRenderState(", 0) != 0 && line.rfind("SetTransform(", 0) != 0 &&
            line.rfind("GetViewport(", 0) != 0)
            steps.push_back(line);
    const std::vector<std::string> expected = {"SetStreamSource(0, vb#", "SetVertexShader(vs#", "SetPixelShader(NULL)",
                                               "SetVertexDeclaration(decl#", "SetVertexShaderConstantF(0, {",
                                               "SetVertexShaderConstantF(4, {"};
    ASSERT_EQ(steps.size(), expected.size()) << ::testing::PrintToString(steps);
    for (size_t i = 0; i < steps.size(); ++i) EXPECT_EQ(steps[i].rfind(expected[i], 0), 0u) << steps[i];
    EXPECT_EQ(steps[0].substr(steps[0].size() - 8), ", 0, 20)");
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("SetTransform(D3DTS_WORLD").empty());  // the world stays as it was

    d3d9hooks::ClearCallLog();
    m_pRenderer->End();
    particletest::ExpectPointSpriteStates(device, false);
}

TEST_F(Sprite3DRendererTest, DrawBatchWritesOneVertexAndDrawsOnePoint) {
    BeginFrame();
    m_pRenderer->Begin();
    d3d9hooks::ClearCallLog();
    m_pRenderer->DrawBatch(1.0f, 2.0f, -3.0f, &m_Texture, 2.0f, 0.5f, 0.0f, 0.25f, 1.5f);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("DrawPrimitive("),
              (std::vector<std::string>{"DrawPrimitive(D3DPT_POINTLIST, 0, 1)"}));
    EXPECT_EQ(particletest::LockCalls(),
              (std::vector<std::string>{".Lock(0, 20, D3DLOCK_DISCARD)"}));
    m_pRenderer->End();
    EndFrame();

    PointSpriteVertex vertex = BufferVertex();
    EXPECT_EQ(vertex.x, 1.0f);
    EXPECT_EQ(vertex.y, 2.0f);
    EXPECT_EQ(vertex.z, -3.0f);
    EXPECT_EQ(vertex.size, 1.5f);
    EXPECT_EQ(vertex.color, 0x40ff8000u);  // alpha 64, red 255, green 128, blue 0
}

TEST_F(Sprite3DRendererTest, DrawBatchOutsideBeginDrawsWithTheCurrentStates) {
    BeginFrame();
    m_pRenderer->DrawBatch(0.0f, 0.0f, 0.0f, &m_Texture, 1.0f, 1.0f, 1.0f, 1.0f, 1.0f);
    EXPECT_EQ(d3d9hooks::CallsStartingWith("DrawPrimitive(").size(), 1u);
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("SetRenderState(").empty());
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("SetVertexShader(").empty());
    EndFrame();
}

TEST_F(Sprite3DRendererTest, RestoreMakesOneDynamicPointVertex) {
    d3d9hooks::ClearCallLog();
    ASSERT_TRUE(m_pRenderer->RestoreDeviceObjects());
    std::vector<std::string> created = d3d9hooks::CallsStartingWith("CreateVertexBuffer(");
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].rfind("CreateVertexBuffer(20, D3DUSAGE_WRITEONLY|D3DUSAGE_POINTS|D3DUSAGE_DYNAMIC, 0x62, "
                               "D3DPOOL_DEFAULT)",
                               0),
              0u)
        << created[0];
}

TEST_F(Sprite3DRendererTest, WithoutBufferNothingIsDrawnAndResetBringsItBack) {
    m_pRenderer->InvalidateDeviceObjects();
    EXPECT_EQ(m_pRenderer->GetVertexBuffer(), nullptr);
    m_pRenderer->DrawBatch(0, 0, 0, &m_Texture, 1, 1, 1, 1, 1);
    EXPECT_TRUE(d3d9hooks::CallsStartingWith("DrawPrimitive(").empty());
    ASSERT_TRUE(m_pRenderer->RestoreDeviceObjects());

    // Through a whole device reset the renderer stays the same object and draws again.
    CGraphicsEngine* engine = CGraphicsEngine::GetInstance();
    CGeneralParameters params;
    ASSERT_TRUE(engine->GetGeneralParameters(&params));
    ASSERT_TRUE(engine->ReInitialize(&params));
    EXPECT_EQ(CSprite3DRenderer::GetInstancePtr(), m_pRenderer);
    EXPECT_NE(m_pRenderer->GetVertexBuffer(), nullptr);
    BeginFrame();
    m_pRenderer->Begin();
    m_pRenderer->DrawBatch(0, 0, 0, &m_Texture, 1, 1, 1, 1, 1);
    m_pRenderer->End();
    EXPECT_EQ(d3d9hooks::CallsStartingWith("DrawPrimitive("),
              (std::vector<std::string>{"DrawPrimitive(D3DPT_POINTLIST, 0, 1)"}));
    EndFrame();
}

}  // namespace
