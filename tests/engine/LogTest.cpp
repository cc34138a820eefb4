#include <gtest/gtest.h>

#include "engine/Log.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <regex>

#include "support/TestUtil.h"

using testutil::ReadFile;
using testutil::ScopedCwd;
using testutil::TempDir;

namespace {

const char* const kHeader =
    "<Title>Log File</Title>\r\n"
    "<Html> <Body BgColor =  Cornsilk>\r\n"
    "<B><Font Size = 3 Color = Black Face = Verdana>Log started: </B><BR>\r\n";

// Replaces each time text by "T" so the bytes can be compared.
std::string Untime(const std::string& s) {
    static const std::regex time("<BR>[A-Z][a-z]{2} [A-Z][a-z]{2} [0-9]{2} [0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4} ---- ");
    return std::regex_replace(s, time, "<BR>T ---- ");
}

TEST(Log, ExactBytesOfARun) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    {
        CLog log;
        log.Print("blue", "Creating window");
        log.Print("blue", "value %d", 1);
        log.Print("blue", "%s", "50% done");
        log.Print("green", "complete");
        log.PrintBold("red", "Error, couldn't load %s", "a%sb.png");
        log.Print("Black", "machine");
        log.Print("black", "machine");
        log.Print("black", nullptr);
        log.PrintBold("black", nullptr);
    }
    std::string expected = std::string(kHeader) +
                           "</Font>\r\n<Font Size = 2 Color = blue Face = Verdana>\r\n"
                           "<BR>T ---- Creating window\r\n"
                           "<BR>T ---- value 1\r\n"
                           "<BR>T ---- 50% done\r\n"
                           "</Font>\r\n<Font Size = 2 Color = green Face = Verdana>\r\n"
                           "<BR>T ---- complete\r\n"
                           "<B>\r\n"
                           "</Font>\r\n<Font Size = 2 Color = red Face = Verdana>\r\n"
                           "<BR>T ---- Error, couldn't load a%sb.png\r\n"
                           "</B>\r\n"
                           "</Font>\r\n<Font Size = 2 Color = Black Face = Verdana>\r\n"
                           "<BR>T ---- machine\r\n"
                           "</Font>\r\n<Font Size = 2 Color = black Face = Verdana>\r\n"
                           "<BR>T ---- machine\r\n"
                           "</Font> </P> </Body> </Html>\r\n";
    EXPECT_EQ(Untime(ReadFile(dir.file("log.html"))), expected);
}

TEST(Log, FirstLineInBlackStillWritesItsTag) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    {
        CLog log;
        log.Print("Black", "x");
    }
    EXPECT_NE(ReadFile(dir.file("log.html")).find("Log started: </B><BR>\r\n</Font>\r\n<Font Size = 2 Color = Black"),
              std::string::npos);
}

TEST(Log, RotatesThreeRuns) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    for (int run = 1; run <= 3; ++run) {
        CLog log;
        log.Print("gray", "run %d", run);
    }
    EXPECT_NE(ReadFile(dir.file("log.html")).find("run 3"), std::string::npos);
    EXPECT_NE(ReadFile(dir.file("log1.html")).find("run 2"), std::string::npos);
    EXPECT_NE(ReadFile(dir.file("log2.html")).find("run 1"), std::string::npos);
    EXPECT_EQ(ReadFile(dir.file("log2.html")).find("run 2"), std::string::npos);
}

// Lines written from another folder, however deep, still go to the start folder.
TEST(Log, WritesToStartDirectoryWhereverTheProgramIs) {
    TempDir dir, elsewhere;
    std::string deep = elsewhere.path();
    for (int i = 0; i < 6; ++i) {
        deep += "/" + std::string(50, 'd');
        mkdir(deep.c_str(), 0755);
    }
    for (const std::string& away : {elsewhere.path(), deep}) {
        {
            ScopedCwd start(dir.path());
            CLog log;
            ScopedCwd there(away);
            log.Print("blue", "plain line");
            log.PrintBold("red", "bold line");
            char here[4096];
            EXPECT_STREQ(getcwd(here, sizeof here), away.c_str()) << "the switch is undone";
        }
        std::string text = ReadFile(dir.file("log.html"));
        EXPECT_NE(text.find("plain line"), std::string::npos) << away;
        EXPECT_NE(text.find("<B>\r\n</Font>"), std::string::npos) << away;
        EXPECT_NE(text.find("bold line"), std::string::npos) << away;
        EXPECT_NE(text.find("</Html>"), std::string::npos) << away;
        EXPECT_FALSE(testutil::FileExists(away + "/log.html")) << away;
    }
}

