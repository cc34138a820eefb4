// The real executable under Xvfb with scripted input: start, drop until game
// over, a name for the high-score table, F12. One run per game type, screenshots
// kept. And every menu page and the HUD at 4:3 and 16:9, as a player sees them.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <win32.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/TestUtil.h"

namespace {

struct Image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgba;
    // A screenshot that shows something, as it must.
    bool Load(const std::string& path) {
        EXPECT_TRUE(testutil::ScreenshotShowsSomething(path, 64)) << path;
        rgba = testutil::LoadRgba(path, &w, &h);
        return !rgba.empty();
    }
    // Pixels brighter than the level in the box given as fractions of the picture.
    int LitPixels(float x0, float y0, float x1, float y1, int level = 150) const {
        return Count(x0, y0, x1, y1, [level](const unsigned char* p) { return p[0] + p[1] + p[2] > 3 * level; });
    }
    // Pixels of the menu selection's warm glow: red well above blue.
    int WarmPixels(float x0, float y0, float x1, float y1) const {
        return Count(x0, y0, x1, y1,
                     [](const unsigned char* p) { return p[0] > 110 && p[0] > p[2] + 60 && p[1] > p[2]; });
    }
    int Count(float x0, float y0, float x1, float y1, const std::function<bool(const unsigned char*)>& is) const {
        int n = 0;
        for (int y = int(y0 * h); y < int(y1 * h); ++y)
            for (int x = int(x0 * w); x < int(x1 * w); ++x) n += is(&rgba[(size_t(y) * size_t(w) + size_t(x)) * 4]);
        return n;
    }
};

// A game folder of links to the built one, with fresh settings of one game type and screen size.
std::string MakeGameFolder(const testutil::TempDir& dir, int gameType, int width = 1024, int height = 768) {
    testutil::MakeGameFolder(dir.path());
    const std::string config = dir.file("config.ini");
    WritePrivateProfileStringA("game", "game_type", std::to_string(gameType).c_str(), config.c_str());
    WritePrivateProfileStringA("graphics", "screen_w", std::to_string(width).c_str(), config.c_str());
    WritePrivateProfileStringA("graphics", "screen_h", std::to_string(height).c_str(), config.c_str());
    return dir.path();
}

// Starts the game at `program` from the folder `cwd` with these variables set (an empty value removes
// one) and its standard error into `errors` (when named); its process id.
pid_t StartProgram(const std::string& cwd, const std::string& program,
                   const std::vector<std::pair<std::string, std::string>>& env, const std::string& errors = "",
                   const std::vector<std::string>& args = {}) {
    const pid_t pid = fork();
    if (pid == 0) {
        if (chdir(cwd.c_str()) != 0) _exit(100);
        if (!errors.empty() && !freopen(errors.c_str(), "w", stderr)) _exit(102);
        setenv("KOLVAR_SCREENSHOT_DIR", testutil::ArtifactsDir().c_str(), 1);
        for (const auto& [name, value] : env) {
            if (value.empty())
                unsetenv(name.c_str());
            else
                setenv(name.c_str(), value.c_str(), 1);
        }
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(101);
    }
    return pid;
}

