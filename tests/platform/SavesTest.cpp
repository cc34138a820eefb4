// What the layer tells the program about saves: failed safe writes with the
// file and the reason, leftovers of interrupted ones, and the home folder.
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <platform.h>
#include <win32.h>

#include <cerrno>
#include <string>

#include "ScopedEnv.h"
#include "support/TestUtil.h"

namespace {

// Each failing save is recorded once, with its file and a reason, whichever
// writer failed; the old file stays as it was.
TEST(Saves, FailedWritesAreRecordedWithFileAndReason) {
    testutil::TempDir dir;
    const std::string readOnly = dir.file("config.ini");
    testutil::WriteFile(readOnly, "[game]\r\nframe_type=1\r\n");
    chmod(readOnly.c_str(), 0444);
    struct Case {
        const char* name;
        std::string file;
        bool (*save)(const std::string& file);
        int error;
    } cases[] = {
        {"safe write, read-only file", readOnly,
         [](const std::string& f) { return platform::WriteFileSafely(f, "new"); }, EACCES},
        {"safe write, missing folder", dir.file("missing/highscores.dat"),
         [](const std::string& f) { return platform::WriteFileSafely(f, "new"); }, ENOENT},
        {"profile write, read-only file", readOnly,
         [](const std::string& f) { return WritePrivateProfileStringA("game", "frame_type", "0", f.c_str()) != 0; },
         EACCES},
    };
    platform::TakeWriteFailures();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_FALSE(c.save(c.file));
        const std::vector<platform::WriteFailure> failures = platform::TakeWriteFailures();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].hostPath, c.file);
        EXPECT_EQ(failures[0].error, c.error);
        EXPECT_TRUE(platform::TakeWriteFailures().empty());
    }
    EXPECT_EQ(testutil::ReadFile(readOnly), "[game]\r\nframe_type=1\r\n");
    EXPECT_TRUE(platform::WriteFileSafely(dir.file("fine.ini"), "x"));
    EXPECT_TRUE(platform::TakeWriteFailures().empty());
    // Nobody asking: the list keeps the latest few.
    for (int i = 0; i < 40; ++i) platform::WriteFileSafely(readOnly, std::to_string(i));
    EXPECT_EQ(platform::TakeWriteFailures().size(), platform::kMaxWriteFailures);
}

TEST(Saves, LeftoversOfInterruptedSavesAreRemoved) {
    testutil::TempDir dir;
    const char* const removed[] = {"config.ini.tmpAb12Cd", "config.ini.tmp"};
    const char* const kept[] = {"config.ini", "config.ini.bad", "xconfig.ini.tmp1", "playlist.ini.tmpAAAAAA"};
    for (const char* name : removed) testutil::WriteFile(dir.file(name), "half");
    for (const char* name : kept) testutil::WriteFile(dir.file(name), "whole");
    mkdir(dir.file("config.ini.tmpdir").c_str(), 0755);
    EXPECT_EQ(platform::RemoveSafeWriteLeftovers(dir.file("config.ini")), 2);
    for (const char* name : removed) EXPECT_FALSE(testutil::FileExists(dir.file(name))) << name;
    for (const char* name : kept) EXPECT_TRUE(testutil::FileExists(dir.file(name))) << name;
    EXPECT_TRUE(testutil::FileExists(dir.file("config.ini.tmpdir")));
    // Pattern characters in the name are the name's own.
    testutil::WriteFile(dir.file("a.tmp1"), "other");
    EXPECT_EQ(platform::RemoveSafeWriteLeftovers(dir.file("*")), 0);
    EXPECT_TRUE(testutil::FileExists(dir.file("a.tmp1")));
}

TEST(Saves, HomeFolderComesFromHomeElseThePasswordDatabase) {
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    struct Case {
        const char* home;
        std::string expected;
    } cases[] = {{"/somewhere/else", "/somewhere/else"}, {"", user->pw_dir}, {nullptr, user->pw_dir}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.home ? c.home : "(unset)");
        ScopedEnv home("HOME", c.home);
        EXPECT_EQ(platform::HomeFolder(), c.expected);
    }
    // The registry follows it, never the current folder.
    ScopedEnv home("HOME", nullptr);
    ScopedEnv xdg("XDG_CONFIG_HOME", nullptr);
    ScopedEnv registry("KOLVAR_REGISTRY", nullptr);
    const std::string testStore = platform::RegistryFile();
    platform::SetRegistryFile("");
    EXPECT_EQ(platform::RegistryFile(), std::string(user->pw_dir) + "/.config/kolvar/registry.ini");
    platform::SetRegistryFile(testStore);
}

}  // namespace
