// SHFileOperationA, deletion only.
#include "platform.h"
#include "shellapi.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

int SHFileOperationA(LPSHFILEOPSTRUCTA operation) {
    if (!operation || !operation->pFrom) return ERROR_INVALID_PARAMETER;
    operation->fAnyOperationsAborted = FALSE;
    if (operation->wFunc != FO_DELETE) {
        fprintf(stderr, "SHFileOperationA: operation %u is not supported\n", operation->wFunc);
        return ERROR_INVALID_PARAMETER;
    }
    std::vector<std::string> paths;
    for (const char* p = operation->pFrom; *p; p += strlen(p) + 1) paths.push_back(p);
    if (paths.empty()) return ERROR_INVALID_PARAMETER;

    int result = 0;
    for (const std::string& windowsPath : paths) {
        std::string host = platform::HostPath(windowsPath.c_str());
        std::error_code ec;
        // Never the root of a file system, whatever the caller built.
        if (host.empty() || fs::path(host).lexically_normal() == fs::path(host).root_path()) {
            fprintf(stderr, "SHFileOperationA: refused to delete \"%s\"\n", windowsPath.c_str());
            result = ERROR_ACCESS_DENIED;
            continue;
        }
        if (!fs::exists(fs::symlink_status(host, ec))) {
            result = ERROR_FILE_NOT_FOUND;
            continue;
        }
        fs::remove_all(host, ec);
        if (ec) {
            fprintf(stderr, "SHFileOperationA: cannot delete \"%s\": %s\n", windowsPath.c_str(),
                    ec.message().c_str());
            result = ERROR_ACCESS_DENIED;
        }
    }
    return result;
}