// StartProgram, then the exit code.
int RunProgram(const std::string& cwd, const std::string& program,
               const std::vector<std::pair<std::string, std::string>>& env, const std::string& errors = "") {
    int status = 0;
    waitpid(StartProgram(cwd, program, env, errors), &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// display: the X display to run on, "" for the test's own.
int RunGame(const std::string& folder, const std::string& script, const std::string& display = "") {
    std::vector<std::pair<std::string, std::string>> env{{"KOLVAR_INPUT_SCRIPT", script}, {"KOLVAR_LAUNCHER", "start"}};
    if (!display.empty()) env.emplace_back("DISPLAY", display);
    return RunProgram(folder, "./kolvar", env);
}

bool NoDisplay() {
    const char* display = getenv("DISPLAY");
    return !display || !*display;
}

class WholeGame : public testing::TestWithParam<int> {};

TEST_P(WholeGame, PlaysToGameOverEntersANameAndQuits) {
    if (NoDisplay()) KOLVAR_SKIP_WITHOUT_GL();
    const int type = GetParam();
    const std::string suffix = type == 0 ? "lines" : "colors";
    testutil::TempDir dir;
    const std::string folder = MakeGameFolder(dir, type);
    const std::string script = dir.file("input.txt");
    testutil::WriteFile(script, std::string(type == 0 ? "screenshot shell_loading\n" : "") +
                                    "wait_until menustate=3 20\n"
                                    // "new game" opens its page on "start".
                                    "press enter\n"
                                    "wait 0.5\n"
                                    "press enter\n"
                                    "wait_until gamestate=2 30\n"
                                    "wait 1.5\n"
                                    "screenshot shell_play_" + suffix + "\n"
                                    "press_until space 0.25 gamestate=3 400\n"
                                    "wait 1.5\n"
                                    "screenshot shell_gameover_" + suffix + "\n"
                                    "wait_until gamestate=0 60\n"
                                    "wait_until menustate=3 20\n"
                                    // Any score beats the empty table: the name entry is open.
                                    "type Ann\n"
                                    "wait 0.5\n"
                                    "screenshot shell_name_" + suffix + "\n"
                                    "press enter\n"
                                    "wait 0.2\n"
                                    "exit\n");
    ASSERT_EQ(RunGame(folder, script), 0);

    const std::string shots = testutil::ArtifactsDir() + "/";
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shots + "shell_name_" + suffix + ".png", 64));
    Image play, over;
    ASSERT_TRUE(play.Load(shots + "shell_play_" + suffix + ".png"));
    EXPECT_GT(play.LitPixels(0.0f, 0.4f, 0.3f, 0.65f), 200) << "HUD text at the left";
    EXPECT_GT(play.LitPixels(0.36f, 0.3f, 0.64f, 0.9f, 100), 1000) << "blocks in the field's middle third";
    ASSERT_TRUE(over.Load(shots + "shell_gameover_" + suffix + ".png"));
    EXPECT_GT(over.LitPixels(0.0f, 0.0f, 1.0f, 0.15f, 170), 500) << "Game over in the top band";
    if (type == 0) {
        Image loading;
        ASSERT_TRUE(loading.Load(shots + "shell_loading.png"));
        EXPECT_GT(loading.LitPixels(0.0f, 0.0f, 1.0f, 0.8f, 20), loading.w * loading.h / 4) << "the intro";
        EXPECT_GT(loading.LitPixels(0.9f, 0.88f, 0.98f, 0.97f, 60), 50) << "the ring";
    }

    const std::string log = testutil::ReadFile(dir.file("log.html"));
    // Start-up's order, as the log shows it.
    size_t at = 0;
    for (const char* line : {"Initializing shader manager", "Initializing menu manager", "Creating keyboard device",
                             "font.png", "(Aero)", "intro.jpg", "time_rule.dds",
                             "Creating normalization cube texture complete.", "Initializing sound engine",
                             "Setting audio path:", "menu_move.wav", "menu_click.wav", "menu_change.wav",
                             "gameover.wav", "removing texture: (data\\textures\\intro.jpg)"}) {
        const size_t next = log.find(line, at);
        EXPECT_NE(next, std::string::npos) << line << " after position " << at;
        if (next != std::string::npos) at = next;
    }
    EXPECT_NE(log.rfind("Graphics engine ended"), std::string::npos);
    EXPECT_GT(log.rfind("Graphics engine ended"), log.rfind("gameover.wav"));
    // A normal session logs no error beyond the missing high-score file's two lines.
    size_t redLines = 0;
    for (size_t red = log.find("Color = red"); red != std::string::npos; red = log.find("Color = red", red + 1))
        ++redLines;
    EXPECT_EQ(log.find("Error: (Hud)"), std::string::npos);
    EXPECT_LE(redLines, 2u) << log;
    EXPECT_NE(testutil::ReadFile(dir.file("config.ini")).find("res_count="), std::string::npos);
    // The name typed at game over heads the saved table.
    EXPECT_EQ(testutil::ReadFile(dir.file("highscores.dat")).substr(0, 4), std::string("Ann\0", 4));
}

INSTANTIATE_TEST_SUITE_P(Types, WholeGame, testing::Values(0, 1));

// An X server of its own whose screen offers the wide modes; stopped with the object.
class XServer {
public:
    explicit XServer(const char* screen) {
        int ready[2];
        if (pipe(ready) != 0) return;
        m_pid = fork();
        if (m_pid == 0) {
            close(ready[0]);
            const std::string fd = std::to_string(ready[1]);
            execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen, "-nolisten", "tcp",
                   "-noreset", static_cast<char*>(nullptr));
            _exit(127);
        }
        close(ready[1]);
        // The server writes its display number once it takes connections (nothing when it fails).
        std::string number;
        char c;
        while (m_pid > 0 && read(ready[0], &c, 1) == 1 && c != '\n') number += c;
        close(ready[0]);
        if (!number.empty()) m_display = ":" + number;
    }
    ~XServer() {
        if (m_pid <= 0) return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
    }
    const std::string& Display() const { return m_display; }

