#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "support/TestUtil.h"
#include "tests/platform/ScopedEnv.h"

namespace {

intptr_t Code(HINSTANCE h) { return reinterpret_cast<intptr_t>(h); }

class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { unsetenv("KOLVAR_SHELL_LOG"); }
    void TearDown() override { unsetenv("KOLVAR_SHELL_LOG"); }
    testutil::TempDir dir;
};

TEST_F(ShellTest, RecordsCallsAndResolvesTargets) {
    testutil::ScopedCwd cwd(dir.path());
    testutil::WriteFile(dir.file("page.html"), "<html></html>");
    testutil::WriteFile(dir.file("more.url"), "[InternetShortcut]\r\nURL=file:///somewhere/more.html\r\n");
    setenv("KOLVAR_SHELL_LOG", dir.file("shell.log").c_str(), 1);

    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", "PAGE.html", nullptr, nullptr, 0)), 32);
    EXPECT_GT(Code(ShellExecuteA(nullptr, "open", "more.url", nullptr, nullptr, 1)), 32);
    EXPECT_GT(Code(ShellExecuteA(nullptr, nullptr, "http://example.invalid/x", nullptr, nullptr, 1)), 32);
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "open", "missing.html", nullptr, nullptr, 1)), SE_ERR_FNF);

    std::string log = testutil::ReadFile(dir.file("shell.log"));
    EXPECT_NE(log.find("open\tPAGE.html\t\t\t" + dir.file("page.html") + "\t0\n"), std::string::npos) << log;
    EXPECT_NE(log.find("open\tmore.url\t\t\tfile:///somewhere/more.html\t1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("\thttp://example.invalid/x\t1\n"), std::string::npos) << log;
    EXPECT_NE(log.find("missing.html"), std::string::npos) << log;
}

TEST_F(ShellTest, StartsAProgramWithItsParametersInItsFolder) {
    std::string prog = dir.file("tool.exe");
    testutil::WriteFile(prog, "#!/bin/sh\npwd > out.txt\necho \"$1 $2\" >> out.txt\n");
    chmod(prog.c_str(), 0755);

    ASSERT_GT(Code(ShellExecuteA(nullptr, "open", prog.c_str(), "one two", dir.path().c_str(), 1)), 32);
    std::string out;
    for (int i = 0; i < 200; ++i) {
        out = testutil::FileExists(dir.file("out.txt")) ? testutil::ReadFile(dir.file("out.txt")) : "";
        if (out.find("one two") != std::string::npos) break;
        usleep(10000);
    }
    EXPECT_EQ(out, dir.path() + "\none two\n");
}

TEST_F(ShellTest, RefusesOtherVerbs) {
    testutil::WriteFile(dir.file("a.txt"), "x");
    EXPECT_EQ(Code(ShellExecuteA(nullptr, "print", dir.file("a.txt").c_str(), nullptr, nullptr, 1)), SE_ERR_NOASSOC);
}

// The system programs live in the game folder's "windows", wherever the game was started from.
TEST_F(ShellTest, WindowsFolderIsInTheGameFolderForEveryCaller) {
    testutil::TempDir elsewhere;
    std::string windows, shell;
    UINT needed = 0;
    {
        ScopedEnv game("KOLVAR_GAME_DIR", dir.path().c_str());
        testutil::ScopedCwd cwd(elsewhere.path());
        char buf[MAX_PATH] = "";
        if (GetWindowsDirectoryA(buf, sizeof buf)) windows = buf;
        char small[4];
        needed = GetWindowsDirectoryA(small, sizeof small);
        if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_WINDOWS, nullptr, 0, buf))) shell = buf;
    }
    EXPECT_EQ(windows, dir.path() + "/windows");
    EXPECT_EQ(shell, windows);
    EXPECT_EQ(needed, windows.size() + 1);  // a short buffer is told the size it needs
}

}  // namespace
