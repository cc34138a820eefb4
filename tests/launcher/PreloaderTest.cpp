#include <sys/stat.h>
#include <winuser.h>

#include "LauncherTestEnv.h"
#include "launcher/LauncherHooks.h"
#include "launcher/Preloader.h"

namespace {

using platform::DialogStep;

const char* const kButtonsConfig =
    "[preloader]\r\ntitle=My Launcher\r\nstart_button=Go\r\nthemes_button=Looks\r\nsetup_button=Options\r\n"
    "scores_button=Scores\r\nweb_button=Site\r\nhistory_button=News\r\ntell_button=Tell\r\nbug_report_button=Bugs\r\n";

TEST_F(LauncherTest, StartGivesTrueAndTheCloseBoxFalse) {
    Config(kButtonsConfig);
    platform::QueueDialogSteps({DialogStep::Press(1002)});
    EXPECT_TRUE(RunPreloader(nullptr));
    platform::QueueDialogSteps({DialogStep::Close()});
    EXPECT_FALSE(RunPreloader(nullptr));
}

TEST_F(LauncherTest, OnlineScoresButtonFollowsItsKey) {
    struct {
        const char* line;
        bool shown;
    } cases[] = {{"", false}, {"enable_online_highscores=0\r\n", false}, {"enable_online_highscores=1\r\n", true}};
    for (const auto& c : cases) {
        Config(std::string(kButtonsConfig) + c.line);
        bool shown = !c.shown;
        platform::QueueDialogSteps({DialogStep::Call([&](HWND d) { shown = IsWindowVisible(GetDlgItem(d, 1007)); }),
                                    DialogStep::Press(1002)});
        EXPECT_TRUE(RunPreloader(nullptr));
        EXPECT_EQ(shown, c.shown) << c.line;
    }
}

int g_ScoresOpened = 0;

TEST_F(LauncherTest, PagesAreReadFromConfigOnEachPressAndTellIsStarted) {
    Config(std::string(kButtonsConfig) + "enable_online_highscores=1\r\nweb_file=first.html\r\nhistory_file=news.html\r\n");
    for (const char* f : {"first.html", "second.html", "news.html", "tell.exe"}) testutil::WriteFile(dir.file(f), "x");
    g_ScoresOpened = 0;
    SetOnlineScoresHook([] { ++g_ScoresOpened; });
    std::string page = "web_file=first.html";
    platform::QueueDialogSteps({DialogStep::Press(1003), DialogStep::Call([&](HWND) {
                                    std::string text = testutil::ReadFile(dir.file("config.ini"));
                                    text.replace(text.find(page), page.size(), "web_file=second.html");
                                    testutil::WriteFile(dir.file("config.ini"), text);
                                }),
                                DialogStep::Press(1003), DialogStep::Press(1004), DialogStep::Press(1009),
                                DialogStep::Press(1007), DialogStep::Press(1002)});
    EXPECT_TRUE(RunPreloader(nullptr));
    SetOnlineScoresHook(nullptr);
    std::string shell = ShellLog();
    size_t first = shell.find("open\tfirst.html\t"), second = shell.find("open\tsecond.html\t");
    EXPECT_NE(first, std::string::npos) << shell;
    EXPECT_NE(second, std::string::npos) << shell;
    EXPECT_LT(first, second);
    EXPECT_NE(shell.find("open\tnews.html\t"), std::string::npos) << shell;
    EXPECT_NE(shell.find("open\ttell.exe\t\t\t" + dir.file("tell.exe")), std::string::npos) << shell;
    EXPECT_EQ(g_ScoresOpened, 1);
}

TEST_F(LauncherTest, ThemesAndBugReportButtonsOpenTheirDialogs) {
    Config(std::string(kButtonsConfig) +
           "[preloader_themes]\r\ntitle=Pick a look\r\n[preloader_bug_report]\r\ntitle=Report it\r\n");
    std::vector<std::string> opened;
    auto caption = [&](HWND d) { opened.push_back(Text(d)); };
    platform::QueueDialogSteps({DialogStep::Press(1028), DialogStep::Call(caption), DialogStep::Close(),
                                DialogStep::Press(1013), DialogStep::Call(caption), DialogStep::Press(1041),
                                DialogStep::Call(caption), DialogStep::Press(1002)});
    EXPECT_TRUE(RunPreloader(nullptr));
    EXPECT_EQ(opened, (std::vector<std::string>{"Pick a look", "Report it", "My Launcher"}));
}

TEST_F(LauncherTest, ScreenshotShowsTheConfiguredTexts) {
    std::string config = testutil::ReadFile(std::string(getenv("KOLVAR_SOURCE_DIR")) + "/data/templates/config.ini");
    Config(config);
    std::string game = getenv("KOLVAR_GAME_DIR");
    mkdir(dir.file("data").c_str(), 0755);
    mkdir(dir.file("data/launcher").c_str(), 0755);
    testutil::WriteFile(dir.file("data/launcher/logo.bmp"), testutil::ReadFile(game + "/data/launcher/logo.bmp"));

    std::string shot = testutil::ArtifactsDir() + "/launcher.png";
    std::vector<std::string> shown;
    bool saved = false;
    RECT logo{}, start{};
    platform::QueueDialogSteps({DialogStep::Call([&](HWND d) {
                                    saved = platform::SaveDialogScreenshot(d, shot);
                                    platform::DialogControlRect(GetDlgItem(d, 1005), &logo);
                                    platform::DialogControlRect(GetDlgItem(d, 1002), &start);
                                    for (int id : {1002, 1028, 1008, 1003, 1004, 1009, 1013})
                                        if (IsWindowVisible(GetDlgItem(d, id))) shown.push_back(Text(d, id));
                                    shown.push_back(Text(d));
                                }),
                                DialogStep::Press(1002)});
    EXPECT_TRUE(RunPreloader(nullptr));
    EXPECT_TRUE(saved);
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 16));
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 16, &logo)) << "the logo";
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 4, &start)) << "the Start button";
    const char* keys[] = {"start_button", "themes_button", "setup_button", "web_button",
                          "history_button", "tell_button", "bug_report_button", "title"};
    ASSERT_EQ(shown.size(), 8u);
    for (int i = 0; i < 8; ++i) {
        std::string key = std::string("\n") + keys[i] + "=";
        size_t at = config.find(key);
        ASSERT_NE(at, std::string::npos) << keys[i];
        std::string value = config.substr(at + key.size(), config.find_first_of("\r\n", at + key.size()) - at - key.size());
        EXPECT_FALSE(value.empty()) << keys[i];
        EXPECT_EQ(shown[i], value) << keys[i];
    }
}