private:
    pid_t m_pid = -1;
    std::string m_display;
};

struct ScreenMode {
    int width, height;
};
std::ostream& operator<<(std::ostream& out, const ScreenMode& m) { return out << m.width << "x" << m.height; }

class Screens : public testing::TestWithParam<ScreenMode> {};

TEST_P(Screens, EveryMenuPageAndTheHudAsAPlayerSeesThem) {
    XServer server("1920x1080x24");
    if (server.Display().empty()) KOLVAR_SKIP_WITHOUT_GL() << "no X server of our own";
    const ScreenMode mode = GetParam();
    const std::string suffix = "_" + std::to_string(mode.width) + "x" + std::to_string(mode.height);
    testutil::TempDir dir;
    const std::string folder = MakeGameFolder(dir, 0, mode.width, mode.height);
    const std::string script = dir.file("input.txt");
    // Each page opens from the one before with its first item selected; Escape goes back.
    const char* const steps[] = {
        "wait_until menustate=3 20", "wait 0.3", "shot main",
        "press enter", "wait 0.3", "shot new_game", "press escape",
        "press down", "press enter", "wait 0.3", "shot themes", "press escape",
        "press down", "press down", "press enter", "wait 0.3", "shot options",
        "press enter", "wait 0.3", "shot graphics", "press escape",
        "press down", "press enter", "wait 0.3", "shot sound", "press escape",
        "press down", "press down", "press down", "press enter", "wait 0.3", "shot game", "press escape",
        "press escape",
        "press down", "press down", "press down", "press enter", "wait 0.3", "shot high_scores", "press escape",
        "press down", "press down", "press down", "press down", "press enter", "wait 0.3", "shot credits",
        "press escape",
        // The game with its announcements held on the screen.
        "press enter", "wait 0.2", "press enter", "wait_until gamestate=2 30", "wait 2.5", "shot hud", "exit"};
    std::string text;
    for (const std::string step : steps)
        text += (step.compare(0, 5, "shot ") == 0 ? "screenshot screens_" + step.substr(5) + suffix : step) + "\n";
    testutil::WriteFile(script, text);
    ASSERT_EQ(RunGame(folder, script, server.Display()), 0);

    const std::string shots = testutil::ArtifactsDir() + "/screens_";
    struct Page {
        const char* name;
        float selectedY;  // where the page's first button, selected on opening, glows
    } pages[] = {{"main", 0.4f},  {"new_game", 0.8f}, {"themes", 0.41f},      {"options", 0.4f}, {"graphics", 0.4f},
                 {"sound", 0.4f}, {"game", 0.4f},     {"high_scores", 0.9f}, {"credits", 0.85f}};
    for (const Page& page : pages) {
        SCOPED_TRACE(page.name);
        const std::string path = shots + page.name + suffix + ".png";
        Image shot;
        ASSERT_TRUE(shot.Load(path));
        EXPECT_EQ(shot.w, mode.width);
        EXPECT_EQ(shot.h, mode.height);
        EXPECT_GT(shot.LitPixels(0.36f, 0.3f, 0.7f, 0.36f, 180), 100) << "the page title";
        EXPECT_GT(shot.WarmPixels(0.25f, page.selectedY - 0.04f, 0.75f, page.selectedY + 0.06f), 300)
            << "the selection's glow";
    }
    Image themes, hud;
    ASSERT_TRUE(themes.Load(shots + "themes" + suffix + ".png"));
    const RECT logo{LONG(0.62f * mode.width), LONG(0.41f * mode.height), LONG(0.88f * mode.width), LONG(0.58f * mode.height)};
    EXPECT_TRUE(testutil::ScreenshotShowsSomething(shots + "themes" + suffix + ".png", 64, &logo)) << "the logo";
    EXPECT_GT(themes.LitPixels(0.37f, 0.75f, 0.62f, 0.79f, 180), 100) << "Random theme on startup";
    EXPECT_GT(themes.LitPixels(0.7f, 0.75f, 0.76f, 0.79f, 180), 10) << "its value";
    ASSERT_TRUE(hud.Load(shots + "hud" + suffix + ".png"));
    EXPECT_GT(hud.LitPixels(0.75f, 0.495f, 0.9f, 0.535f, 150), 50) << "game type:";
    EXPECT_GT(hud.LitPixels(0.9f, 0.5f, 1.0f, 0.53f, 150), 50) << "simple kolvar";
}

