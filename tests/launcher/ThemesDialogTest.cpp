// The themes dialog on a temporary game folder: listing, selection, the
// stored choice, the random option, removing and installing themes.
#include <winuser.h>
#include <winuserhooks.h>

#include <filesystem>

#include "LauncherTestEnv.h"
#include "engine/Ini.h"
#include "launcher/ThemeArchive.h"
#include "launcher/ThemesDialog.h"
#include "support/ZipFixture.h"

namespace fs = std::filesystem;

namespace {

using platform::DialogStep;

// A solid 24-bit bitmap file.
std::string Bmp(int w, int h) {
    int row = (w * 3 + 3) & ~3;
    std::string out(54 + static_cast<size_t>(row) * h, '\x60');
    auto put = [&](size_t at, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) out[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    out[0] = 'B';
    out[1] = 'M';
    put(2, static_cast<uint32_t>(out.size()), 4);
    put(6, 0, 4);
    put(10, 54, 4);
    put(14, 40, 4);
    put(18, static_cast<uint32_t>(w), 4);
    put(22, static_cast<uint32_t>(h), 4);
    put(26, 1, 2);
    put(28, 24, 2);
    put(30, 0, 4);
    put(34, static_cast<uint32_t>(row * h), 4);
    for (size_t i = 38; i < 54; ++i) out[i] = 0;
    return out;
}

class ThemesDialogTest : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        if (IsSkipped()) return;
        g_ThemesDlgSelection = 0;
        platform::SetMessageBoxAnswer(0);
        Config("[preloader_themes]\r\nare_you_sure=Really?\r\nrandom=0\r\n");
    }
    void TearDown() override {
        platform::SetMessageBoxAnswer(0);
        ThemesDlg_ReleasePictures();  // the launcher's end, which these tests stand in for
        LauncherTest::TearDown();
    }
    void Theme(const std::string& folder, const std::string& name, bool logo = true) {
        fs::create_directories(dir.file("themes/" + folder));
        testutil::WriteFile(dir.file("themes/" + folder + "/info.ini"), "[general]\r\nname=" + name + "\r\n");
        if (logo) testutil::WriteFile(dir.file("themes/" + folder + "/logo.bmp"), Bmp(40, 30));
    }
    // Opens the dialog, runs the steps, then closes it with Close.
    void Run(std::vector<DialogStep> steps) {
        steps.push_back(DialogStep::Press(kThemesClose));
        platform::QueueDialogSteps(steps);
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kThemesDialog), nullptr, ThemesDlgProc, 0), 0);
        EXPECT_EQ(platform::PendingDialogSteps(), 0u);
    }
    static std::vector<std::string> Lines(HWND d) { return ListLines(d, kThemesList); }
    static LRESULT Selected(HWND d) { return SendDlgItemMessageA(d, kThemesList, LB_GETCURSEL, 0, 0); }
    static bool RemoveEnabled(HWND d) { return IsWindowEnabled(GetDlgItem(d, kThemesRemove)); }
    static bool HasPicture(HWND d) { return SendDlgItemMessageA(d, kThemesPicture, STM_GETIMAGE, 0, 0) != 0; }
    std::string Stored() { return ReadIniString("config.ini", "game", "theme"); }
};

