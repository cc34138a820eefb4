// A graphics engine on the null (or GL) device for the texture and sprite
// tests, plus the HTML log as entries.
#pragma once

#include <gtest/gtest.h>

#include <d3d9hooks.h>
#include <platform.h>

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/EngineTimer.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/TextureManager.h"
#include "support/EngineSupport.h"

namespace textest {

using testutil::LogEntry;

class EngineTest : public testing::Test {
protected:
    // The backend and the screen size of the engine the test starts.
    virtual d3d9hooks::Backend Backend() const { return d3d9hooks::Backend::Null; }

    void SetUp() override {
        if (Backend() == d3d9hooks::Backend::GL && !getenv("DISPLAY")) KOLVAR_SKIP_WITHOUT_GL() << "no display for GL";
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(Backend());
        platform::SetFakeClock(true, 1000000000LL);
        EngineTimerRestart();
        m_Log.Mark();
    }
    void TearDown() override {
        g_ThemeTextures.clear();  // the entries go with the engine's texture manager
        m_Scope.reset();
        m_Singletons.Now();
        d3d9hooks::ResetAll();
        platform::SetFakeClock(false);
    }

    // A fresh engine each time, the one before deleted.
    CGraphicsEngine* Start(int width = 1024, int height = 768) {
        m_Scope.reset();
        m_Scope.reset(new enginescope::EngineScope({"Kolvar texture test", width, height, nullptr, false}));
        EXPECT_TRUE(m_Scope->Ok());
        return CGraphicsEngine::GetInstance();
    }

    std::vector<LogEntry> NewLog() const { return m_Log.Entries(); }
    // Position of the first entry with this text from `from` on, or -1.
    int Find(const std::string& text, int from = 0) const {
        std::vector<LogEntry> log = NewLog();
        for (size_t i = from; i < log.size(); ++i)
            if (log[i].text == text) return int(i);
        return -1;
    }
    void MarkLog() { m_Log.Mark(); }

    std::string Write(const std::string& name, const std::string& bytes) {
        testutil::WriteFile(m_Dir.file(name), bytes);
        return m_Dir.file(name);
    }

    CGeneralParameters m_Params;  // for a fixture that starts the engine by hand
    testutil::LogTail m_Log;
    testutil::TempDir m_Dir;
    enginescope::Sweep m_Singletons;  // deletes the engine a fixture started by hand
    std::unique_ptr<enginescope::EngineScope> m_Scope;
};

}  // namespace textest
