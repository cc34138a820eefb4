// Version resources of modules. Our modules carry theirs as an exported table
// of strings (see KOLVAR_VERSION_TABLE); the block is read by VerQueryValueA
// under "\StringFileInfo\040904E4\<key>".
#pragma once

#include "win32.h"

// Exported by a module: { key, value, key, value, ..., nullptr }.
#define KOLVAR_VERSION_TABLE "KolvarVersionStrings"

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle);
BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD handle, DWORD length, LPVOID data);
BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length);

#define ERROR_RESOURCE_DATA_NOT_FOUND 1812L
#define ERROR_RESOURCE_TYPE_NOT_FOUND 1813L