TEST_F(ThemesDialogTest, OpensOnTheStoredThemeAndRemoveFollowsTheSimpleFolder) {
    Theme("a", "Alpha");
    Theme("b", "Beta");
    Theme("simple", "Simple");
    struct {
        const char* stored;
        LRESULT selected;  // an unknown name keeps the previous opening's line
        bool removable;
    } cases[] = {{"Nobody", 0, true}, {"Simple", 2, false}, {"Nobody", 2, false}, {"Beta", 1, true}, {"beta", 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Config(std::string("[game]\r\ntheme=") + c.stored + "\r\n");
        LRESULT selected = -2;
        bool removable = !c.removable;
        Run({DialogStep::Call([&](HWND d) {
            selected = Selected(d);
            removable = RemoveEnabled(d);
        })});
        EXPECT_EQ(selected, c.selected);
        EXPECT_EQ(removable, c.removable);
    }
    // Picking a line follows it at once.
    bool afterSimple = true, afterAlpha = false;
    Run({DialogStep::SelectList(kThemesList, 2), DialogStep::Call([&](HWND d) { afterSimple = RemoveEnabled(d); }),
         DialogStep::SelectList(kThemesList, 0), DialogStep::Call([&](HWND d) { afterAlpha = RemoveEnabled(d); })});
    EXPECT_FALSE(afterSimple);
    EXPECT_TRUE(afterAlpha);
}

TEST_F(ThemesDialogTest, ListsEachDisplayNameOnceWithItsFirstFolderAndLogsMissingLogos) {
    Theme("a_first", "Same");
    Theme("b_second", "Same");
    Theme("c", "Bare", false);
    Theme(".hidden", "Hidden");
    fs::create_directories(dir.file("themes/noinfo"));
    testutil::WriteFile(dir.file("themes/loose.ini"), "[general]\r\nname=Loose\r\n");
    // Logos that are no bitmap, or too large a one: refused before decoding, listed without a picture.
    std::string huge = Bmp(2, 2);
    huge[19] = huge[23] = '\x75';  // 29954 x 29954
    const std::pair<const char*, std::string> badLogos[] = {
        {"svg", "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"30000\" height=\"30000\"/>"},
        {"tga", std::string("\0\0\2\0\0\0\0\0\0\0\0\0\x30\x75\x30\x75\x18\0", 18) + std::string(300, '\x50')},
        {"huge", huge}};
    for (const auto& logo : badLogos) {
        Theme(logo.first, std::string("Bad ") + logo.first, false);
        testutil::WriteFile(dir.file(std::string("themes/") + logo.first + "/logo.bmp"), logo.second);
    }
    std::vector<std::string> lines;
    bool barePicture = true, samePicture = false;
    Run({DialogStep::Call([&](HWND d) { lines = Lines(d); }), DialogStep::SelectList(kThemesList, 3),
         DialogStep::Call([&](HWND d) { barePicture = HasPicture(d); }), DialogStep::SelectList(kThemesList, 4),
         DialogStep::Call([&](HWND d) { samePicture = HasPicture(d); })});
    EXPECT_EQ(lines, (std::vector<std::string>{"Bad huge", "Bad svg", "Bad tga", "Bare", "Same"}));
    EXPECT_EQ(g_ThemesDlgFolders.at("Same"), "a_first");
    EXPECT_FALSE(barePicture);
    EXPECT_TRUE(samePicture);
    for (const char* folder : {"c", "svg", "tga", "huge"})
        EXPECT_NE(log.Text().find(std::string("failed to load logo file(") + folder + "\\logo.bmp)"), std::string::npos);
    EXPECT_EQ(g_ThemesDlgPictures.size(), 1u);
    EXPECT_EQ(log.Text().find("Hidden"), std::string::npos);
}

TEST_F(ThemesDialogTest, CloseAndTheCloseBoxStoreTheSelectedTheme) {
    Theme("a", "Alpha");
    Theme("b", "Beta");
    for (DialogStep close : {DialogStep::Press(kThemesClose), DialogStep::Close()}) {
        Config("[game]\r\ntheme=Alpha\r\n");
        platform::QueueDialogSteps({DialogStep::SelectList(kThemesList, 1), close});
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kThemesDialog), nullptr, ThemesDlgProc, 0), 0);
        EXPECT_EQ(Stored(), "Beta");
    }
}

TEST_F(ThemesDialogTest, WithoutThemesNothingIsListedRemovedOrStored) {
    // A selection left from an earlier, longer list selects nothing.
    g_ThemesDlgSelection = 3;
    Config("[preloader_themes]\r\nare_you_sure=Really?\r\n");
    for (bool folder : {false, true}) {
        if (folder) fs::create_directories(dir.file("themes"));
        LRESULT selected = 0;
        Run({DialogStep::Press(kThemesRemove), DialogStep::Call([&](HWND d) { selected = Selected(d); })});
        EXPECT_EQ(selected, LB_ERR);
        EXPECT_EQ(fs::exists(dir.file("themes")), folder);
    }
    EXPECT_EQ(RecordedBoxes(), std::vector<std::string>{});
    EXPECT_EQ(Stored(), "");
}

TEST_F(ThemesDialogTest, RandomCheckBoxWritesOneThenZero) {
    std::vector<int> written;
    auto read = [&](HWND) { written.push_back(ReadIniInt("config.ini", "preloader_themes", "random")); };
    Run({DialogStep::Press(kThemesRandom), DialogStep::Call(read), DialogStep::Press(kThemesRandom),
         DialogStep::Call(read)});
    EXPECT_EQ(written, (std::vector<int>{1, 0}));
}

TEST_F(ThemesDialogTest, RemoveAsksFirstAndDeletesOnlyTheSelectedFolder) {
    Theme("a", "Alpha");
    Theme("b", "Beta");
    testutil::WriteFile(dir.file("keep.txt"), "k");
    Config("[preloader_themes]\r\nare_you_sure=Really?\r\n[game]\r\ntheme=Beta\r\n");
    platform::SetMessageBoxAnswer(IDCANCEL);
    Run({DialogStep::Press(kThemesRemove)});
    EXPECT_TRUE(fs::exists(dir.file("themes/b/info.ini")));

    platform::SetMessageBoxAnswer(IDOK);
    std::vector<std::string> lines;
    LRESULT selected = -1;
    Run({DialogStep::Press(kThemesRemove), DialogStep::Call([&](HWND d) {
             lines = Lines(d);
             selected = Selected(d);
         })});
    EXPECT_EQ(RecordedBoxes(), (std::vector<std::string>{"Warning !: Really?", "Warning !: Really?"}));
    EXPECT_EQ(lines, std::vector<std::string>{"Alpha"});
    EXPECT_EQ(selected, 0);
    EXPECT_FALSE(fs::exists(dir.file("themes/b")));
    EXPECT_TRUE(fs::exists(dir.file("themes/a/logo.bmp")));
    EXPECT_TRUE(fs::exists(dir.file("keep.txt")));
    EXPECT_TRUE(fs::exists(dir.file("config.ini")));
}

