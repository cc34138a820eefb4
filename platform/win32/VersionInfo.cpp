// Version resources. A module of ours exports its version strings as a table;
// the block handed out is "KVER" followed by "key\0value\0" pairs and a final
// "\0", and VerQueryValueA answers "\StringFileInfo\040904E4\<key>" from it.
#include "platform.h"
#include "winver.h"

#include <dlfcn.h>

#include <string>

namespace {

const char kMagic[4] = {'K', 'V', 'E', 'R'};
const char kStringPrefix[] = "\\StringFileInfo\\040904E4\\";

bool BuildBlock(LPCSTR fileName, std::string& block) {
    if (!fileName) return false;
    std::string host = platform::HostPath(fileName);
    void* module = dlopen(host.c_str(), RTLD_LAZY | RTLD_LOCAL);
    if (!module) return false;
    auto table = reinterpret_cast<const char* const*>(dlsym(module, KOLVAR_VERSION_TABLE));
    bool found = table != nullptr;
    if (found) {
        block.assign(kMagic, sizeof kMagic);
        for (size_t i = 0; table[i] && table[i + 1]; i += 2) {
            block.append(table[i]).push_back('\0');
            block.append(table[i + 1]).push_back('\0');
        }
        block.push_back('\0');
    }
    dlclose(module);
    return found;
}

}  // namespace

DWORD GetFileVersionInfoSizeA(LPCSTR fileName, LPDWORD handle) {
    if (handle) *handle = 0;
    std::string block;
    if (!BuildBlock(fileName, block)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return 0;
    }
    return static_cast<DWORD>(block.size());
}

BOOL GetFileVersionInfoA(LPCSTR fileName, DWORD, DWORD length, LPVOID data) {
    std::string block;
    if (!data || !BuildBlock(fileName, block)) {
        SetLastError(ERROR_RESOURCE_DATA_NOT_FOUND);
        return FALSE;
    }
    if (length < block.size()) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    memcpy(data, block.data(), block.size());
    return TRUE;
}

BOOL VerQueryValueA(LPCVOID block, LPCSTR subBlock, LPVOID* buffer, UINT* length) {
    if (buffer) *buffer = nullptr;
    if (length) *length = 0;
    const size_t prefix = sizeof kStringPrefix - 1;
    if (!block || !subBlock || !buffer || memcmp(block, kMagic, sizeof kMagic) != 0 ||
        strncasecmp(subBlock, kStringPrefix, prefix) != 0) {
        SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
        return FALSE;
    }
    const char* key = subBlock + prefix;
    const char* p = static_cast<const char*>(block) + sizeof kMagic;
    while (*p) {
        const char* value = p + strlen(p) + 1;
        if (strcasecmp(p, key) == 0) {
            *buffer = const_cast<char*>(value);
            if (length) *length = static_cast<UINT>(strlen(value) + 1);
            return TRUE;
        }
        p = value + strlen(value) + 1;
    }
    SetLastError(ERROR_RESOURCE_TYPE_NOT_FOUND);
    return FALSE;
}
