// Shell execution: documents, URLs and programs opened the way the desktop would.
#pragma once

#include "win32.h"

#define SE_ERR_FNF 2
#define SE_ERR_NOASSOC 31

// Verb "open" (or null). A ".url" file opens the address of its URL= line; a
// program (a regular file with execute permission) is started in the given
// folder with the parameters split at blanks, not waited for; anything else
// goes to xdg-open, detached. The show flag is ignored. Returns a value above
// 32 on success, SE_ERR_FNF for a file that does not exist.
// KOLVAR_SHELL_LOG=<file>: each call appends one tab-separated line
// (verb, file, parameters, folder, target, show) and starts nothing.
HINSTANCE ShellExecuteA(HWND window, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory, INT show);

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
