// Shell folders, change notification and the few file and module queries the
// launcher needs.
#include "platform.h"
#include "shlobj.h"
#include "winbase.h"
#include "winuser.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

extern char** environ;

namespace {

void MakeFolders(const std::string& path) {
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/') mkdir(path.substr(0, i).c_str(), 0755);
}

bool CopyOut(const std::string& value, LPSTR buffer, size_t size) {
    if (!buffer || value.size() + 1 > size) return false;
    memcpy(buffer, value.c_str(), value.size() + 1);
    return true;
}

std::string DataHome() {
    const char* xdg = getenv("XDG_DATA_HOME");
    if (xdg && *xdg) return xdg;
    // Empty when no home folder is known: nothing is written then.
    const std::string home = platform::HomeFolder();
    return home.empty() ? std::string() : home + "/.local/share";
}

// The one Windows folder of the layer, the one GetWindowsDirectoryA names.
std::string WindowsFolder() {
    char dir[4096];
    UINT length = GetWindowsDirectoryA(dir, sizeof dir);
    return length > 0 && length < sizeof dir ? std::string(dir) : std::string();
}

}  // namespace

HRESULT SHGetFolderPathA(HWND, INT folder, HANDLE, DWORD, LPSTR path) {
    std::string dir;
    if (folder == CSIDL_LOCAL_APPDATA)
        dir = DataHome().empty() ? std::string() : DataHome() + "/kolvar";
    else if (folder == CSIDL_WINDOWS)
        dir = WindowsFolder();
    else
        return E_INVALIDARG;
    if (dir.empty()) return E_FAIL;
    MakeFolders(dir);
    return CopyOut(dir, path, MAX_PATH) ? S_OK : E_FAIL;
}

void SHChangeNotify(LONG eventId, UINT, LPCVOID, LPCVOID) {
    if (!(eventId & (SHCNE_UPDATEIMAGE | SHCNE_ASSOCCHANGED))) return;
    if (DataHome().empty()) return;
    std::string mime = DataHome() + "/mime";
    if (const char* log = getenv("KOLVAR_SHELL_LOG")) {
        if (*log) {
            if (FILE* f = fopen(log, "ab")) {
                fprintf(f, "SHChangeNotify\t%ld\t%s\n", static_cast<long>(eventId), mime.c_str());
                fclose(f);
            }
            return;
        }
    }
    struct stat st;
    if (stat((mime + "/packages").c_str(), &st) != 0) return;
    // Not system(): it ignores SIGINT while it waits, and a Ctrl+C must still close the launcher.
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_adddup2(&quiet, 1, 2);
    char* argv[] = {const_cast<char*>("update-mime-database"), const_cast<char*>(mime.c_str()), nullptr};
    pid_t pid = 0;
    int status = -1;
    if (posix_spawnp(&pid, argv[0], &quiet, nullptr, argv, environ) == 0)
        while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    posix_spawn_file_actions_destroy(&quiet);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fprintf(stderr, "[shell] update-mime-database failed\n");
}

BOOL SetFileAttributesA(LPCSTR fileName, DWORD attributes) {
    if (!fileName) return FALSE;
    std::string host = platform::HostPath(fileName);
    struct stat st;
    if (stat(host.c_str(), &st) != 0) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    mode_t mode = st.st_mode & 07777;
    mode = (attributes & FILE_ATTRIBUTE_READONLY) ? (mode & ~0222) : (mode | 0200);
    if (chmod(host.c_str(), mode) != 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    return TRUE;
}

DWORD GetModuleFileNameA(HMODULE module, LPSTR fileName, DWORD size) {
    if (module) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return 0;
    path[n] = '\0';
    if (!CopyOut(path, fileName, size)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return static_cast<DWORD>(n);
}

namespace platform {

DesktopFileType InstallDesktopFileType(const std::string& mimeType, const std::string& glob,
                                       const std::string& comment, const std::string& iconFile) {
    DesktopFileType result{false, false, false};
    const std::string home = DataHome();
    if (home.empty()) return result;
    result.homeKnown = true;
    // "application/x-kolvar-theme": the package file kolvar-theme.xml, the icon application-x-kolvar-theme.
    std::string package = mimeType.substr(mimeType.find('/') + 1);
    if (package.compare(0, 2, "x-") == 0) package.erase(0, 2);
    std::string iconName = mimeType;
    for (char& c : iconName)
        if (c == '/') c = '-';

    MakeFolders(home + "/mime/packages");
    std::ofstream xml(home + "/mime/packages/" + package + ".xml", std::ios::trunc);
    xml << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
           "  <mime-type type=\""
        << mimeType << "\">\n    <comment>" << comment << "</comment>\n    <icon name=\"" << iconName
        << "\"/>\n    <glob pattern=\"" << glob << "\" case-sensitive=\"false\"/>\n  </mime-type>\n</mime-info>\n";
    xml.close();
    result.typeWritten = static_cast<bool>(xml);

    const std::string folder = home + "/icons/hicolor/32x32/mimetypes";
    MakeFolders(folder);
    std::ifstream in(iconFile, std::ios::binary);
    if (!iconFile.empty() && in) {
        std::ofstream out(folder + "/" + iconName + ".png", std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        out.close();
        result.iconInstalled = static_cast<bool>(out);
    }
    return result;
}

}  // namespace platform
