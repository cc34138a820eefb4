// A theme manager's world: a temporary game folder with fixture themes, the
// engine on the null (or GL) device, dummy audio and a fake clock.
#pragma once

#include <gtest/gtest.h>

#include <d3d9hooks.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/EngineScope.h"
#include "support/EngineSupport.h"
#include "support/FakePlatform.h"
#include "support/TestUtil.h"

namespace themetest {

class ThemeEnv : public testing::Test {
protected:
    virtual d3d9hooks::Backend Backend() const { return d3d9hooks::Backend::Null; }
    void SetUp() override;
    void TearDown() override;

    // themes/<folder> with info.ini naming it, an optional script and a logo.
    void MakeTheme(const std::string& folder, const std::string& name, const std::string& script = "",
                   bool logo = true);
    // A small opaque PNG of that size.
    void WritePng(const std::string& path, int width, int height);
    // Copies the built game's theme folder into this game folder.
    void CopyShippedTheme(const std::string& folder);

    std::vector<testutil::LogEntry> LogSince() const { return m_log.Entries(); }
    std::vector<std::string> TextsSince(const std::string& colour = "", bool boldOnly = false) const;
    int CountSince(const std::string& needle) const;
    void MarkLog() { m_log.Mark(); }
    double Global(const char* name) const;
    void Advance(double seconds);

    testutil::LogTail m_log;
    testutil::TempDir m_dir;
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
    std::optional<testutil::FakePlatform> m_platform;
    std::optional<enginescope::EngineScope> m_engine;
};

}  // namespace themetest
