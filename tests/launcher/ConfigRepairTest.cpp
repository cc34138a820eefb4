// config.ini checked against its template before the launcher reads it.
#include <d3d9hooks.h>
#include <gtest/gtest.h>

#include <win32.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/Ini.h"
#include "engine/LogCapture.h"
#include "launcher/ConfigRepair.h"
#include "support/TestUtil.h"

namespace {

D3DDISPLAYMODE Mode(UINT w, UINT h) { return {w, h, 60, D3DFMT_X8R8G8B8}; }

class ConfigRepairTest : public testing::Test {
protected:
    void SetUp() override {
        m_cwd.reset(new testutil::ScopedCwd(m_dir.path()));
        m_template = testutil::ReadFile(std::string(getenv("KOLVAR_SOURCE_DIR")) + "/data/templates/config.ini");
        std::filesystem::create_directory(m_dir.file("templates"));
        testutil::WriteFile(m_dir.file("templates/config.ini"), m_template);
        d3d9hooks::ResetAll();
        d3d9hooks::SetBackend(d3d9hooks::Backend::Null);
        d3d9hooks::SetAdapterModes(D3DFMT_X8R8G8B8, {Mode(1280, 1024), Mode(640, 480), Mode(1024, 768), Mode(800, 600)});
        d3d9hooks::SetAdapterModes(D3DFMT_R5G6B5, {{800, 600, 60, D3DFMT_R5G6B5}});
    }
    void TearDown() override {
        d3d9hooks::ResetAll();
        m_cwd.reset();
    }

    testutil::TempDir m_dir;
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
    std::string m_template;
};

TEST_F(ConfigRepairTest, BadValuesTakeTheTemplatesOrTheNearestUsableOne) {
    using Stored = std::vector<std::pair<const char*, const char*>>;  // key, value (null: the key is missing)
    struct Case {
        const char* section;
        Stored stored;
        const char* checked;
        const char* after;
        const char* logged;  // null: nothing logged
    } cases[] = {
        {"graphics", {{"frame_details", "7"}}, "frame_details", "2", "frame_details = 7 is out of range: using 2"},
        {"graphics", {{"blocks_details", "-3"}}, "blocks_details", "0", "out of range"},
        {"sound", {{"music_volume", "9"}}, "music_volume", "1.00000", "out of range"},
        {"game", {{"frame_opacity", "-0.5"}}, "frame_opacity", "0.00000", "out of range"},
        {"game", {{"frame_type", "abc"}}, "frame_type", "1", "frame_type = abc cannot be read: using 1"},
        {"game", {{"difficulty", "12abc"}}, "difficulty", "0", "cannot be read"},
        {"sound", {{"game_volume", "nan"}}, "game_volume", "0.70000", "cannot be read"},
        {"graphics", {{"bits", "24"}}, "bits", "32", "cannot be read"},
        {"game", {{"res_count", "99999999999"}}, "res_count", "0", "cannot be read"},
        {"preloader", {{"start_button", ""}}, "start_button", "Start game", "start_button =  is empty: using Start game"},
        {"preloader", {{"title", nullptr}}, "title", "Kolvar", "[preloader] title is missing: using Kolvar"},
        // Not a mode of the display: the largest mode within it, else the first; of the list of its depth.
        {"graphics", {{"fullscreen", "1"}, {"screen_w", "1000"}}, "screen_h", "600",
         "size 1000x768 is not a mode of the display: using 800x600"},
        {"graphics", {{"fullscreen", "1"}, {"screen_w", "1280"}}, "screen_w", "1024", "1280x768"},
        {"graphics", {{"fullscreen", "1"}, {"bits", "16"}}, "screen_w", "800", "1024x768"},
        // A window needs no mode, only room on the display.
        {"graphics", {{"screen_w", "1000"}}, "screen_w", "1000", nullptr},
        {"graphics", {{"screen_w", "1400"}}, "screen_w", "1024", "1400x768"},
        {"graphics", {{"screen_h", "-100"}}, "screen_h", "480", "1024x-100"},
        {"graphics", {{"screen_w", "600"}}, "screen_w", "640", "600x768"},
        // Values that read well stay as written.
        {"sound", {{"game_volume", "0.25"}}, "game_volume", "0.25", nullptr},
        {"graphics", {{"fullscreen", "1"}, {"screen_w", "1280"}, {"screen_h", "1024"}}, "screen_w", "1280", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored.back().first + std::string("=") + (c.stored.back().second ? c.stored.back().second : ""));
        testutil::WriteFile("config.ini", m_template);
        for (const auto& [key, value] : c.stored) WritePrivateProfileStringA(c.section, key, value, "config.ini");
        testutil::LogCapture log;
        RepairConfig();
        EXPECT_EQ(ReadIniString("config.ini", c.section, c.checked), c.after);
        if (c.logged)
            EXPECT_NE(log.Text().find(c.logged), std::string::npos) << log.Text();
        else
            EXPECT_EQ(log.Text().find("Error"), std::string::npos) << log.Text();
    }
    // A sound file is left byte for byte.
    testutil::WriteFile("config.ini", m_template);
    RepairConfig();
    EXPECT_EQ(testutil::ReadFile("config.ini"), m_template);
}

}  // namespace
