#include "Preloader.h"

#include "LauncherHooks.h"
#include "LauncherScript.h"
#include "SetupDialog.h"
#include "ThemeArchive.h"
#include "ThemesDialog.h"
#include "launcher/BugReport.h"
#include "audio/SoundEngine.h"
#include "engine/Ini.h"
#include "engine/Log.h"

#include <dlgtemplate.h>
#include <platform.h>
#include <shellapi.h>
#include <wingdi.h>
#include <winuser.h>

#include <cstdlib>
#include <cstring>
#include <string>

HINSTANCE g_hPreloaderInstance = nullptr;

namespace {

using platform::DialogControlClass;

const WORD kPreloaderDialog = 9;
const DWORD kButton = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON;

const platform::DialogTemplateRegistrar g_PreloaderTemplate({
    kPreloaderDialog,
    "Kolvar",
    WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_CENTER | DS_SETFONT,
    235,
    156,
    "MS Shell Dlg",
    8,
    {
        {DialogControlClass::Static, kPreloaderLogo, "", WS_CHILD | WS_VISIBLE | SS_BITMAP | SS_SUNKEN | WS_BORDER, 0, 1, 17, 15},
        {DialogControlClass::Button, kPreloaderStart, "Start", kButton, 163, 7, 70, 16},
        {DialogControlClass::Button, kPreloaderThemes, "Themes", kButton, 163, 24, 70, 16},
        {DialogControlClass::Button, kPreloaderSetup, "Setup", kButton, 163, 41, 70, 16},
        {DialogControlClass::Button, kPreloaderScores, "Online scores", kButton, 163, 64, 70, 16},
        {DialogControlClass::Button, kPreloaderWeb, "Web", kButton, 163, 81, 70, 16},
        {DialogControlClass::Button, kPreloaderHistory, "History", kButton, 163, 98, 70, 16},
        {DialogControlClass::Button, kPreloaderTell, "Tell a friend", kButton, 49, 118, 90, 16},
        {DialogControlClass::Button, kPreloaderBugReport, "Bug report", kButton, 152, 118, 82, 16},
    },
});

void (*g_OnlineScoresHook)() = nullptr;
// The static control shows the logo but does not own it.
HANDLE g_Logo = nullptr;

std::string Preloader(const char* key) { return ReadIniString("config.ini", "preloader", key); }

void OpenFromConfig(const char* key) {
    std::string target = Preloader(key);
    ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowNested(WORD id, DLGPROC proc) {
    DialogBoxParamA(g_hPreloaderInstance, MAKEINTRESOURCEA(id), nullptr, proc, 0);
}

void InitDialog(HWND dialog) {
    RegisterThemeFileIcon();
    std::string logoFile = Preloader("logo_file");
    std::string start = Preloader("start_button");
    std::string themes = Preloader("themes_button");
    std::string web = Preloader("web_button");
    std::string setup = Preloader("setup_button");
    std::string history = Preloader("history_button");
    std::string title = Preloader("title");
    std::string scores = Preloader("scores_button");
    std::string bugReport = Preloader("bug_report_button");
    int onlineScores = ReadIniInt("config.ini", "preloader", "enable_online_highscores");

    if (g_Logo) DeleteObject(g_Logo);
    g_Logo = LoadImageA(nullptr, logoFile.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    if (g_Logo) SendDlgItemMessageA(dialog, kPreloaderLogo, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(g_Logo));

    SetDlgItemTextA(dialog, kPreloaderBugReport, bugReport.c_str());
    SetDlgItemTextA(dialog, kPreloaderTell, Preloader("tell_button").c_str());
    SetDlgItemTextA(dialog, kPreloaderStart, start.c_str());
    SetDlgItemTextA(dialog, kPreloaderWeb, web.c_str());
    SetDlgItemTextA(dialog, kPreloaderSetup, setup.c_str());
    SetDlgItemTextA(dialog, kPreloaderThemes, themes.c_str());
    SetDlgItemTextA(dialog, kPreloaderHistory, history.c_str());
    SetDlgItemTextA(dialog, kPreloaderScores, scores.c_str());
    SetWindowTextA(dialog, title.c_str());
    if (onlineScores == 0) ShowWindow(GetDlgItem(dialog, kPreloaderScores), SW_HIDE);
}

}  // namespace

void SetOnlineScoresHook(void (*openOnlineScores)()) { g_OnlineScoresHook = openOnlineScores; }

INT_PTR CALLBACK PreloaderDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case kPreloaderStart: EndDialog(dialog, 1); break;
                case kPreloaderThemes: ShowNested(kThemesDialog, ThemesDlgProc); break;
                case kPreloaderSetup: ShowNested(kSetupDialog, SetupDlgProc); break;
                case kPreloaderScores:
                    if (g_OnlineScoresHook)
                        g_OnlineScoresHook();
                    else
                        g_Log.Print("gray", "[PRELOADER] online scores are not available");
                    break;
                case kPreloaderWeb: OpenFromConfig("web_file"); break;
                case kPreloaderHistory: OpenFromConfig("history_file"); break;
                case kPreloaderTell: ShellExecuteA(nullptr, "open", "tell.exe", nullptr, nullptr, SW_SHOWNORMAL); break;
                case kPreloaderBugReport: ShowNested(kBugReportDialog, BugReportDlgProc); break;
                default: break;
            }
            return TRUE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return FALSE;
        default: return FALSE;
    }
}

bool RunPreloader(HINSTANCE instance) {
    g_hPreloaderInstance = instance;
    FinishInterruptedThemeInstalls();
    // Scripted runs and machines without a desktop never wait for a person.
    const char* mode = getenv("KOLVAR_LAUNCHER");
    const char* inputScript = getenv("KOLVAR_INPUT_SCRIPT");
    if ((mode && strcmp(mode, "start") == 0) || (inputScript && *inputScript) || !platform::HasDisplay()) return true;
    if (mode && strncmp(mode, "script:", 7) == 0 && !QueueLauncherScript(mode + 7)) return true;
    g_Log.Print("gray", "[PRELOADER] launcher open");
    INT_PTR result = DialogBoxParamA(instance, MAKEINTRESOURCEA(kPreloaderDialog), nullptr, PreloaderDlgProc, 0);
    if (g_Logo) DeleteObject(g_Logo);
    g_Logo = nullptr;
    ThemesDlg_ReleasePictures();
    // A song previewed in the setup left the sound engine running; without a game nobody would stop it.
    if (result == 0 && CSoundEngine::HasInstance()) delete CSoundEngine::GetInstancePtr();
    return result != 0;
}
