// Bug report sending through the mail module (recording, or a stand-in
// xdg-email) and the diagnostics program.
#include <gtest/gtest.h>

#include "launcher/BugReport.h"

#include <winuser.h>
#include <winuserhooks.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "LauncherTestEnv.h"
#include "engine/Ini.h"
#include "support/TestUtil.h"

namespace fs = std::filesystem;

namespace {

std::string DecodeBase64(const std::string& text) {
    std::string out;
    uint32_t bits = 0;
    int count = 0;
    for (char c : text) {
        const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        const char* at = c ? strchr(digits, c) : nullptr;
        if (!at) continue;
        bits = (bits << 6) | static_cast<uint32_t>(at - digits);
        if ((count += 6) >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

struct Part {
    std::string headers;
    std::string body;
};
Part SplitPart(const std::string& text) {
    size_t gap = text.find("\r\n\r\n");
    return gap == std::string::npos ? Part{text, ""} : Part{text.substr(0, gap), text.substr(gap + 4)};
}

// The written message: its headers, the decoded body, the attachments (file name -> bytes) in order.
struct Mail {
    std::string headers;
    std::string body;
    std::vector<std::pair<std::string, std::string>> files;
};
Mail ParseMail(const std::string& eml) {
    Mail mail;
    Part top = SplitPart(eml);
    mail.headers = top.headers;
    size_t b = top.headers.find("boundary=\"");
    if (b == std::string::npos) {
        mail.body = DecodeBase64(top.body);
        return mail;
    }
    std::string boundary = "--" + top.headers.substr(b + 10, top.headers.find('"', b + 10) - b - 10);
    size_t at = top.body.find(boundary);
    while (at != std::string::npos && top.body.compare(at + boundary.size(), 2, "--") != 0) {
        size_t start = at + boundary.size() + 2;
        size_t end = top.body.find(boundary, start);
        Part part = SplitPart(top.body.substr(start, end - start));
        size_t name = part.headers.find("filename=\"");
        if (name == std::string::npos)
            mail.body = DecodeBase64(part.body);
        else
            mail.files.push_back({part.headers.substr(name + 10, part.headers.find('"', name + 10) - name - 10),
                                  DecodeBase64(part.body)});
        at = end;
    }
    return mail;
}

class BugReport : public ::testing::Test {
protected:
    void SetUp() override {
        testutil::WriteFile(m_game.file("config.ini"),
                            "[preloader]\ntitle=Kolvar\n[preloader_bug_report]\nmail=bugs@kolvar.example\n");
        setenv("KOLVAR_MAIL_LOG", m_game.file("mail.log").c_str(), 1);
        platform::ClearRecordedMessageBoxes();
    }
    void TearDown() override {
        unsetenv("KOLVAR_MAIL_LOG");
        unsetenv("KOLVAR_MISSING_MODULES");
    }
    Mail Sent() const { return ParseMail(testutil::ReadFile(m_game.file("bugreport.eml"))); }
    // Sends with a stand-in xdg-email (the given shell text) first on PATH instead of the recording module.
    bool SendThroughComposer(const std::string& script, const char* text) {
        testutil::TempDir bin;
        testutil::WriteFile(bin.file("xdg-email"), "#!/bin/sh\n" + script);
        fs::permissions(bin.file("xdg-email"), fs::perms::owner_all);
        const std::string path = getenv("PATH");
        unsetenv("KOLVAR_MAIL_LOG");
        setenv("PATH", (bin.path() + ":" + path).c_str(), 1);
        const bool sent = SendBugReport(nullptr, text);
        setenv("PATH", path.c_str(), 1);
        return sent;
    }

    testutil::TempDir m_game;
    testutil::ScopedCwd m_cwd{m_game.path()};
};

TEST_F(BugReport, AttachesTheReportAndTheLogsThatExistInTheirOrder) {
    struct Case {
        std::vector<std::string> present;
        std::vector<std::string> attached;
    } cases[] = {{{"log2.html", "log.html", "dxdiag.txt", "log1.html"},
                  {"dxdiag.txt", "log.html", "log1.html", "log2.html"}},
                 {{"log.html"}, {"log.html"}},
                 {{"log2.html", "dxdiag.txt"}, {"dxdiag.txt", "log2.html"}},
                 {{}, {}}};
    for (const Case& c : cases) {
        for (const char* f : {"dxdiag.txt", "log.html", "log1.html", "log2.html"}) fs::remove(m_game.file(f));
        for (const std::string& f : c.present) testutil::WriteFile(m_game.file(f), "contents of " + f + "\x01\xff");
        ASSERT_TRUE(SendBugReport(nullptr, "It froze.\r\nTwice."));
        Mail mail = Sent();
        std::vector<std::string> names;
        for (const auto& [name, bytes] : mail.files) {
            names.push_back(name);
            EXPECT_EQ(bytes, testutil::ReadFile(m_game.file(name)));
        }
        EXPECT_EQ(names, c.attached);
        EXPECT_EQ(mail.body, "It froze.\r\nTwice.");
        EXPECT_NE(mail.headers.find("\r\nSubject: Kolvar\r\n"), std::string::npos);
    }
    // The recipient: the address unchanged as its name, "SMTP:" before it as its address.
    EXPECT_NE(testutil::ReadFile(m_game.file("mail.log"))
                  .find("recipient class=1 name=bugs@kolvar.example address=SMTP:bugs@kolvar.example"),
              std::string::npos);
    EXPECT_EQ(RecordedBoxes(), std::vector<std::string>{});
}

TEST_F(BugReport, BodyIsCutTo4999CharactersAndConvertedToUtf8) {
    std::string text(6000, 'x');
    text[0] = '\x80';  // the euro sign in code page 1252
    ASSERT_TRUE(SendBugReport(nullptr, text.c_str()));
    EXPECT_EQ(Sent().body, "\xe2\x82\xac" + std::string(4998, 'x'));
}

TEST_F(BugReport, FailedSendsShowTheBoxAndKeepTheFolder) {
    struct Case {
        const char* what;
        const char* missing;  // modules marked missing
        bool composerFails;
    } cases[] = {{"no mail module", "mapi32.dll", false}, {"the composer fails", "", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        platform::ClearRecordedMessageBoxes();
        setenv("KOLVAR_MISSING_MODULES", c.missing, 1);
        EXPECT_FALSE(c.composerFails ? SendThroughComposer("exit 1\n", "text") : SendBugReport(nullptr, "text"));
        EXPECT_EQ(RecordedBoxes(), std::vector<std::string>{"Error: Couldn't send report"});
        EXPECT_EQ(fs::current_path(), fs::path(m_game.path()));
    }
}

TEST_F(BugReport, TheComposerGetsTheAddressSubjectBodyAndFiles) {
    testutil::WriteFile(m_game.file("log.html"), "log");
    EXPECT_TRUE(SendThroughComposer("for a in \"$@\"; do echo \"$a\"; done > \"" + m_game.file("args.txt") + "\"\n", "body"));
    EXPECT_EQ(testutil::ReadFile(m_game.file("args.txt")),
              "--utf8\n--subject\nKolvar\n--body\nbody\n--attach\n" + m_game.file("log.html") +
                  "\nbugs@kolvar.example\n");
}

TEST_F(BugReport, DiagnosticsWriteTheReportOrSayTheyCouldNot) {
    ASSERT_TRUE(RunDxDiag(nullptr));
    std::string report = testutil::ReadFile(m_game.file("dxdiag.txt"));
    EXPECT_NE(report.find("OpenGL renderer: "), std::string::npos) << report;
    EXPECT_EQ(report.find("OpenGL renderer: unknown"), std::string::npos) << report;

    // Without the program the send goes on with what is there.
    fs::remove(m_game.file("dxdiag.txt"));
    testutil::WriteFile(m_game.file("log.html"), "log");
    std::string gameDir = getenv("KOLVAR_GAME_DIR");
    setenv("KOLVAR_GAME_DIR", m_game.path().c_str(), 1);
    EXPECT_FALSE(RunDxDiag(nullptr));
    setenv("KOLVAR_GAME_DIR", gameDir.c_str(), 1);
    EXPECT_EQ(RecordedBoxes(), std::vector<std::string>{"error: Couldn't run dxdiag.exe"});
    ASSERT_TRUE(SendBugReport(nullptr, "text"));
    EXPECT_EQ(Sent().files.size(), 1u);
}

// The dialog itself, under the display.
class BugReportDialog : public LauncherTest {
protected:
    void SetUp() override {
        LauncherTest::SetUp();
        if (IsSkipped()) return;
        Config(testutil::ReadFile(std::string(getenv("KOLVAR_SOURCE_DIR")) + "/data/templates/config.ini"));
    }
    void TearDown() override {
        unsetenv("KOLVAR_MAIL_LOG");
        unsetenv("KOLVAR_MISSING_MODULES");
        LauncherTest::TearDown();
    }
    INT_PTR Open(const std::vector<platform::DialogStep>& steps) {
        platform::QueueDialogSteps(steps);
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kBugReportDialog), nullptr, BugReportDlgProc, 0);
    }
};

TEST_F(BugReportDialog, AFailedSendKeepsTheDialogOpenWithItsText) {
    setenv("KOLVAR_MISSING_MODULES", "mapi32.dll", 1);
    std::string kept;
    fs::path folder;
    EXPECT_EQ(Open({platform::DialogStep::Call([](HWND d) { SetDlgItemTextA(d, 1010, "It crashed."); }),
                    platform::DialogStep::Press(1040), platform::DialogStep::Call([&](HWND d) {
                        kept = Text(d, 1010);
                        folder = fs::current_path();
                    }),
                    platform::DialogStep::Press(1041)}),
              0);
    EXPECT_EQ(kept, "It crashed.");
    EXPECT_EQ(folder, fs::path(dir.path()));
    ASSERT_FALSE(platform::RecordedMessageBoxes().empty());
    EXPECT_EQ(platform::RecordedMessageBoxes().back().text, "Couldn't send report");
    EXPECT_TRUE(testutil::FileExists(dir.file("dxdiag.txt")));  // the diagnostics ran first
}

TEST_F(BugReportDialog, SendMailsTheTextAndTheFreshReportThenCloses) {
    setenv("KOLVAR_MAIL_LOG", dir.file("mail.log").c_str(), 1);
    testutil::WriteFile(dir.file("dxdiag.txt"), "stale");
    std::string shot = testutil::ArtifactsDir() + "/bug_report.png";
    bool saved = false;
    std::string caption, send;
    RECT text{};
    EXPECT_EQ(Open({platform::DialogStep::Call([&](HWND d) {
                        SetDlgItemTextA(d, 1010, "The saw went through the floor.");
                        saved = platform::SaveDialogScreenshot(d, shot);
                        platform::DialogControlRect(GetDlgItem(d, 1010), &text);
                        caption = Text(d);
                        send = Text(d, 1040);
                    }),
                    platform::DialogStep::Press(1040)}),
              0);
    EXPECT_EQ(platform::PendingDialogSteps(), 0u);
    EXPECT_TRUE(saved);
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 16));
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shot, 4, &text)) << "the typed text";
    EXPECT_EQ(caption, ReadIniString("config.ini", "preloader_bug_report", "title"));
    EXPECT_EQ(send, ReadIniString("config.ini", "preloader_bug_report", "send_button"));
    Mail mail = ParseMail(testutil::ReadFile(dir.file("bugreport.eml")));
    EXPECT_EQ(mail.body, "The saw went through the floor.");
    ASSERT_EQ(mail.files.size(), 1u);
    EXPECT_EQ(mail.files[0].first, "dxdiag.txt");
    EXPECT_NE(mail.files[0].second.find("OpenGL renderer: "), std::string::npos);
    EXPECT_EQ(platform::RecordedMessageBoxes().size(), 0u);
}

}  // namespace
