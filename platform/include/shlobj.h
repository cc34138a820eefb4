// Shell folders and change notification.
#pragma once

#include "win32.h"

#define CSIDL_WINDOWS 0x0024
#define CSIDL_LOCAL_APPDATA 0x001c
#define SHGFP_TYPE_CURRENT 0

// CSIDL_LOCAL_APPDATA is $XDG_DATA_HOME/kolvar (~/.local/share/kolvar),
// CSIDL_WINDOWS the layer's Windows folder; both made when missing.
HRESULT SHGetFolderPathA(HWND owner, INT folder, HANDLE token, DWORD flags, LPSTR path);

#define SHCNE_UPDATEIMAGE 0x00008000L
#define SHCNE_ASSOCCHANGED 0x08000000L
#define SHCNF_DWORD 0x0003
#define SHCNF_FLUSH 0x1000

// The desktop learns about new file types from the shared MIME database:
// image and association changes rebuild $XDG_DATA_HOME/mime when the
// database tool is installed. Recorded instead when KOLVAR_SHELL_LOG is set.
void SHChangeNotify(LONG eventId, UINT flags, LPCVOID item1, LPCVOID item2);
