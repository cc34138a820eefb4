// config.ini checked against its template before the launcher reads it.
#include <d3d9hooks.h>
#include <gtest/gtest.h>

#include <win32.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
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
    // A sound file is left byte for byte, and nothing is kept aside.
    testutil::WriteFile("config.ini", m_template);
    RepairConfig();
    EXPECT_EQ(testutil::ReadFile("config.ini"), m_template);
    EXPECT_FALSE(std::filesystem::exists("config.ini.bad"));
}

// The repair in a child process that cannot read what its owner may not:
// as root it runs as "nobody" in a folder anyone may write. Its exit code: 0
// when the repair went through.
int RepairWithoutRoot(const std::string& folder) {
    const pid_t child = fork();
    if (child == 0) {
        if (getuid() == 0 && (chmod(folder.c_str(), 0777) != 0 || setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
        _exit(RepairConfig() ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST_F(ConfigRepairTest, FileThatCannotBeReadIsKeptAsideAndMadeAnewOrNamed) {
    namespace fs = std::filesystem;
    struct Case {
        const char* name;
        std::function<void()> make;  // config.ini and what else is there
        bool withoutRoot;
        bool rebuilt;
        const char* said;  // in the log when rebuilt (not from a child), else in the problem
    } cases[] = {
        {"folder",
         [] {
             fs::create_directory("config.ini");
             testutil::WriteFile("config.ini/mine.txt", "kept");
         },
         false, true, "Error, config.ini cannot be read (Is a directory): kept as config.ini.bad, made anew"},
        {"pipe", [] { ASSERT_EQ(mkfifo("config.ini", 0644), 0); }, false, true, "config.ini cannot be read ("},
        {"older set-aside file", [] {
             fs::create_directory("config.ini");
             testutil::WriteFile("config.ini.bad", "older");
         }, false, true, "kept as config.ini.bad"},
        {"no read permission", [] {
             testutil::WriteFile("config.ini", "[game]\ntheme=Mine\n");
             chmod("config.ini", 0);
         }, true, true, nullptr},
        {"full folder in the way", [] {
             fs::create_directory("config.ini");
             fs::create_directory("config.ini.bad");
             testutil::WriteFile("config.ini.bad/older.txt", "older");
         }, false, false, "config.ini cannot be read (Is a directory) and cannot be moved to config.ini.bad ("},
        {"folder, no template", [] {
             fs::create_directory("config.ini");
             fs::remove("templates/config.ini");
         },
         false, false,
         "config.ini cannot be read (Is a directory): kept as config.ini.bad, but templates\\config.ini cannot be copied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all("config.ini");
        fs::remove_all("config.ini.bad");
        testutil::WriteFile("templates/config.ini", m_template);
        c.make();
        struct stat before {};
        lstat("config.ini", &before);
        testutil::LogCapture log;
        std::string problem;
        const bool repaired = c.withoutRoot ? RepairWithoutRoot(m_dir.path()) == 0 : RepairConfig(&problem);
        EXPECT_EQ(repaired, c.rebuilt) << problem;
        // Whatever was there is kept whole: the same file, moved aside or left where it was.
        struct stat aside {}, left {};
        const bool movedAside = lstat("config.ini.bad", &aside) == 0 && aside.st_ino == before.st_ino;
        const bool leftInPlace = lstat("config.ini", &left) == 0 && left.st_ino == before.st_ino;
        EXPECT_TRUE(c.rebuilt ? movedAside : movedAside || leftInPlace);
        if (c.rebuilt) {
            EXPECT_EQ(testutil::ReadFile("config.ini"), m_template);
            if (c.said) {
                EXPECT_NE(log.Text().find(c.said), std::string::npos) << log.Text();
            }
        } else {
            EXPECT_EQ(problem.rfind(c.said, 0), 0u) << problem;
        }
    }
}

// Random bytes, as a crash mid-write or a wrong file might leave.
std::string Garbage() {
    std::string junk;
    for (unsigned i = 0, x = 7; i < 4096; ++i) junk += char((x = x * 1103515245u + 12345u) >> 16);
    return junk;
}

TEST_F(ConfigRepairTest, LinesThatAreNoSettingsLeaveAndTheFileIsKeptAside) {
    struct Case {
        const char* name;
        std::string text;
        std::vector<std::string> kept, gone;
    } cases[] = {
        {"mixed",
         "junk before any section\nloose=1\n[graphics]\r\nscreen_w=800\r\n; a note\n# another\n\nnot a setting\n"
         "=no key\nbits\x01=16\n[]\n[ game ]\ntheme=Mine",
         {"[graphics]\r\n", "screen_w=800\r\n", "; a note\n", "# another\n", "[ game ]\n", "theme=Mine"},
         {"junk", "loose", "not a setting", "=no key", "bits\x01", "[]"}},
        {"byte-order mark", "\xEF\xBB\xBF" + m_template, {m_template}, {"\xEF\xBB\xBF"}},
        {"random bytes", Garbage(), {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::WriteFile("config.ini", c.text);
        testutil::LogCapture log;
        EXPECT_TRUE(RepairConfig());
        EXPECT_NE(log.Text().find("lines that are not settings"), std::string::npos) << log.Text();
        EXPECT_EQ(testutil::ReadFile("config.ini.bad"), c.text);
        const std::string repaired = testutil::ReadFile("config.ini");
        for (const std::string& line : c.kept) EXPECT_NE(repaired.find(line), std::string::npos) << line;
        for (const std::string& junk : c.gone) EXPECT_EQ(repaired.find(junk), std::string::npos) << junk;
        // Every line left is blank, a comment, a section or a setting, of text.
        size_t at = 0;
        for (size_t end; at < repaired.size(); at = end + 1) {
            end = std::min(repaired.find('\n', at), repaired.size());
            std::string line = repaired.substr(at, end - at);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            for (unsigned char b : line) EXPECT_TRUE(b >= 0x20 || b == '\t') << int(b) << " in " << line;
            EXPECT_TRUE(line.empty() || line[0] == '[' || line[0] == ';' || line[0] == '#' ||
                        line.find('=') != std::string::npos)
                << line;
        }
        EXPECT_EQ(ReadIniString("config.ini", "preloader", "title"), "Kolvar");
        std::filesystem::remove("config.ini.bad");
    }
}

}  // namespace
