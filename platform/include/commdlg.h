// The open-file dialog, over GTK's file chooser.
#pragma once

#include "winuser.h"

typedef struct tagOFNA {
    DWORD lStructSize;
    HWND hwndOwner;
    HINSTANCE hInstance;
    LPCSTR lpstrFilter;  // "label\0patterns\0...\0\0", patterns separated by ';'
    LPSTR lpstrCustomFilter;
    DWORD nMaxCustFilter;
    DWORD nFilterIndex;  // 1-based; 0 takes the first
    LPSTR lpstrFile;
    DWORD nMaxFile;
    LPSTR lpstrFileTitle;
    DWORD nMaxFileTitle;
    LPCSTR lpstrInitialDir;
    LPCSTR lpstrTitle;
    DWORD Flags;
    WORD nFileOffset;
    WORD nFileExtension;
    LPCSTR lpstrDefExt;
    LPARAM lCustData;
    void* lpfnHook;
    LPCSTR lpTemplateName;
} OPENFILENAMEA, *LPOPENFILENAMEA;

#define OFN_READONLY 0x00000001
#define OFN_HIDEREADONLY 0x00000004
#define OFN_NOCHANGEDIR 0x00000008
#define OFN_PATHMUSTEXIST 0x00000800
#define OFN_FILEMUSTEXIST 0x00001000
#define OFN_EXPLORER 0x00080000

#define FNERR_BUFFERTOOSMALL 0x3003
#define CDERR_DIALOGFAILURE 0xFFFF

// The chosen file's full path and name go to the caller's buffers; a path that
// does not fit is refused (FALSE, CommDlgExtendedError FNERR_BUFFERTOOSMALL),
// never cut. The current folder is left as it was.
BOOL GetOpenFileNameA(LPOPENFILENAMEA ofn);
// Why the last GetOpenFileNameA returned FALSE; 0 when the user cancelled.
DWORD CommDlgExtendedError();
