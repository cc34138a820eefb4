// Run-time modules. The game loads its audio, unzip and mail libraries by their
// Windows names; each one is a shared object of ours in the game folder
// ("sound.dll" -> "sound.so"), so a missing module fails the same way.
#include "ModuleInternal.h"
#include "platform.h"
#include "win32.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <string>
#include <vector>

#ifndef KOLVAR_DEFAULT_GAME_DIR
#define KOLVAR_DEFAULT_GAME_DIR "."
#endif

namespace {

std::string Lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

}  // namespace

namespace winimpl {

bool IsModuleName(const std::string& name) {
    std::string lower = Lower(name);
    return lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".dll") == 0;
}

std::string HostModuleName(const std::string& name) {
    std::string lower = Lower(name);
    if (lower.size() >= 4 && lower.compare(lower.size() - 4, 4, ".dll") == 0)
        lower.replace(lower.size() - 4, 4, ".so");
    return lower;
}

bool IsMarkedMissing(const std::string& name) {
    const char* list = getenv("KOLVAR_MISSING_MODULES");
    if (!list || !*list) return false;
    std::string wanted = Lower(name);
    std::string all = Lower(list);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find(',', start);
        if (end == std::string::npos) end = all.size();
        std::string item = all.substr(start, end - start);
        while (!item.empty() && isspace(static_cast<unsigned char>(item.front()))) item.erase(0, 1);
        while (!item.empty() && isspace(static_cast<unsigned char>(item.back()))) item.pop_back();
        if (!item.empty() && (item == wanted || HostModuleName(item) == HostModuleName(wanted))) return true;
        start = end + 1;
    }
    return false;
}

std::string ExecutableFolder() {
    char buffer[4096];
    ssize_t n = readlink("/proc/self/exe", buffer, sizeof(buffer) - 1);
    if (n <= 0) return std::string();
    std::string path(buffer, static_cast<size_t>(n));
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::vector<std::string> ModuleSearchFolders() {
    std::vector<std::string> folders;
    folders.push_back(".");
    std::string exe = ExecutableFolder();
    if (!exe.empty()) folders.push_back(exe);
    if (const char* dir = getenv("KOLVAR_GAME_DIR"))
        if (*dir) folders.push_back(dir);
    folders.push_back(KOLVAR_DEFAULT_GAME_DIR);
    return folders;
}

}  // namespace winimpl

using winimpl::HostModuleName;

HMODULE LoadLibraryA(LPCSTR fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::string name(fileName);
    size_t sep = name.find_last_of("\\/");
    std::string base = sep == std::string::npos ? name : name.substr(sep + 1);
    if (winimpl::IsMarkedMissing(base)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }

    std::vector<std::string> candidates;
    if (sep != std::string::npos) {
        // A path: only that place, with the host's separators and file name.
        std::string folder = platform::HostPath(name.substr(0, sep).c_str());
        candidates.push_back(folder + "/" + HostModuleName(base));
    } else {
        for (const std::string& folder : winimpl::ModuleSearchFolders()) candidates.push_back(folder + "/" + HostModuleName(base));
    }
    for (const std::string& path : candidates) {
        if (access(path.c_str(), F_OK) != 0) continue;
        if (void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
            SetLastError(ERROR_SUCCESS);
            return reinterpret_cast<HMODULE>(handle);
        }
    }
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
    if (!module || !procName) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    void* symbol = dlsym(reinterpret_cast<void*>(module), procName);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

BOOL FreeLibrary(HMODULE module) {
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return dlclose(reinterpret_cast<void*>(module)) == 0 ? TRUE : FALSE;
}
