// The icon of theme archives (.kvr) in the shell: the registry value the
// original shell reads, and on this desktop a shared-MIME type with its icon.
#include "Preloader.h"

#include "engine/Log.h"

#include <platform.h>
#include <shlobj.h>
#include <winuser.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

const int kArchiveIcon = 125;
const char* const kMimeType = "application/x-kolvar-theme";

// The icon resource ships as a PNG beside the program's data.
std::string IconFile(const std::string& programPath) {
    std::string folder = programPath.substr(0, programPath.find_last_of('/') + 1);
    std::string candidates[] = {folder + "data/icons/" + std::to_string(kArchiveIcon) + ".png",
                                "data/icons/" + std::to_string(kArchiveIcon) + ".png"};
    for (const std::string& c : candidates)
        if (platform::HostExists(c)) return c;
    if (const char* game = getenv("KOLVAR_GAME_DIR"))
        return std::string(game) + "/data/icons/" + std::to_string(kArchiveIcon) + ".png";
    return std::string();
}

// The desktop half: a MIME type for *.kvr whose icon is the archive icon.
void InstallMimeType(const std::string& programPath) {
    const platform::DesktopFileType installed =
        platform::InstallDesktopFileType(kMimeType, "*.kvr", "Kolvar theme archive", IconFile(programPath));
    if (!installed.homeKnown) {
        g_Log.PrintBold("red", "[PRELOADER] Error: no home folder known: the theme archive type is not installed");
        return;
    }
    if (!installed.typeWritten) g_Log.PrintBold("red", "[PRELOADER] Error: couldn't write the theme archive type");
    if (!installed.iconInstalled)
        g_Log.PrintBold("red", "[PRELOADER] Error: couldn't install the theme archive icon");
    SHChangeNotify(SHCNE_ASSOCCHANGED, 0, nullptr, nullptr);
}

}  // namespace

void RegisterThemeFileIcon() {
    char program[256];
    DWORD length = GetModuleFileNameA(nullptr, program, sizeof program - 1);
    program[length < sizeof program ? length : 0] = '\0';
    char wanted[300];
    snprintf(wanted, sizeof wanted, "%s,-%d", program, kArchiveIcon);

    bool current = false;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ".kvr\\DefaultIcon", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        char value[255];
        DWORD size = sizeof value;
        DWORD type = 0;
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<LPBYTE>(value), &size) == ERROR_SUCCESS &&
            size <= sizeof value) {
            value[size ? size - 1 : 0] = '\0';
            current = strcasecmp(value, wanted) == 0;
        }
        RegCloseKey(key);
    }
    if (current) return;

    DWORD disposition = 0;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, ".kvr\\DefaultIcon", 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                        nullptr, &key, &disposition) != ERROR_SUCCESS)
        return;
    LONG set = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wanted),
                              static_cast<DWORD>(strlen(wanted)));
    RegCloseKey(key);
    if (set == ERROR_SUCCESS) {
        InstallMimeType(program);
        RefreshShellIconCache();
    }
}

bool RefreshShellIconCache() {
    char folder[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, 0, folder))) {
        std::string file = std::string(folder) + "\\IconCache.db";
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
    }
    if (SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_WINDOWS, nullptr, 0, folder))) {
        std::string file = std::string(folder) + "\\ShellIconCache";
        SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(file.c_str());
    }

    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop\\WindowMetrics", 0, KEY_READ | KEY_WRITE, &key) !=
        ERROR_SUCCESS)
        return false;
    char buffer[16] = {0};
    DWORD size = sizeof buffer - 1;
    DWORD type = 0;
    int iconSize = 0;
    if (RegQueryValueExA(key, "Shell Icon Size", nullptr, &type, reinterpret_cast<LPBYTE>(buffer), &size) ==
        ERROR_SUCCESS)
        iconSize = atoi(buffer);
    if (iconSize < 4) iconSize = GetSystemMetrics(SM_CXICON);

    snprintf(buffer, sizeof buffer, "%d", iconSize - 1);
    if (RegSetValueExA(key, "Shell Icon Size", 0, REG_SZ, reinterpret_cast<const BYTE*>(buffer),
                       static_cast<DWORD>(strlen(buffer) + 1)) != ERROR_SUCCESS) {
        RegCloseKey(key);
        return false;
    }
    DWORD_PTR result = 0;
    SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, reinterpret_cast<LPARAM>("WindowMetrics"),
                        SMTO_ABORTIFHUNG, 10000, &result);
    snprintf(buffer, sizeof buffer, "%d", iconSize);
    RegSetValueExA(key, "Shell Icon Size", 0, REG_SZ, reinterpret_cast<const BYTE*>(buffer),
                   static_cast<DWORD>(strlen(buffer) + 1));
    LRESULT broadcast = SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0,
                                            reinterpret_cast<LPARAM>("WindowMetrics"), SMTO_ABORTIFHUNG, 10000, &result);
    SHChangeNotify(SHCNE_UPDATEIMAGE, SHCNF_DWORD | SHCNF_FLUSH, reinterpret_cast<LPCVOID>(static_cast<intptr_t>(-1)),
                   nullptr);
    RegCloseKey(key);
    return broadcast != 0;
}
