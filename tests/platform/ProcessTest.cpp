#include <gtest/gtest.h>

#include <winbase.h>

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

}  // namespace