INSTANTIATE_TEST_SUITE_P(Modes, Screens, testing::Values(ScreenMode{1024, 768}, ScreenMode{1600, 900}));

// Start-up faults, each in a folder of its own: what the player is told (the box,
// recorded on standard error), the log's line and the exit code.
struct Fault {
    const char* name;
    std::function<void(const std::string& folder)> breakIt;
    const char* input;  // an input script (it keeps the game running without the focus), or null: the launcher
    const char* box;    // null: no box
    const char* logLine;
    bool logged;        // false: the line must not be there
    int exitCode;
    bool fromElsewhere = false;  // started by its path from a folder without game data
    std::pair<std::string, std::string> env{};  // one more variable, when named
};

void PrintTo(const Fault& fault, std::ostream* out) { *out << fault.name; }

void Remove(const std::string& folder, const std::string& relative) {
    testutil::UnlinkGamePath(folder, relative);
    std::filesystem::remove(folder + "/" + relative);
}

void SetConfig(const std::string& folder, const char* section, const char* key, const char* value) {
    WritePrivateProfileStringA(section, key, value, (folder + "/config.ini").c_str());
}

const char kQuickRun[] = "wait 0.2\nexit\n";
// Chooses "new game" and "start"; the menu must still be open afterwards.
const char kStartAttempt[] =
    "wait_until menustate=3 20\npress enter\nwait 0.5\npress enter\nwait 1\nwait_until menustate=3 1\nexit\n";

const Fault kFaults[] = {
    {"no_font", [](const std::string& f) { Remove(f, "data/textures/font.png"); }, kQuickRun,
     "Couldn't load the font font.png.\n See log.html for detail.", "Error, couldn't load textured-font: (font.png)", true,
     1},
    {"no_field_script", [](const std::string& f) { Remove(f, "data/scripts/field/field.txt"); }, kStartAttempt,
     "Couldn't read the game script data\\scripts\\field\\field.txt.\n See log.html for detail.",
     "Error, no game can start: the script data\\scripts\\field\\field.txt could not be read", true, 0},
    {"no_figure_script", [](const std::string& f) { Remove(f, "data/scripts/figure/figure.txt"); }, kStartAttempt,
     "Couldn't read the game script data\\scripts\\figure\\figure.txt.\n See log.html for detail.",
     "Script error in data\\scripts\\figure\\figure.txt", true, 0},
    {"no_init_script", [](const std::string& f) { Remove(f, "data/scripts/general/init.txt"); }, kQuickRun,
     "Couldn't read the game scripts.\n See log.html for detail.", "Error, init.txt doesn't set 'figure_action_script'",
     true, 1},
    {"no_config", [](const std::string& f) { std::filesystem::remove(f + "/config.ini"); }, kQuickRun, nullptr,
     "Error, config.ini is missing: made from templates\\config.ini", true, 0},
    {"garbage_config",
     [](const std::string& f) {
         std::string junk;
         for (unsigned i = 0, x = 7; i < 4096; ++i) junk += char((x = x * 1103515245u + 12345u) >> 16);
         testutil::WriteFile(f + "/config.ini", junk);
     },
     kQuickRun, nullptr, "Error, config.ini [graphics] screen_w is missing: using 1024", true, 0},
    {"config_folder",
     [](const std::string& f) {
         std::filesystem::remove(f + "/config.ini");
         std::filesystem::create_directory(f + "/config.ini");
     },
     kQuickRun, nullptr, "Error, config.ini cannot be read (Is a directory): kept as config.ini.bad, made anew", true,
     0},
    // A folder of that name where it would be kept aside: nothing can be done, and no window opens.
    {"config_folder_stuck",
     [](const std::string& f) {
         std::filesystem::remove(f + "/config.ini");
         std::filesystem::create_directory(f + "/config.ini");
         std::filesystem::create_directories(f + "/config.ini.bad/older");
     },
     kQuickRun,
     "Couldn't use the settings: config.ini cannot be read (Is a directory) and cannot be moved to config.ini.bad (",
     "Graphics engine started", false, 1},
    {"oversized_config",
     [](const std::string& f) { testutil::WriteFile(f + "/config.ini", std::string(3 << 20, '=')); }, kQuickRun,
     nullptr, "Error, config.ini is too large for settings: kept as config.ini.bad", true, 0},
    {"huge_screen_size",
     [](const std::string& f) {
         SetConfig(f, "graphics", "screen_w", "2147483647");
         SetConfig(f, "graphics", "screen_h", "-100");
     },
     kQuickRun, nullptr, "Error, config.ini screen size 2147483647x-100 is not a mode of the display: using ", true, 0},
    // Closed without Start: nothing starts and that is no failure.
    {"launcher_closed", [](const std::string& f) { testutil::WriteFile(f + "/launcher.txt", "close\n"); }, nullptr,
     nullptr, "Graphics engine started", false, 0},
    {"from_another_folder", [](const std::string&) {}, kQuickRun, nullptr, "Graphics engine ended", true, 0, true},
    // No GL driver to load: the log says why the window could not be made.
    {"no_gl_library", [](const std::string&) {}, kQuickRun,
     "Couldn't initialize graphics engine.\n See log.html for detail.",
     "reason: Failed loading /nonexistent/libGL.so.1", true, 1, false,
     {"SDL_OPENGL_LIBRARY", "/nonexistent/libGL.so.1"}},
    // A driver that offers no context of the version asked for: the log says so.
    {"no_gl_context", [](const std::string&) {}, kQuickRun,
     "Couldn't initialize graphics engine.\n See log.html for detail.", "reason: Could not create GL context", true, 1,
     false, {"MESA_GL_VERSION_OVERRIDE", "2.1"}},
};

