// The setup dialog: screen mode with a device test, and the user playlist.
#pragma once

#include <d3d9.h>
#include <win32.h>

#include <string>
#include <vector>

const WORD kSetupDialog = 120;

// Controls of the setup dialog.
enum : INT {
    kSetupMode = 1013,
    kSetupSongs = 1017,
    kSetupAdd = 1018,
    kSetupRemove = 1019,
    kSetupPlay = 1020,
    kSetupRemoveAll = 1021,
    kSetupTest = 1022,
    kSetupUp = 1023,
    kSetupDown = 1024,
    kSetupFullScreen = 1025,
    kSetupStop = 1026,
    kSetupClose = 1027,
};

// Modes of at least 640 x 480, one per resolution, narrowest first.
extern std::vector<D3DDISPLAYMODE> g_DisplayModes16;
extern std::vector<D3DDISPLAYMODE> g_DisplayModes32;
extern IDirect3D9* g_pSetupD3D;
// Full paths of the songs being edited, in list order.
extern std::vector<std::string> g_SongList;

INT_PTR CALLBACK SetupDlgProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

void SetupDlg_CreateD3D9();
void SetupDlg_ReleaseD3D9();
void SetupDlg_EnumDisplayModes();
bool CompareDisplayModes(const D3DDISPLAYMODE& a, const D3DDISPLAYMODE& b);
// The modes the Mode list offers for a colour depth (16, else 32), made without
// the setup's log lines; empty when Direct3D cannot be created.
std::vector<D3DDISPLAYMODE> DisplayModesOfDepth(int bits);
void SetupDlg_LoadVideoSettings(HWND modeCombo, HWND fullScreenBox);
void SetupDlg_SaveVideoSettings(HWND modeCombo, HWND fullScreenBox);
bool SetupDlg_RunTestMode();
void SetupDlg_EnableControls(HWND dialog);

void SetupDlg_LoadPlaylist(HWND list);
void SetupDlg_SavePlaylist();
void SetupDlg_AddSongs(HWND dialog, HWND list);
void SetupDlg_RemoveSong(HWND list);
void SetupDlg_RemoveAllSongs(HWND list);
void SetupDlg_MoveSongUp(HWND list);
void SetupDlg_MoveSongDown(HWND list);
void SetupDlg_PlaySong(HWND list);
void SetupDlg_StopSong();
std::string SetupDlg_SplitPath(const std::string& path);
