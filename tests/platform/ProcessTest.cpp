#include <gtest/gtest.h>

#include <platform.h>
#include <winbase.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "support/TestUtil.h"

namespace {

TEST(SplitCommandLine, FollowsWindowsQuotingRules) {
    struct Case {
        const char* line;
        std::vector<std::string> args;
    } cases[] = {
        {"prog a b", {"prog", "a", "b"}},
        {"  prog\t a  ", {"prog", "a"}},
        {"\"C:\\Program Files\\x.exe\" -t", {"C:\\Program Files\\x.exe", "-t"}},
        {"prog C:\\dir\\file.txt", {"prog", "C:\\dir\\file.txt"}},  // lone backslashes stay
        {"prog \"a b\" c", {"prog", "a b", "c"}},
        {"prog a\\\"b", {"prog", "a\"b"}},           // odd backslashes escape the quote
        {"prog \"a\\\\\" b", {"prog", "a\\", "b"}},  // even ones halve and the quote closes
        {"prog \"a\"\"b\"", {"prog", "a\"b"}},       // a doubled quote inside quotes
        {"prog \"\"", {"prog", ""}},
        {"c:\\a\\b\"c", {"c:\\a\\b\"c"}},  // the program name has no escapes
    };
    for (const Case& c : cases) EXPECT_EQ(platform::SplitCommandLine(c.line), c.args) << c.line;
}

class CreateProcess : public ::testing::Test {
protected:
    // A script in a folder whose name has a space: it writes its arguments, one a line.
    void SetUp() override {
        std::filesystem::create_directories(m_tmp.file("my tools"));
        m_script = m_tmp.file("my tools/Echo.exe");
        testutil::WriteFile(m_script, "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"$OUT\"\nexit 7\n");
        std::filesystem::permissions(m_script, std::filesystem::perms::owner_all);
        setenv("OUT", m_tmp.file("out.txt").c_str(), 1);
    }
    BOOL Run(std::string line, PROCESS_INFORMATION& info) {
        STARTUPINFOA start{};
        start.cb = sizeof start;
        return CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start, &info);
    }
    testutil::TempDir m_tmp;
    std::string m_script;
};

TEST_F(CreateProcess, RunsAWindowsPathWithSpacesAndWaits) {
    // Unquoted, in another letter case and with backslashes, as the launcher builds it.
    std::string folder = m_tmp.path();
    std::string line = folder + "\\MY TOOLS\\echo.exe -t " + folder + "\\x.txt \"two words\"";
    PROCESS_INFORMATION info{};
    ASSERT_TRUE(Run(line, info));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_OBJECT_0);
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeProcess(info.hProcess, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(testutil::ReadFile(m_tmp.file("out.txt")), "-t\n" + folder + "\\x.txt\ntwo words\n");
    EXPECT_TRUE(CloseHandle(info.hProcess));
    EXPECT_TRUE(CloseHandle(info.hThread));
    EXPECT_FALSE(CloseHandle(info.hThread));
}

TEST_F(CreateProcess, MissingProgramFails) {
    PROCESS_INFORMATION info{};
    EXPECT_FALSE(Run(m_tmp.path() + "\\system32\\Dxdiag.exe -t x", info));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(WaitForSingleObject(info.hProcess, INFINITE), WAIT_FAILED);
}

// Every lock is taken in a child, so this process never holds a folder.
TEST(FolderLock, OneProcessAtATimeUntilTheHolderEndsOrBecomesAnotherProgram) {
    enum class Holder { Running, Killed, Replaced };
    struct Case {
        const char* name;
        Holder holder;
        platform::FolderLock second;
    } cases[] = {
        {"holder running", Holder::Running, platform::FolderLock::Busy},
        {"holder killed", Holder::Killed, platform::FolderLock::Held},
        {"holder replaced by a program it started", Holder::Replaced, platform::FolderLock::Held},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testutil::TempDir dir;
        int ready[2];
        ASSERT_EQ(pipe2(ready, O_CLOEXEC), 0);
        const pid_t holder = fork();
        if (holder == 0) {
            const bool held =
                chdir(dir.path().c_str()) == 0 && platform::LockCurrentFolder() == platform::FolderLock::Held;
            if (write(ready[1], held ? "1" : "0", 1) != 1) _exit(1);
            if (c.holder == Holder::Replaced) execlp("sleep", "sleep", "30", static_cast<char*>(nullptr));
            pause();
            _exit(0);
        }
        close(ready[1]);
        char held = 0;
        ASSERT_EQ(read(ready[0], &held, 1), 1);
        EXPECT_EQ(held, '1');
        if (c.holder == Holder::Killed) {
            kill(holder, SIGKILL);
            waitpid(holder, nullptr, 0);
        }
        // The pipe closes when the holder's program is replaced.
        if (c.holder == Holder::Replaced) {
            EXPECT_EQ(read(ready[0], &held, 1), 0);
        }
        close(ready[0]);
        const pid_t second = fork();
        if (second == 0) _exit(chdir(dir.path().c_str()) == 0 ? int(platform::LockCurrentFolder()) : 100);
        int status = 0;
        waitpid(second, &status, 0);
        EXPECT_EQ(WEXITSTATUS(status), int(c.second));
        if (c.holder == Holder::Killed) continue;
        kill(holder, SIGKILL);
        waitpid(holder, nullptr, 0);
    }
}

}  // namespace
