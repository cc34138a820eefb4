// The shell's own rules: progress frames, frame-rate counting, the name
// cursor, the scripted-input format, key handling and the exit routine.
#include <gtest/gtest.h>

#include <winuser.h>

#include <cstring>
#include <string>
#include <vector>

#include "app/GameFlow.h"
#include "app/InputScript.h"
#include "app/LoadingScreen.h"
#include "app/MainLoop.h"
#include "app/Shutdown.h"
#include "app/WindowProc.h"
#include "engine/Ini.h"
#include "game/GameSettings.h"
#include "support/TestUtil.h"

TEST(LoadingScreen, FrameFollowsStoredTotal) {
    struct Case {
        int loaded, total, frame;
    } cases[] = {{0, 0, 70}, {35, 140, 17}, {0, 140, 0}, {200, 140, 70}, {139, 140, 69}, {5, -3, 70}};
    for (const Case& c : cases) EXPECT_EQ(LoadingFrame(c.loaded, c.total), c.frame) << c.loaded << "/" << c.total;
}

TEST(MainLoop, FrameRateShowsLastClosedInterval) {
    g_FpsLastTime = 0.0f;
    g_FpsFrameCount = 0;
    g_Fps = 0;
    for (int i = 0; i < 10; ++i) CountFrameRate(0.1f * float(i));
    EXPECT_EQ(g_Fps, 0);  // the first second
    CountFrameRate(1.05f);  // closes the interval and is itself not counted
    EXPECT_EQ(g_Fps, 10);
    EXPECT_EQ(g_FpsFrameCount, 0);
}

TEST(MainLoop, NameCursorFlipsAtOnceThenEveryFifteenHundredths) {
    strcpy(g_EnteredName, "Ann");
    g_NameBlinkStart = 5.0f;  // plain engine time at the start of the entry
    g_NameBlinkOn = 0;
    EXPECT_STREQ(NameEntryText(5.0f), "Ann_");  // first flip at once
    EXPECT_EQ(g_NameBlinkOn, 1);
    EXPECT_STREQ(NameEntryText(5.1f), "Ann");
    EXPECT_EQ(g_NameBlinkOn, 1);
    EXPECT_STREQ(NameEntryText(5.16f), "Ann");
    EXPECT_EQ(g_NameBlinkOn, 0);
    EXPECT_STREQ(NameEntryText(5.2f), "Ann_");
    g_EnteredName[0] = '\0';
}

TEST(InputScript, ReadsEveryCommand) {
    std::vector<InputCommand> commands;
    std::string error;
    ASSERT_TRUE(ParseInputScript("# comment\r\nwait 0.5\npress space\npress left 0.3\ntype Ann Lee\n"
                                 "wait_until gamestate=2 10\npress_until space 0.1 mode=1 60\n"
                                 "screenshot shell_play\n\nexit\n",
                                 commands, error))
        << error;
    ASSERT_EQ(commands.size(), 8u);
    EXPECT_FLOAT_EQ(commands[0].seconds, 0.5f);
    EXPECT_EQ(commands[2].key, "left");
    EXPECT_FLOAT_EQ(commands[2].seconds, 0.3f);
    EXPECT_EQ(commands[3].text, "Ann Lee");
    EXPECT_EQ(commands[4].field, "gamestate");
    EXPECT_EQ(commands[4].value, 2);
    EXPECT_FLOAT_EQ(commands[4].timeout, 10.0f);
    EXPECT_EQ(commands[5].kind, InputCommand::PressUntil);
    EXPECT_EQ(commands[5].field, "mode");
    EXPECT_EQ(commands[6].text, "shell_play");
    EXPECT_EQ(commands[7].kind, InputCommand::Exit);
}

TEST(InputScript, RejectsBadLinesByNumber) {
    const char* bad[] = {"wait", "wait -1", "press tab", "wait_until level=2 5", "wait_until mode=x 5",
                         "screenshot ../x", "press space 1 2", "jump", "press_until space 0.1 mode=1"};
    for (const char* line : bad) {
        std::vector<InputCommand> commands;
        std::string error;
        EXPECT_FALSE(ParseInputScript(std::string("wait 1\n") + line + "\n", commands, error)) << line;
        EXPECT_NE(error.find("line 2"), std::string::npos) << error;
    }
}

TEST(WindowProc, CloseAndHotKeys) {
    g_bExitRequested = false;
    EXPECT_EQ(WndProc(nullptr, WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(g_bExitRequested);
    g_bExitRequested = false;
    for (WPARAM key : {WPARAM(VK_F1 + 1), WPARAM(VK_F1 + 4)}) WndProc(nullptr, WM_KEYDOWN, key, 0);
    EXPECT_FALSE(g_bExitRequested);  // F2 and F5 do nothing
    WndProc(nullptr, WM_KEYDOWN, VK_F12, 0);
    EXPECT_TRUE(g_bExitRequested);
    g_bExitRequested = false;
}

TEST(WindowProc, NameEntryTypingAndBackspace) {
    g_bNameEntry = true;
    g_EnteredName[0] = '\0';
    for (char c : std::string("Jo\x1b")) WndProc(nullptr, WM_CHAR, WPARAM(c), 0);
    EXPECT_STREQ(g_EnteredName, "Jo\x1b");  // control characters are kept
    WndProc(nullptr, WM_CHAR, 8, 0);
    EXPECT_STREQ(g_EnteredName, "Jo\x1b");  // backspace's character adds nothing
    EXPECT_EQ(WndProc(nullptr, WM_KEYDOWN, VK_BACK, 0), 0);
    EXPECT_STREQ(g_EnteredName, "Jo");
    memset(g_EnteredName, 'x', 255);
    g_EnteredName[255] = '\0';
    WndProc(nullptr, WM_CHAR, 'y', 0);
    EXPECT_EQ(strlen(g_EnteredName), 255u);  // a full name takes no more
    EXPECT_EQ(g_EnteredName[254], 'x');
    g_bNameEntry = false;
    WndProc(nullptr, WM_CHAR, 'z', 0);
    EXPECT_EQ(strlen(g_EnteredName), 255u);  // typing outside the entry changes nothing
    g_EnteredName[0] = '\0';
}

TEST(Shutdown, WritesFrameSettingsOnce) {
    testutil::TempDir dir;
    testutil::ScopedCwd cwd(dir.path());
    testutil::WriteFile(dir.file("config.ini"), "[game]\r\nframe_type=0\r\n");
    g_bShutdownDone = false;
    g_FrameType = 1;
    g_FrameOpacity = 0.3f;
    ShutdownApplication();
    EXPECT_NE(testutil::ReadFile(dir.file("config.ini")).find("frame_opacity=0.30000"), std::string::npos);
    EXPECT_EQ(ReadIniInt("config.ini", "game", "frame_type"), 1);
    g_FrameOpacity = 0.7f;
    ShutdownApplication();  // a second call does nothing
    EXPECT_FLOAT_EQ(ReadIniFloat("config.ini", "game", "frame_opacity"), 0.3f);
    g_bShutdownDone = false;
}
