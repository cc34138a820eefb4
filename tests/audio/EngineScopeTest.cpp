// The shared engine scope deletes what was made within it and nothing older.
#include <gtest/gtest.h>

#include <d3d9hooks.h>

#include "audio/SoundEngine.h"
#include "engine/GraphicsEngine.h"
#include "engine/MeshManager.h"
#include "engine/Singleton.h"
#include "support/EngineScope.h"
#include "support/TestUtil.h"

namespace {

// A singleton of a layer above, as the app's are; notes whether the sound engine outlived it.
class Above : public CSingleton<Above> {
public:
    ~Above() override { s_soundAtExit = CSoundEngine::HasInstance(); }
    static inline bool s_soundAtExit = false;
};

class EngineScopeTest : public testing::Test {
protected:
    EngineScopeTest() : m_cwd(m_dir.path()) {
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
    }
    ~EngineScopeTest() override { d3d9hooks::ResetAll(); }

    testutil::TempDir m_dir;  // the sound engine writes its volumes here
    testutil::ScopedCwd m_cwd;
};

TEST_F(EngineScopeTest, AnEngineItStartedGoesWithItsManagersAndTheSoundEngine) {
    {
        enginescope::EngineScope scope(enginescope::Options{"scope test", 640, 480});
        ASSERT_TRUE(scope.Ok());
        EXPECT_EQ(scope.Params().m_Width, 640);
        EXPECT_FLOAT_EQ(scope.Params().m_FixedStep, 0.025f);
        EXPECT_TRUE(CMeshManager::HasInstance());
        EXPECT_TRUE(CSoundEngine::HasInstance()) << "the data paths name the audio folder";
    }
    EXPECT_FALSE(CGraphicsEngine::HasInstance());
    EXPECT_FALSE(CMeshManager::HasInstance());
    EXPECT_FALSE(CSoundEngine::HasInstance());
}

TEST_F(EngineScopeTest, WhatExistedBeforeOutlivesALaterSweep) {
    enginescope::EngineScope scope(enginescope::Options{"scope test", 640, 480, nullptr, false});
    ASSERT_TRUE(scope.Ok());
    ASSERT_FALSE(CSoundEngine::HasInstance());
    {
        enginescope::Sweep inner;
        inner.Track<Above>();
        Above::GetInstance();
        CSoundEngine::GetInstance();
    }
    EXPECT_FALSE(Above::HasInstance());
    EXPECT_TRUE(Above::s_soundAtExit) << "the layers above go first";
    EXPECT_FALSE(CSoundEngine::HasInstance());
    EXPECT_TRUE(CGraphicsEngine::HasInstance());
    EXPECT_TRUE(CMeshManager::HasInstance());
    scope.End();
    EXPECT_FALSE(CGraphicsEngine::HasInstance());
}

}  // namespace
