// The shell's calls the game makes.
#pragma once

#include "win32.h"

// ---- File operations ----
#define FO_MOVE 0x0001
#define FO_COPY 0x0002
#define FO_DELETE 0x0003
#define FO_RENAME 0x0004
#define FOF_SILENT 0x0004
#define FOF_NOCONFIRMATION 0x0010
#define FOF_ALLOWUNDO 0x0040
#define FOF_NOERRORUI 0x0400
typedef WORD FILEOP_FLAGS;

typedef struct _SHFILEOPSTRUCTA {
    HWND hwnd;
    UINT wFunc;
    LPCSTR pFrom;  // one or more paths, each zero-terminated, the list ends with a second zero
    LPCSTR pTo;
    FILEOP_FLAGS fFlags;
    BOOL fAnyOperationsAborted;
    LPVOID hNameMappings;
    LPCSTR lpszProgressTitle;
} SHFILEOPSTRUCTA, *LPSHFILEOPSTRUCTA;

// Only FO_DELETE: each path of pFrom and everything below it is removed
// outright (there is no recycle bin). 0 on success, else an error code.
int SHFileOperationA(LPSHFILEOPSTRUCTA operation);
