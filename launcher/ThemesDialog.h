// The themes dialog: lists the installed themes with a picture of the chosen
// one, installs and removes themes and stores the choice for the game.
#pragma once

#include <win32.h>
#include <wingdi.h>

#include <map>
#include <string>

const WORD kThemesDialog = 121;

// Controls of the themes dialog.
enum : INT {
    kThemesList = 1030,
    kThemesPicture = 1031,
    kThemesAdd = 1032,
    kThemesRemove = 1033,
    kThemesDownload = 1034,
    kThemesRandom = 1035,
    kThemesClose = 1036,
    kThemesListGroup = 1037,
    kThemesPictureGroup = 1038,
};

// Display name -> folder name; list line i is entry i.
extern std::map<std::string, std::string> g_ThemesDlgFolders;
// Display name -> logo, only for the themes whose logo.bmp loaded.
extern std::map<std::string, HBITMAP> g_ThemesDlgPictures;
extern int g_ThemesDlgSelection;

INT_PTR CALLBACK ThemesDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void ThemesDlg_FillThemeList(HWND list);
void ThemesDlg_UpdateSelection(HWND dialog);
void ThemesDlg_OnSelChange(HWND dialog);
void ThemesDlg_AddTheme(HWND dialog);
void ThemesDlg_RemoveTheme(HWND dialog);
void ThemesDlg_OnRandom(HWND dialog);
void ThemesDlg_OpenDownloadPage(HWND dialog);
void ThemesDlg_SaveChoice(HWND dialog);
// The pictures outlive the dialog (a later opening shows them at once); the
// launcher frees them when it ends.
void ThemesDlg_ReleasePictures();
