#include "Preloader.h"

#include "LauncherHooks.h"
#include "LauncherScript.h"
#include "SetupDialog.h"
#include "ThemeArchive.h"
#include "ThemesDialog.h"
#include "launcher/BugReport.h"
#include "audio/SoundEngine.h"
#include "engine/Log.h"
#include "engine/Settings.h"

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

// Read at every press: the file may have been changed meanwhile.
void OpenFromConfig(settings::Id file) {
    std::string target = settings::ReadText(file);
    ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

void ShowNested(WORD id, DLGPROC proc) {
    DialogBoxParamA(g_hPreloaderInstance, MAKEINTRESOURCEA(id), nullptr, proc, 0);
}

void InitDialog(HWND dialog) {
    RegisterThemeFileIcon();
    std::string logoFile = settings::ReadText(settings::Id::LogoFile);
    std::string start = settings::ReadText(settings::Id::StartButton);
    std::string themes = settings::ReadText(settings::Id::ThemesButton);
    std::string web = settings::ReadText(settings::Id::WebButton);
    std::string setup = settings::ReadText(settings::Id::SetupButton);
    std::string history = settings::ReadText(settings::Id::HistoryButton);
    std::string title = settings::ReadText(settings::Id::Title);
    std::string scores = settings::ReadText(settings::Id::ScoresButton);
    std::string bugReport = settings::ReadText(settings::Id::BugReportButton);
    int onlineScores = settings::ReadInt(settings::Id::EnableOnlineHighscores);

    if (g_Logo) DeleteObject(g_Logo);
    g_Logo = LoadImageA(nullptr, logoFile.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
    if (g_Logo) SendDlgItemMessageA(dialog, kPreloaderLogo, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(g_Logo));

    SetDlgItemTextA(dialog, kPreloaderBugReport, bugReport.c_str());
    SetDlgItemTextA(dialog, kPreloaderTell, settings::ReadText(settings::Id::TellButton).c_str());
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
                case kPreloaderWeb: OpenFromConfig(settings::Id::WebFile); break;
                case kPreloaderHistory: OpenFromConfig(settings::Id::HistoryFile); break;
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