TEST_F(ThemesDialogTest, AddInstallsAnArchiveAndRefillsTheListWhateverHappened) {
    Theme("a", "Alpha");
    Theme("b", "Beta");
    ASSERT_TRUE(testutil::MakeZip(dir.file("zeta.kvr"),
                                  {{"zeta/info.ini", "[general]\r\nname=Zeta\r\n"}, {"zeta/logo.bmp", Bmp(8, 8)}},
                                  kThemeArchivePassword));
    std::string whole = testutil::ReadFile(dir.file("zeta.kvr"));
    testutil::WriteFile(dir.file("cut.kvr"), whole.substr(0, whole.size() / 2));
    // A whole theme but for one entry whose name is refused: none of it is installed.
    ASSERT_TRUE(testutil::MakeZip(dir.file("half.kvr"),
                                  {{"half/info.ini", "[general]\r\nname=Half\r\n"}, {"half/aXb", "x"}},
                                  kThemeArchivePassword));
    testutil::RenameZipEntry(dir.file("half.kvr"), "half/aXb", "half/a\tb");
    struct {
        const char* archive;
        const char* missingModules;
        std::vector<std::string> lines;
        std::vector<std::string> boxes;
    } cases[] = {{"cut.kvr", "", {"Alpha"}, {}},
                 {"half.kvr", "", {"Alpha"}, {}},
                 {"zeta.kvr", "arch.dll", {"Alpha"}, {"Error: Error !"}},
                 {"zeta.kvr", "", {"Alpha", "Zeta"}, {}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.archive);
        fs::remove_all(dir.file("themes/b"));  // gone behind the dialog's back: the refill drops it
        Theme("b", "Beta");
        setenv("KOLVAR_MISSING_MODULES", c.missingModules, 1);
        platform::ClearRecordedMessageBoxes();
        platform::QueueFileChooserAnswer(dir.file(c.archive));
        std::vector<std::string> lines;
        LRESULT selected = -1;
        Run({DialogStep::SelectList(kThemesList, 1), DialogStep::Call([&](HWND) { fs::remove_all(dir.file("themes/b")); }),
             DialogStep::Press(kThemesAdd), DialogStep::Call([&](HWND d) {
                 lines = Lines(d);
                 selected = Selected(d);
             })});
        unsetenv("KOLVAR_MISSING_MODULES");
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(selected, 0);
        EXPECT_EQ(RecordedBoxes(), c.boxes);
        EXPECT_EQ(fs::current_path(), fs::path(dir.path()));
    }
    EXPECT_TRUE(testutil::FileExists(dir.file("themes/zeta/logo.bmp")));
    EXPECT_FALSE(fs::exists(dir.file("themes/half")));
}

TEST_F(ThemesDialogTest, ScreenshotShowsTheConfiguredTexts) {
    Config(testutil::ReadFile(std::string(getenv("KOLVAR_SOURCE_DIR")) + "/data/templates/config.ini"));
    Theme("simple", "Simple");
    Theme("nightsky", "Night Sky");
    // The shipped logo, when the game folder has it, for a picture worth looking at.
    std::string logo = std::string(getenv("KOLVAR_GAME_DIR")) + "/themes/nightsky/logo.bmp";
    if (testutil::FileExists(logo)) testutil::WriteFile(dir.file("themes/nightsky/logo.bmp"), testutil::ReadFile(logo));
    std::string shot = testutil::ArtifactsDir() + "/themes_dialog.png";
    std::string title, add;
    bool saved = false;
    RECT picture{}, button{};
    Run({DialogStep::SelectList(kThemesList, 0), DialogStep::Call([&](HWND d) {
        saved = platform::SaveDialogScreenshot(d, shot);
        platform::DialogControlRect(GetDlgItem(d, kThemesPicture), &picture);
        platform::DialogControlRect(GetDlgItem(d, kThemesAdd), &button);
        title = Text(d);
        add = Text(d, kThemesAdd);
    })});
    EXPECT_TRUE(saved);
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 16));
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 16, &picture)) << "the logo";
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 4, &button)) << "the Add button";
    EXPECT_EQ(title, ReadIniString("config.ini", "preloader_themes", "title"));
    EXPECT_EQ(add, ReadIniString("config.ini", "preloader_themes", "add_button"));
}

}  // namespace
