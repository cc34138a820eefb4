// A file-backed registry: one INI file whose sections are full key paths
// ("HKEY_LOCAL_MACHINE\Software\...") and whose values carry their type
// ("sz:text", "dword:123", "hex:0a0b"). Only what the game uses.
#include "HandleTable.h"
#include "platform.h"
#include "win32.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string g_registryFile;

struct OpenKey {
    std::string path;
};

// Never destroyed: a key may still be closed from another object's destructor at exit.
winimpl::HandleTable<OpenKey>& Keys() {
    static auto* table = new winimpl::HandleTable<OpenKey>;
    return *table;
}

std::string RootName(HKEY key) {
    if (key == HKEY_CLASSES_ROOT) return "HKEY_CLASSES_ROOT";
    if (key == HKEY_CURRENT_USER) return "HKEY_CURRENT_USER";
    if (key == HKEY_LOCAL_MACHINE) return "HKEY_LOCAL_MACHINE";
    if (key == HKEY_USERS) return "HKEY_USERS";
    return std::string();
}

bool KeyPath(HKEY key, LPCSTR subKey, std::string& out) {
    std::string base = RootName(key);
    if (base.empty()) {
        const OpenKey* k = Keys().Find(key);
        if (!k) return false;
        base = k->path;
    }
    out = base;
    if (subKey && *subKey) {
        std::string sub(subKey);
        while (!sub.empty() && sub.back() == '\\') sub.pop_back();
        if (!sub.empty()) out += "\\" + sub;
    }
    return true;
}

const char* StoreName() {
    static std::string name;
    name = platform::RegistryFile();
    return name.c_str();
}

// Keys exist when their section is present (the marker value "@key" makes empty keys visible).
bool KeyExists(const std::string& path) {
    char buf[4];
    return GetPrivateProfileStringA(path.c_str(), "@key", "", buf, sizeof buf, StoreName()) > 0;
}

void MakeParentFolders(const std::string& file) {
    for (size_t i = 1; i < file.size(); ++i) {
        if (file[i] == '/') mkdir(file.substr(0, i).c_str(), 0700);
    }
}

}  // namespace

namespace platform {
void SetRegistryFile(const std::string& hostPath) { g_registryFile = hostPath; }
std::string RegistryFile() {
    if (!g_registryFile.empty()) return g_registryFile;
    if (const char* env = getenv("KOLVAR_REGISTRY")) return env;
    const char* xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/kolvar/registry.ini";
    // No home folder known: no store, rather than one in the game's folder.
    const std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config/kolvar/registry.ini";
}
}  // namespace platform

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    if (!KeyPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    *result = static_cast<HKEY>(Keys().Add(std::unique_ptr<OpenKey>(new OpenKey{path})));
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, void*, PHKEY result,
                     LPDWORD disposition) {
    if (!result) return ERROR_INVALID_PARAMETER;
    *result = nullptr;
    std::string path;
    if (!KeyPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
    bool existed = KeyExists(path);
    if (!existed) {
        if (platform::RegistryFile().empty()) return ERROR_ACCESS_DENIED;
        MakeParentFolders(platform::RegistryFile());
        if (!WritePrivateProfileStringA(path.c_str(), "@key", "1", StoreName())) return ERROR_ACCESS_DENIED;
    }
    if (disposition) *disposition = existed ? REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY;
    *result = static_cast<HKEY>(Keys().Add(std::unique_ptr<OpenKey>(new OpenKey{path})));
    return ERROR_SUCCESS;
}

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize) {
    std::string path;
    if (!KeyPath(key, nullptr, path)) return ERROR_INVALID_HANDLE;
    std::string name = (valueName && *valueName) ? valueName : "@default";
    char buf[4096];
    if (GetPrivateProfileStringA(path.c_str(), name.c_str(), "", buf, sizeof buf, StoreName()) == 0)
        return ERROR_FILE_NOT_FOUND;
    std::string text(buf);
    std::string bytes;
    DWORD t = REG_SZ;
    if (text.compare(0, 3, "sz:") == 0) {
        bytes = text.substr(3);
        bytes.push_back('\0');
    } else if (text.compare(0, 6, "dword:") == 0) {
        t = REG_DWORD;
        uint32_t v = static_cast<uint32_t>(strtoul(text.c_str() + 6, nullptr, 10));
        bytes.assign(reinterpret_cast<const char*>(&v), 4);
    } else if (text.compare(0, 4, "hex:") == 0) {
        t = REG_BINARY;
        for (size_t i = 4; i + 1 < text.size(); i += 2)
            bytes.push_back(static_cast<char>(strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
    } else {
        return ERROR_INVALID_DATA;
    }
    if (type) *type = t;
    if (!dataSize) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD need = static_cast<DWORD>(bytes.size());
    if (data) {
        if (*dataSize < need) {
            *dataSize = need;
            return ERROR_MORE_DATA;
        }
        memcpy(data, bytes.data(), need);
    }
    *dataSize = need;
    return ERROR_SUCCESS;
}

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize) {
    std::string path;
    if (!KeyPath(key, nullptr, path)) return ERROR_INVALID_HANDLE;
    if (!data && dataSize) return ERROR_INVALID_PARAMETER;
    std::string text;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string s(reinterpret_cast<const char*>(data), dataSize);
        size_t nul = s.find('\0');
        if (nul != std::string::npos) s.resize(nul);
        for (char c : s)
            if (c == '\r' || c == '\n') return ERROR_INVALID_DATA;  // one line per value
        text = "sz:" + s;
    } else if (type == REG_DWORD) {
        if (dataSize < 4) return ERROR_INVALID_PARAMETER;
        uint32_t v;
        memcpy(&v, data, 4);
        text = "dword:" + std::to_string(v);
    } else {
        text = "hex:";
        char hex[3];
        for (DWORD i = 0; i < dataSize; ++i) {
            snprintf(hex, sizeof hex, "%02x", data[i]);
            text += hex;
        }
    }
    std::string name = (valueName && *valueName) ? valueName : "@default";
    if (platform::RegistryFile().empty()) return ERROR_ACCESS_DENIED;
    MakeParentFolders(platform::RegistryFile());
    if (!WritePrivateProfileStringA(path.c_str(), "@key", "1", StoreName()) ||
        !WritePrivateProfileStringA(path.c_str(), name.c_str(), text.c_str(), StoreName()))
        return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

LONG RegDeleteKeyA(HKEY key, LPCSTR subKey) {
    std::string path;
    if (!KeyPath(key, subKey, path)) return ERROR_INVALID_HANDLE;
    if (!KeyExists(path)) return ERROR_FILE_NOT_FOUND;
    WritePrivateProfileStringA(path.c_str(), nullptr, nullptr, StoreName());
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key) {
    if (!RootName(key).empty()) return ERROR_SUCCESS;
    return Keys().Remove(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}