class StartupFault : public testing::TestWithParam<Fault> {};

TEST_P(StartupFault, IsToldLoggedAndExitsWithItsCode) {
    if (NoDisplay()) KOLVAR_SKIP_WITHOUT_GL();
    const Fault& fault = GetParam();
    testutil::TempDir dir, elsewhere;
    testutil::MakeGameFolder(dir.path());
    fault.breakIt(dir.path());
    const std::string input = dir.file("input.txt");
    if (fault.input) testutil::WriteFile(input, fault.input);
    const std::string errors = elsewhere.file("stderr.txt");
    std::vector<std::pair<std::string, std::string>> env{
        {"KOLVAR_INPUT_SCRIPT", fault.input ? input : ""},
        {"KOLVAR_LAUNCHER", fault.input ? "start" : "script:" + dir.file("launcher.txt")}};
    if (!fault.env.first.empty()) env.push_back(fault.env);
    const int code = RunProgram(fault.fromElsewhere ? elsewhere.path() : dir.path(),
                                fault.fromElsewhere ? dir.file("kolvar") : "./kolvar", env, errors);
    EXPECT_EQ(code, fault.exitCode);
    const std::string said = testutil::ReadFile(errors);
    if (fault.box)
        EXPECT_NE(said.find(std::string("[message box] Error !: ") + fault.box), std::string::npos) << said;
    else
        EXPECT_EQ(said.find("[message box]"), std::string::npos) << said;
    const std::string log = testutil::ReadFile(dir.file("log.html"));
    EXPECT_EQ(log.find(fault.logLine) != std::string::npos, fault.logged) << log;
    EXPECT_FALSE(testutil::FileExists(elsewhere.file("log.html")));
}

INSTANTIATE_TEST_SUITE_P(Faults, StartupFault, testing::ValuesIn(kFaults),
                         [](const testing::TestParamInfo<Fault>& info) { return std::string(info.param.name); });

