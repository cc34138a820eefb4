// The launcher shown before the game window: Start, the setup, themes and
// bug-report dialogs, the online scores, web and history pages, tell a friend.
#pragma once

#include <win32.h>

// The instance every launcher dialog and the setup test window are made from.
extern HINSTANCE g_hPreloaderInstance;

// True when the game should start (Start, or no launcher could be shown).
bool RunPreloader(HINSTANCE instance);
INT_PTR CALLBACK PreloaderDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Makes the shell show the program's archive icon for theme archives (.kvr).
void RegisterThemeFileIcon();
// True when the last settings broadcast succeeded.
bool RefreshShellIconCache();