// ---- The theme-archive icon ----

class ThemeIconTest : public LauncherTest {
protected:
    std::string Value(HKEY root, const char* key, const char* name) {
        HKEY k = nullptr;
        if (RegOpenKeyExA(root, key, 0, KEY_READ, &k) != ERROR_SUCCESS) return "<no key>";
        char buf[300] = {};
        DWORD size = sizeof buf - 1;
        LONG r = RegQueryValueExA(k, name, nullptr, nullptr, reinterpret_cast<LPBYTE>(buf), &size);
        RegCloseKey(k);
        return r == ERROR_SUCCESS ? std::string(buf) : "<no value>";
    }
    void Set(HKEY root, const char* key, const char* name, const std::string& value) {
        HKEY k = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, key, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr), ERROR_SUCCESS);
        RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), value.size() + 1);
        RegCloseKey(k);
    }
    std::string Wanted() {
        char program[256] = {};
        GetModuleFileNameA(nullptr, program, sizeof program);
        return std::string(program) + ",-125";
    }
    size_t Refreshes() { return Count(ShellLog(), "SHChangeNotify\t32768\t"); }
};

TEST_F(ThemeIconTest, MissingKeyIsCreatedAndTheCacheRefreshedOnce) {
    Set(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "Shell Icon Size", "32");
    RegisterThemeFileIcon();
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".kvr\\DefaultIcon", nullptr), Wanted());
    EXPECT_EQ(Refreshes(), 1u);
    EXPECT_EQ(Value(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "Shell Icon Size"), "32");
    std::string share = dir.file("share");
    EXPECT_NE(testutil::ReadFile(share + "/mime/packages/kolvar-theme.xml").find("*.kvr"), std::string::npos);
    EXPECT_TRUE(testutil::FileExists(share + "/icons/hicolor/32x32/mimetypes/application-x-kolvar-theme.png"));
    RegisterThemeFileIcon();  // now current: nothing more
    EXPECT_EQ(Refreshes(), 1u);
}

TEST_F(ThemeIconTest, SameValueInOtherCaseIsLeftAlone) {
    std::string upper = Wanted();
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    Set(HKEY_CLASSES_ROOT, ".kvr\\DefaultIcon", nullptr, upper);
    RegisterThemeFileIcon();
    EXPECT_EQ(Value(HKEY_CLASSES_ROOT, ".kvr\\DefaultIcon", nullptr), upper);
    EXPECT_EQ(Refreshes(), 0u);
    EXPECT_FALSE(testutil::FileExists(dir.file("share/mime/packages/kolvar-theme.xml")));
}

TEST_F(ThemeIconTest, IconSizeIsRestoredOrStartsFromTheSystemWidth) {
    EXPECT_FALSE(RefreshShellIconCache());  // no WindowMetrics key
    struct {
        const char* stored;
        const char* after;
    } cases[] = {{"32", "32"}, {"48", "48"}, {"3", "32"}, {nullptr, "32"}};
    for (const auto& c : cases) {
        HKEY k = nullptr;
        RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &k, nullptr);
        RegCloseKey(k);
        if (c.stored) Set(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "Shell Icon Size", c.stored);
        EXPECT_TRUE(RefreshShellIconCache());
        EXPECT_EQ(Value(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", "Shell Icon Size"), c.after);
        RegDeleteKeyA(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics");
    }
}

}  // namespace

namespace {

TEST_F(LauncherTest, ScriptedRunsNeverWaitForAPerson) {
    Config(kButtonsConfig);
    testutil::WriteFile(dir.file("close.txt"), "# closes the launcher\npress 1008\nclose\nclose\n");
    testutil::WriteFile(dir.file("bad.txt"), "press\n");
    struct {
        const char* launcher;
        const char* inputScript;
        bool result;
    } cases[] = {{"start", nullptr, true},
                 {nullptr, "keys.txt", true},
                 {"script:close.txt", nullptr, false},
                 {"script:bad.txt", nullptr, true},
                 {"script:missing.txt", nullptr, true}};
    for (const auto& c : cases) {
        if (c.launcher) setenv("KOLVAR_LAUNCHER", c.launcher, 1);
        if (c.inputScript) setenv("KOLVAR_INPUT_SCRIPT", c.inputScript, 1);
        EXPECT_EQ(RunPreloader(nullptr), c.result) << (c.launcher ? c.launcher : c.inputScript);
        EXPECT_EQ(platform::PendingDialogSteps(), 0u);
        unsetenv("KOLVAR_LAUNCHER");
        unsetenv("KOLVAR_INPUT_SCRIPT");
    }
    EXPECT_NE(log.Text().find("bad.txt line 1 not understood"), std::string::npos);
}

}  // namespace
