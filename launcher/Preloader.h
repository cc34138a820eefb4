// The launcher shown before the game window: Start, the setup, themes and
// bug-report dialogs, the online scores, web and history pages, tell a friend.
#pragma once

#include <win32.h>

// Controls of the launcher dialog.
enum : INT {
    kPreloaderStart = 1002,
    kPreloaderWeb = 1003,
    kPreloaderHistory = 1004,
    kPreloaderLogo = 1005,
    kPreloaderScores = 1007,
    kPreloaderSetup = 1008,
    kPreloaderTell = 1009,
    kPreloaderBugReport = 1013,
    kPreloaderThemes = 1028,
};

// The instance every launcher dialog and the setup test window are made from.
extern HINSTANCE g_hPreloaderInstance;

// True when the game should start (Start, or no launcher could be shown).
bool RunPreloader(HINSTANCE instance);
INT_PTR CALLBACK PreloaderDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the shell show the program's archive icon for theme archives (.kvr).
void RegisterThemeFileIcon();
// True when the last settings broadcast succeeded.
bool RefreshShellIconCache();