// The exit code, -1 when a signal ended it, -2 when it did not end in time (it is then killed).
int WaitForExit(pid_t pid, double seconds) {
    int status = 0;
    for (int i = 0; i < int(seconds * 20); ++i) {
        if (waitpid(pid, &status, WNOHANG) == pid) return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        usleep(50000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -2;
}

bool WaitForLogLine(const std::string& log, const std::string& line, double seconds) {
    for (int i = 0; i < int(seconds * 20); ++i) {
        if (testutil::ReadFile(log).find(line) != std::string::npos) return true;
        usleep(50000);
    }
    return false;
}

// Whether the main thread of pid comes to sleep without using processor time
// between two looks, as in a loop that waits for its next event.
bool WaitForIdleMainThread(pid_t pid, double seconds) {
    const std::string stat = "/proc/" + std::to_string(pid) + "/task/" + std::to_string(pid) + "/stat";
    long long last = -1;
    for (int i = 0; i < int(seconds * 20); ++i) {
        const std::string text = testutil::ReadFile(stat);
        const size_t name = text.rfind(')');  // the command name may hold spaces
        char state = 0;
        long long user = 0, system = 0;
        if (name == std::string::npos ||
            sscanf(text.c_str() + name + 1, " %c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lld %lld", &state, &user,
                   &system) != 3)
            return false;
        if (state == 'S' && user + system == last) return true;
        last = user + system;
        usleep(50000);
    }
    return false;
}

const char kEndLine[] = "</Font> </P> </Body> </Html>\r\n";

bool EndsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

// Starts the game of the folder in its launcher, or past it in a game that then loses the focus, and
// waits for that; the process id, and in *ready whether it got there.
pid_t StartIdle(const testutil::TempDir& dir, bool launcher, const std::string& errors, bool* ready) {
    const std::string input = dir.file("input.txt");
    testutil::WriteFile(input, "wait_until menustate=3 20\nunfocus\n");
    const pid_t pid = StartProgram(dir.path(), "./kolvar",
                                   {{"KOLVAR_INPUT_SCRIPT", launcher ? "" : input},
                                    {"KOLVAR_LAUNCHER", launcher ? "" : "start"}},
                                   errors);
    // The launcher's dialog is up once it has read its texts; the game is inactive once the script says so.
    const char* line = launcher ? "[PRELOADER] launcher open" : "input script: the window lost the focus";
    *ready = pid > 0 && WaitForLogLine(dir.file("log.html"), line, 60);
    return pid;
}

struct QuitSignal {
    const char* name;
    int signal;
    bool launcher;  // true: sent to the launcher dialog, false: to a game whose window is not active
};

void PrintTo(const QuitSignal& q, std::ostream* out) { *out << q.name; }

class QuitSignals : public testing::TestWithParam<QuitSignal> {};

// A logout or Ctrl+C ends the game through its normal shutdown whether or not
// it has the focus, and closes the launcher as its close box would.
TEST_P(QuitSignals, EndTheProgramTheNormalWay) {
    if (NoDisplay()) KOLVAR_SKIP_WITHOUT_GL();
    const QuitSignal& q = GetParam();
    testutil::TempDir dir;
    const std::string folder = MakeGameFolder(dir, 0);
    // Read as 0.3, written back by the exit routine with five decimals.
    SetConfig(folder, "game", "frame_opacity", "0.3");
    // Temporaries of interrupted saves go at start; a theme's are not the game's.
    const char* const leftovers[] = {"config.ini.tmpAb12Cd", "playlist.ini.tmp", "highscores.dat.tmpZZZZZZ"};
    for (const char* name : leftovers) testutil::WriteFile(dir.file(name), "half");
    testutil::WriteFile(dir.file("readme.tmp1"), "not a save");
    const std::string log = dir.file("log.html");
    bool ready = false;
    const pid_t pid = StartIdle(dir, q.launcher, dir.file("stderr.txt"), &ready);
    ASSERT_GT(pid, 0);
    // The line comes just before: then the dialog's loop runs, or the game waits inactive.
    if (ready) WaitForIdleMainThread(pid, 20);
    // A loaded machine (the sanitizer pass beside other jobs) can take a while to shut down.
    kill(pid, q.signal);
    const int code = WaitForExit(pid, 60);
    ASSERT_TRUE(ready) << testutil::ReadFile(log);
    EXPECT_EQ(code, 0) << testutil::ReadFile(dir.file("stderr.txt"));
    const std::string text = testutil::ReadFile(log);
    EXPECT_TRUE(EndsWith(text, kEndLine)) << text.substr(text.size() > 400 ? text.size() - 400 : 0);
    EXPECT_EQ(text.find("Graphics engine started") != std::string::npos, !q.launcher);
    for (const char* name : leftovers) EXPECT_FALSE(testutil::FileExists(dir.file(name))) << name;
    EXPECT_TRUE(testutil::FileExists(dir.file("readme.tmp1")));
    if (!q.launcher) {
        // The exit routine's writes.
        EXPECT_NE(text.find("Graphics engine ended"), std::string::npos);
        EXPECT_NE(testutil::ReadFile(dir.file("config.ini")).find("frame_opacity=0.30000"), std::string::npos);
    }
}

INSTANTIATE_TEST_SUITE_P(Signals, QuitSignals,
                         testing::Values(QuitSignal{"game_term", SIGTERM, false}, QuitSignal{"game_int", SIGINT, false},
                                         QuitSignal{"game_hup", SIGHUP, false},
                                         QuitSignal{"launcher_term", SIGTERM, true},
                                         QuitSignal{"launcher_int", SIGINT, true},
                                         QuitSignal{"launcher_hup", SIGHUP, true}),
                         [](const testing::TestParamInfo<QuitSignal>& info) { return std::string(info.param.name); });

struct LauncherStart {
    const char* name;
    const char* steps;  // the launcher script; it ends with Start
    const char* box;    // a box the launcher shows on the way, or null
};

void PrintTo(const LauncherStart& l, std::ostream* out) { *out << l.name; }

class LauncherStarts : public testing::TestWithParam<LauncherStart> {};

// On an X server with no window manager nobody hands out the focus: the game
// started from the launcher must still count as active and draw its menu, also
// after the setup's device test has shown and closed a window of its own.
TEST_P(LauncherStarts, ReachTheMainMenuWithNoWindowManager) {
    XServer server("1024x768x24");
    if (server.Display().empty()) KOLVAR_SKIP_WITHOUT_GL() << "no X server of our own";
    const LauncherStart& l = GetParam();
    testutil::TempDir dir;
    const std::string folder = MakeGameFolder(dir, 0);
    testutil::WriteFile(dir.file("launcher.txt"), l.steps);
    const std::string shot = testutil::ArtifactsDir() + "/launcher_start_" + l.name + ".png";
    std::remove(shot.c_str());
    // Frames are drawn only while the window is active; the menu is up well before the last.
    const pid_t pid = StartProgram(folder, "./kolvar",
                                   {{"DISPLAY", server.Display()},
                                    {"KOLVAR_LAUNCHER", "script:" + dir.file("launcher.txt")},
                                    {"KOLVAR_INPUT_SCRIPT", ""},
                                    {"KOLVAR_HEADLESS_DIALOGS", "1"}},
                                   dir.file("stderr.txt"), {"--frames", "300", "--capture", "299:" + shot});
    ASSERT_GT(pid, 0);
    EXPECT_EQ(WaitForExit(pid, 120), 0) << "-2: the window never became active\n"
                                        << testutil::ReadFile(dir.file("stderr.txt"));
    if (l.box) {
        EXPECT_NE(testutil::ReadFile(dir.file("stderr.txt")).find(l.box), std::string::npos) << "the setup's test ran";
    }
    Image menu;
    ASSERT_TRUE(menu.Load(shot));
    EXPECT_GT(menu.LitPixels(0.36f, 0.3f, 0.7f, 0.36f, 180), 100) << "the page title";
    EXPECT_GT(menu.WarmPixels(0.25f, 0.36f, 0.75f, 0.46f), 300) << "new game selected";
}

INSTANTIATE_TEST_SUITE_P(
    Launcher, LauncherStarts,
    testing::Values(LauncherStart{"start", "press 1002\n", nullptr},
                    LauncherStart{"after_setup_test", "press 1008\npress 1022\npress 1027\npress 1002\n",
                                  "[message box] Ok !: Test successfully completed"}),
    [](const testing::TestParamInfo<LauncherStart>& info) { return std::string(info.param.name); });

// A full high-score table of "Old" at 5 points; its bytes.
std::string WriteOldTable(const testutil::TempDir& dir) {
    std::string table;
    for (int i = 0; i < 10; ++i) table += std::string("Old", 3) + std::string(253, '\0') + std::string("\x05\0\0\0", 4);
    testutil::WriteFile(dir.file("highscores.dat"), table);
    return table;
}

// Saves into a read-only folder fail: the player is told once, the log names
// each file, the old files stay whole and quitting still works.
TEST(ReadOnlyFolder, SavesFailTellTheirReasonOnceAndQuittingWorks) {
    if (NoDisplay()) KOLVAR_SKIP_WITHOUT_GL();
    testutil::TempDir dir, elsewhere;
    const std::string folder = MakeGameFolder(dir, 0);
    const std::string table = WriteOldTable(dir);
    const std::string input = dir.file("input.txt");
    // The High scores page, then its "Reset" (it saves the table), then F12.
    testutil::WriteFile(input,
                        "wait_until menustate=3 20\npress down\npress down\npress down\npress enter\nwait 0.5\n"
                        "press down\npress enter\nwait 0.5\nexit\n");
    // The logs exist beforehand: a folder the user cannot write still takes their lines.
    for (const char* log : {"log.html", "log1.html", "log2.html"}) testutil::WriteFile(dir.file(log), "");
    const std::string config = testutil::ReadFile(dir.file("config.ini"));
    for (const char* file : {"config.ini", "highscores.dat"}) chmod(dir.file(file).c_str(), 0444);
    chmod(folder.c_str(), 0555);
    const std::string errors = elsewhere.file("stderr.txt");
    const int code = RunProgram(folder, "./kolvar", {{"KOLVAR_INPUT_SCRIPT", input}, {"KOLVAR_LAUNCHER", "start"}},
                                errors);
    chmod(folder.c_str(), 0755);
    EXPECT_EQ(code, 0);
    const std::string said = testutil::ReadFile(errors);
    const std::string box = "[message box] Error !: Couldn't save ";
    const size_t first = said.find(box);
    ASSERT_NE(first, std::string::npos) << said;
    EXPECT_EQ(said.find(box, first + 1), std::string::npos) << "one box a session\n" << said;
    const std::string log = testutil::ReadFile(dir.file("log.html"));
    for (const char* file : {"highscores.dat: Permission denied", "config.ini: Permission denied"})
        EXPECT_NE(log.find(file), std::string::npos) << file << "\n" << log;
    EXPECT_TRUE(EndsWith(log, kEndLine));
    EXPECT_EQ(testutil::ReadFile(dir.file("highscores.dat")), table);
    EXPECT_EQ(testutil::ReadFile(dir.file("config.ini")), config);
}

// Every file of a folder (not the links into the built game) and its bytes.
std::map<std::string, std::string> FolderFiles(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const std::filesystem::directory_entry& e : std::filesystem::directory_iterator(folder))
        if (!e.is_symlink())
            files[e.path().filename().string()] = e.is_regular_file() ? testutil::ReadFile(e.path()) : "";
    return files;
}

class SecondCopy : public testing::TestWithParam<bool> {};  // true: the first copy shows its launcher

// A second copy started where one runs, in its launcher or in its game, is told
// so and leaves every file of the folder as it was; the first goes on and ends well.
TEST_P(SecondCopy, IsToldTheGameRunsAndTouchesNoFile) {
    if (NoDisplay()) KOLVAR_SKIP_WITHOUT_GL();
    const bool launcher = GetParam();
    testutil::TempDir dir, elsewhere;
    const std::string folder = MakeGameFolder(dir, 0);
    const std::string table = WriteOldTable(dir);
    for (const char* old : {"log1.html", "log2.html"}) testutil::WriteFile(dir.file(old), old);
    const std::string log = dir.file("log.html");
    bool ready = false;
    const pid_t first = StartIdle(dir, launcher, elsewhere.file("first.txt"), &ready);
    ASSERT_GT(first, 0);
    std::map<std::string, std::string> before = FolderFiles(folder);
    const std::string second = elsewhere.file("second.txt");
    // Should it start after all, it ends at once.
    const std::string quick = elsewhere.file("quick.txt");
    testutil::WriteFile(quick, kQuickRun);
    const int code =
        RunProgram(folder, "./kolvar", {{"KOLVAR_INPUT_SCRIPT", quick}, {"KOLVAR_LAUNCHER", "start"}}, second);
    std::map<std::string, std::string> after = FolderFiles(folder);
    kill(first, SIGTERM);
    const int firstCode = WaitForExit(first, 60);
    ASSERT_TRUE(ready) << testutil::ReadFile(log);

    EXPECT_EQ(code, 1);
    const std::string said = testutil::ReadFile(second);
    EXPECT_NE(said.find("[message box] Error !: The game is already running from this folder."), std::string::npos)
        << said;
    // The first may have logged on meanwhile; the second neither rotated nor wrote the log.
    EXPECT_EQ(after["log.html"].compare(0, before["log.html"].size(), before["log.html"]), 0);
    before.erase("log.html");
    after.erase("log.html");
    EXPECT_EQ(after, before);
    EXPECT_EQ(firstCode, 0);
    const std::string text = testutil::ReadFile(log);
    EXPECT_TRUE(EndsWith(text, kEndLine));
    EXPECT_EQ(text.find("Log started"), text.rfind("Log started")) << "one session in the log";
    EXPECT_EQ(testutil::ReadFile(dir.file("highscores.dat")), table);
    EXPECT_EQ(testutil::ReadFile(dir.file("log1.html")), "log1.html");
}

INSTANTIATE_TEST_SUITE_P(FirstIn, SecondCopy, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& info) { return info.param ? "launcher" : "game"; });

}  // namespace
