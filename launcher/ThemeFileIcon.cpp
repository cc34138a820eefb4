// The icon of theme archives (.kvr) in the shell: the registry value the
// original shell reads, and on this desktop a shared-MIME type with its icon.
#include "Preloader.h"

#include "engine/Log.h"

#include <platform.h>
#include <shlobj.h>
#include <winuser.h>

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

const int kArchiveIcon = 125;
const char* const kMimeType = "application/x-kolvar-theme";

std::string DataHome() {
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && *xdg) return xdg;
    // Empty when no home folder is known: the desktop files are then not written.
    const std::string home = platform::HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

void MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
}

// The icon resource ships as a PNG beside the program's data.
std::string IconFile(const std::string& programPath) {
    std::string folder = programPath.substr(0, programPath.find_last_of('/') + 1);
    std::string candidates[] = {folder + "data/icons/" + std::to_string(kArchiveIcon) + ".png",
                                "data/icons/" + std::to_string(kArchiveIcon) + ".png"};
    for (const std::string& c : candidates) {
        struct stat st;
        if (stat(c.c_str(), &st) == 0) return c;
    }
    if (const char* game = getenv("KOLVAR_GAME_DIR"))
        return std::string(game) + "/data/icons/" + std::to_string(kArchiveIcon) + ".png";
    return std::string();
}

bool CopyFile(const std::string& from, const std::string& to) {
    std::ifstream in(from, std::ios::binary);
    if (!in) return false;
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    out << in.rdbuf();
    return static_cast<bool>(out);
}

// The desktop half: a MIME type for *.kvr whose icon is the archive icon.
void InstallMimeType(const std::string& programPath) {
    std::string home = DataHome();
    if (home.empty()) {
        g_Log.PrintBold("red", "[PRELOADER] Error: no home folder known: the theme archive type is not installed");
        return;
    }
    MakeFolders(home + "/mime/packages");
    std::ofstream xml(home + "/mime/packages/kolvar-theme.xml", std::ios::trunc);
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\""
        << kMimeType
        << "\">\n"
           "    <comment>Kolvar theme archive</comment>\n"
           "    <icon name=\"application-x-kolvar-theme\"/>\n"
           "    <glob pattern=\"*.kvr\" case-sensitive=\"false\"/>\n"
           "  </mime-type>\n"
           "</mime-info>\n";
    if (!xml) g_Log.PrintBold("red", "[PRELOADER] Error: couldn't write the theme archive type");
    std::string icon = IconFile(programPath);
    std::string folder = home + "/icons/hicolor/32x32/mimetypes";
    MakeFolders(folder);
    if (icon.empty() || !CopyFile(icon, folder + "/application-x-kolvar-theme.png"))
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
