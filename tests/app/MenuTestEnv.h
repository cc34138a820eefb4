// A menu manager on the null (or GL) device in a fresh game folder that links
// the built data, with the textured font, fixed-step time and recorded sounds.
#pragma once

#include <gtest/gtest.h>

#include <d3d9hooks.h>

#include <memory>
#include <optional>

#include "app/MenuItem.h"
#include "app/MenuManager.h"
#include "audio/SoundTestView.h"
#include "engine/GraphicsEngine.h"
#include "support/EngineScope.h"
#include "support/FakePlatform.h"
#include "support/TestUtil.h"

namespace menutest {

// The manager's sounds, counted by the names they were loaded under.
const char kMove[] = "menu_move.wav", kClick[] = "menu_click.wav", kChange[] = "menu_change.wav";

class MenuEnv : public testing::Test {
public:
    void RunStep();

protected:
    virtual d3d9hooks::Backend Backend() const { return d3d9hooks::Backend::Null; }
    // Seconds per engine step; a power of two keeps the engine time exact.
    virtual float Step() const { return 0.25f; }

    // Runs inside every engine step (the fixed steps and the remainder).
    virtual void OnStep() {}
    // Runs after the device hooks are reset, before the engine starts (adapter modes, faults).
    virtual void BeforeEngine() {}

    void SetUp() override;
    void TearDown() override;

    // Runs engine time forward by whole steps.
    void Advance(float seconds);
    float Now() const { return CGraphicsEngine::GetInstance()->GetTime(); }
    // Plays of one sound since the last ClearSounds.
    int Played(const char* name) const;
    void ClearSounds();
    // Moves the polled mouse to (x, y) (within a thousandth) and sets the left button.
    void Mouse(float x, float y, bool left);
    MenuTextStyle Style(float x, float y, float size = 0.05f, uint32_t flags = 0) const;

    CMenuManager* m_manager = nullptr;
    CFont* m_font = nullptr;
    testutil::TempDir m_dir;
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
    std::optional<testutil::FakePlatform> m_platform;
    std::unique_ptr<CSoundTestView> m_sounds;
    std::optional<enginescope::EngineScope> m_engine;
};

}  // namespace menutest
