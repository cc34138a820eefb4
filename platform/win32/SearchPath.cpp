// SearchPathA: finds a file along the system's search order for files.
#include "ModuleInternal.h"
#include "platform.h"
#include "winbase.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

std::string Absolute(const std::string& path) {
    if (!path.empty() && path[0] == '/') return path;
    char cwd[4096];
    if (!getcwd(cwd, sizeof cwd)) return path;
    std::string p = path;
    while (p.compare(0, 2, "./") == 0) p.erase(0, 2);
    return std::string(cwd) + "/" + p;
}

std::vector<std::string> SplitList(const std::string& list, char separator) {
    std::vector<std::string> items;
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(separator, start);
        if (end == std::string::npos) end = list.size();
        if (end > start) items.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::string WindowsFolder() {
    const char* dir = getenv("KOLVAR_GAME_DIR");
    std::string game = dir && *dir ? std::string(dir) : winimpl::ExecutableFolder();
    return game.empty() ? std::string() : game + "/windows";
}

// Program folder, current folder, the system folders, then $PATH. A module name
// also tries the folders LoadLibraryA falls back on, right after the current one.
std::vector<std::string> StandardFolders(bool module) {
    std::vector<std::string> folders;
    std::string exe = winimpl::ExecutableFolder();
    if (!exe.empty()) folders.push_back(exe);
    folders.push_back(".");
    if (module)
        for (const std::string& f : winimpl::ModuleSearchFolders())
            if (f != "." && f != exe) folders.push_back(f);
    std::string windows = WindowsFolder();
    if (!windows.empty()) {
        folders.push_back(windows + "/system32");
        folders.push_back(windows);
    }
    if (const char* path = getenv("PATH"))
        for (const std::string& f : SplitList(path, ':')) folders.push_back(f);
    return folders;
}

}  // namespace

DWORD SearchPathA(LPCSTR path, LPCSTR fileName, LPCSTR extension, DWORD bufferLength, LPSTR buffer,
                  LPSTR* filePart) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::string name(fileName);
    size_t sep = name.find_last_of("\\/");
    std::string base = sep == std::string::npos ? name : name.substr(sep + 1);
    if (extension && *extension && base.find('.') == std::string::npos) name += extension;
    bool module = winimpl::IsModuleName(name);
    if (module && winimpl::IsMarkedMissing(base)) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }

    std::vector<std::string> candidates;
    if (sep != std::string::npos) {
        candidates.push_back(platform::HostPath(name.c_str()));
    } else {
        std::vector<std::string> folders;
        if (path && *path) {
            for (const std::string& f : SplitList(path, ';')) folders.push_back(platform::HostPath(f.c_str()));
        } else {
            folders = StandardFolders(module);
        }
        for (const std::string& folder : folders) {
            candidates.push_back(platform::HostPath((folder + "/" + name).c_str()));
            if (module) candidates.push_back(folder + "/" + winimpl::HostModuleName(name));
        }
    }

    for (const std::string& candidate : candidates) {
        if (!IsRegularFile(candidate)) continue;
        std::string full = Absolute(candidate);
        DWORD length = static_cast<DWORD>(full.size());
        if (!buffer || bufferLength <= length) return length + 1;
        memcpy(buffer, full.c_str(), full.size() + 1);
        if (filePart) *filePart = buffer + full.rfind('/') + 1;
        SetLastError(ERROR_SUCCESS);
        return length;
    }
    SetLastError(ERROR_FILE_NOT_FOUND);
    return 0;
}

// Weak: the shell's folder functions may bring their own definition.
__attribute__((weak)) UINT GetWindowsDirectoryA(LPSTR buffer, UINT size) {
    std::string folder = WindowsFolder();
    if (folder.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return 0;
    }
    UINT length = static_cast<UINT>(folder.size());
    if (!buffer || size <= length) return length + 1;
    memcpy(buffer, folder.c_str(), folder.size() + 1);
    return length;
}
