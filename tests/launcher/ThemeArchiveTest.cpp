// Theme archive installation through the unzip module, with the module swapped
// for variants of itself to try the version and entry-point checks.
#include <gtest/gtest.h>

#include "launcher/ThemeArchive.h"

#include <win32.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/LogCapture.h"
#include "support/TestUtil.h"
#include "support/ZipFixture.h"

namespace fs = std::filesystem;

namespace {

class ThemeArchive : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(m_game.file("themes")); }
    void TearDown() override { unsetenv("KOLVAR_MISSING_MODULES"); }

    // The target as the launcher forms it: the program folder, "\" and "themes".
    bool Install() {
        std::string archive = m_game.file("new.kvr");
        std::string target = m_game.path() + "\\themes";
        return UnzipArchive(archive, target);
    }
    std::string Themes(const std::string& name) const { return m_game.file("themes/" + name); }

    testutil::TempDir m_game;
    testutil::LogCapture m_log;
};

TEST_F(ThemeArchive, InstallsAPasswordProtectedThemeOverExistingFiles) {
    fs::create_directories(Themes("dusk"));
    testutil::WriteFile(Themes("dusk/info.ini"), "[general]\nname=Old Dusk\n");
    ASSERT_TRUE(testutil::MakeZip(m_game.file("new.kvr"),
                                  {{"dusk/info.ini", "[general]\nname=Dusk\n"}, {"dusk/simple/a.txt", "a"}},
                                  kThemeArchivePassword));
    ASSERT_TRUE(Install());
    EXPECT_EQ(UnzipLastResult(), 0);
    EXPECT_EQ(testutil::ReadFile(Themes("dusk/info.ini")), "[general]\nname=Dusk\n");
    EXPECT_EQ(testutil::ReadFile(Themes("dusk/simple/a.txt")), "a");
}

TEST_F(ThemeArchive, TopLevelFilesLandInTheThemesFolderItself) {
    ASSERT_TRUE(testutil::MakeZip(m_game.file("new.kvr"), {{"info.ini", "[general]\nname=Loose\n"}},
                                  kThemeArchivePassword));
    ASSERT_TRUE(Install());
    EXPECT_TRUE(testutil::FileExists(Themes("info.ini")));
    for (const auto& e : fs::directory_iterator(m_game.file("themes"))) EXPECT_FALSE(e.is_directory());
}

TEST_F(ThemeArchive, UsesOnlyALibraryItCanTrust) {
    struct Case {
        const char* variant;  // folder of a module variant; "" with the module marked missing
        const char* logged;   // nullptr: trusted, the theme is installed
    } cases[] = {{"", "Cannot find arch.DLL. The Dll must be in the application directory"},
                 {"wrong-version", "arch.DLL has the wrong version number."},
                 {"wrong-company", "arch.DLL has the wrong version number."},
                 {"no-version", "arch.DLL has the wrong version number."},
                 {"no-entry", "Could not load arch.DLL"},
                 {"upper-company", nullptr}};  // the company name compares ignoring case
    ASSERT_TRUE(testutil::MakeZip(m_game.file("new.kvr"), {{"t/info.ini", "x"}}, kThemeArchivePassword));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.variant);
        std::string folder = fs::current_path().string() + "/modules/" + c.variant;
        if (!*c.variant) setenv("KOLVAR_MISSING_MODULES", "arch.dll", 1);
        testutil::ScopedCwd cwd(*c.variant ? folder : m_game.path());
        EXPECT_EQ(Install(), c.logged == nullptr);
        unsetenv("KOLVAR_MISSING_MODULES");
        if (c.logged) {
            EXPECT_NE(m_log.Text().find(c.logged), std::string::npos);
        }
        EXPECT_EQ(fs::exists(Themes("t")), c.logged == nullptr);
    }
}

TEST_F(ThemeArchive, AFailedUnpackingStillCountsAsInstalledAndIsLogged) {
    ASSERT_TRUE(testutil::MakeZip(m_game.file("new.kvr"), {{"t/a.txt", std::string(9000, 'a')}, {"qqqevil", "e"}},
                                  kThemeArchivePassword));
    testutil::RenameZipEntry(m_game.file("new.kvr"), "qqqevil", "../evil");
    EXPECT_TRUE(Install());
    EXPECT_NE(UnzipLastResult(), 0);
    EXPECT_FALSE(fs::exists(m_game.file("evil")));
    EXPECT_FALSE(fs::exists(Themes("t")));
    EXPECT_NE(m_log.Text().find("../evil"), std::string::npos);

    std::string whole = testutil::ReadFile(m_game.file("new.kvr"));
    testutil::WriteFile(m_game.file("new.kvr"), whole.substr(0, whole.size() - 40));
    EXPECT_TRUE(Install());
    EXPECT_NE(UnzipLastResult(), 0);
    EXPECT_FALSE(fs::exists(Themes("t")));
    EXPECT_NE(m_log.Text().find("Error unzipping"), std::string::npos);
}

TEST_F(ThemeArchive, AStartPutsBackWhatAKilledInstallationSetAsideAndTidiesUp) {
    // Killed between its two renames while undoing itself: the old theme is aside, its place empty.
    const std::string staging = Themes(".unzip-staging-dead01");
    fs::create_directories(staging + "/new");
    fs::create_directories(staging + "/old/dusk");
    testutil::WriteFile(staging + "/old/dusk/info.ini", "[general]\nname=Dusk\n");
    testutil::ScopedCwd cwd(m_game.path());

    // Without a library it can trust a start touches nothing and says nothing.
    setenv("KOLVAR_MISSING_MODULES", "arch.dll", 1);
    EXPECT_EQ(FinishInterruptedThemeInstalls(), 0);
    unsetenv("KOLVAR_MISSING_MODULES");
    EXPECT_TRUE(fs::exists(staging + "/old/dusk/info.ini"));
    EXPECT_EQ(m_log.Text().find("arch.DLL"), std::string::npos);

    EXPECT_EQ(FinishInterruptedThemeInstalls(), 1);
    EXPECT_EQ(testutil::ReadFile(Themes("dusk/info.ini")), "[general]\nname=Dusk\n");
    EXPECT_FALSE(fs::exists(staging));
    EXPECT_NE(m_log.Text().find("removed an interrupted installation"), std::string::npos);
}

TEST(UnzipCallbacks, PasswordNeverOverrunsTheBuffer) {
    for (int size : {1, 5, 16, 17, 80}) {
        std::vector<char> buffer(static_cast<size_t>(size) + 1, '#');
        EXPECT_EQ(UnzipPasswordCallback(buffer.data(), size, "", "x"), 0);
        EXPECT_EQ(std::string(buffer.data()), std::string(kThemeArchivePassword).substr(0, size - 1)) << size;
        EXPECT_EQ(buffer[size], '#') << size;
    }
}

}  // namespace