TEST(Log, LongMessagesAreCut) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    {
        CLog log;
        log.Print("blue", "%s", std::string(5000, 'x').c_str());
        log.Print("blue", "after");
    }
    std::string text = ReadFile(dir.file("log.html"));
    EXPECT_NE(text.find(std::string(1023, 'x') + "\r\n"), std::string::npos);
    EXPECT_EQ(text.find(std::string(1024, 'x')), std::string::npos);
    EXPECT_NE(text.find("after"), std::string::npos);
}

// Markup in a message's text is escaped in plain and bold lines; Write and the
// colour word are written as given.
TEST(Log, MessageTextsCannotAddMarkup) {
    struct Case {
        const char* text;
        const char* written;
    } cases[] = {
        {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
        {"a & b", "a &amp; b"},
        {"&lt;", "&amp;lt;"},
        {"theme/<x>.png 50%", "theme/&lt;x&gt;.png 50%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        TempDir dir;
        ScopedCwd cwd(dir.path());
        {
            CLog log;
            log.Print("blue", "%s", c.text);
            log.PrintBold("red", "%s", c.text);
            log.Write(c.text);
        }
        const std::string text = Untime(ReadFile(dir.file("log.html")));
        const std::string plain = std::string("<BR>T ---- ") + c.written + "\r\n";
        EXPECT_NE(text.find(plain), std::string::npos) << text;
        EXPECT_NE(text.find("<Font Size = 2 Color = red Face = Verdana>\r\n" + plain + "</B>\r\n"), std::string::npos)
            << text;
        EXPECT_NE(text.find(std::string("\r\n") + c.text + "\r\n</Font> </P>"), std::string::npos) << text;
    }
}

// A session writes at most the cap: one note says where the log was cut, the
// end line still follows, and nothing else does.
TEST(Log, IsCutAtItsCapWithANoteAndTheEndLine) {
    TempDir dir;
    ScopedCwd cwd(dir.path());
    const std::string filler(1000, 'f');
    {
        CLog log;
        for (unsigned long i = 0; i < CLog::kSizeCap / filler.size() + 10; ++i)
            log.PrintBold(i % 2 ? "blue" : "gray", "%s", filler.c_str());
        log.Print("green", "after the cut");
    }
    const std::string text = ReadFile(dir.file("log.html"));
    EXPECT_LE(text.size(), CLog::kSizeCap + 64);
    EXPECT_GT(text.size(), CLog::kSizeCap - 4096);
    const std::string end = "</Font> </P> </Body> </Html>\r\n";
    ASSERT_GT(text.size(), end.size());
    EXPECT_EQ(text.substr(text.size() - end.size()), end);
    const size_t note = text.rfind("The log was cut here");
    ASSERT_NE(note, std::string::npos);
    EXPECT_EQ(text.find(filler, note), std::string::npos);
    EXPECT_EQ(text.find("after the cut"), std::string::npos);
    // Every bold line that was written is closed.
    size_t opened = 0, closed = 0;
    for (size_t at = 0; (at = text.find("<B>\r\n", at)) != std::string::npos; ++at) ++opened;
    for (size_t at = 0; (at = text.find("</B>\r\n", at)) != std::string::npos; ++at) ++closed;
    EXPECT_EQ(opened, closed);
}

// Past the process's file size limit writes fail: the log stops and the
// program goes on (the limit's signal is ignored).
TEST(Log, AFailedWriteStopsTheLogNotTheProgram) {
    TempDir dir;
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.path().c_str()) != 0) _exit(10);
        struct rlimit limit = {4096, 4096};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(11);
        {
            CLog log;
            for (int i = 0; i < 200; ++i) log.Print("blue", "line %d of a log larger than the limit", i);
        }
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string text = ReadFile(dir.file("log.html"));
    EXPECT_LE(text.size(), 4096u);
    EXPECT_NE(text.find("line 1 "), std::string::npos);
}

// A log.html that cannot be written is said once on standard error, with its
// path and the reason, and the program goes on logging into nothing.
TEST(Log, AnUnwritableFileIsSaidOnceOnStandardError) {
    struct Case {
        const char* what;
        int error;
        bool (*make)(const std::string& path);
    } cases[] = {
        {"a folder", EISDIR, [](const std::string& path) { return mkdir(path.c_str(), 0755) == 0; }},
        {"a full device", ENOSPC, [](const std::string& path) { return symlink("/dev/full", path.c_str()) == 0; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir dir;
        ScopedCwd cwd(dir.path());
        ASSERT_TRUE(c.make(dir.file("log.html")));
        testing::internal::CaptureStderr();
        {
            CLog log;
            for (int i = 0; i < 3; ++i) log.Print("blue", "line %d", i);
            log.PrintBold("red", "bold");
        }
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
        EXPECT_NE(said.find(dir.file("log.html") + ": " + strerror(c.error)), std::string::npos) << said;
    }
}

}  // namespace
