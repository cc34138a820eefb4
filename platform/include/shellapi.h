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
