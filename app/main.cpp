// Entry point of the game: checks the options and the display, then runs the
// game from the current folder, or from the program's folder when the current
// one holds no game data. --frames, --key and --capture and the
// KOLVAR_INPUT_SCRIPT file script a run for tests (see --help).
#include "app/InputScript.h"
#include "app/MainLoop.h"
#include "app/Startup.h"
#include "app/WindowProc.h"
#include "engine/GraphicsEngine.h"
#include "engine/Log.h"
#include "engine/Settings.h"
#include "launcher/ThemeArchive.h"

#include <crt.h>
#include <platform.h>
#include <testaid.h>
#include <win32.h>
#include <winuser.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char kUsage[] =
    "Usage: kolvar [options]\n"
    "Runs the game from the current folder (config.ini, data/), or from the program's\n"
    "folder when the current one has no data/. A display is needed.\n"
    "\n"
    "Options:\n"
    "  --frames N            stop after N frames\n"
    "  --key FRAME:CODE      test aid: press the key with DirectInput scan code CODE\n"
    "                        at frame FRAME and release it one frame later (input then\n"
    "                        comes only from such keys)\n"
    "  --capture FRAME:FILE  test aid: write the picture of frame FRAME as a PNG file\n"
    "  --help                show this text\n";

const char kAlreadyRunning[] =
    "The game is already running from this folder.\n Only one copy at a time can use its settings and scores.";

struct ScriptedKey {
    long frame;
    int code;
};
struct Capture {
    long frame;
    std::string file;
};

bool ParseCount(const char* text, long& out) {
    char* end = nullptr;
    errno = 0;
    long n = strtol(text, &end, 10);
    if (!text[0] || !end || *end != '\0' || errno != 0 || n < 0) return false;
    out = n;
    return true;
}

// "FRAME:REST" -> frame and the text after the colon.
bool SplitFrame(const char* text, long& frame, std::string& rest) {
    const char* colon = strchr(text, ':');
    if (!colon || !colon[1]) return false;
    return ParseCount(std::string(text, colon).c_str(), frame) && (rest = colon + 1, true);
}

long g_frameLimit = -1;
long g_framesDrawn = 0;
std::vector<ScriptedKey> g_keys;
std::vector<Capture> g_captures;

// Test aids run between frames: keys pressed and released, pictures written.
void RunTestAids() {
    const long frame = g_framesDrawn;
    for (const ScriptedKey& k : g_keys) {
        if (k.frame == frame) platform::testaid::PressKey(k.code, true);
        if (k.frame + 1 == frame) platform::testaid::PressKey(k.code, false);
    }
    if (g_frameLimit >= 0 && frame >= g_frameLimit) g_bExitRequested = true;
}

void OnFramePresented() {
    CGraphicsEngine* engine = CGraphicsEngine::GetInstancePtr();
    for (const Capture& c : g_captures)
        if (c.frame == g_framesDrawn && engine &&
            !platform::testaid::CaptureBackBuffer(engine->GetDevice(), c.file.c_str()))
            fprintf(stderr, "kolvar: could not capture frame %ld into %s\n", c.frame, c.file.c_str());
    ++g_framesDrawn;
}

// Temporaries that interrupted safe writes of the game's own files left behind.
void RemoveSaveLeftovers() {
    const std::string scores = settings::ReadText(settings::Id::LocalScoresFile);
    for (const std::string& name : {std::string(settings::kConfigFile), std::string("playlist.ini"), scores}) {
        if (name.empty()) continue;
        if (const int removed = platform::RemoveSafeWriteLeftovers(platform::HostPath(name.c_str())))
            g_Log.Print("gray", "removed %d temporary file(s) of an interrupted save of %s", removed, name.c_str());
    }
}

platform::FolderLock g_folderLock = platform::FolderLock::Held;
int g_folderLockError = 0;

// Runs before any static object is built: the log opens log.html in the
// current folder, which must already be the game's. The launcher and the game
// it starts are this one process, so this one lock covers both; a second copy
// leaves the folder before the log can rotate the first one's.
void EnterGameFolder(int argc, char** argv, char**) {
    platform::EnterProgramFolder(argc > 0 ? argv[0] : nullptr);
    g_folderLock = platform::LockCurrentFolder(&g_folderLockError);
    if (g_folderLock == platform::FolderLock::Busy) platform::LeaveForVanishedFolder();
}
__attribute__((section(".preinit_array"), used)) void (*const g_EnterGameFolder)(int, char**, char**) = EnterGameFolder;

}  // namespace

int main(int argc, char** argv) {
    // From here a logout or Ctrl+C closes the launcher or the game the normal way.
    platform::CatchQuitSignals();
    crt_use_c_locale();
    long frameLimit = -1;
    std::vector<ScriptedKey> keys;
    std::vector<Capture> captures;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
        long frame = 0;
        std::string rest;
        if (strcmp(arg, "--help") == 0 || strcmp(arg, "-h") == 0) {
            fputs(kUsage, stdout);
            return 0;
        } else if (strcmp(arg, "--frames") == 0 && value && ParseCount(value, frameLimit)) {
            ++i;
        } else if (strcmp(arg, "--key") == 0 && value && SplitFrame(value, frame, rest)) {
            long code = 0;
            if (!ParseCount(rest.c_str(), code) || code > 255) {
                fprintf(stderr, "kolvar: bad key code in '%s' (try --help)\n", value);
                return 2;
            }
            keys.push_back({frame, static_cast<int>(code)});
            ++i;
        } else if (strcmp(arg, "--capture") == 0 && value && SplitFrame(value, frame, rest)) {
            captures.push_back({frame, rest});
            ++i;
        } else {
            fprintf(stderr, "kolvar: unknown option or bad value '%s' (try --help)\n", arg);
            return 2;
        }
    }

    if (g_folderLock == platform::FolderLock::Busy) {
        MessageBoxA(nullptr, kAlreadyRunning, "Error !", MB_OK | MB_ICONERROR);
        return 1;
    }
    if (g_folderLock == platform::FolderLock::Unavailable)
        g_Log.PrintBold("red", "Error, the game folder cannot be locked (%s): another copy started here is not stopped",
                        strerror(g_folderLockError));

    // Without a display SDL would run the game invisibly; say so and stop.
    if (!platform::HasDisplay()) {
        fprintf(stderr, "kolvar: no display found; the game needs a graphical session to run.\n");
        g_Log.PrintBold("red", "Error: no display available.");
        return 1;
    }
    if (!keys.empty()) platform::testaid::UseInjectedInput();
    g_frameLimit = frameLimit;
    g_keys = keys;
    g_captures = captures;
    if (frameLimit >= 0 || !keys.empty() || !captures.empty()) {
        SetIdlePassHook(RunTestAids);
        SetFramePresentedHook(OnFramePresented);
    }
    if (!StartInputScript(getenv("KOLVAR_INPUT_SCRIPT"))) return 2;
    RemoveSaveLeftovers();
    FinishInterruptedThemeInstalls();

    std::string commandLine;
    for (int i = 1; i < argc; ++i) commandLine += std::string(i > 1 ? " " : "") + argv[i];
    crt_use_c_locale();
    const int result = WinMain(nullptr, nullptr, &commandLine[0], SW_SHOWNORMAL);
    // WinMain says 0 either way; whoever started the game learns that it never ran.
    if (StartupFailed()) return 1;
    return InputScriptExitCode(result);
}
