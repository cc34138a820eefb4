// A game folder of its own for each launcher test: config.ini, a recording
// shell, a registry and a desktop data folder in temporary places.
#pragma once

#include <dialoghooks.h>
#include <gtest/gtest.h>
#include <platform.h>
#include <winuserhooks.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "engine/LogCapture.h"
#include "support/TestUtil.h"

class LauncherTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!getenv("DISPLAY") || !*getenv("DISPLAY")) GTEST_SKIP() << "the launcher needs an X display";
        m_cwd.reset(new testutil::ScopedCwd(dir.path()));
        setenv("KOLVAR_SHELL_LOG", dir.file("shell.log").c_str(), 1);
        setenv("XDG_DATA_HOME", dir.file("share").c_str(), 1);
        unsetenv("KOLVAR_LAUNCHER");
        unsetenv("KOLVAR_INPUT_SCRIPT");
        platform::SetRegistryFile(dir.file("registry.ini"));
        platform::ClearDialogSteps();
        platform::SetScriptIdleTimeout(5.0);
        platform::ClearRecordedMessageBoxes();
    }
    void TearDown() override {
        platform::ClearDialogSteps();
        unsetenv("KOLVAR_SHELL_LOG");
        m_cwd.reset();
    }

    void Config(const std::string& text) { testutil::WriteFile(dir.file("config.ini"), text); }
    std::string ShellLog() const {
        return testutil::FileExists(dir.file("shell.log")) ? testutil::ReadFile(dir.file("shell.log")) : "";
    }
    static size_t Count(const std::string& text, const std::string& what) {
        size_t n = 0;
        for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    }

    testutil::TempDir dir;
    testutil::LogCapture log;

private:
    std::unique_ptr<testutil::ScopedCwd> m_cwd;
};

// A control's text; with id 0 the window's own.
inline std::string Text(HWND d, int id = 0) {
    char buf[256] = "";
    if (id)
        GetDlgItemTextA(d, id, buf, sizeof buf);
    else
        GetWindowTextA(d, buf, sizeof buf);
    return buf;
}

// The lines of a list box, top first.
inline std::vector<std::string> ListLines(HWND d, int id) {
    std::vector<std::string> out;
    char buf[256];
    for (LRESULT i = 0, n = SendDlgItemMessageA(d, id, LB_GETCOUNT, 0, 0); i < n; ++i) {
        SendDlgItemMessageA(d, id, LB_GETTEXT, i, (LPARAM)buf);
        out.push_back(buf);
    }
    return out;
}

// The message boxes recorded so far, each as "caption: text".
inline std::vector<std::string> RecordedBoxes() {
    std::vector<std::string> boxes;
    for (const auto& b : platform::RecordedMessageBoxes()) boxes.push_back(b.caption + ": " + b.text);
    return boxes;
}
